// The runner of many battles: the same tallies as the battles played one by one, on any number
// of threads or none, and a failure on a thread reported once, after every thread has ended.
#include "battle/batch_runner.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "support/records.h"

namespace momiru::battle {
namespace {

// Two pairings, the second the first mirrored: enough battles for several chunks each, the last
// one short.
constexpr std::uint64_t kBattles = 700;
constexpr std::uint64_t kSeed = 2024;

GameState pairing(std::size_t p) {
  GameState gs = testing::sanePair();
  if (p == 1) std::swap(gs.combatant[0], gs.combatant[1]);
  return gs;
}

BatchSettings settings(unsigned jobs) {
  BatchSettings s;
  s.battles = kBattles;
  s.seed = kSeed;
  s.jobs = jobs;
  s.keepLengths = true;
  s.chunkBattles = 64;
  return s;
}

// Pairing p's battles played one by one on this thread and counted by hand.
struct Expected {
  std::uint64_t wins[2] = {};
  std::uint64_t draws = 0;
  std::uint64_t unfinished = 0;
  std::uint64_t turnSum = 0;
  std::uint64_t firstUnfinished = PairingTally::kNoBattle;
  std::uint64_t firstDraw = PairingTally::kNoBattle;
};

Expected oneByOne(std::size_t p, std::int32_t maxTurns) {
  Expected e;
  BatchBattles<false> runner(pairing(p));
  for (std::uint64_t i = p * kBattles; i < (p + 1) * kBattles; ++i) {
    const Outcome o = runner.play(battleSeed(kSeed, i), maxTurns);
    if (!o.finished) {
      ++e.unfinished;
      if (e.firstUnfinished == PairingTally::kNoBattle) e.firstUnfinished = i;
    } else if (o.winner == 0 || o.winner == 1) {
      ++e.wins[o.winner];
      e.turnSum += static_cast<std::uint64_t>(o.turns);
    } else {
      ++e.draws;
      if (e.firstDraw == PairingTally::kNoBattle) e.firstDraw = i;
      e.turnSum += static_cast<std::uint64_t>(o.turns);
    }
  }
  return e;
}

TEST(BatchRunner, CountsWhatTheBattlesGiveOneByOneOnAnyNumberOfThreads) {
  // A turn limit that some battles reach, so that every kind of outcome can occur.
  BatchSettings s = settings(1);
  s.maxTurns = 30;
  const BatchResult one = runBatch(2, pairing, s);
  ASSERT_EQ(one.tallies.size(), 2u);
  for (std::size_t p = 0; p < 2; ++p) {
    const Expected e = oneByOne(p, s.maxTurns);
    const PairingTally& t = one.tallies[p];
    EXPECT_EQ(t.player1Wins, e.wins[0]);
    EXPECT_EQ(t.player2Wins, e.wins[1]);
    EXPECT_EQ(t.draws, e.draws);
    EXPECT_EQ(t.unfinished, e.unfinished);
    EXPECT_EQ(t.battles(), kBattles);
    EXPECT_EQ(t.turnSum, e.turnSum);
    EXPECT_EQ(t.firstIndex[static_cast<std::size_t>(OutcomeKind::Unfinished)], e.firstUnfinished);
    EXPECT_EQ(t.firstIndex[static_cast<std::size_t>(OutcomeKind::Draw)], e.firstDraw);
    std::uint64_t lengths = 0;
    for (const auto& [turns, n] : t.lengths) lengths += n;
    EXPECT_EQ(lengths, t.finished());
  }
  EXPECT_GT(one.tallies[0].unfinished, 0u);
  EXPECT_GT(one.tallies[0].finished(), 0u);

  for (const unsigned jobs : {2u, 3u, 64u}) {
    s.jobs = jobs;
    std::uint64_t last = 0;
    std::uint64_t calls = 0;
    s.progress = [&](std::uint64_t done, std::uint64_t total) {
      EXPECT_GE(done, last);
      EXPECT_EQ(total, 2 * kBattles);
      last = done;
      ++calls;
    };
    const BatchResult many = runBatch(2, pairing, s);
    EXPECT_EQ(many.tallies, one.tallies) << jobs << " threads";
    EXPECT_EQ(many.threadsStarted, std::min(jobs, 22u));  // 2 pairings of 11 chunks
    EXPECT_EQ(last, 2 * kBattles) << "the last call sees every battle";
    EXPECT_GE(calls, 1u);
  }
}

TEST(BatchRunner, PlaysOnTheCallingThreadWhenNoThreadStarts) {
  BatchSettings s = settings(4);
  const BatchResult expected = runBatch(2, pairing, s);
  s.launch = [](std::function<void()>) -> std::optional<std::thread> { return std::nullopt; };
  std::uint64_t seen = 0;
  s.progress = [&](std::uint64_t done, std::uint64_t) { seen = done; };
  const BatchResult inline_ = runBatch(2, pairing, s);
  EXPECT_EQ(inline_.threadsWanted, 4u);
  EXPECT_EQ(inline_.threadsStarted, 0u);
  EXPECT_EQ(inline_.tallies, expected.tallies);
  EXPECT_EQ(seen, 2 * kBattles);
  // Nothing to play: no thread, empty tallies.
  s.battles = 0;
  const BatchResult none = runBatch(2, pairing, s);
  EXPECT_EQ(none.threadsWanted, 0u);
  EXPECT_EQ(none.tallies, std::vector<PairingTally>(2));
}

// That every thread has ended first is the worker pool's to keep (worker_pool_test).
TEST(BatchRunner, AFailureOnAThreadStopsTheRunAndIsThrown) {
  for (const unsigned jobs : {1u, 3u}) {
    const BatchSettings s = settings(jobs);
    // The second pairing's state cannot be made: memory runs out there.
    const auto failing = [](std::size_t p) -> GameState {
      if (p == 1) throw std::bad_alloc();
      return pairing(p);
    };
    EXPECT_THROW(runBatch(2, failing, s), std::bad_alloc) << jobs << " threads";
    // Any other failure comes through as itself.
    const auto broken = [](std::size_t) -> GameState { throw std::runtime_error("broken"); };
    EXPECT_THROW(runBatch(2, broken, s), std::runtime_error);
  }
}

}  // namespace
}  // namespace momiru::battle
