// The plans of the draw: the matches of a single or double elimination bracket with where each
// player comes from, and a round robin's matches. Internal to the report library.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "report/tournament.h"

namespace momiru::report::detail {

struct Slot {
  enum Kind { Entry, Winner, Loser } kind = Entry;
  int ref = -1;  // an entry (-1 for a bye), or a plan's index
};

struct Plan {
  Match match;
  std::array<Slot, 2> from;
};

// A match's id: the prefix, the round, "-" and the match's number in its round.
std::string matchId(const char* prefix, int round, int number);

// The bracket's plans in the order they are played, the final last but for the third-place
// match; double elimination ends with the first grand final.
std::vector<Plan> singleElimination(const std::vector<int>& seeds, bool thirdPlace);
std::vector<Plan> doubleElimination(const std::vector<int>& seeds);
// A round robin's matches, round by round, over `cycles` cycles.
std::vector<Match> roundRobin(const std::vector<int>& seeds, int cycles);

}  // namespace momiru::report::detail
