// Many battles on the worker pool: chunks of one pairing's battles handed out in order, each
// counted in a tally of its own and added to its pairing's under a lock.
#include "battle/batch_runner.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include "data/random_unit.h"

namespace momiru::battle {

std::uint64_t battleSeed(std::uint64_t runSeed, std::uint64_t index) {
  return RandomUnit::splitMix64(RandomUnit::splitMix64(runSeed) + index);
}

OutcomeKind outcomeKind(const Outcome& o) {
  if (!o.finished) return OutcomeKind::Unfinished;
  if (o.winner == 0) return OutcomeKind::Player1Wins;
  if (o.winner == 1) return OutcomeKind::Player2Wins;
  return OutcomeKind::Draw;
}

std::uint64_t PairingTally::count(OutcomeKind kind) const {
  switch (kind) {
    case OutcomeKind::Player1Wins:
      return player1Wins;
    case OutcomeKind::Player2Wins:
      return player2Wins;
    case OutcomeKind::Draw:
      return draws;
    case OutcomeKind::Unfinished:
      return unfinished;
  }
  return 0;
}

void PairingTally::add(std::uint64_t index, const Outcome& o, bool keepLengths) {
  const OutcomeKind kind = outcomeKind(o);
  switch (kind) {
    case OutcomeKind::Player1Wins:
      ++player1Wins;
      break;
    case OutcomeKind::Player2Wins:
      ++player2Wins;
      break;
    case OutcomeKind::Draw:
      ++draws;
      break;
    case OutcomeKind::Unfinished:
      ++unfinished;
      break;
  }
  const auto turns = static_cast<std::uint64_t>(std::max(o.turns, 0));
  turnsPlayed += turns;
  if (o.finished) {
    turnSum += turns;
    if (keepLengths) ++lengths[o.turns];
  }
  std::uint64_t& first = firstIndex[static_cast<std::size_t>(kind)];
  first = std::min(first, index);
}

void PairingTally::merge(const PairingTally& other) {
  player1Wins += other.player1Wins;
  player2Wins += other.player2Wins;
  draws += other.draws;
  unfinished += other.unfinished;
  turnSum += other.turnSum;
  turnsPlayed += other.turnsPlayed;
  for (std::size_t k = 0; k < kOutcomeKinds; ++k)
    firstIndex[k] = std::min(firstIndex[k], other.firstIndex[k]);
  for (const auto& [turns, battles] : other.lengths) lengths[turns] += battles;
}

BatchResult runBatch(std::size_t pairings, const std::function<GameState(std::size_t)>& startOf,
                     const BatchSettings& settings) {
  BatchResult out;
  out.tallies.assign(pairings, PairingTally{});
  const std::uint64_t battles = settings.battles;
  const bool budgeted = settings.turnBudget != kNoTurnBudget;
  const std::uint64_t budget = std::max<std::uint64_t>(settings.turnBudget, 1);
  const std::uint64_t chunk =
      budgeted ? kBudgetedChunk : std::max<std::uint64_t>(settings.chunkBattles, 1);
  const std::uint64_t chunksPerPairing = (battles + chunk - 1) / chunk;
  const std::uint64_t chunks = chunksPerPairing * pairings;
  const std::uint64_t total = battles * pairings;

  std::atomic<std::uint64_t> done{0};
  // Guards the tallies and the budgeted chunks.
  std::mutex lock;
  // With a budget each chunk keeps its outcomes in order, by its first battle, to be counted up
  // to the budget at the end: which battles count never depends on which thread played them
  // first. The turns of the chunks played to their end, in whatever order they ended: chunks are
  // taken in order, so once these reach the budget, the chunks taken hold every battle that
  // counts.
  std::vector<std::map<std::uint64_t, std::vector<Outcome>>> played(budgeted ? pairings : 0);
  const auto turnsPlayed = std::make_unique<std::atomic<std::uint64_t>[]>(budgeted ? pairings : 0);

  const auto wanted = static_cast<unsigned>(
      std::min<std::uint64_t>(std::max(settings.jobs, 1u), std::max<std::uint64_t>(chunks, 1)));
  out.threadsWanted = chunks > 0 ? wanted : 0;
  // What each worker keeps from one chunk to its next: the runner of the pairing it played last.
  struct alignas(64) Worker {
    std::optional<BatchBattles<false>> runner;
    std::size_t pairing = 0;
    std::vector<Outcome> outcomes;
  };
  std::vector<Worker> workers(out.threadsWanted + 1);

  const auto playChunk = [&](std::size_t c, unsigned worker) {
    const auto p = static_cast<std::size_t>(c / chunksPerPairing);
    if (budgeted && turnsPlayed[p].load() >= budget) return;
    const std::uint64_t from = (c % chunksPerPairing) * chunk;
    const std::uint64_t to = std::min(battles, from + chunk);
    const std::uint64_t base = p * battles;
    Worker& w = workers[worker];
    if (!w.runner || p != w.pairing) {
      w.runner.emplace(startOf(p));
      w.pairing = p;
    }
    if (budgeted) {
      w.outcomes.clear();
      std::uint64_t turns = 0;
      for (std::uint64_t k = from; k < to; ++k) {
        w.outcomes.push_back(
            w.runner->play(battleSeed(settings.seed, base + k), settings.maxTurns));
        turns += static_cast<std::uint64_t>(std::max(w.outcomes.back().turns, 0));
      }
      {
        const std::lock_guard<std::mutex> hold(lock);
        played[p].emplace(from, w.outcomes);
      }
      turnsPlayed[p] += turns;
    } else {
      PairingTally local;
      for (std::uint64_t k = from; k < to; ++k) {
        local.add(base + k, w.runner->play(battleSeed(settings.seed, base + k), settings.maxTurns),
                  settings.keepLengths);
      }
      const std::lock_guard<std::mutex> hold(lock);
      out.tallies[p].merge(local);
    }
    done.fetch_add(to - from, std::memory_order_relaxed);
  };

  // The calling thread tells the progress while the threads play, and plays only when none
  // starts.
  PoolSettings pool;
  pool.threads = out.threadsWanted;
  pool.callerWorks = false;
  pool.launch = settings.launch;
  if (settings.progress) pool.waiting = [&] { settings.progress(done.load(), total); };
  out.threadsStarted = runPool(static_cast<std::size_t>(chunks), playChunk, pool);
  if (settings.progress && out.threadsStarted == 0) settings.progress(done.load(), total);

  if (budgeted) {
    for (std::size_t p = 0; p < pairings; ++p) {
      PairingTally& tally = out.tallies[p];
      std::uint64_t expected = 0;
      for (const auto& [from, outcomes] : played[p]) {
        if (from != expected) break;  // never: the chunks taken run on from the first
        for (std::size_t i = 0; i < outcomes.size() && tally.turnsPlayed < budget; ++i)
          tally.add(p * battles + from + i, outcomes[i], settings.keepLengths);
        expected = from + chunk;
      }
    }
  }
  return out;
}

}  // namespace momiru::battle
