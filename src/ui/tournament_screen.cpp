// The tournament window's frame: the tournament's name and its file above, the page its stage
// calls for, and the status line below. The session is touched by one thread at a time: while
// quick play runs, only its worker has it, and the window shows it again once the worker has
// stopped.
#include "ui/tournament_screen.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <cstdio>

#include "data/platform.h"
#include "data/text_safety.h"
#include "ui/platform_dialogs.h"
#include "ui/refusal_text.h"
#include "ui/tournament_entries_page.h"
#include "ui/tournament_form_page.h"
#include "ui/tournament_play_page.h"
#include "ui/tournament_texts.h"
#include "ui/twips.h"

namespace momiru::ui {

namespace {

// 960 × 640 logical pixels: inside 1,024 × 768 with the window frame.
constexpr int kWidthTwips = 14400;
constexpr int kHeightTwips = 9600;

}  // namespace

using tournament_parts::setText;

TournamentScreen::TournamentScreen(ScreenContext& context,
                                   std::optional<report::TournamentSession>& session,
                                   std::optional<std::filesystem::path> directory)
    : Screen(context, "Tournament", QStringLiteral("大会"), QSize(kWidthTwips, kHeightTwips)),
      session_(session) {
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
  newButton_ =
      tournament_parts::button(this, "新しい大会", "NewTournament", "新しい大会を作成する");
  openButton_ = tournament_parts::button(this, "開く", "Open", "大会のファイルを開く");
  saveButton_ =
      tournament_parts::button(this, "保存", "Save", "大会のファイルを別の場所に保存する");
  top->addWidget(newButton_);
  top->addWidget(openButton_);
  top->addWidget(saveButton_);
  outer->addLayout(top);
  connect(newButton_, &QPushButton::clicked, this, &TournamentScreen::newTournament);
  connect(openButton_, &QPushButton::clicked, this, &TournamentScreen::openFile);
  connect(saveButton_, &QPushButton::clicked, this, &TournamentScreen::saveFile);

  pages_ = new QStackedWidget(this);
  TournamentHost& host = *this;
  form_ = new TournamentFormPage(ctx, host, session_, std::move(directory), this);
  pages_->addWidget(form_);
  entries_ = new TournamentEntriesPage(ctx, host, session_, this);
  pages_->addWidget(entries_);
  play_ = new TournamentPlayPage(ctx, host, session_, quickPlay_, this);
  pages_->addWidget(play_);
  outer->addWidget(pages_, 1);
  // The keyboard goes on to the next step once a tournament is made and once it has started.
  connect(form_, &TournamentFormPage::created, entries_, &TournamentEntriesPage::focusLoad);
  connect(entries_, &TournamentEntriesPage::tournamentStarted, play_,
          &TournamentPlayPage::focusNext);
  connect(play_, &TournamentPlayPage::playMatchRequested, this,
          &TournamentScreen::playMatchRequested);
  connect(play_, &TournamentPlayPage::viewBattleRequested, this,
          &TournamentScreen::viewBattleRequested);

  status_ = tournament_parts::label(this, "Status");
  status_->setMinimumHeight(px(360));
  outer->addWidget(status_);

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
  // The threads tell that they are done through queued calls; once joined here, nothing is left
  // to call, and the calls they left are dropped with their receivers.
  quickPlay_.stop();
  play_->waitForPage();
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
    if (t.rules.format == report::Format::Swiss) {
      if (t.rules.rounds > 0) {
        rules += QStringLiteral("・%1回戦").arg(t.rules.rounds);
      } else if (t.entries.size() >= 2) {
        rules += QStringLiteral("・%1回戦（自動）").arg(report::swissRounds(t));
      } else {
        rules += QStringLiteral("・回戦数は自動");
      }
    }
    if (t.rules.format == report::Format::RoundRobin && t.rules.rounds == 2) {
      rules += QStringLiteral("・2回総当たり");
    }
    rules += QStringLiteral("・シード：") + seedingText(t.rules.seeding);
    if (t.rules.thirdPlace) rules += QStringLiteral("・3位決定戦あり");
    if (t.rules.halve) rules += QStringLiteral("・ダメージ半減");
    // Said where it stays in view: a window that may only look writes nothing.
    const QString looking =
        session_->lookOnly() ? QStringLiteral("　（見るだけで開いています）") : QString();
    setText(title_, shownName(t.name) + QStringLiteral("　") + rules + looking);
    if (session_->started() || session_->verifyProblem() || t.stage == report::Stage::Finished) {
      pages_->setCurrentIndex(2);
      play_->showFollowing();
    } else {
      pages_->setCurrentIndex(1);
      entries_->showGathering();
    }
  }
  updateButtons();
  // The keyboard starts at the page's first step when it is not on a control still shown.
  QWidget* focused = focusWidget();
  if (focused == nullptr || !focused->isVisibleTo(this) || !focused->isEnabled()) {
    QWidget* first = form_->firstStep();
    if (pages_->currentIndex() == 1) {
      first = entries_->firstStep();
    } else if (pages_->currentIndex() == 2) {
      first = play_->firstStep();
    }
    first->setFocus();
  }
}

void TournamentScreen::refresh() {
  if (playing()) return;  // the worker has the session; it is shown once it stops
  showPage();
  if (session_ && session_->unsaved()) sayUnsaved();
}

void TournamentScreen::selectMatch(const QString& id) {
  play_->setSelected(id);
  refresh();
  play_->chooseMatch(id);
}

QString TournamentScreen::selectedMatch() const { return play_->selectedMatch(); }

void TournamentScreen::updateButtons() {
  const bool idle = !playing();
  newButton_->setEnabled(idle && session_.has_value());
  openButton_->setEnabled(idle);
  saveButton_->setEnabled(idle && session_.has_value());
  if (!session_) return;
  // A tournament only looked at takes no entry and no step.
  entries_->enableButtons(idle && !session_->lookOnly());
  play_->enableButtons(idle);
}

void TournamentScreen::createTournament() { form_->createTournament(); }

void TournamentScreen::newTournament() {
  if (!session_ || playing() || exporting()) return;
  // Every step is kept in the file as it is made; only a change its last save lost would go.
  if (session_->unsaved()) {
    const bool sure = ctx.dialogs.confirm(
        this, QStringLiteral("今の大会には、ファイルに保存できなかった変更があります。保存せずに"
                             "新しい大会を始めますか？"));
    takeFocusBackFromDialog();
    if (!sure) return;
  }
  const QString before = shownName(pathToUtf8(session_->file().filename()));
  play_->setSelected(QString());
  session_.reset();
  showPage();
  form_->firstStep()->setFocus();
  setStatus(
      QStringLiteral("新しい大会の設定を選んで 作成 を押してください。前の大会はファイル（%1）"
                     "に残っていて、開く で開けます。")
          .arg(before));
}
void TournamentScreen::loadFiles() { entries_->loadFiles(); }
void TournamentScreen::loadFolder() { entries_->loadFolder(); }
void TournamentScreen::addFiles(const std::vector<std::filesystem::path>& files) {
  entries_->addFiles(files);
}
void TournamentScreen::removeSelectedEntry() { entries_->removeSelectedEntry(); }
void TournamentScreen::closeEntries() { entries_->closeEntries(); }
void TournamentScreen::startTournament() { entries_->startTournament(); }
QStringList TournamentScreen::refusals() const { return entries_->refusals(); }
void TournamentScreen::playNext() { play_->playNext(); }
void TournamentScreen::playRest() { play_->playRest(); }
void TournamentScreen::cancelPlay() { play_->cancelPlay(); }
void TournamentScreen::viewBattle() { play_->viewBattle(); }
void TournamentScreen::exportPage() { play_->exportPage(); }
bool TournamentScreen::exporting() const { return play_->exporting(); }
void TournamentScreen::setUrlOpener(std::function<bool(const QUrl&)> open) {
  play_->setUrlOpener(std::move(open));
}

void TournamentScreen::openFile() {
  if (playing()) return;
  const auto file = ctx.dialogs.openFile(this, QStringLiteral("大会ファイル"),
                                         QStringLiteral("*.momiru-tournament *.html"));
  takeFocusBackFromDialog();
  if (!file) return;
  std::error_code same;
  if (session_ && !session_->lookOnly() &&
      std::filesystem::equivalent(*file, session_->file(), same)) {
    // Opened again beside itself, it would only be looked at: the window has it already.
    setStatus(QStringLiteral("この大会はもう開いています：") +
              shownName(pathToUtf8(file->filename())));
    return;
  }
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
  play_->setSelected(QString());
  session_.emplace(std::move(*opened));
  showPage();
  setStatus(QStringLiteral("開きました：") + shownName(pathToUtf8(file->filename())));
  sayLookingOnly(*session_, *file);
}

void TournamentScreen::sayLookingOnly(const report::TournamentSession& session,
                                      const std::filesystem::path& file) {
  if (!session.lookOnly()) return;
  std::fprintf(stderr, "momiru-battle: %s: opened to look only\n",
               visibleText(session.lookOnly()->english).c_str());
  setStatus(QStringLiteral("見るだけで開きました：") + shownName(pathToUtf8(file.filename())));
  ctx.dialogs.replayMessage(this, lookingOnlyText(*session.lookOnly()));
}

void TournamentScreen::saveFile() {
  if (!session_ || playing()) return;
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

void TournamentScreen::keyPressEvent(QKeyEvent* event) {
  // The way back by keyboard: the flow leads a closed window back to the title.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (!event->isAutoRepeat()) close();
    event->accept();
    return;
  }
  Screen::keyPressEvent(event);
}

void TournamentScreen::dragEnterEvent(QDragEnterEvent* event) {
  if (session_ && !playing() && !session_->lookOnly() &&
      session_->tournament().stage == report::Stage::Open &&
      !TournamentEntriesPage::droppedEntries(event->mimeData()).empty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TournamentScreen::dropEvent(QDropEvent* event) {
  const auto files = TournamentEntriesPage::droppedEntries(event->mimeData());
  if (files.empty() || !session_ || playing() || session_->lookOnly()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  entries_->addFiles(files);
}

}  // namespace momiru::ui
