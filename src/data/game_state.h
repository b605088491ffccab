// One character's record, the values a save-data load finds beside it, the settings file's
// options, and the state a battle runs in (the two records, the damage rule, the log, the time
// gauges, the outcome, the random source).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "data/random_unit.h"

namespace momiru {

inline constexpr int kSlots = 2;  // 0 = player 1 (left), 1 = player 2 (right)
inline constexpr int kParts = 4;  // 0 head, 1 arms, 2 legs, 3 torso
inline constexpr int kMoves = 8;

// Screen names of the body parts, by part index.
inline constexpr std::array<const char*, kParts> kPartNames = {"頭", "両腕", "両脚", "胴体"};

// One character as the battle sees it. Numbers are the decoded values (stored value ÷ key).
struct Combatant {
  std::string name;           // "<file>の<stored name>", maybe with "(1)"/"(2)" appended at entry
  std::int32_t level = 0;     // nonzero marks the slot as holding a character
  std::int32_t portrait = 0;  // 0..13 portraits, 14 empty; anything else shows the empty one
  std::array<std::int32_t, kParts> hp{};         // hit points by part
  std::array<std::int32_t, kParts> attack{};     // offence by part, added to a move's power
  std::array<std::int32_t, kParts> defence{};    // by part, taken off a blow that lands there
  std::array<std::string, kMoves> moveNames;     // three code characters, then the display name
  std::array<std::int32_t, kMoves> movePower{};  // a move's strength and its cost in HP

  bool operator==(const Combatant&) const = default;
};

// The values a save-data load found beside the record (SaveDataResult::values); the game keeps
// none of them. The file's field names, which `momiru-lab inspect` prints, are given beside each
// member.
struct LoadValues {
  std::int32_t key = 0;                        // SaveKey: every stored number is a multiple of it
  std::int32_t checkSum = 0;                   // SaveCheck
  std::int32_t tampered = 0;                   // 1 after a load failed its integrity check
  std::array<std::int32_t, 2> storedLevels{};  // SaveLv[0..1]; element 1 is not used
  std::array<std::int32_t, 2> storedPortraits{};  // SavePic[0..1]; element 1 is not used
  std::array<std::string, 2> storedNames;         // SaveName[0..1]; element 1 is not used
  std::string storedText;                         // SaveText, not used
  std::array<std::int32_t, 5> fiveNumbers{};      // SaveA..SaveE; SaveA enters the check sum
  std::array<std::int32_t, 3> threeNumbers{};     // SaveF..SaveH; SaveF, SaveG enter it

  bool operator==(const LoadValues&) const = default;
};

// The options of the settings file "settei.sei". The switches hold 0 or 1 as read from the file.
struct Settings {
  std::int32_t showHitBackground = 0;  // a hit turns the defender's panel background
  std::int32_t halveDamage = 0;        // costs and damage are halved
  std::int32_t showMessageBox = 0;     // the battle's message box is shown during a turn
  std::int32_t battleSpeed = 0;        // battle-step interval in ms, kMinSpeed..kMaxSpeed once set

  // The three switches in the order of their check boxes and of the settings file.
  static constexpr std::array<std::int32_t Settings::*, 3> kSwitches = {
      &Settings::showHitBackground, &Settings::halveDamage, &Settings::showMessageBox};

  // The range of the battle speed, and what the options screen shows while no settings have
  // been read in this run: the speed and the switches in the order of kSwitches.
  static constexpr std::int32_t kMinSpeed = 1;
  static constexpr std::int32_t kMaxSpeed = 300;
  static constexpr std::int32_t kDefaultSpeed = 150;
  static constexpr std::array<std::int32_t, 3> kFirstSwitches{1, 0, 1};

  bool operator==(const Settings&) const = default;
};

// A battle's state and nothing else (battle::startState makes it from a battle's start). The
// run's own is created once at start-up, all zero and empty, and handed to every screen by
// reference. What the screens keep is theirs: the switches and speed a battle is shown with
// (ui::ScreenContext::settings), the slot being entered, the log as shown.
struct GameState {
  std::array<Combatant, kSlots> combatant;
  // The halving switch the rules divide costs and damage by (the value + 1): 0 or 1 from a
  // battle's start.
  std::int32_t halveDamage = 0;
  std::string battleLog;
  std::array<std::int32_t, kSlots> timeGauge{};
  std::int32_t winner = 0;  // both 0 after a draw
  std::int32_t loser = 0;

  RandomUnit randomUnit;  // the one random source of the program
};

}  // namespace momiru
