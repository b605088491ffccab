// The seeding: the entries in order by the draw, as listed, or by strength.
#pragma once

#include <vector>

#include "report/tournament.h"

namespace momiru::report {

// The entries in seeding order for the tournament's seed and rules.
std::vector<int> seedOrder(const Tournament& t, const RunOptions& options = {});

}  // namespace momiru::report
