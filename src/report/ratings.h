// Ratings from the results of a league: a Bradley–Terry model with a first-mover term, fitted by
// maximum likelihood and reported on the Elo scale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "battle/batch_runner.h"

namespace momiru::report {

// The battles of one ordered pairing: one character as player 1, another as player 2.
using PairingResult = battle::PairingTally;

// Rating points per unit of natural log-odds: 400 points are a factor of ten in the odds.
inline constexpr double kEloPerLogOdds = 173.71779276130072;  // 400 / ln 10
inline constexpr double kMeanRating = 1500.0;

struct RatingFit {
  std::vector<double> rating;  // by character, mean kMeanRating
  std::vector<double> low;     // 95% interval
  std::vector<double> high;
  double firstMover = 0;  // rating points player 2 gains by acting first
  double firstMoverLow = 0;
  double firstMoverHigh = 0;
  int iterations = 0;
  bool converged = false;
};

// Fits the model to `results`, which holds n * n entries: results[i * n + j] are the battles of
// character i as player 1 against character j as player 2 (the diagonal is ignored).
//
// Player 2 of a battle wins with odds exp(r2 + f - r1). A draw counts as half a win to each side;
// unfinished battles are left out. Every ordered pairing also gets one virtual draw, so that a
// character who wins (or loses) every battle still has a finite rating and pairings that never
// finished do not split the field. The intervals come from the curvature of the log-likelihood at
// its maximum (the observed information), for ratings centred on their mean.
RatingFit fitRatings(std::size_t n, const std::vector<PairingResult>& results);

}  // namespace momiru::report
