// The odds of one pairing: many battles without a screen, each with a seed derived from one run
// seed, counted by outcome, with 95% intervals. `momiru-lab simulate` and the battle page count
// the same way, so the page's figures are what simulate reports for the same seed.
#pragma once

#include <cstdint>
#include <limits>

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

// The seed of battle `index` of a run with seed `seed`.
std::uint64_t battleSeed(std::uint64_t seed, std::uint64_t index);

// No cap on the turns of countOutcomes: every battle asked for is played.
inline constexpr std::uint64_t kNoTurnBudget = std::numeric_limits<std::uint64_t>::max();

// Battles 0 to battles-1 of a run with seed `seed`, of the pairing in `gs` (both records and the
// halving switch), counted by outcome. With a turn budget the battles are counted in order for
// as long as the turns of those before add up to less than it: always at least one, and battles
// that never end cost a bounded time, the same on every machine. Played on up to `jobs` threads,
// or on those that could be started (on this one when none could); the counts do not depend on
// how many. Throws std::bad_alloc when memory runs out on the way.
struct OddsCount {
  std::uint64_t battles = 0;  // the battles counted
  std::uint64_t player1Wins = 0;
  std::uint64_t player2Wins = 0;
  std::uint64_t draws = 0;
  std::uint64_t unfinished = 0;
  std::uint64_t turns = 0;  // of the battles counted

  bool operator==(const OddsCount&) const = default;
};
OddsCount countOutcomes(const GameState& gs, std::uint64_t battles, std::uint64_t seed,
                        unsigned jobs, std::int32_t maxTurns,
                        std::uint64_t turnBudget = kNoTurnBudget);

}  // namespace momiru::report
