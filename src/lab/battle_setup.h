// What the commands that play battles share: loading characters as the entry screen registers
// them, the line ends of printed text, and one battle printed as `momiru-lab battle` prints it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "battle/battle_start.h"
#include "data/game_state.h"

namespace momiru::replay {
struct Replay;
}

namespace momiru::lab {

// Loads `file` into slot `slot` of `gs` and checks that it holds a character the entry screen
// would register: it loads, passes the integrity check and has a level other than 0. Returns
// nothing on success, otherwise one line for stderr that names the file and says why, with
// control characters shown escaped.
std::optional<std::string> loadCharacter(GameState& gs, int slot, const std::string& file);

// The same check, saying only why (unescaped), for callers that word the line themselves: in
// the user's language, or in English when not `translate` (for JSON, which never changes with
// the locale).
std::optional<std::string> whyNotACharacter(GameState& gs, int slot, const std::string& file,
                                            bool translate = true);

// Loads `fileA` into slot 0 and `fileB` into slot 1 and makes `start` their battle as the entry
// screen registers them ("(1)"/"(2)" on equal names), with halved damage from `halve`; the seed
// is the caller's. Returns the message for stderr when a file cannot be used.
std::optional<std::string> loadPairing(battle::BattleStart& start, const std::string& fileA,
                                       const std::string& fileB, bool halve);

// Text with the game's CR LF line ends turned into LF unless `crlf`.
std::string lineEnds(std::string_view text, bool crlf);

// What `momiru-lab battle` prints and writes of a battle.
struct BattleOutput {
  bool asJson = false;                      // --json
  bool crlf = false;                        // --crlf
  std::optional<std::string> saveReplayTo;  // --save-replay
  std::optional<std::string> pageTo;        // --html
};

// Plays the battle of `start` and prints it as the result screen shows it (or as one JSON
// object), then writes its replay (made by `replay`, only when one is written) and its page
// when asked. The exit status: 0 finished; 2 unfinished, 1 a file that cannot be written, each
// after one line on stderr. Defined with the battle command, which `momiru-lab tournament
// battle` prints its battles as.
int showBattle(const battle::BattleStart& start, const std::function<replay::Replay()>& replay,
               const BattleOutput& output);

}  // namespace momiru::lab
