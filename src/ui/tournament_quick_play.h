// The tournament's rest played at once without a screen: on a worker thread, or in short slices
// on the window's thread when no thread can start, its progress told every tenth of a second and
// its end told once, on the window's thread. While it plays, only it touches the session.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <thread>

#include "report/tournament_session.h"

namespace momiru::ui {

class TournamentQuickPlay final : public QObject {
  Q_OBJECT
 public:
  using ThreadStarter = std::function<std::optional<std::thread>(std::function<void()>)>;

  explicit TournamentQuickPlay(QObject* parent = nullptr);
  // Stops as stop() does.
  ~TournamentQuickPlay() override;

  // How it gets its thread; battle::startThread unless a test says otherwise.
  void setThreadStarter(ThreadStarter start) { startThread_ = std::move(start); }

  // Takes `session` from now on (playing() is true) with its counts as they stand, so that the
  // window can say so while it still may read the session; run() then starts the play. The
  // session outlives the play.
  void begin(report::TournamentSession& session);
  // Plays on a thread of its own and returns true; or, when no thread can start, returns false
  // and plays in slices on this thread once the window is back in its event loop.
  bool run();
  // Asks the play to stop after the match being played.
  void cancel() { cancel_ = true; }
  // Cancels, waits for the worker, and stops without telling finished (the window goes).
  void stop();

  bool playing() const { return playing_; }
  std::size_t played() const { return played_.load(); }
  std::size_t total() const { return total_.load(); }

 signals:
  // The matches played of all, now and then while it plays.
  void progress(std::size_t played, std::size_t total);
  // The play has stopped and the session is the window's again: `ok` false, with `error` in
  // English, when a save failed or a round could not be paired; `cancelled` when asked to stop.
  void finished(bool ok, const report::SessionProblem& problem, bool cancelled);

 private:
  void playSlice();
  void finish(bool ok, const report::SessionProblem& problem);
  void tell();

  ThreadStarter startThread_;
  report::TournamentSession* session_ = nullptr;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<std::size_t> played_{0};
  std::atomic<std::size_t> total_{0};
  bool playing_ = false;
  QTimer pollTimer_;
  QTimer sliceTimer_;
};

}  // namespace momiru::ui
