// The seeding: the draw's order from the tournament seed, and strength from a short round robin
// played on threads.
#include "report/seeding.h"

#include <algorithm>
#include <array>
#include <string>

#include "battle/headless.h"
#include "data/strangers_file.h"
#include "report/league.h"
#include "report/ratings.h"
#include "report/run_jobs.h"
#include "report/tournament_draw.h"

namespace momiru::report {

namespace {

using detail::runJobs;

// Strength: a short round robin of the field, each pair twice with the sides swapped, rated as
// the league rates.
std::vector<double> strengthRatings(const Tournament& t, const RunOptions& options) {
  const std::size_t n = t.entries.size();
  std::vector<report::PairingResult> results(n * n);
  std::vector<std::array<std::size_t, 2>> pairs;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      if (i != j) pairs.push_back({i, j});
  runJobs(pairs.size(), options.threads,
          [&](std::size_t k) {
            const auto [i, j] = pairs[k];
            battle::BatchBattles<false> runner(battle::startState(
                battle::pairingStart(t.entries[i].record, t.entries[j].record, t.rules.halve)));
            const battle::Outcome o = runner.play(battleSeedOf(
                *t.seed, "strength-" + std::to_string(i) + "-" + std::to_string(j), 1));
            report::PairingResult& r = results[i * n + j];
            if (!o.finished) {
              r.unfinished = 1;
            } else if (o.winner == 0) {
              r.player1Wins = 1;
            } else if (o.winner == 1) {
              r.player2Wins = 1;
            } else {
              r.draws = 1;
            }
          },
          {});
  return report::fitRatings(n, results).rating;
}

}  // namespace

std::vector<int> seedOrder(const Tournament& t, const RunOptions& options) {
  const std::size_t n = t.entries.size();
  std::vector<int> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<int>(i);
  if (t.rules.seeding == Seeding::Listed || !t.seed) return order;
  std::vector<std::string> key(n);
  for (std::size_t i = 0; i < n; ++i) key[i] = sha256Hex(*t.seed + ":draw:" + t.entries[i].sha256);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return key[static_cast<std::size_t>(a)] < key[static_cast<std::size_t>(b)];
  });
  if (t.rules.seeding == Seeding::Strength) {
    const std::vector<double> rating = strengthRatings(t, options);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return rating[static_cast<std::size_t>(a)] > rating[static_cast<std::size_t>(b)];
    });
  }
  return order;
}

}  // namespace momiru::report
