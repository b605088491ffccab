// Counting a pairing's outcomes over many seeds, on threads.
#include "report/odds.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "battle/headless.h"

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

std::uint64_t battleSeed(std::uint64_t seed, std::uint64_t index) {
  return RandomUnit::splitMix64(RandomUnit::splitMix64(seed) + index);
}

OddsCount countOutcomes(const GameState& gs, std::uint64_t battles, std::uint64_t seed,
                        unsigned jobs, std::int32_t maxTurns) {
  constexpr std::uint64_t kChunk = 1024;
  jobs = static_cast<unsigned>(
      std::clamp<std::uint64_t>(jobs, 1, std::max<std::uint64_t>(1, battles / kChunk)));
  std::atomic<std::uint64_t> next{0};
  std::atomic<bool> failed{false};
  std::vector<OddsCount> counts(jobs);
  const auto work = [&](unsigned t) {
    try {
      battle::BatchBattles<false> runner(gs);
      OddsCount& c = counts[t];
      while (!failed) {
        const std::uint64_t from = next.fetch_add(kChunk);
        if (from >= battles) break;
        const std::uint64_t to = std::min(battles, from + kChunk);
        for (std::uint64_t i = from; i < to; ++i) {
          const battle::Outcome o = runner.play(battleSeed(seed, i), maxTurns);
          if (!o.finished) {
            ++c.unfinished;
          } else if (o.winner == 0) {
            ++c.player1Wins;
          } else if (o.winner == 1) {
            ++c.player2Wins;
          } else {
            ++c.draws;
          }
        }
      }
    } catch (const std::bad_alloc&) {
      failed = true;  // the battles of its chunk are lost, and with them the whole count
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < jobs; ++t) {
    try {
      threads.emplace_back(work, t);
    } catch (const std::system_error&) {
      break;  // play on the threads that started, and this one
    }
  }
  work(0);
  for (std::thread& th : threads) th.join();
  if (failed) throw std::bad_alloc();
  OddsCount all;
  all.battles = battles;
  for (const OddsCount& c : counts) {
    all.player1Wins += c.player1Wins;
    all.player2Wins += c.player2Wins;
    all.draws += c.draws;
    all.unfinished += c.unfinished;
  }
  return all;
}

}  // namespace momiru::report
