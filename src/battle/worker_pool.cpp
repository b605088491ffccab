// The pool: one counter hands out the chunks in order, a failure stops every thread at its next
// chunk, and the calling thread either works alongside or waits and tells the progress.
#include "battle/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <vector>

namespace momiru::battle {

std::optional<std::thread> startThread(std::function<void()> work) {
  try {
    return std::thread(std::move(work));
  } catch (const std::system_error&) {
    return std::nullopt;
  }
}

unsigned runPool(std::size_t count, const PoolJob& job, const PoolSettings& settings) {
  const std::size_t chunk = std::max<std::size_t>(settings.chunk, 1);
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  std::atomic<bool> stop{false};
  // Guards the error and the count of running threads.
  std::mutex lock;
  std::condition_variable ended;
  std::exception_ptr error;
  unsigned running = 0;

  const auto fail = [&] {
    const std::lock_guard<std::mutex> hold(lock);
    if (!error) error = std::current_exception();
    stop = true;
  };
  const auto work = [&](unsigned worker, bool caller) {
    try {
      for (;;) {
        if (caller && settings.cancelled && settings.cancelled()) stop = true;
        if (stop) break;
        const std::size_t from = next.fetch_add(chunk, std::memory_order_relaxed);
        if (from >= count) break;
        const std::size_t to = from + std::min(chunk, count - from);
        for (std::size_t i = from; i < to; ++i) job(i, worker);
        const std::size_t finished =
            done.fetch_add(to - from, std::memory_order_relaxed) + to - from;
        if (caller && settings.progress) settings.progress(finished);
      }
    } catch (...) {
      fail();
    }
  };

  std::vector<std::thread> threads;
  threads.reserve(settings.threads);
  for (unsigned t = 0; t < settings.threads; ++t) {
    {
      const std::lock_guard<std::mutex> hold(lock);
      ++running;
    }
    std::optional<std::thread> thread;
    try {
      thread = settings.launch([&, t] {
        work(t, false);
        {
          const std::lock_guard<std::mutex> hold(lock);
          --running;
        }
        ended.notify_all();
      });
    } catch (...) {
      fail();
    }
    if (!thread) {
      // The system has no more threads to give: those running share the jobs.
      const std::lock_guard<std::mutex> hold(lock);
      --running;
      break;
    }
    threads.push_back(std::move(*thread));
  }
  const auto started = static_cast<unsigned>(threads.size());

  if (settings.callerWorks || threads.empty()) {
    work(settings.threads, true);
  } else if (settings.waiting) {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
      const bool last = running == 0;
      hold.unlock();
      try {
        settings.waiting();
      } catch (...) {
        fail();
        break;
      }
      hold.lock();
      if (last) break;
      ended.wait_for(hold, std::chrono::milliseconds(100), [&] { return running == 0; });
    }
  }
  for (std::thread& t : threads) t.join();
  if (error) std::rethrow_exception(error);
  return started;
}

}  // namespace momiru::battle
