// Playing a league: work in chunks of one pairing's battles, handed out to the threads in turn.
#include "report/league.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <system_error>

#include "data/random_unit.h"
#include "data/registration.h"

namespace momiru::report {
namespace {

// Battles per piece of work: large enough that handing it out costs nothing, small enough that
// the threads finish together and the progress bar moves.
constexpr std::uint64_t kChunk = 1024;

// One pairing's tallies, added to by whichever threads play its chunks. Sums of counts do not
// depend on the order of the additions.
struct SharedTally {
  std::atomic<std::uint64_t> player1Wins{0};
  std::atomic<std::uint64_t> player2Wins{0};
  std::atomic<std::uint64_t> draws{0};
  std::atomic<std::uint64_t> unfinished{0};
  std::atomic<std::uint64_t> turnSum{0};
};

}  // namespace

std::vector<OrderedPairing> schedule(std::size_t n) {
  std::vector<OrderedPairing> pairings;
  pairings.reserve(n * (n > 0 ? n - 1 : 0));
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (i != j) pairings.push_back({i, j});
    }
  }
  return pairings;
}

std::uint64_t leagueBattleSeed(std::uint64_t seed, std::uint64_t index) {
  return RandomUnit::splitMix64(RandomUnit::splitMix64(seed) + index);
}

GameState pairingState(const Combatant& a, const Combatant& b, bool halve) {
  GameState gs;
  gs.combatant[0] = a;
  gs.combatant[1] = b;
  markEqualNames(gs);
  gs.settings.halveDamage = halve ? 1 : 0;
  gs.lineBreak = "\r\n";
  return gs;
}

std::optional<std::thread> startThread(std::function<void()> work) {
  try {
    return std::thread(std::move(work));
  } catch (const std::system_error&) {
    return std::nullopt;
  }
}

LeagueResults runLeague(const std::vector<Combatant>& entrants, const LeagueSettings& settings,
                        const std::function<void(std::uint64_t, std::uint64_t)>& progress,
                        const ThreadLauncher& launch) {
  LeagueResults out;
  out.characters = entrants.size();
  const std::size_t n = entrants.size();
  const std::vector<OrderedPairing> pairings = schedule(n);
  const std::uint64_t battles = settings.battles;
  const std::uint64_t chunksPerPairing = (battles + kChunk - 1) / kChunk;
  const std::uint64_t chunks = chunksPerPairing * pairings.size();
  const std::uint64_t total = battles * pairings.size();
  auto tallies = std::make_unique<SharedTally[]>(pairings.size());
  std::atomic<std::uint64_t> nextChunk{0};
  std::atomic<std::uint64_t> done{0};
  std::atomic<bool> failed{false};

  const auto playChunks = [&] {
    std::optional<battle::BatchBattles<false>> runner;
    std::uint64_t runnerPairing = UINT64_MAX;
    for (;;) {
      const std::uint64_t chunk = nextChunk.fetch_add(1, std::memory_order_relaxed);
      if (chunk >= chunks || failed) break;
      const std::uint64_t p = chunk / chunksPerPairing;
      const std::uint64_t from = (chunk % chunksPerPairing) * kChunk;
      const std::uint64_t to = std::min(battles, from + kChunk);
      if (p != runnerPairing) {
        const OrderedPairing& pairing = pairings[p];
        runner.emplace(
            pairingState(entrants[pairing.player1], entrants[pairing.player2], settings.halve));
        runnerPairing = p;
      }
      PairingResult local;
      for (std::uint64_t k = from; k < to; ++k) {
        const battle::Outcome o =
            runner->play(leagueBattleSeed(settings.seed, p * battles + k), settings.maxTurns);
        if (!o.finished) {
          ++local.unfinished;
          continue;
        }
        local.turnSum += static_cast<std::uint64_t>(std::max(o.turns, 0));
        if (o.winner == 0) {
          ++local.player1Wins;
        } else if (o.winner == 1) {
          ++local.player2Wins;
        } else {
          ++local.draws;
        }
      }
      SharedTally& t = tallies[p];
      t.player1Wins.fetch_add(local.player1Wins, std::memory_order_relaxed);
      t.player2Wins.fetch_add(local.player2Wins, std::memory_order_relaxed);
      t.draws.fetch_add(local.draws, std::memory_order_relaxed);
      t.unfinished.fetch_add(local.unfinished, std::memory_order_relaxed);
      t.turnSum.fetch_add(local.turnSum, std::memory_order_relaxed);
      done.fetch_add(to - from, std::memory_order_relaxed);
    }
  };
  // A worker that runs out of memory stops, and so do the others at their next chunk: the
  // league is incomplete, which the caller hears as bad_alloc once every thread has ended.
  const auto work = [&] {
    try {
      playChunks();
    } catch (const std::bad_alloc&) {
      failed = true;
    }
  };

  std::vector<std::thread> threads;
  const unsigned wanted = static_cast<unsigned>(
      std::max<std::uint64_t>(1, std::min<std::uint64_t>(settings.jobs, chunks)));
  out.threadsWanted = chunks > 0 ? wanted : 0;
  for (unsigned t = 0; t < out.threadsWanted; ++t) {
    std::optional<std::thread> thread = launch(work);
    if (!thread) break;  // the system has no more threads to give: go on with those running
    threads.push_back(std::move(*thread));
  }
  out.threadsStarted = static_cast<unsigned>(threads.size());
  if (threads.empty()) {
    work();
  } else if (progress) {
    for (;;) {
      const std::uint64_t d = done.load();
      progress(d, total);
      if (d >= total || failed) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  for (std::thread& t : threads) t.join();
  if (failed) throw std::bad_alloc();
  if (progress && threads.empty()) progress(total, total);

  out.results.assign(n * n, PairingResult{});
  for (std::size_t p = 0; p < pairings.size(); ++p) {
    PairingResult& r = out.results[pairings[p].player1 * n + pairings[p].player2];
    r.player1Wins = tallies[p].player1Wins.load();
    r.player2Wins = tallies[p].player2Wins.load();
    r.draws = tallies[p].draws.load();
    r.unfinished = tallies[p].unfinished.load();
    r.turnSum = tallies[p].turnSum.load();
  }
  return out;
}

}  // namespace momiru::report
