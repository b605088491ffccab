// The shared module: everything that lives for the whole run and crosses screens.
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
  std::string CharName;      // "<file>の<stored name>", maybe with "(1)"/"(2)" appended at entry
  std::int32_t CharLv = 0;   // nonzero marks the slot as holding a character
  std::int32_t CharPic = 0;  // 0..13 portraits, 14 empty; anything else shows the empty one
  std::array<std::int32_t, kParts> HP{};
  std::array<std::int32_t, kParts> OFE{};
  std::array<std::int32_t, kParts> DEF{};
  std::array<std::string, kMoves> WazaName;  // three code characters, then the display name
  std::array<std::int32_t, kMoves> WazaPow{};

  bool operator==(const Combatant&) const = default;
};

// The values of the last successful save-data load, kept for whoever wants to look at them.
// Only SaveKey has a second writer: saving the settings sets it to a fresh random key.
struct LoadValues {
  std::int32_t SaveKey = 0;
  std::int32_t SaveCheck = 0;
  std::int32_t Tampered = 0;
  std::array<std::int32_t, 2> SaveLv{};
  std::array<std::int32_t, 2> SavePic{};
  std::array<std::string, 2> SaveName;
  std::string SaveText;
  std::int32_t SaveA = 0, SaveB = 0, SaveC = 0, SaveD = 0, SaveE = 0;
  std::int32_t SaveF = 0, SaveG = 0, SaveH = 0;

  bool operator==(const LoadValues&) const = default;
};

// Created once at start-up, all zero and empty, and handed to every screen by reference.
struct GameState {
  std::array<Combatant, kSlots> combatant;
  LoadValues load;

  std::array<std::int32_t, 3> OptSw{};  // 0 background pictures, 1 halved damage, 2 message box
  std::int32_t BattleSpeed = 0;         // battle-step interval in ms, 1..300 once set
  std::int32_t PlayerNo = 0;            // slot being entered; during a battle the listed slot
  std::string BattleLog;
  std::array<std::int32_t, kSlots> TimeGauge{};
  std::int32_t WinNo = 0;  // both 0 after a draw
  std::int32_t LoseNo = 0;
  std::string CrLf;  // built by the title screen's load step

  RandomUnit randomUnit;  // the one random source of the program
};

}  // namespace momiru
