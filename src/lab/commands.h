// The commands of momiru-lab. Each takes the words after its own name and returns the exit
// status: 0 success, 1 and 2 as the command defines, 64 for a usage error (after one line on
// stderr). A new command is one more function here and one more row in kCommands.
#pragma once

#include <string>
#include <vector>

#include "report/translation.h"

namespace momiru::lab {

using Args = std::vector<std::string>;

inline constexpr int kUsageError = 64;

int inspectCommand(const Args& args);
int battleCommand(const Args& args);
int simulateCommand(const Args& args);
int leagueCommand(const Args& args);
int tournamentCommand(const Args& args);

struct Command {
  const char* name;
  const char* synopsis;  // the command and its operands, for the tool's usage text
  const char* summary;   // what it does, in one line, marked N_ and shown translated
  int (*run)(const Args& args);
};

inline constexpr Command kCommands[] = {
    {"inspect", "inspect FILE...",
     N_("show what the game reads from save-data files and why it refuses one"), inspectCommand},
    {"battle", "battle A.dat B.dat | REPLAY",
     N_("play one battle headless, or a replay again, and print the result screen"), battleCommand},
    {"simulate", "simulate A.dat B.dat", N_("play many battles and report win rates and lengths"),
     simulateCommand},
    {"league", "league FILE...", N_("play every pairing of many characters and rate them"),
     leagueCommand},
    {"tournament", "tournament SUBCOMMAND T",
     N_("host a tournament whose every battle anyone can check"), tournamentCommand},
};

}  // namespace momiru::lab
