// A battle's start as one value, and the one function that makes from it the state the battle
// runs from. Every battle starts so: the lab's, the league's and a tournament's without a
// screen, a replay played back, and each battle the game shows.
#pragma once

#include <array>
#include <cstdint>

#include "data/game_state.h"

namespace momiru::battle {

// What decides a battle and how it is shown: the two records as registered (names told apart,
// the HP the battle starts from), the seed, the switches and the speed.
struct BattleStart {
  std::array<Combatant, kSlots> records;
  std::uint64_t seed = 0;
  bool halve = false;          // costs and damage halved: the one switch the rules read
  bool hitBackground = false;  // a hit turns the defender's panel background
  bool messageBox = false;     // the message box is shown during a turn
  std::int32_t speed = Settings::kDefaultSpeed;  // battle-step interval in ms

  bool operator==(const BattleStart&) const = default;
};

// The start of the battle of `seed` between `first` (slot 0) and `second` registered as the
// entry screen registers them: two equal names get "(1)" and "(2)".
BattleStart pairingStart(const Combatant& first, const Combatant& second, bool halve,
                         std::uint64_t seed = 0);

// The start of the battle of `seed` between the records of `gs` with the switches and speed of
// `settings` (a speed of 0, never set, is Settings::kDefaultSpeed; one outside
// kMinSpeed..kMaxSpeed is brought into it).
BattleStart startOf(const GameState& gs, const Settings& settings, std::uint64_t seed);

// The same for a battle without a screen: the records and the halving of `gs`, neither the hit
// background nor the message box, the default speed.
BattleStart startOf(const GameState& gs, std::uint64_t seed);

// The switches (0 or 1) and the speed of `start` as the settings hold them: what the battle
// screen shows the battle with.
Settings settingsOf(const BattleStart& start);

// The state the battle of `start` runs from: both records and the halving (0 or 1); the log
// empty, the gauges at 0, no winner; the random source seeded with the start's seed.
GameState startState(const BattleStart& start);

}  // namespace momiru::battle
