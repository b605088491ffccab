// momiru-battle's command line: nothing (the title screen), two save-data files to watch fight at
// once, optionally with the seed of the battle, one replay file to watch again, or one
// tournament file to host or follow.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace momiru::app {

inline constexpr int kUsageError = 64;
// The exit status after a save-data file named on the command line fails its integrity check.
inline constexpr int kTamperedFileStatus = 1;

extern const char* const kHelpText;

struct CommandLine {
  enum class Action { Play, Help, Wrong };
  Action action = Action::Play;
  std::optional<std::array<std::filesystem::path, 2>> files;  // A.dat and B.dat
  std::optional<std::uint64_t> seed;
  std::optional<std::filesystem::path> replay;  // FILE.momiru-replay, or a page that carries one
  // T.momiru-tournament, or a tournament's page: the one file named, when its name ends in
  // .momiru-tournament or it is a page that carries a tournament; any other file is a replay.
  std::optional<std::filesystem::path> tournament;
  std::string wrong;  // what is wrong, for the one line on stderr
};

// Reads the words after the program's name. One file is looked into (a bounded read that never
// blocks) only to tell a tournament's page from a battle page. Qt's own options (-platform NAME,
// -style NAME, …) are let through for QApplication; any other word that starts with '-' is wrong.
CommandLine parseCommandLine(const std::vector<std::string>& words);

// The one line for wrong arguments, ending in a newline.
std::string usageLine(const std::string& wrong);

}  // namespace momiru::app
