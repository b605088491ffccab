// Jobs on threads for the tournament code: the matches of a round, the strength round robin,
// the entries' hashes. Internal to the report library; the threads are the worker pool's.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>

#include "battle/worker_pool.h"

namespace momiru::report::detail {

// Runs job(0..count-1) on up to `threads` threads, the calling thread among them. A thread the
// system will not start leaves its share to the others; a job that throws (runs out of memory)
// stops the rest, and its exception is thrown once every thread has ended. Each job writes only
// its own slot, so the results never depend on the threads. `progress` hears, on the calling
// thread, how many jobs have been done. `cancelled` is asked on the calling thread before each of
// its jobs; once it says so no job starts any more (those running end), and the jobs not started
// are left undone.
inline void runJobs(std::size_t count, unsigned threads,
                    const std::function<void(std::size_t)>& job,
                    const std::function<void(std::size_t)>& progress,
                    const std::function<bool()>& cancelled = {}) {
  battle::PoolSettings pool;
  pool.threads = static_cast<unsigned>(std::min<std::size_t>(threads > 0 ? threads - 1 : 0, count));
  pool.cancelled = cancelled;
  pool.progress = progress;
  battle::runPool(
      count, [&job](std::size_t i, unsigned) { job(i); }, pool);
}

}  // namespace momiru::report::detail
