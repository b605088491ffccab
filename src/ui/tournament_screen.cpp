// The tournament window's frame and the tournament followed: the views, the progress, live play
// through the flow, quick play on a worker thread, the replays, the file and the page. The
// session is touched by one thread at a time: while quick play runs, only the worker has it, and
// the window shows it again once the worker has stopped.
#include "ui/tournament_screen.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <system_error>

#include "battle/worker_pool.h"
#include "data/platform.h"
#include "data/text_safety.h"
#include "report/tournament_page.h"
#include "ui/bracket_view.h"
#include "ui/match_list.h"
#include "ui/platform_dialogs.h"
#include "ui/refusal_text.h"
#include "ui/standings_view.h"
#include "ui/tournament_parts.h"
#include "ui/tournament_texts.h"
#include "ui/twips.h"

namespace momiru::ui {

namespace {

// 960 × 640 logical pixels: inside 1,024 × 768 with the window frame.
constexpr int kWidthTwips = 14400;
constexpr int kHeightTwips = 9600;
// How long a slice of quick play on this thread may take before the window gets a turn.
constexpr qint64 kSliceMs = 15;

unsigned quickPlayThreads() {
  // One core is left to the window.
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 ? cores - 1 : 1;
}

}  // namespace

namespace tournament_parts {

QPushButton* button(QWidget* parent, const char* text, const char* name, const char* accessible) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAccessibleName(QString::fromUtf8(accessible));
  b->setAutoDefault(false);
  return b;
}

QLabel* label(QWidget* parent, const char* name) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setTextFormat(Qt::PlainText);  // names from files stay text
  l->setWordWrap(true);
  return l;
}

void setText(QLabel* label, const QString& text) {
  label->setText(text);
  label->setAccessibleName(text);
}

const report::Match* findMatch(const report::TournamentSession& session, const QString& id) {
  const std::string key = id.toStdString();
  if (const report::TournamentPlay* play = session.play()) {
    const report::ScheduledMatch* m = play->find(key);
    return m != nullptr ? &m->match : nullptr;
  }
  for (const report::Match& m : session.tournament().matches) {
    if (m.id == key) return &m;
  }
  return nullptr;
}

const report::Tournament& current(const report::TournamentSession& session) {
  return session.play() != nullptr ? session.play()->tournament() : session.tournament();
}

const char* writtenBy() { return "momiru-battle " MOMIRU_VERSION; }

}  // namespace tournament_parts

using tournament_parts::current;
using tournament_parts::findMatch;
using tournament_parts::setText;

TournamentScreen::TournamentScreen(ScreenContext& context,
                                   std::optional<report::TournamentSession>& session,
                                   std::optional<std::filesystem::path> directory)
    : Screen(context, "Tournament", QStringLiteral("大会"), QSize(kWidthTwips, kHeightTwips)),
      session_(session),
      directory_(std::move(directory)),
      startThread_(battle::startThread),
      openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  setAcceptDrops(true);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(px(180), px(150), px(180), px(120));

  // The top row, read first: what tournament this is, and its file.
  auto* top = new QHBoxLayout;
  title_ = tournament_parts::label(this, "TournamentTitle");
  QFont big = title_->font();
  big.setPointSizeF(big.pointSizeF() * 1.2);
  big.setBold(true);
  title_->setFont(big);
  top->addWidget(title_, 1);
  openButton_ = tournament_parts::button(this, "開く", "Open", "大会のファイルを開く");
  saveButton_ =
      tournament_parts::button(this, "保存", "Save", "大会のファイルを別の場所に保存する");
  top->addWidget(openButton_);
  top->addWidget(saveButton_);
  outer->addLayout(top);
  connect(openButton_, &QPushButton::clicked, this, &TournamentScreen::openFile);
  connect(saveButton_, &QPushButton::clicked, this, &TournamentScreen::saveFile);

  pages_ = new QStackedWidget(this);
  pages_->addWidget(buildNewPage());
  pages_->addWidget(buildGatherPage());
  pages_->addWidget(buildFollowPage());
  outer->addWidget(pages_, 1);

  status_ = tournament_parts::label(this, "Status");
  status_->setMinimumHeight(px(360));
  outer->addWidget(status_);

  pollTimer_.setInterval(100);
  connect(&pollTimer_, &QTimer::timeout, this, &TournamentScreen::pollProgress);
  sliceTimer_.setSingleShot(true);
  sliceTimer_.setInterval(0);
  connect(&sliceTimer_, &QTimer::timeout, this, &TournamentScreen::playSlice);

  if (session_ && session_->verifyProblem()) {
    // Said before anything of it is shown as fact.
    std::fprintf(stderr, "momiru-battle: %s: %s\n",
                 shellQuote(pathToUtf8(session_->file())).c_str(),
                 visibleText(*session_->verifyProblem()).c_str());
    ctx.dialogs.replayMessage(this, notVerifiedText());
  }
  showPage();
}

TournamentScreen::~TournamentScreen() { stopWorkers(); }

void TournamentScreen::stopWorkers() {
  cancel_ = true;
  // The threads tell the window they are done through queued calls; once joined here, nothing is
  // left to call, and the calls they left are dropped with the window.
  if (worker_.joinable()) worker_.join();
  pageWriter_.wait();
  sliceTimer_.stop();
  pollTimer_.stop();
}

void TournamentScreen::stopEverything() { stopWorkers(); }

void TournamentScreen::setStatus(const QString& text) { setText(status_, text); }

void TournamentScreen::sayUnsaved(const report::SessionProblem* problem) {
  setStatus(QStringLiteral("大会のファイルに保存できませんでした。") +
            (problem != nullptr ? sessionProblemText(*problem) : QString()) +
            QStringLiteral("変更はこの画面に残っています。保存 で別の場所に保存してください。"));
}

QString TournamentScreen::statusText() const { return status_->text(); }

void TournamentScreen::showPage() {
  if (!session_) {
    setText(title_, QStringLiteral("新しい大会"));
    pages_->setCurrentIndex(0);
  } else {
    const report::Tournament& t = session_->tournament();
    QString rules = formatText(t.rules.format) + QStringLiteral("・") + bestOfText(t.rules.bestOf);
    if (t.rules.format == report::Format::Swiss)
      rules += QStringLiteral("・%1回戦").arg(t.rules.rounds);
    if (t.rules.format == report::Format::RoundRobin && t.rules.rounds == 2) {
      rules += QStringLiteral("・2回総当たり");
    }
    rules += QStringLiteral("・シード：") + seedingText(t.rules.seeding);
    if (t.rules.thirdPlace) rules += QStringLiteral("・3位決定戦あり");
    if (t.rules.halve) rules += QStringLiteral("・ダメージ半減");
    setText(title_, shownName(t.name) + QStringLiteral("　") + rules);
    if (session_->started() || session_->verifyProblem() || t.stage == report::Stage::Finished) {
      pages_->setCurrentIndex(2);
      showFollowing();
    } else {
      pages_->setCurrentIndex(1);
      showGathering();
    }
  }
  updateButtons();
  // The keyboard starts at the page's first step when it is not on a control still shown.
  QWidget* focused = focusWidget();
  if (focused == nullptr || !focused->isVisibleTo(this) || !focused->isEnabled()) {
    QWidget* first = name_;
    if (pages_->currentIndex() == 1) {
      first = loadButton_->isEnabled() ? loadButton_ : startButton_;
      if (!first->isEnabled()) first = entries_;
    } else if (pages_->currentIndex() == 2) {
      first = nextButton_->isEnabled() ? static_cast<QWidget*>(nextButton_) : matchList_;
    }
    first->setFocus();
  }
}

void TournamentScreen::refresh() {
  if (playing_) return;  // the worker has the session; it is shown once it stops
  showPage();
  if (session_ && session_->unsaved()) sayUnsaved();
}

void TournamentScreen::selectMatch(const QString& id) {
  selected_ = id;
  refresh();
  matchChosen(id);
}

QWidget* TournamentScreen::buildFollowPage() {
  auto* page = new QWidget(this);
  auto* box = new QVBoxLayout(page);
  box->setContentsMargins(0, 0, 0, 0);
  notVerified_ = tournament_parts::label(page, "NotVerified");
  notVerified_->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
  box->addWidget(notVerified_);
  auto* lines = new QHBoxLayout;
  progress_ = tournament_parts::label(page, "Progress");
  whole_ = tournament_parts::label(page, "Whole");
  winner_ = tournament_parts::label(page, "Winner");
  QFont bold = winner_->font();
  bold.setBold(true);
  winner_->setFont(bold);
  progress_->setFont(bold);
  lines->addWidget(progress_, 2);
  lines->addWidget(whole_, 2);
  lines->addWidget(winner_, 3);
  box->addLayout(lines);

  auto* views = new QHBoxLayout;
  mainView_ = new QStackedWidget(page);
  mainView_->setObjectName(QStringLiteral("MainView"));
  bracket_ = new BracketView(mainView_);
  bracket_->setObjectName(QStringLiteral("Bracket"));
  bracket_->setAccessibleName(QStringLiteral("トーナメント表"));
  standings_ = new StandingsView(mainView_);
  standings_->setObjectName(QStringLiteral("Standings"));
  standings_->setAccessibleName(QStringLiteral("各回戦の対戦と順位表"));
  mainView_->addWidget(bracket_);
  mainView_->addWidget(standings_);
  matches_ = new MatchList(page);
  matchList_ = matches_;
  connect(bracket_, &BracketView::matchSelected, this, &TournamentScreen::matchChosen);
  connect(standings_, &StandingsView::matchSelected, this, &TournamentScreen::matchChosen);
  connect(matches_, &MatchList::matchSelected, this, &TournamentScreen::matchChosen);
  connect(bracket_, &BracketView::matchActivated, this, &TournamentScreen::matchActivated);
  connect(standings_, &StandingsView::matchActivated, this, &TournamentScreen::matchActivated);
  connect(matches_, &MatchList::matchActivated, this, &TournamentScreen::matchActivated);
  matchList_->setObjectName(QStringLiteral("Matches"));
  matchList_->setAccessibleName(QStringLiteral("試合の一覧"));
  views->addWidget(mainView_, 3);
  views->addWidget(matchList_, 2);
  box->addLayout(views, 1);

  auto* play = new QHBoxLayout;
  nextButton_ =
      tournament_parts::button(page, "次の試合", "NextMatch", "次の試合をコロシアムで戦う");
  restButton_ = tournament_parts::button(page, "残りを一気に進める", "PlayRest",
                                         "残りの試合を画面なしで一気に進める");
  bar_ = new QProgressBar(page);
  bar_->setObjectName(QStringLiteral("PlayProgress"));
  bar_->setAccessibleName(QStringLiteral("一気に進めている試合の進み具合"));
  bar_->setFormat(QStringLiteral("%v / %m 試合"));
  cancelButton_ = tournament_parts::button(page, "中止", "CancelPlay", "一気に進めるのを中止する");
  play->addWidget(nextButton_);
  play->addWidget(restButton_);
  play->addWidget(bar_, 1);
  play->addWidget(cancelButton_);
  box->addLayout(play);
  connect(nextButton_, &QPushButton::clicked, this, &TournamentScreen::playNext);
  connect(restButton_, &QPushButton::clicked, this, &TournamentScreen::playRest);
  connect(cancelButton_, &QPushButton::clicked, this, &TournamentScreen::cancelPlay);

  auto* more = new QHBoxLayout;
  auto* battleLabel = new QLabel(QStringLiteral("バトル"), page);
  battle_ = new QComboBox(page);
  battle_->setObjectName(QStringLiteral("Battle"));
  battle_->setAccessibleName(QStringLiteral("選んだ試合のバトル"));
  battle_->setMinimumWidth(px(3600));
  battleLabel->setBuddy(battle_);
  viewButton_ = tournament_parts::button(page, "リプレイを見る", "ViewBattle",
                                         "選んだバトルのリプレイを見る");
  exportButton_ = tournament_parts::button(page, "ページに書き出す", "ExportPage",
                                           "大会のページを書き出してブラウザーで開く");
  more->addWidget(battleLabel);
  more->addWidget(battle_);
  more->addWidget(viewButton_);
  more->addStretch(1);
  more->addWidget(exportButton_);
  box->addLayout(more);
  connect(viewButton_, &QPushButton::clicked, this, &TournamentScreen::viewBattle);
  connect(exportButton_, &QPushButton::clicked, this, &TournamentScreen::exportPage);
  return page;
}

void TournamentScreen::showFollowing() {
  const report::TournamentPlay* play = session_->play();
  const report::Tournament& t = play != nullptr ? play->tournament() : session_->tournament();
  notVerified_->setVisible(session_->verifyProblem().has_value());
  if (session_->verifyProblem()) {
    setText(notVerified_, QStringLiteral("検証できなかった大会です。試合は進められません。"));
  }
  if (play != nullptr) {
    setText(progress_, progressLine(*play));
    setText(whole_, wholeLine(*play));
  } else {
    setText(progress_, QStringLiteral("記録されている試合 %1").arg(t.matches.size()));
    setText(whole_, QString());
  }
  setText(winner_, winnerLine(t));
  showViews(t);
  fillBattles();
}

void TournamentScreen::showViews(const report::Tournament& t) {
  // A file that did not verify has no schedule: its matches are shown as it claims them.
  std::vector<report::ScheduledMatch> claimed;
  const report::TournamentPlay* play = session_->play();
  if (play == nullptr) {
    for (const report::Match& m : t.matches) {
      report::ScheduledMatch shown;
      shown.match = m;
      shown.played = !m.battles.empty() || m.winner.has_value();
      shown.bye = !m.players[0] || !m.players[1];
      claimed.push_back(std::move(shown));
    }
  }
  const std::vector<report::ScheduledMatch>& schedule =
      play != nullptr ? play->schedule() : claimed;
  const bool elimination =
      t.rules.format == report::Format::Single || t.rules.format == report::Format::Double;
  const bool quiet = syncing_;
  syncing_ = true;
  if (elimination) {
    bracket_->setTournament(t, schedule);
    mainView_->setCurrentWidget(bracket_);
  } else {
    standings_->setTournament(t, schedule);
    mainView_->setCurrentWidget(standings_);
  }
  matches_->setTournament(t, schedule);
  if (!selected_.isEmpty()) {
    if (elimination) {
      bracket_->selectMatch(selected_);
    } else {
      standings_->selectMatch(selected_);
    }
    matches_->selectMatch(selected_);
  }
  syncing_ = quiet;
}

void TournamentScreen::matchChosen(const QString& id) {
  if (syncing_) return;
  syncing_ = true;
  selected_ = id;
  if (mainView_->currentWidget() == bracket_) {
    bracket_->selectMatch(id);
  } else {
    standings_->selectMatch(id);
  }
  matches_->selectMatch(id);
  syncing_ = false;
  fillBattles();
  updateButtons();
}

void TournamentScreen::matchActivated(const QString& id) {
  matchChosen(id);
  if (!session_ || playing_) return;
  // A ready match is played; a played one is watched from its first battle.
  if (const report::TournamentPlay* play = session_->play();
      play != nullptr && !session_->verifyProblem()) {
    const std::vector<std::string> ready = play->readyMatches();
    if (std::find(ready.begin(), ready.end(), id.toStdString()) != ready.end()) {
      emit playMatchRequested(id);
      return;
    }
  }
  if (battle_->count() > 0) emit viewBattleRequested(id, 1);
}

void TournamentScreen::fillBattles() {
  battle_->clear();
  if (!session_ || selected_.isEmpty() || playing_) return;
  const report::Match* m = findMatch(*session_, selected_);
  if (m == nullptr) return;
  const report::Tournament& t = current(*session_);
  for (std::size_t k = 0; k < m->battles.size(); ++k) {
    const report::BattleRecord& b = m->battles[k];
    QString text = QStringLiteral("第%1戦　").arg(k + 1);
    text += b.winner ? entryName(t, *b.winner) + QStringLiteral("の勝利")
                     : QStringLiteral("引き分けか決着つかず");
    battle_->addItem(text, static_cast<int>(k + 1));
  }
}

void TournamentScreen::updateButtons() {
  const bool idle = !playing_;
  openButton_->setEnabled(idle);
  saveButton_->setEnabled(idle && session_.has_value());
  if (!session_) return;
  const report::Tournament& t = session_->tournament();
  const bool open = t.stage == report::Stage::Open;
  loadButton_->setEnabled(idle && open);
  folderButton_->setEnabled(idle && open);
  removeButton_->setEnabled(idle && open && entries_->currentItem() != nullptr);
  closeButton_->setEnabled(idle && open);
  startButton_->setEnabled(idle && t.stage == report::Stage::Closed && !session_->started());
  const report::TournamentPlay* play = session_->play();
  const bool playable = idle && play != nullptr && !session_->verifyProblem() &&
                        !play->finished() && !play->readyMatches().empty();
  nextButton_->setEnabled(playable);
  restButton_->setEnabled(playable);
  cancelButton_->setEnabled(playing_);
  bar_->setVisible(playing_);
  battle_->setEnabled(idle && battle_->count() > 0);
  viewButton_->setEnabled(idle && battle_->count() > 0);
  exportButton_->setEnabled(idle && !exporting_);
}

void TournamentScreen::playNext() {
  if (!session_ || playing_ || session_->verifyProblem()) return;
  const report::TournamentPlay* play = session_->play();
  if (play == nullptr) return;
  const std::vector<std::string> ready = play->readyMatches();
  if (ready.empty()) return;
  // The chosen match when it is ready, else the first that is.
  const std::string chosen = selected_.toStdString();
  const bool chosenReady = std::find(ready.begin(), ready.end(), chosen) != ready.end();
  emit playMatchRequested(QString::fromStdString(chosenReady ? chosen : ready.front()));
}

void TournamentScreen::playRest() {
  if (!session_ || playing_ || session_->verifyProblem()) return;
  report::TournamentPlay* play = session_->play();
  if (play == nullptr || play->finished() || play->readyMatches().empty()) return;
  cancel_ = false;
  played_ = play->playedCount();
  total_ = play->totalCount();
  playing_ = true;
  battle_->clear();
  bar_->setRange(0, static_cast<int>(total_.load()));
  bar_->setValue(static_cast<int>(played_.load()));
  updateButtons();
  cancelButton_->setFocus();
  setStatus(QStringLiteral("残りの試合を一気に進めています…"));
  report::TournamentSession* s = &*session_;
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
          this, [this, ok, problem] { playFinished(ok, problem); }, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    started.reset();
  }
  pollTimer_.start();
  if (started) {
    worker_ = std::move(*started);
    return;
  }
  // No thread to be had: played here in short slices, the window getting a turn between them.
  std::fprintf(stderr, "momiru-battle: no thread for quick play; playing in slices\n");
  setStatus(
      QStringLiteral("別のスレッドを始められないため、この画面で少しずつ進めます。動きが遅くなるこ"
                     "とがあります。"));
  slicing_ = true;
  sliceTimer_.start();
}

void TournamentScreen::playSlice() {
  if (!playing_ || !session_) return;
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
    playFinished(ok, problem);
    return;
  }
  pollProgress();
  sliceTimer_.start();
}

void TournamentScreen::pollProgress() {
  bar_->setMaximum(static_cast<int>(total_.load()));
  bar_->setValue(static_cast<int>(played_.load()));
}

void TournamentScreen::cancelPlay() {
  if (!playing_) return;
  cancel_ = true;
  setStatus(QStringLiteral("中止しています…（今の試合が終わると止まります）"));
}

void TournamentScreen::playFinished(bool ok, const report::SessionProblem& problem) {
  if (worker_.joinable()) worker_.join();
  sliceTimer_.stop();
  pollTimer_.stop();
  const bool cancelled = cancel_.load();
  playing_ = false;
  slicing_ = false;
  showPage();
  if (!ok) {
    std::fprintf(stderr, "momiru-battle: quick play: %s\n", visibleText(problem.english).c_str());
    setStatus(QStringLiteral("途中で止まりました。") + sessionProblemText(problem) +
              QStringLiteral("進んだ試合は残っています。"));
  } else if (cancelled) {
    setStatus(QStringLiteral("中止しました。ここまでの試合は保存してあります。"));
  } else {
    setStatus(QStringLiteral("残りの試合を進めました。"));
  }
  if (nextButton_->isEnabled()) {
    nextButton_->setFocus();
  } else {
    exportButton_->setFocus();
  }
}

void TournamentScreen::viewBattle() {
  if (!session_ || playing_ || selected_.isEmpty() || battle_->count() == 0) return;
  const int k = battle_->currentData().toInt();
  if (k < 1) return;
  emit viewBattleRequested(selected_, k);
}

void TournamentScreen::openFile() {
  if (playing_) return;
  const auto file = ctx.dialogs.openFile(this, QStringLiteral("大会ファイル"),
                                         QStringLiteral("*.momiru-tournament *.html"));
  takeFocusBackFromDialog();
  if (!file) return;
  report::SessionProblem problem;
  auto opened = report::TournamentSession::open(*file, report::secretFileOf(*file),
                                                tournament_parts::writtenBy(), &problem);
  if (!opened) {
    std::fprintf(stderr, "momiru-battle: %s\n", visibleText(problem.english).c_str());
    ctx.dialogs.replayMessage(this, QStringLiteral("大会のファイルとして読めませんでした。\n") +
                                        shownName(pathToUtf8(file->filename())) +
                                        QStringLiteral("\n") + sessionProblemText(problem));
    return;
  }
  if (opened->verifyProblem()) {
    // Said before anything of it is shown as fact.
    std::fprintf(stderr, "momiru-battle: %s: %s\n", shellQuote(pathToUtf8(*file)).c_str(),
                 visibleText(*opened->verifyProblem()).c_str());
    ctx.dialogs.replayMessage(this, notVerifiedText());
  }
  selected_.clear();
  session_.emplace(std::move(*opened));
  showPage();
  setStatus(QStringLiteral("開きました：") + shownName(pathToUtf8(file->filename())));
}

void TournamentScreen::saveFile() {
  if (!session_ || playing_) return;
  std::filesystem::path suggested = session_->file().filename();
  const auto target = ctx.dialogs.saveFile(this, QStringLiteral("大会ファイル"),
                                           QStringLiteral("*.momiru-tournament"), suggested);
  takeFocusBackFromDialog();
  if (!target) return;
  report::SessionProblem problem;
  if (!session_->saveAs(*target, &problem)) {
    std::fprintf(stderr, "momiru-battle: %s\n", visibleText(problem.english).c_str());
    setStatus(QStringLiteral("保存できませんでした：") + shownName(pathToUtf8(target->filename())) +
              QStringLiteral("。") + sessionProblemText(problem));
    return;
  }
  setStatus(QStringLiteral("保存しました：") + shownName(pathToUtf8(target->filename())));
}

void TournamentScreen::exportPage() {
  if (!session_ || playing_ || exporting_) return;
  std::filesystem::path suggested = session_->file().filename();
  suggested.replace_extension(".html");
  const auto target = ctx.dialogs.saveFile(this, QStringLiteral("大会のページ"),
                                           QStringLiteral("*.html"), suggested);
  takeFocusBackFromDialog();
  if (!target) return;
  report::Tournament copy = current(*session_);
  exporting_ = true;
  updateButtons();
  setStatus(QStringLiteral("ページを書き出しています…"));
  // The work holds its own copy; the window outlives it (it waits for it when it goes).
  // The reason is written by the work and read once it has ended.
  auto why = std::make_shared<Refusal>();
  pageWriter_.run(
      this,
      [page = *target, copy = std::move(copy), why] {
        const bool written = report::writeTournamentPage(page, copy, why.get());
        if (!written)
          std::fprintf(stderr, "momiru-battle: %s\n", visibleText(describe(*why)).c_str());
        return written;
      },
      [this, page = *target, why](bool written) { exportFinished(written, page, *why); });
}

void TournamentScreen::exportFinished(bool written, const std::filesystem::path& page,
                                      const Refusal& why) {
  exporting_ = false;
  updateButtons();
  if (!written) {
    setStatus(QStringLiteral("ページを書き出せませんでした。") + refusalText(why));
    return;
  }
  setStatus(QStringLiteral("ページを書き出しました：") + shownName(pathToUtf8(page.filename())));
  openUrl_(QUrl::fromLocalFile(QString::fromStdString(pathToUtf8(page))));
}

void TournamentScreen::keyPressEvent(QKeyEvent* event) {
  // The way back by keyboard: the flow leads a closed window back to the title.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (!event->isAutoRepeat()) close();
    event->accept();
    return;
  }
  Screen::keyPressEvent(event);
}

}  // namespace momiru::ui
