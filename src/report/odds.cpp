// Counting a pairing's outcomes over many seeds, on threads.
#include "report/odds.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
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

namespace {

void add(OddsCount& c, const battle::Outcome& o) {
  if (!o.finished) {
    ++c.unfinished;
  } else if (o.winner == 0) {
    ++c.player1Wins;
  } else if (o.winner == 1) {
    ++c.player2Wins;
  } else {
    ++c.draws;
  }
  ++c.battles;
  c.turns += static_cast<std::uint64_t>(std::max(o.turns, 0));
}

}  // namespace

OddsCount countOutcomes(const GameState& gs, std::uint64_t battles, std::uint64_t seed,
                        unsigned jobs, std::int32_t maxTurns, std::uint64_t turnBudget) {
  const bool budgeted = turnBudget != kNoTurnBudget;
  // Battles are taken a chunk at a time. With a budget the chunks are small, since the budget is
  // looked at between them: every thread plays at most one chunk past it.
  const std::uint64_t chunk = budgeted ? 16 : 1024;
  turnBudget = std::max<std::uint64_t>(turnBudget, 1);  // at least the first battle counts
  jobs = static_cast<unsigned>(
      std::clamp<std::uint64_t>(jobs, 1, std::max<std::uint64_t>(1, battles / 1024)));
  std::atomic<std::uint64_t> next{0};
  std::atomic<bool> failed{false};
  // Without a budget each thread counts on its own. With one, every chunk keeps its battles in
  // order, to be counted up to the budget at the end: which battles count never depends on which
  // thread played them first.
  std::vector<OddsCount> counts(jobs);
  std::map<std::uint64_t, std::vector<battle::Outcome>> chunks;
  std::mutex chunksLock;
  // The turns of the chunks played to their end, in whatever order they ended. Chunks are taken
  // in order, so once these reach the budget, the chunks taken hold every battle that counts.
  std::atomic<std::uint64_t> turnsPlayed{0};
  const auto work = [&](unsigned t) {
    try {
      battle::BatchBattles<false> runner(gs);
      std::vector<battle::Outcome> played;
      while (!failed && (!budgeted || turnsPlayed.load() < turnBudget)) {
        const std::uint64_t from = next.fetch_add(chunk);
        if (from >= battles) break;
        const std::uint64_t to = std::min(battles, from + chunk);
        if (!budgeted) {
          for (std::uint64_t i = from; i < to; ++i)
            add(counts[t], runner.play(battleSeed(seed, i), maxTurns));
          continue;
        }
        played.clear();
        std::uint64_t turns = 0;
        for (std::uint64_t i = from; i < to; ++i) {
          played.push_back(runner.play(battleSeed(seed, i), maxTurns));
          turns += static_cast<std::uint64_t>(std::max(played.back().turns, 0));
        }
        {
          const std::lock_guard<std::mutex> hold(chunksLock);
          chunks.emplace(from, played);
        }
        turnsPlayed += turns;
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
  if (!budgeted) {
    for (const OddsCount& c : counts) {
      all.battles += c.battles;
      all.player1Wins += c.player1Wins;
      all.player2Wins += c.player2Wins;
      all.draws += c.draws;
      all.unfinished += c.unfinished;
      all.turns += c.turns;
    }
    return all;
  }
  std::uint64_t expected = 0;
  for (const auto& [from, played] : chunks) {
    if (from != expected) break;  // never: the chunks taken run on from the first
    for (const battle::Outcome& o : played) {
      if (all.turns >= turnBudget) return all;
      add(all, o);
    }
    expected = from + chunk;
  }
  return all;
}

}  // namespace momiru::report
