// The one pool of threads for every many-at-once job: the battles of a run, a tournament's
// matches and hashes, the replays of a folder. Jobs are handed out in order, each run once on
// whichever thread takes it; each writes only what is its own, so what comes out never depends on
// the number of threads.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <thread>

namespace momiru::battle {

// Starts a thread running `work`, or gives nothing when the system refuses one.
using ThreadLauncher = std::function<std::optional<std::thread>(std::function<void()>)>;
std::optional<std::thread> startThread(std::function<void()> work);

struct PoolSettings {
  // Threads started through `launch` besides the calling thread; fewer when the system refuses
  // some.
  unsigned threads = 0;
  // Jobs a thread takes at a time (at least one): neighbours, run in order.
  std::size_t chunk = 1;
  // Whether the calling thread takes jobs alongside the threads started. When it does not, it
  // runs them only when no thread starts, and otherwise waits for the threads, calling `waiting`.
  bool callerWorks = true;
  ThreadLauncher launch = startThread;
  // Asked on the calling thread before each chunk it takes; once it says so no chunk starts any
  // more (those running end), and the jobs not started are left undone.
  std::function<bool()> cancelled;
  // Called on the calling thread after each of its chunks, with the jobs done so far by all.
  std::function<void(std::size_t done)> progress;
  // Called on the calling thread about ten times a second while it waits for the threads, and
  // once more when they all have ended.
  std::function<void()> waiting;
};

// A job: the job's index, and the worker running it, 0 .. settings.threads (the calling thread
// is worker settings.threads), for what a worker keeps from one job to its next.
using PoolJob = std::function<void(std::size_t job, unsigned worker)>;

// Runs job(0 .. count - 1) and gives the number of threads started. A thread that cannot be
// started leaves its share to the others; when none starts, the calling thread runs every job.
// When a job (or the launcher, or a callback) throws, no chunk starts any more and the first
// exception (std::bad_alloc when memory runs out) is thrown here once every thread has ended.
unsigned runPool(std::size_t count, const PoolJob& job, const PoolSettings& settings);

}  // namespace momiru::battle
