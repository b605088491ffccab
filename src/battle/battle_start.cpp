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

BattleStart startOf(const GameState& gs, const Settings& settings, std::uint64_t seed) {
  BattleStart start;
  start.records = gs.combatant;
  start.seed = seed;
  start.halve = settings.halveDamage != 0;
  start.hitBackground = settings.showHitBackground != 0;
  start.messageBox = settings.showMessageBox != 0;
  start.speed = settings.battleSpeed == 0
                    ? Settings::kDefaultSpeed
                    : std::clamp(settings.battleSpeed, Settings::kMinSpeed, Settings::kMaxSpeed);
  return start;
}

BattleStart startOf(const GameState& gs, std::uint64_t seed) {
  Settings settings;
  settings.halveDamage = gs.halveDamage;
  return startOf(gs, settings, seed);
}

Settings settingsOf(const BattleStart& start) {
  Settings settings;
  settings.halveDamage = start.halve ? 1 : 0;
  settings.showHitBackground = start.hitBackground ? 1 : 0;
  settings.showMessageBox = start.messageBox ? 1 : 0;
  settings.battleSpeed = start.speed;
  return settings;
}

GameState startState(const BattleStart& start) {
  GameState gs;
  gs.combatant = start.records;
  gs.halveDamage = start.halve ? 1 : 0;
  gs.randomUnit.seed(start.seed);
  return gs;
}

}  // namespace momiru::battle
