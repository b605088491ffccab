// A battle's start.
#include "battle/battle_start.h"

#include <algorithm>

#include "data/registration.h"

namespace momiru::battle {

BattleStart pairingStart(const Combatant& first, const Combatant& second, bool halve,
                         std::uint64_t seed) {
  GameState gs;
  gs.combatant = {first, second};
  markEqualNames(gs);
  BattleStart start;
  start.records = std::move(gs.combatant);
  start.seed = seed;
  start.halve = halve;
  return start;
}

BattleStart startOf(const GameState& gs, std::uint64_t seed) {
  BattleStart start;
  start.records = gs.combatant;
  start.seed = seed;
  start.halve = gs.settings.halveDamage != 0;
  start.hitBackground = gs.settings.showHitBackground != 0;
  start.messageBox = gs.settings.showMessageBox != 0;
  start.speed = gs.settings.battleSpeed == 0
                    ? Settings::kDefaultSpeed
                    : std::clamp(gs.settings.battleSpeed, Settings::kMinSpeed, Settings::kMaxSpeed);
  return start;
}

GameState startState(const BattleStart& start) {
  GameState gs;
  gs.combatant = start.records;
  gs.settings.halveDamage = start.halve ? 1 : 0;
  gs.settings.showHitBackground = start.hitBackground ? 1 : 0;
  gs.settings.showMessageBox = start.messageBox ? 1 : 0;
  gs.settings.battleSpeed = start.speed;
  gs.randomUnit.seed(start.seed);
  return gs;
}

}  // namespace momiru::battle
