// Standings: places by the round reached in elimination, points and tie-breaks elsewhere.
#pragma once

#include <vector>

#include "report/tournament.h"

namespace momiru::report {

// The standings from the matches played.
std::vector<Standing> computeStandings(const Tournament& t);

// What a match gives `entry`, in half points: a won match 2, a bye 2 (it counts as a won match),
// a drawn match 1, a lost match 0; nothing when the entry does not play in it.
int matchHalfPoints(const Match& m, int entry);

}  // namespace momiru::report
