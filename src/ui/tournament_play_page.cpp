// The tournament followed: the views, the progress, live play through the flow, quick play, the
// replays and the page. While quick play runs, only its worker has the session; the page shows
// it again once the worker has stopped.
#include "ui/tournament_play_page.h"

#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "data/platform.h"
#include "data/text_safety.h"
#include "report/tournament_page.h"
#include "ui/bracket_view.h"
#include "ui/match_list.h"
#include "ui/platform_dialogs.h"
#include "ui/refusal_text.h"
#include "ui/standings_view.h"
#include "ui/tournament_quick_play.h"
#include "ui/tournament_texts.h"
#include "ui/twips.h"

namespace momiru::ui {

using tournament_parts::current;
using tournament_parts::findMatch;
using tournament_parts::setText;

TournamentPlayPage::TournamentPlayPage(ScreenContext& context, TournamentHost& host,
                                       std::optional<report::TournamentSession>& session,
                                       TournamentQuickPlay& quickPlay, QWidget* parent)
    : TournamentPage(context, host, session, parent),
      quickPlay_(quickPlay),
      openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(0, 0, 0, 0);
  notVerified_ = tournament_parts::label(this, "NotVerified");
  notVerified_->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
  box->addWidget(notVerified_);
  auto* lines = new QHBoxLayout;
  progress_ = tournament_parts::label(this, "Progress");
  whole_ = tournament_parts::label(this, "Whole");
  winner_ = tournament_parts::label(this, "Winner");
  QFont bold = winner_->font();
  bold.setBold(true);
  winner_->setFont(bold);
  progress_->setFont(bold);
  lines->addWidget(progress_, 2);
  lines->addWidget(whole_, 2);
  lines->addWidget(winner_, 3);
  box->addLayout(lines);

  // The draw's values stay on screen with the tournament, for the host to publish and compare.
  fairness_ = new QWidget(this);
  fairness_->setObjectName(QStringLiteral("Fairness"));
  auto* fair = new QHBoxLayout(fairness_);
  fair->setContentsMargins(0, 0, 0, 0);
  commitment_ =
      addFairValue(fair, "約束の値", "ShownCommitment", "約束の値（公正な抽選）",
                   "CopyShownCommitment", "約束の値をコピーする", "約束の値をコピーしました。",
                   [](const report::Tournament& t) { return t.commitment; });
  digest_ = addFairValue(fair, "要約値", "ShownDigest", "エントリーの要約値", "CopyShownDigest",
                         "エントリーの要約値をコピーする", "エントリーの要約値をコピーしました。",
                         [](const report::Tournament& t) { return t.entriesDigest; });
  beacon_ = addFairValue(fair, "ビーコン", "ShownBeacon", "締め切りの後に公表された値（ビーコン）",
                         "CopyShownBeacon", "ビーコンをコピーする", "ビーコンをコピーしました。",
                         [](const report::Tournament& t) { return t.beacon; });
  box->addWidget(fairness_);

  auto* views = new QHBoxLayout;
  mainView_ = new QStackedWidget(this);
  mainView_->setObjectName(QStringLiteral("MainView"));
  bracket_ = new BracketView(mainView_);
  bracket_->setObjectName(QStringLiteral("Bracket"));
  bracket_->setAccessibleName(QStringLiteral("トーナメント表"));
  standings_ = new StandingsView(mainView_);
  standings_->setObjectName(QStringLiteral("Standings"));
  standings_->setAccessibleName(QStringLiteral("各回戦の対戦と順位表"));
  // The bracket under its zoom's controls.
  bracketPane_ = new QWidget(mainView_);
  auto* pane = new QVBoxLayout(bracketPane_);
  pane->setContentsMargins(0, 0, 0, 0);
  pane->addWidget(new BracketZoomBar(bracket_, bracketPane_));
  pane->addWidget(bracket_, 1);
  mainView_->addWidget(bracketPane_);
  mainView_->addWidget(standings_);
  matches_ = new MatchList(this);
  matchList_ = matches_;
  connect(bracket_, &BracketView::matchSelected, this, &TournamentPlayPage::matchChosen);
  connect(standings_, &StandingsView::matchSelected, this, &TournamentPlayPage::matchChosen);
  connect(matches_, &MatchList::matchSelected, this, &TournamentPlayPage::matchChosen);
  connect(bracket_, &BracketView::matchActivated, this, &TournamentPlayPage::matchActivated);
  connect(standings_, &StandingsView::matchActivated, this, &TournamentPlayPage::matchActivated);
  connect(matches_, &MatchList::matchActivated, this, &TournamentPlayPage::matchActivated);
  matchList_->setObjectName(QStringLiteral("Matches"));
  matchList_->setAccessibleName(QStringLiteral("試合の一覧"));
  views->addWidget(mainView_, 3);
  side_ = new QWidget(this);
  auto* side = new QVBoxLayout(side_);
  side->setContentsMargins(0, 0, 0, 0);
  side->addWidget(matchList_, 3);
  placesLabel_ = new QLabel(QStringLiteral("順位"), side_);
  side->addWidget(placesLabel_);
  places_ = makeStandingsTable(side_, "Places", QStringLiteral("順位"));
  placesLabel_->setBuddy(places_);
  side->addWidget(places_, 2);
  views->addWidget(side_, 2);
  box->addLayout(views, 1);

  auto* play = new QHBoxLayout;
  nextButton_ =
      tournament_parts::button(this, "次の試合", "NextMatch", "次の試合をコロシアムで戦う");
  restButton_ = tournament_parts::button(this, "残りを一気に進める", "PlayRest",
                                         "残りの試合を画面なしで一気に進める");
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("PlayProgress"));
  bar_->setAccessibleName(QStringLiteral("一気に進めている試合の進み具合"));
  bar_->setFormat(QStringLiteral("%v / %m 試合"));
  cancelButton_ = tournament_parts::button(this, "中止", "CancelPlay", "一気に進めるのを中止する");
  play->addWidget(nextButton_);
  play->addWidget(restButton_);
  play->addWidget(bar_, 1);
  play->addWidget(cancelButton_);
  box->addLayout(play);
  connect(nextButton_, &QPushButton::clicked, this, &TournamentPlayPage::playNext);
  connect(restButton_, &QPushButton::clicked, this, &TournamentPlayPage::playRest);
  connect(cancelButton_, &QPushButton::clicked, this, &TournamentPlayPage::cancelPlay);

  auto* more = new QHBoxLayout;
  auto* battleLabel = new QLabel(QStringLiteral("バトル"), this);
  battle_ = new QComboBox(this);
  battle_->setObjectName(QStringLiteral("Battle"));
  battle_->setAccessibleName(QStringLiteral("選んだ試合のバトル"));
  battle_->setMinimumWidth(px(3600));
  battleLabel->setBuddy(battle_);
  viewButton_ = tournament_parts::button(this, "リプレイを見る", "ViewBattle",
                                         "選んだバトルのリプレイを見る");
  exportButton_ = tournament_parts::button(this, "ページに書き出す", "ExportPage",
                                           "大会のページを書き出してブラウザーで開く");
  more->addWidget(battleLabel);
  more->addWidget(battle_);
  more->addWidget(viewButton_);
  more->addStretch(1);
  more->addWidget(exportButton_);
  box->addLayout(more);
  connect(viewButton_, &QPushButton::clicked, this, &TournamentPlayPage::viewBattle);
  connect(exportButton_, &QPushButton::clicked, this, &TournamentPlayPage::exportPage);
  connect(&quickPlay_, &TournamentQuickPlay::progress, this, &TournamentPlayPage::pollProgress);
  connect(&quickPlay_, &TournamentQuickPlay::finished, this, &TournamentPlayPage::playFinished);
}

TournamentPlayPage::~TournamentPlayPage() { pageWriter_.wait(); }

QLineEdit* TournamentPlayPage::addFairValue(
    QHBoxLayout* row, const char* title, const char* name, const char* accessible,
    const char* copyName, const char* copyAccessible, const char* copied,
    std::function<std::optional<std::string>(const report::Tournament&)> value) {
  auto* parent = row->parentWidget();
  auto* label = new QLabel(QString::fromUtf8(title), parent);
  auto* shown = new QLineEdit(parent);
  shown->setObjectName(QString::fromLatin1(name));
  shown->setAccessibleName(QString::fromUtf8(accessible));
  shown->setReadOnly(true);
  shown->setMinimumWidth(px(1800));
  label->setBuddy(shown);
  auto* copy = tournament_parts::button(parent, "コピー", copyName, copyAccessible);
  row->addWidget(label);
  row->addWidget(shown, 1);
  row->addWidget(copy);
  connect(copy, &QPushButton::clicked, this, [this, value = std::move(value), copied] {
    if (!session_) return;
    const std::optional<std::string> v = value(current(*session_));
    if (!v) return;
    QGuiApplication::clipboard()->setText(QString::fromStdString(*v));
    setStatus(QString::fromUtf8(copied));
  });
  return shown;
}

void TournamentPlayPage::showFairness(const report::Tournament& t) {
  const auto show = [](QLineEdit* line, const std::optional<std::string>& v) {
    // The label, the line and the button of one value go together.
    const bool has = v.has_value();
    QLayout* row = line->parentWidget()->layout();
    const int at = row->indexOf(line);
    for (int i = at - 1; i <= at + 1; ++i) row->itemAt(i)->widget()->setVisible(has);
    const QString text = has ? shownName(*v) : QString();  // a stranger's beacon is text
    if (line->text() != text) {
      line->setText(text);
      line->setCursorPosition(0);
    }
    line->setToolTip(text);
  };
  show(commitment_, t.commitment);
  show(digest_, t.entriesDigest);
  show(beacon_, t.beacon);
  fairness_->setVisible(t.commitment || t.entriesDigest || t.beacon);
}

QWidget* TournamentPlayPage::firstStep() const {
  if (nextButton_->isEnabled()) return nextButton_;
  return side_->isHidden() ? static_cast<QWidget*>(standings_->pairingsTable()) : matchList_;
}

void TournamentPlayPage::focusNext() { nextButton_->setFocus(); }

void TournamentPlayPage::enableButtons(bool idle) {
  const report::TournamentPlay* play = session_->play();
  const bool playable = idle && play != nullptr && !session_->verifyProblem() &&
                        !session_->lookOnly() && !play->finished() && !play->readyMatches().empty();
  nextButton_->setEnabled(playable);
  restButton_->setEnabled(playable);
  cancelButton_->setEnabled(!idle);
  bar_->setVisible(!idle);
  battle_->setEnabled(idle && battle_->count() > 0);
  viewButton_->setEnabled(idle && battle_->count() > 0);
  exportButton_->setEnabled(idle && !exporting_);
}

void TournamentPlayPage::showFollowing() {
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
  showFairness(t);
  showViews(t);
  fillBattles();
}

void TournamentPlayPage::showViews(const report::Tournament& t) {
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
  side_->setVisible(elimination);
  if (elimination) {
    bracket_->setTournament(t, schedule);
    mainView_->setCurrentWidget(bracketPane_);
    // An elimination's places are known once it is over; before, they would be guesses.
    const bool over = t.stage == report::Stage::Finished;
    placesLabel_->setVisible(over);
    places_->setVisible(over);
    if (over) {
      report::Tournament placed = t;
      for (report::Standing& st : placed.standings) st.tieBreaks.clear();  // the draw's own
      fillStandingsTable(places_, placed, MatchWords(t, schedule));
    }
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

void TournamentPlayPage::matchChosen(const QString& id) {
  if (syncing_) return;
  syncing_ = true;
  selected_ = id;
  if (mainView_->currentWidget() == bracketPane_) {
    bracket_->selectMatch(id);
  } else {
    standings_->selectMatch(id);
  }
  matches_->selectMatch(id);
  syncing_ = false;
  fillBattles();
  updateButtons();
}

void TournamentPlayPage::matchActivated(const QString& id) {
  matchChosen(id);
  if (!session_ || playing()) return;
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

void TournamentPlayPage::fillBattles() {
  battle_->clear();
  if (!session_ || selected_.isEmpty() || playing()) return;
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

void TournamentPlayPage::playNext() {
  if (!session_ || playing() || session_->verifyProblem()) return;
  const report::TournamentPlay* play = session_->play();
  if (play == nullptr) return;
  const std::vector<std::string> ready = play->readyMatches();
  if (ready.empty()) return;
  // The chosen match when it is ready, else the first that is.
  const std::string chosen = selected_.toStdString();
  const bool chosenReady = std::find(ready.begin(), ready.end(), chosen) != ready.end();
  emit playMatchRequested(QString::fromStdString(chosenReady ? chosen : ready.front()));
}

void TournamentPlayPage::playRest() {
  if (!session_ || playing() || session_->verifyProblem()) return;
  report::TournamentPlay* play = session_->play();
  if (play == nullptr || play->finished() || play->readyMatches().empty()) return;
  quickPlay_.begin(*session_);
  battle_->clear();
  bar_->setRange(0, static_cast<int>(quickPlay_.total()));
  bar_->setValue(static_cast<int>(quickPlay_.played()));
  updateButtons();
  cancelButton_->setFocus();
  setStatus(QStringLiteral("残りの試合を一気に進めています…"));
  if (quickPlay_.run()) return;
  // No thread to be had: played here in short slices, the window getting a turn between them.
  std::fprintf(stderr, "momiru-battle: no thread for quick play; playing in slices\n");
  setStatus(
      QStringLiteral("別のスレッドを始められないため、この画面で少しずつ進めます。動きが遅くなるこ"
                     "とがあります。"));
}

void TournamentPlayPage::pollProgress(std::size_t played, std::size_t total) {
  bar_->setMaximum(static_cast<int>(total));
  bar_->setValue(static_cast<int>(played));
}

void TournamentPlayPage::cancelPlay() {
  if (!playing()) return;
  quickPlay_.cancel();
  setStatus(QStringLiteral("中止しています…（今の試合が終わると止まります）"));
}

void TournamentPlayPage::playFinished(bool ok, const report::SessionProblem& problem,
                                      bool cancelled) {
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

void TournamentPlayPage::viewBattle() {
  if (!session_ || playing() || selected_.isEmpty() || battle_->count() == 0) return;
  const int k = battle_->currentData().toInt();
  if (k < 1) return;
  emit viewBattleRequested(selected_, k);
}

void TournamentPlayPage::exportPage() {
  if (!session_ || playing() || exporting_) return;
  std::filesystem::path suggested = session_->file().filename();
  suggested.replace_extension(".html");
  const auto target = ctx.dialogs.saveFile(host_.dialogParent(), QStringLiteral("大会のページ"),
                                           QStringLiteral("*.html"), suggested);
  takeFocusBackFromDialog();
  if (!target) return;
  report::Tournament copy = current(*session_);
  // A tournament that did not verify is said so first on its page, as in this window.
  const report::PageVerdict verdict =
      session_->verifyProblem() ? report::PageVerdict::NotVerified : report::PageVerdict::Verified;
  exporting_ = true;
  updateButtons();
  setStatus(QStringLiteral("ページを書き出しています…"));
  // The work holds its own copy; the page outlives it (it waits for it when it goes).
  // The reason is written by the work and read once it has ended.
  auto why = std::make_shared<Refusal>();
  pageWriter_.run(
      this,
      [page = *target, copy = std::move(copy), why, verdict] {
        const bool written = report::writeTournamentPage(page, copy, why.get(), {}, verdict);
        if (!written)
          std::fprintf(stderr, "momiru-battle: %s\n", visibleText(describe(*why)).c_str());
        return written;
      },
      [this, page = *target, why](bool written) { exportFinished(written, page, *why); });
}

void TournamentPlayPage::exportFinished(bool written, const std::filesystem::path& page,
                                        const Refusal& why) {
  exporting_ = false;
  updateButtons();
  if (!written) {
    setStatus(QStringLiteral("ページを書き出せませんでした。") + refusalText(why));
    return;
  }
  if (openUrl_(QUrl::fromLocalFile(QString::fromStdString(pathToUtf8(page))))) {
    setStatus(QStringLiteral("ページを書き出しました：") + shownName(pathToUtf8(page.filename())));
    return;
  }
  // No browser came up: the page is there all the same, and where it is is said whole.
  std::fprintf(stderr, "momiru-battle: no browser opened %s\n",
               shellQuote(pathToUtf8(page)).c_str());
  setStatus(
      QStringLiteral(
          "ページを書き出しましたが、ブラウザーを開けませんでした。ページはここにあります：") +
      shownName(pathToUtf8(page)));
}

}  // namespace momiru::ui
