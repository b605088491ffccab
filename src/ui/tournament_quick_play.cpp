// Quick play: the session's playRest on a worker thread, or a slice at a time on this one.
#include "ui/tournament_quick_play.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <cstdio>
#include <string>
#include <system_error>

#include "battle/worker_pool.h"

namespace momiru::ui {

namespace {

// How long a slice of quick play on this thread may take before the window gets a turn.
constexpr qint64 kSliceMs = 15;

unsigned quickPlayThreads() {
  // One core is left to the window.
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 ? cores - 1 : 1;
}

}  // namespace

TournamentQuickPlay::TournamentQuickPlay(QObject* parent)
    : QObject(parent), startThread_(battle::startThread) {
  pollTimer_.setInterval(100);
  connect(&pollTimer_, &QTimer::timeout, this, &TournamentQuickPlay::tell);
  sliceTimer_.setSingleShot(true);
  sliceTimer_.setInterval(0);
  connect(&sliceTimer_, &QTimer::timeout, this, &TournamentQuickPlay::playSlice);
}

TournamentQuickPlay::~TournamentQuickPlay() { stop(); }

void TournamentQuickPlay::stop() {
  cancel_ = true;
  // The worker tells of its end through a queued call; once joined here, nothing is left to
  // call, and the call it left is dropped with this object.
  if (worker_.joinable()) worker_.join();
  sliceTimer_.stop();
  pollTimer_.stop();
}

void TournamentQuickPlay::begin(report::TournamentSession& session) {
  session_ = &session;
  cancel_ = false;
  const report::TournamentPlay* play = session.play();
  played_ = play != nullptr ? play->playedCount() : 0;
  total_ = play != nullptr ? play->totalCount() : 0;
  playing_ = true;
}

bool TournamentQuickPlay::run() {
  report::TournamentSession* s = session_;
  std::optional<std::thread> started;
  try {
    started = startThread_([this, s] {
      report::SessionProblem problem;
      const bool ok = s->playRest(
          quickPlayThreads(), [this] { return cancel_.load(); },
          [this](std::size_t done, std::size_t all) {
            played_ = done;
            total_ = all;
          },
          &problem);
      QMetaObject::invokeMethod(
          this, [this, ok, problem] { finish(ok, problem); }, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    started.reset();
  }
  pollTimer_.start();
  if (started) {
    worker_ = std::move(*started);
    return true;
  }
  // No thread to be had: played here in short slices, the window getting a turn between them.
  sliceTimer_.start();
  return false;
}

void TournamentQuickPlay::playSlice() {
  if (!playing_ || session_ == nullptr) return;
  QElapsedTimer clock;
  clock.start();
  report::SessionProblem problem;
  const bool ok = session_->playRest(
      1, [this, &clock] { return cancel_.load() || clock.elapsed() >= kSliceMs; },
      [this](std::size_t done, std::size_t all) {
        played_ = done;
        total_ = all;
      },
      &problem);
  const report::TournamentPlay* play = session_->play();
  if (!ok || cancel_ || play == nullptr || play->readyMatches().empty()) {
    finish(ok, problem);
    return;
  }
  tell();
  sliceTimer_.start();
}

void TournamentQuickPlay::tell() { emit progress(played_.load(), total_.load()); }

void TournamentQuickPlay::finish(bool ok, const report::SessionProblem& problem) {
  if (worker_.joinable()) worker_.join();
  sliceTimer_.stop();
  pollTimer_.stop();
  const bool cancelled = cancel_.load();
  playing_ = false;
  session_ = nullptr;
  emit finished(ok, problem, cancelled);
}

}  // namespace momiru::ui
