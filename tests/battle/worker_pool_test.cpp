// The worker pool: every job run once into its own slot whatever the threads (none started, some,
// many), the calling thread working or waiting; a failure thrown once every thread has ended; a
// cancellation leaving the jobs not started undone.
#include "battle/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

namespace momiru::battle {
namespace {

constexpr std::size_t kJobs = 1000;

std::uint64_t slowSquare(std::size_t i) {
  std::uint64_t v = i;
  for (int k = 0; k < 200; ++k) v = v * 6364136223846793005u + 1442695040888963407u;
  return v ^ (i * i);
}

// Starts a thread for the first `allowed` asks and refuses the rest; `alive` counts the threads
// that have not ended.
ThreadLauncher rationed(unsigned allowed, std::atomic<int>& alive) {
  auto asked = std::make_shared<unsigned>(0);
  return [allowed, asked, &alive](std::function<void()> work) -> std::optional<std::thread> {
    if ((*asked)++ >= allowed) return std::nullopt;
    ++alive;
    return std::thread([&alive, work = std::move(work)] {
      work();
      --alive;
    });
  };
}

struct PoolRun {
  std::vector<std::uint64_t> slots;
  std::vector<int> times;  // how often each job ran
  unsigned started = 0;
  unsigned highestWorker = 0;
};

PoolRun run(PoolSettings s) {
  PoolRun r;
  r.slots.assign(kJobs, 0);
  auto times = std::make_unique<std::atomic<int>[]>(kJobs);
  std::atomic<unsigned> highest{0};
  r.started = runPool(
      kJobs,
      [&](std::size_t i, unsigned worker) {
        r.slots[i] = slowSquare(i);
        ++times[i];
        for (unsigned h = highest; worker > h && !highest.compare_exchange_weak(h, worker);) {
        }
      },
      s);
  for (std::size_t i = 0; i < kJobs; ++i) r.times.push_back(times[i]);
  r.highestWorker = highest;
  return r;
}

TEST(WorkerPool, EveryJobRunsOnceIntoItsSlotWhateverTheThreads) {
  PoolSettings one;
  one.threads = 0;
  const PoolRun alone = run(one);
  EXPECT_EQ(alone.started, 0u);
  EXPECT_EQ(alone.times, std::vector<int>(kJobs, 1));
  for (std::size_t i = 0; i < kJobs; ++i) ASSERT_EQ(alone.slots[i], slowSquare(i));

  for (const bool callerWorks : {true, false}) {
    for (const unsigned threads : {1u, 3u, 17u}) {
      for (const std::size_t chunk : {1u, 7u, 5000u}) {  // 7 leaves a short last chunk
        PoolSettings s;
        s.threads = threads;
        s.chunk = chunk;
        s.callerWorks = callerWorks;
        std::atomic<int> alive{0};
        s.launch = rationed(threads, alive);
        int waited = 0;
        s.waiting = [&] { ++waited; };
        const PoolRun many = run(s);
        const std::string what = std::to_string(threads) + " threads, chunks of " +
                                 std::to_string(chunk) + (callerWorks ? ", caller working" : "");
        EXPECT_EQ(many.started, threads) << what;
        EXPECT_EQ(many.slots, alone.slots) << what;
        EXPECT_EQ(many.times, alone.times) << what;
        EXPECT_LE(many.highestWorker, callerWorks ? threads : threads - 1) << what;
        EXPECT_EQ(alive.load(), 0) << what;
        // The caller that waits hears of it at least once, when the threads have all ended.
        EXPECT_EQ(waited > 0, !callerWorks) << what;
      }
    }
  }
}

TEST(WorkerPool, AThreadThatCannotStartLeavesItsShareToTheOthers) {
  PoolSettings plain;
  const PoolRun expected = run(plain);
  for (const bool callerWorks : {true, false}) {
    for (const unsigned allowed : {0u, 1u}) {
      PoolSettings s;
      s.threads = 4;
      s.chunk = 16;
      s.callerWorks = callerWorks;
      std::atomic<int> alive{0};
      s.launch = rationed(allowed, alive);
      const PoolRun got = run(s);
      EXPECT_EQ(got.started, allowed);
      EXPECT_EQ(got.slots, expected.slots);
      EXPECT_EQ(got.times, expected.times);
      // With no thread the calling thread, worker 4, ran everything.
      if (allowed == 0) {
        EXPECT_EQ(got.highestWorker, 4u);
      }
      EXPECT_EQ(alive.load(), 0);
    }
  }
}

TEST(WorkerPool, AFailureIsThrownOnceEveryThreadHasEnded) {
  for (const bool callerWorks : {true, false}) {
    PoolSettings s;
    s.threads = 3;
    s.callerWorks = callerWorks;
    std::atomic<int> alive{0};
    s.launch = rationed(3, alive);
    // Memory runs out at one job: the rest stop at their next job.
    const PoolJob failing = [&](std::size_t i, unsigned) {
      if (i == 20) throw std::bad_alloc();
      (void)slowSquare(i);
    };
    EXPECT_THROW(runPool(kJobs, failing, s), std::bad_alloc);
    EXPECT_EQ(alive.load(), 0) << "every thread had ended";
    // Any other failure comes through as itself, and so does a launcher's.
    s.launch = rationed(3, alive);
    EXPECT_THROW(runPool(
                     kJobs, [](std::size_t, unsigned) { throw std::runtime_error("broken"); }, s),
                 std::runtime_error);
    EXPECT_EQ(alive.load(), 0);
    int asked = 0;
    s.launch = [&](std::function<void()> work) -> std::optional<std::thread> {
      if (asked++ == 1) throw std::bad_alloc();
      ++alive;
      return std::thread([&alive, work = std::move(work)] {
        work();
        --alive;
      });
    };
    EXPECT_THROW(runPool(
                     kJobs, [](std::size_t, unsigned) {}, s),
                 std::bad_alloc);
    EXPECT_EQ(alive.load(), 0);
  }
}

TEST(WorkerPool, ACancellationLeavesTheJobsNotStartedUndone) {
  // The calling thread alone, so that what is done is known to the job.
  PoolSettings s;
  s.chunk = 3;
  std::vector<char> ran(kJobs, 0);
  std::size_t last = 0;
  bool rising = true;
  s.progress = [&](std::size_t done) {
    rising = rising && done > last;
    last = done;
  };
  s.cancelled = [&] { return last >= 100; };
  runPool(
      kJobs, [&](std::size_t i, unsigned) { ran[i] = 1; }, s);
  EXPECT_TRUE(rising);
  EXPECT_EQ(last, 102u);
  EXPECT_EQ(std::vector<char>(ran.begin(), ran.begin() + 102), std::vector<char>(102, 1));
  EXPECT_EQ(std::vector<char>(ran.begin() + 102, ran.end()), std::vector<char>(kJobs - 102, 0));
  // Uncancelled, the calling thread's last word is every job.
  s.cancelled = {};
  last = 0;
  runPool(
      kJobs, [](std::size_t, unsigned) {}, s);
  EXPECT_EQ(last, kJobs);
}

}  // namespace
}  // namespace momiru::battle
