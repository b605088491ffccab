// The folder of kept replays: every battle on screen is saved there as it reaches its result.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "replay/replay.h"

namespace momiru::replay {

// At most this many replays are kept; saving one more removes the oldest by the date they hold.
inline constexpr std::size_t kKeptReplays = 500;

// $XDG_DATA_HOME/momiru-battle/replays, or ~/.local/share/momiru-battle/replays without it.
// Empty when neither can be told. Not created here.
std::filesystem::path replayDirectory();

// `name` reduced to characters that are safe in a file name everywhere: letters, digits and
// marks of any script, and '-', '_', '(', ')' and '.' (after a kept character), at most 60
// bytes. Everything else (separators, control characters, quotes, spaces, bytes that are not
// UTF-8) becomes one '_' per run; nothing left gives "_".
std::string safeFileName(std::string_view name);

// A file name for `replay` from its date and time and the two names: safe on every file system
// (no separators, no control characters, bounded length) and ending in .momiru-replay.
std::string replayFileName(const Replay& replay);

// Saves `replay` atomically in `dir` (created when missing) under a name no other file there
// has, even for two battles in the same second or two games saving at once, then removes the
// oldest replays beyond `keep`. Returns the saved file, or nothing with the reason in `refusal`;
// a failed save leaves no partial file.
std::optional<std::filesystem::path> saveReplay(const std::filesystem::path& dir,
                                                const Replay& replay, Refusal* refusal,
                                                std::size_t keep = kKeptReplays);

// Writes `replay` atomically to `file` (a copy the player asked for).
bool writeReplayFile(const std::filesystem::path& file, const Replay& replay, Refusal* refusal);

}  // namespace momiru::replay
