// The odds of one pairing: many battles without a screen, each with a seed derived from one run
// seed, counted by outcome, with 95% intervals. `momiru-lab simulate` and the battle page count
// the same way, so the page's figures are what simulate reports for the same seed.
#pragma once

#include <cstdint>

#include "battle/batch_runner.h"
#include "data/game_state.h"

namespace momiru::report {

// A share of the battles with its 95% interval.
struct Share {
  double share;
  double low;
  double high;
};

// Wilson score interval at 95% for k of n (n > 0).
Share wilson(std::uint64_t k, std::uint64_t n);

// Battles 0 to battles-1 of a run with seed `seed`, of the pairing in `gs` (both records and the
// halving switch), counted by outcome, as battle::runBatch counts them: with a turn budget the
// battles are counted in order for as long as the turns of those before add up to less than it
// (always at least one), so that battles that never end cost a bounded time, the same on every
// machine. Played on up to `jobs` threads, or on those that could be started (on this one when
// none could); the counts do not depend on how many. Throws std::bad_alloc when memory runs out
// on the way.
using OddsCount = battle::PairingTally;
OddsCount countOutcomes(const GameState& gs, std::uint64_t battles, std::uint64_t seed,
                        unsigned jobs, std::int32_t maxTurns,
                        std::uint64_t turnBudget = battle::kNoTurnBudget);

}  // namespace momiru::report
