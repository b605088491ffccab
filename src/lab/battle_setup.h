// What the commands that play battles share: loading characters as the entry screen registers
// them, and the line ends of printed text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "data/game_state.h"

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

// Loads `fileA` into slot 0 and `fileB` into slot 1 of a fresh GameState, registers both as the
// entry screen does ("(1)"/"(2)" on equal names), sets halved damage from `halve` and the line
// break to CR LF. Returns the message for stderr when a file cannot be used.
std::optional<std::string> loadPairing(GameState& gs, const std::string& fileA,
                                       const std::string& fileB, bool halve);

// Text with the game's CR LF line ends turned into LF unless `crlf`.
std::string lineEnds(std::string_view text, bool crlf);

}  // namespace momiru::lab
