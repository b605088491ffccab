#include "ui/background_task.h"

#include <QMetaObject>
#include <optional>
#include <system_error>

#include "ui/wait_cursor.h"

namespace momiru::ui {

void BackgroundTask::run(QObject* receiver, std::function<bool()> work,
                         std::function<void(bool)> finished) {
  wait();
  work_ = std::move(work);
  finished_ = std::move(finished);
  std::optional<std::thread> started;
  try {
    // While the thread runs, only it touches the work; the UI thread touches it again once it
    // has joined the thread.
    started = launch_([this, receiver] {
      const bool ok = work_();
      QMetaObject::invokeMethod(
          receiver,
          [this, ok] {
            wait();
            finish(ok);
          },
          Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    started.reset();
  }
  if (started) {
    thread_ = std::move(*started);
    return;
  }
  // No thread to be had: the work is done here, the window waiting.
  bool ok = false;
  {
    const WaitCursor waiting;
    ok = work_();
  }
  finish(ok);
}

void BackgroundTask::wait() {
  if (thread_.joinable()) thread_.join();
}

void BackgroundTask::finish(bool ok) {
  // What the work held goes now; `finished` may start the next task.
  const std::function<void(bool)> finished = std::move(finished_);
  work_ = nullptr;
  finished_ = nullptr;
  finished(ok);
}

}  // namespace momiru::ui
