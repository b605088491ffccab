// A pairing's outcomes over many seeds, and their intervals.
#include "report/odds.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace momiru::report {

Share wilson(std::uint64_t k, std::uint64_t n) {
  const double z = 1.959963984540054;
  const double nn = static_cast<double>(n);
  const double p = static_cast<double>(k) / nn;
  const double denom = 1 + z * z / nn;
  const double centre = (p + z * z / (2 * nn)) / denom;
  const double half = z * std::sqrt(p * (1 - p) / nn + z * z / (4 * nn * nn)) / denom;
  // At the ends the interval reaches the end exactly, not a rounding error away from it.
  return {p, k == 0 ? 0.0 : std::max(0.0, centre - half),
          k == n ? 1.0 : std::min(1.0, centre + half)};
}

OddsCount countOutcomes(const GameState& gs, std::uint64_t battles, std::uint64_t seed,
                        unsigned jobs, std::int32_t maxTurns, std::uint64_t turnBudget) {
  battle::BatchSettings batch;
  batch.battles = battles;
  batch.seed = seed;
  batch.maxTurns = maxTurns;
  batch.jobs = jobs;
  batch.chunkBattles = 1024;
  batch.turnBudget = turnBudget;
  battle::BatchResult played = battle::runBatch(
      1, [&](std::size_t) { return gs; }, batch);
  return std::move(played.tallies[0]);
}

}  // namespace momiru::report
