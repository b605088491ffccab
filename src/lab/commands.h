// The subcommands of momiru-lab. Each takes the words after its own name and returns the exit
// status: 0 success, 1 and 2 as the command defines, 64 for a usage error (after one line on
// stderr).
#pragma once

#include <string>
#include <vector>

namespace momiru::lab {

using Args = std::vector<std::string>;

inline constexpr int kUsageError = 64;

int inspectCommand(const Args& args);
int battleCommand(const Args& args);
int simulateCommand(const Args& args);
int leagueCommand(const Args& args);

}  // namespace momiru::lab
