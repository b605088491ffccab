// One slow piece of work (writing a page) run off the UI thread when a thread can be had, else
// on it under the waiting cursor; either way its end is told on the UI thread.
#pragma once

#include <QObject>
#include <functional>
#include <thread>

#include "battle/worker_pool.h"

namespace momiru::ui {

class BackgroundTask {
 public:
  explicit BackgroundTask(battle::ThreadLauncher launch = battle::startThread)
      : launch_(std::move(launch)) {}
  // Waits for the thread, as wait() does.
  ~BackgroundTask() { wait(); }
  BackgroundTask(const BackgroundTask&) = delete;
  BackgroundTask& operator=(const BackgroundTask&) = delete;

  // Runs `work` on a thread of its own; once it has ended, `finished` hears what it gave through
  // a queued call on `receiver`'s thread, the thread joined first. When no thread can be started,
  // `work` runs here under the waiting cursor and `finished` is called before run() returns.
  // `receiver` owns this task, and the work holds its own copies of what it reads: a task
  // waited for by its receiver's destructor leaves nothing that outlives either. One task at a
  // time: a run() waits for the thread of the one before.
  void run(QObject* receiver, std::function<bool()> work, std::function<void(bool)> finished);

  // Waits for the thread, if one runs. Its queued call, if any, is dropped with the receiver.
  void wait();

 private:
  void finish(bool ok);

  battle::ThreadLauncher launch_;
  std::function<bool()> work_;
  std::function<void(bool)> finished_;
  std::thread thread_;
};

}  // namespace momiru::ui
