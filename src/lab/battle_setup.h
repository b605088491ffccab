// What the battle and simulate commands share: loading a pairing as the entry screen would, and
// reading numeric options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/game_state.h"

namespace momiru::lab {

// Loads `fileA` into slot 0 and `fileB` into slot 1 of a fresh GameState, registers both as the
// entry screen does ("(1)"/"(2)" on equal names), sets OptSw(1) from `halve` and CrLf to CR LF.
// Returns the message for stderr when a file cannot be used.
std::optional<std::string> loadPairing(GameState& gs, const std::string& fileA,
                                       const std::string& fileB, bool halve);

// The entry screen's registration rule, applied once both slots are loaded.
void registerNames(GameState& gs);

// A whole decimal number without sign inside [min, max], or nothing.
std::optional<std::uint64_t> parseCount(std::string_view text, std::uint64_t min,
                                        std::uint64_t max);

// Text with the game's CR LF line ends turned into LF unless `crlf`.
std::string lineEnds(std::string_view text, bool crlf);

}  // namespace momiru::lab
