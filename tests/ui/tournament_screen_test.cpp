// The tournament window: a new tournament from its form, the field gathered with its refusals
// said in the window, the close and the start, 次の試合, quick play on a thread, cancelled, and
// without one, equal to the tournament played headless; a file that does not verify; names from
// files; the keys; and the title's 大会 button.
#include "ui/tournament_screen.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <future>

#include "data/settings_file.h"
#include "data/strangers_file.h"
#include "report/match_play.h"
#include "report/text_file.h"
#include "report/tournament.h"
#include "report/tournament_draw.h"
#include "report/tournament_file.h"
#include "report/tournament_schedule.h"
#include "schedule_fixture.h"
#include "ui/match_list.h"
#include "ui/title_screen.h"
#include "ui/tournament_texts.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

using report::TournamentSession;

// Dialogs answered by the test; messages are kept in the order they were said.
class TournamentDialogs final : public ui::PlatformDialogs {
 public:
  std::vector<std::filesystem::path> files;
  std::optional<std::filesystem::path> folder;
  std::optional<std::filesystem::path> openAnswer;
  std::optional<std::filesystem::path> saveAnswer;
  std::optional<QString> line;
  std::vector<QString> said;
  QString askedFor;
  bool sure = true;  // the answer to every question
  std::vector<QString> questions;

  std::optional<std::filesystem::path> openSaveData(QWidget*) override { return std::nullopt; }
  void integrityMessage(QWidget*) override { said.push_back(QStringLiteral("integrity")); }
  void terminateProgram(int) override {}
  std::optional<std::filesystem::path> saveReplayAs(QWidget*, const QString&) override {
    return std::nullopt;
  }
  void replayMessage(QWidget*, const QString& text) override { said.push_back(text); }
  std::optional<std::filesystem::path> saveFile(QWidget*, const QString&, const QString&,
                                                const std::filesystem::path&) override {
    return saveAnswer;
  }
  std::vector<std::filesystem::path> openFiles(QWidget*, const QString&, const QString&) override {
    return files;
  }
  std::optional<std::filesystem::path> openFile(QWidget*, const QString&, const QString&) override {
    return openAnswer;
  }
  std::optional<std::filesystem::path> openFolder(QWidget*) override { return folder; }
  bool confirm(QWidget*, const QString& question) override {
    questions.push_back(question);
    return sure;
  }
  std::optional<QString> askLine(QWidget*, const QString&, const QString& explanation) override {
    askedFor = explanation;
    return line;
  }
};

// A character of its own for entry `n`: a different name and record each.
momiru::testing::Character entrant(const std::string& name, int n) {
  auto c = testCharacter(name, 3 + n % 5);
  c.record.name = name;
  c.record.portrait = n % 14;
  c.record.level = 5 + n;
  c.values.storedLevels[0] = c.record.level;
  c.values.storedPortraits[0] = c.record.portrait;
  for (std::size_t p = 0; p < kParts; ++p) {
    c.record.hp[p] = c.values.key * (30 + (n * 7 + static_cast<int>(p) * 3) % 40);
    c.record.attack[p] = c.values.key * (5 + (n * 5 + static_cast<int>(p)) % 20);
    c.record.defence[p] = c.values.key * (3 + (n * 3 + static_cast<int>(p)) % 10);
  }
  for (auto& power : c.record.movePower) power = c.values.key * (power / c.values.key);
  return c;
}

class TournamentScreenTest : public ::testing::Test {
 protected:
  Harness h;
  TournamentDialogs dialogs;
  ScratchDir files;
  ScratchDir kept;
  ui::ScreenContext ctx{h.gs, h.pictures, dialogs, h.dir.path()};
  std::optional<TournamentSession> session;

  std::filesystem::path character(const std::string& file, const std::string& name, int n) {
    return files.write(file, encode(entrant(name, n)));
  }
  std::vector<std::filesystem::path> field(int count) {
    std::vector<std::filesystem::path> made;
    for (int i = 0; i < count; ++i) {
      made.push_back(
          character("e" + std::to_string(100 + i) + ".dat", "選手" + std::to_string(i + 1), i));
    }
    return made;
  }

  template <class T>
  static T* child(ui::TournamentScreen& w, const char* name) {
    return w.findChild<T*>(QString::fromLatin1(name));
  }

  // A new tournament with these rules in the window's own way.
  void create(ui::TournamentScreen& w, int format, int bestOf, bool fair = true) {
    child<QLineEdit>(w, "Name")->setText(QStringLiteral("春の大会"));
    child<QComboBox>(w, "Format")->setCurrentIndex(format);
    auto* best = child<QComboBox>(w, "BestOf");
    best->setCurrentIndex(best->findData(bestOf));
    child<QCheckBox>(w, "FairDraw")->setChecked(fair);
    w.createTournament();
    ASSERT_TRUE(session.has_value()) << w.statusText().toStdString();
  }
  // Gathered, closed and started with `beacon`.
  void startWith(ui::TournamentScreen& w, int entries, std::optional<QString> beacon = {}) {
    w.addFiles(field(entries));
    w.closeEntries();
    dialogs.line = beacon.value_or(QString());
    w.startTournament();
    ASSERT_TRUE(session->started()) << w.statusText().toStdString();
  }

  // The tournament as `momiru-lab tournament run` makes it from the same start.
  static std::string playedHeadless(const report::Tournament& started) {
    report::Tournament t = started;
    t.matches.clear();
    t.standings.clear();
    t.seeds.clear();
    t.stage = report::Stage::Closed;
    report::playTournament(t);
    return report::tournamentJson(t);
  }
  std::string fileNow() const {
    Refusal error;
    const auto t = report::readTournamentFile(session->file(), &error);
    EXPECT_TRUE(t.has_value()) << error;
    return t ? report::tournamentJson(*t) : std::string();
  }
};

TEST_F(TournamentScreenTest, TheFormMakesATournamentInTheGamesFolderWithItsCommitmentToCopy) {
  ui::TournamentScreen w(ctx, session, kept.path());
  EXPECT_EQ(w.windowTitle(), "大会");
  EXPECT_FALSE(child<QLabel>(w, "NoFolder")->isVisibleTo(&w));
  // The third-place match is a single elimination's only; rounds a Swiss's or a league's.
  child<QComboBox>(w, "Format")->setCurrentIndex(3);
  EXPECT_TRUE(child<QWidget>(w, "Rounds")->isEnabled());
  EXPECT_FALSE(child<QCheckBox>(w, "ThirdPlace")->isEnabled());
  child<QComboBox>(w, "Format")->setCurrentIndex(0);
  EXPECT_FALSE(child<QWidget>(w, "Rounds")->isEnabled());
  child<QCheckBox>(w, "ThirdPlace")->setChecked(true);
  child<QCheckBox>(w, "Halve")->setChecked(true);
  create(w, 0, 3);

  const report::Tournament& t = session->tournament();
  EXPECT_EQ(t.name, "春の大会");
  EXPECT_EQ(t.rules.format, report::Format::Single);
  EXPECT_EQ(t.rules.bestOf, 3);
  EXPECT_TRUE(t.rules.thirdPlace);
  EXPECT_TRUE(t.rules.halve);
  EXPECT_EQ(session->file().parent_path(), kept.path());
  EXPECT_EQ(session->file().extension(), ".momiru-tournament");
  ASSERT_TRUE(t.commitment.has_value());
  EXPECT_TRUE(
      child<QLabel>(w, "Commitment")->text().contains(QString::fromStdString(*t.commitment)));
  EXPECT_TRUE(child<QLabel>(w, "Publish")->isVisibleTo(&w));
  child<QPushButton>(w, "CopyCommitment")->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), *t.commitment);
}

TEST_F(TournamentScreenTest, WithoutTheGamesFolderItSaysSoAndAsksWhereToKeepIt) {
  ui::TournamentScreen w(ctx, session, std::nullopt);
  EXPECT_TRUE(child<QLabel>(w, "NoFolder")->isVisibleTo(&w));
  w.createTournament();  // the dialog cancelled: nothing made
  EXPECT_FALSE(session.has_value());
  dialogs.saveAnswer = kept / "mine.momiru-tournament";
  create(w, 1, 1, false);
  EXPECT_EQ(session->file(), kept / "mine.momiru-tournament");
  EXPECT_FALSE(session->tournament().commitment.has_value());
  EXPECT_FALSE(child<QLabel>(w, "Commitment")->isVisibleTo(&w));
}

TEST_F(TournamentScreenTest, RefusedFilesAreListedInTheWindowOneLineEachAndEntriesCanBeRemoved) {
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 0, 1);
  auto zero = entrant("ゼロ", 9);
  zero.record.level = 0;
  zero.values.storedLevels[0] = 0;
  const auto good = field(3);
  dialogs.files = {good[0],
                   good[1],
                   good[2],
                   std::filesystem::path(MOMIRU_SOURCE_DIR) / "samples" / "altered-check.dat",
                   files.write("zero.dat", encode(zero)),
                   good[0],
                   files / "missing.dat"};
  w.loadFiles();
  EXPECT_EQ(session->tournament().entries.size(), 3u);
  auto* entries = child<QTreeWidget>(w, "Entries");
  ASSERT_EQ(entries->topLevelItemCount(), 3);
  EXPECT_EQ(entries->topLevelItem(1)->text(1), "選手2");
  EXPECT_EQ(entries->topLevelItem(1)->text(2), "e101.dat");
  EXPECT_EQ(entries->topLevelItem(1)->text(3), "6");

  const QStringList lines = w.refusals();
  ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines[0].startsWith("altered-check.dat：")) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains("変造"));
  EXPECT_TRUE(lines[1].startsWith("zero.dat：") && lines[1].contains("レベル0"));
  EXPECT_TRUE(lines[2].startsWith("e100.dat：") && lines[2].contains("選手1"));
  EXPECT_TRUE(lines[3].startsWith("missing.dat：") && lines[3].contains("読めません"));
  EXPECT_TRUE(dialogs.said.empty());  // no box for any of them
  EXPECT_TRUE(w.statusText().contains("3件をエントリー"));

  // 削除 asks first, naming the entry by number, name and file; いいえ keeps it.
  entries->setCurrentItem(entries->topLevelItem(0));
  dialogs.sure = false;
  w.removeSelectedEntry();
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(dialogs.questions[0], "エントリー #1「選手1」（e100.dat） を削除しますか？");
  EXPECT_EQ(session->tournament().entries.size(), 3u);
  dialogs.sure = true;
  w.removeSelectedEntry();
  EXPECT_EQ(w.statusText(), "エントリー #1「選手1」（e100.dat） を削除しました。");
  ASSERT_EQ(session->tournament().entries.size(), 2u);
  EXPECT_EQ(session->tournament().entries[0].storedName, "選手2");
  EXPECT_EQ(entries->topLevelItemCount(), 2);

  // 締め切り asks too, saying how many are in.
  dialogs.sure = false;
  w.closeEntries();
  EXPECT_EQ(session->tournament().stage, report::Stage::Open);
  EXPECT_TRUE(dialogs.questions.back().startsWith("2人でエントリーを締め切りますか？"));
  dialogs.sure = true;
  w.closeEntries();
  EXPECT_EQ(session->tournament().stage, report::Stage::Closed);
  ASSERT_TRUE(session->tournament().entriesDigest.has_value());
  EXPECT_TRUE(child<QLabel>(w, "Digest")
                  ->text()
                  .contains(QString::fromStdString(*session->tournament().entriesDigest)));
  EXPECT_FALSE(child<QPushButton>(w, "Remove")->isEnabled());
  EXPECT_FALSE(child<QPushButton>(w, "Load")->isEnabled());
  child<QPushButton>(w, "CopyDigest")->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            *session->tournament().entriesDigest);

  // The beacon's dialog says what it is for; cancelling it starts nothing.
  w.startTournament();
  EXPECT_TRUE(dialogs.askedFor.contains("宝くじの当選番号"));
  EXPECT_FALSE(session->started());
  dialogs.line = QStringLiteral(" 01 23 45 ");
  w.startTournament();
  ASSERT_TRUE(session->started());
  EXPECT_EQ(session->tournament().beacon, "01 23 45");
  EXPECT_EQ(child<QLabel>(w, "Progress")->text(), "第1回戦　1試合中 0試合終了");
}

TEST_F(TournamentScreenTest, FoldersAndDropsEnterTheirSaveDataAndClosingNeedsTwo) {
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 2, 1);
  // Below two entries 締め切り cannot be pressed, and asked for by key it says why.
  EXPECT_FALSE(child<QPushButton>(w, "CloseEntries")->isEnabled());
  w.closeEntries();
  EXPECT_EQ(session->tournament().stage, report::Stage::Open);
  EXPECT_TRUE(w.statusText().contains("2人以上"));
  EXPECT_TRUE(dialogs.questions.empty());
  w.addFiles(field(1));
  EXPECT_FALSE(child<QPushButton>(w, "CloseEntries")->isEnabled());
  w.removeSelectedEntry();
  EXPECT_TRUE(session->tournament().entries.empty());

  ScratchDir folder;
  momiru::testing::writeFile(folder / "a.dat", encode(entrant("フォルダ一", 1)));
  momiru::testing::writeFile(folder / "B.DAT", encode(entrant("フォルダ二", 2)));
  momiru::testing::writeFile(folder / "note.txt", "not an entry");
  dialogs.folder = folder.path();
  w.loadFolder();
  EXPECT_EQ(session->tournament().entries.size(), 2u);
  EXPECT_TRUE(w.refusals().isEmpty());

  QMimeData drop;
  drop.setUrls({QUrl::fromLocalFile(QString::fromStdString(character("d.dat", "落とし", 3))),
                QUrl::fromLocalFile(QStringLiteral("/etc/hostname"))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent event(QPointF(10, 10), Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &event);
  ASSERT_EQ(session->tournament().entries.size(), 3u)
      << w.refusals().join('\n').toStdString() << w.statusText().toStdString();
  EXPECT_EQ(session->tournament().entries[2].storedName, "落とし");
}

TEST_F(TournamentScreenTest, NextMatchAsksForTheChosenReadyMatchElseTheFirstReady) {
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 0, 3);
  startWith(w, 8);
  QSignalSpy asked(&w, &ui::TournamentScreen::playMatchRequested);
  const auto ready = session->play()->readyMatches();
  ASSERT_EQ(ready.size(), 4u);
  child<QPushButton>(w, "NextMatch")->click();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_EQ(asked[0][0].toString().toStdString(), ready[0]);
  w.selectMatch(QString::fromStdString(ready[2]));
  w.playNext();
  EXPECT_EQ(asked[1][0].toString().toStdString(), ready[2]);

  // The flow plays it and records it; the window shows it with its battles to watch.
  const report::ScheduledMatch* m = session->play()->find(ready[2]);
  report::SessionProblem problem;
  ASSERT_TRUE(
      session->record(report::playMatchHeadless(session->play()->tournament(), m->match), &problem))
      << problem.english;
  w.selectMatch(QString::fromStdString(ready[2]));
  EXPECT_EQ(child<QLabel>(w, "Progress")->text(), "第1回戦　4試合中 1試合終了");
  auto* battles = child<QComboBox>(w, "Battle");
  EXPECT_GE(battles->count(), 2);
  QSignalSpy view(&w, &ui::TournamentScreen::viewBattleRequested);
  battles->setCurrentIndex(1);
  child<QPushButton>(w, "ViewBattle")->click();
  ASSERT_EQ(view.size(), 1);
  EXPECT_EQ(view[0][0].toString().toStdString(), ready[2]);
  EXPECT_EQ(view[0][1].toInt(), 2);
  // A match played is not offered again.
  w.playNext();
  EXPECT_EQ(asked[2][0].toString().toStdString(), ready[0]);

  // Enter on a ready match in the list plays it; on a played one, watches its first battle.
  auto* list = child<ui::MatchList>(w, "Matches");
  list->selectMatch(QString::fromStdString(ready[1]));
  EXPECT_EQ(w.selectedMatch().toStdString(), ready[1]);
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_EQ(asked.size(), 4);
  EXPECT_EQ(asked[3][0].toString().toStdString(), ready[1]);
  list->selectMatch(QString::fromStdString(ready[2]));
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_EQ(view.size(), 2);
  EXPECT_EQ(view[1][1].toInt(), 1);
  EXPECT_EQ(asked.size(), 4);
}

TEST_F(TournamentScreenTest, QuickPlayAfterALiveMatchGivesTheTournamentPlayedHeadless) {
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 1, 3);  // double elimination
  startWith(w, 8, QStringLiteral("777"));
  const report::Tournament started = session->tournament();
  const std::string first = session->play()->readyMatches().front();
  report::SessionProblem problem;
  ASSERT_TRUE(session->record(
      report::playMatchHeadless(session->play()->tournament(), session->play()->find(first)->match),
      &problem));
  w.refresh();
  w.playRest();
  EXPECT_TRUE(w.playing());
  EXPECT_FALSE(child<QPushButton>(w, "NextMatch")->isEnabled());
  EXPECT_TRUE(child<QPushButton>(w, "CancelPlay")->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(!w.playing(), 60000);
  ASSERT_TRUE(session->play()->finished());
  EXPECT_EQ(fileNow(), playedHeadless(started));
  EXPECT_TRUE(child<QLabel>(w, "Winner")->text().startsWith("優勝："));
  EXPECT_FALSE(child<QPushButton>(w, "PlayRest")->isEnabled());
}

TEST_F(TournamentScreenTest, CancelStopsQuickPlayWhileTheWindowKeepsResponding) {
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 3, 1);  // Swiss
  startWith(w, 16);
  // The worker waits until the test lets it go, so that the cancel comes first.
  std::promise<void> go;
  std::shared_future<void> gate = go.get_future().share();
  w.setThreadStarter([gate](std::function<void()> work) -> std::optional<std::thread> {
    return std::thread([gate, work = std::move(work)] {
      gate.wait();
      work();
    });
  });
  w.playRest();
  ASSERT_TRUE(w.playing());
  bool ticked = false;
  QTimer::singleShot(0, &w, [&] { ticked = true; });
  QTRY_VERIFY(ticked);  // the event loop runs while the worker holds the session
  child<QPushButton>(w, "CancelPlay")->click();
  go.set_value();
  QTRY_VERIFY_WITH_TIMEOUT(!w.playing(), 60000);
  EXPECT_TRUE(w.statusText().contains("中止"));
  EXPECT_FALSE(session->play()->finished());
  EXPECT_TRUE(child<QPushButton>(w, "PlayRest")->isEnabled());
  EXPECT_EQ(QApplication::focusWidget() == nullptr || QApplication::focusWidget()->isEnabled(),
            true);
}

// The form declares the beacon's kind and source; the beacon's dialog says them and refuses a
// value of another kind with the reason in Japanese, starting nothing.
TEST_F(TournamentScreenTest, TheFormDeclaresTheBeaconAndItsDialogRefusesAnotherKind) {
  ui::TournamentScreen w(ctx, session, kept.path());
  auto* kind = child<QComboBox>(w, "BeaconKind");
  ASSERT_NE(kind, nullptr);
  EXPECT_EQ(kind->currentData().toInt(), static_cast<int>(report::BeaconKind::Numbers));
  kind->setCurrentIndex(kind->findData(static_cast<int>(report::BeaconKind::Hex)));
  child<QLineEdit>(w, "BeaconSource")->setText(QStringLiteral(" 公開のハッシュ値 "));
  create(w, 0, 1);
  ASSERT_TRUE(session->tournament().declared);
  EXPECT_EQ(*session->tournament().declared,
            (report::BeaconDeclaration{report::BeaconKind::Hex, "公開のハッシュ値"}));
  w.addFiles(field(4));
  w.closeEntries();
  dialogs.line = QStringLiteral("宝くじ 04 18 27");
  w.startTournament();
  EXPECT_TRUE(dialogs.askedFor.contains(QStringLiteral("16進数")))
      << dialogs.askedFor.toStdString();
  EXPECT_TRUE(dialogs.askedFor.contains(QStringLiteral("公開のハッシュ値")));
  EXPECT_FALSE(session->started());
  EXPECT_TRUE(w.statusText().contains(QStringLiteral("16進の数字でない文字があります")))
      << w.statusText().toStdString();
  dialogs.line = QStringLiteral("0xABCDEF");
  w.startTournament();
  ASSERT_TRUE(session->started()) << w.statusText().toStdString();
  EXPECT_EQ(report::seedBeacon(session->tournament()), "abcdef");
}

TEST_F(TournamentScreenTest, WithoutAThreadQuickPlayRunsInSlicesAndGivesTheSameTournament) {
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 3, 3);  // Swiss
  startWith(w, 10, QStringLiteral("beacon 1"));
  const report::Tournament started = session->tournament();
  w.setThreadStarter([](std::function<void()>) { return std::optional<std::thread>(); });
  w.playRest();
  EXPECT_TRUE(w.playing());
  EXPECT_TRUE(w.statusText().contains("スレッド"));
  QTRY_VERIFY_WITH_TIMEOUT(!w.playing(), 60000);
  ASSERT_TRUE(session->play()->finished());
  EXPECT_EQ(fileNow(), playedHeadless(started));
}

TEST_F(TournamentScreenTest, SaveAndThePageKeepTheTournamentAsPlayed) {
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 2, 1);  // round robin
  startWith(w, 4);
  w.playRest();
  QTRY_VERIFY_WITH_TIMEOUT(!w.playing(), 60000);
  const std::string played = report::tournamentJson(session->play()->tournament());

  dialogs.saveAnswer = files / "copy.momiru-tournament";
  w.saveFile();
  Refusal error;
  const auto copy = report::readTournamentFile(files / "copy.momiru-tournament", &error);
  ASSERT_TRUE(copy.has_value()) << error;
  EXPECT_EQ(report::tournamentJson(*copy), played);

  std::vector<QUrl> opened;
  w.setUrlOpener([&](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  dialogs.saveAnswer = files / "cup.html";
  w.exportPage();
  EXPECT_TRUE(w.exporting());
  EXPECT_FALSE(child<QPushButton>(w, "ExportPage")->isEnabled());  // one page at a time
  QTRY_VERIFY_WITH_TIMEOUT(!w.exporting(), 60000);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].toLocalFile().toStdString(), (files / "cup.html").string());
  const auto fromPage = report::readTournamentFile(files / "cup.html", &error);
  ASSERT_TRUE(fromPage.has_value()) << error;
  EXPECT_EQ(report::tournamentJson(*fromPage), played);

  // A page that cannot be written is said in the window, and nothing is opened.
  dialogs.saveAnswer = files / "no-such-folder" / "cup.html";
  w.exportPage();
  QTRY_VERIFY_WITH_TIMEOUT(!w.exporting(), 60000);
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_TRUE(w.statusText().contains("書き出せません"));
}

TEST_F(TournamentScreenTest, AFileThatDoesNotVerifyIsSaidFirstAndNeverPlayed) {
  // A finished tournament whose one battle's winner was edited.
  report::Tournament t;
  {
    ui::TournamentScreen w(ctx, session, kept.path());
    create(w, 0, 1);
    startWith(w, 4);
    Refusal error;
    ASSERT_TRUE(session->play() != nullptr);
    session->play()->playRest(1);
    t = session->play()->tournament();
  }
  ASSERT_EQ(t.stage, report::Stage::Finished);
  for (report::Match& m : t.matches) {
    if (m.battles.empty()) continue;
    const int a = *m.players[0], b = *m.players[1];
    m.winner = m.winner == a ? b : a;
    m.battles.back().winner = m.winner;
    break;
  }
  Refusal error;
  const auto edited = kept / "edited.momiru-tournament";
  ASSERT_TRUE(report::writeTextFile(edited, report::tournamentJson(t), true, &error))
      << describe(error);

  session.reset();
  ui::TournamentScreen w(ctx, session, kept.path());
  dialogs.openAnswer = edited;
  w.openFile();
  ASSERT_TRUE(session.has_value());
  ASSERT_EQ(dialogs.said.size(), 1u);
  EXPECT_TRUE(dialogs.said[0].contains("検証できません"));
  EXPECT_TRUE(child<QLabel>(w, "NotVerified")->isVisibleTo(&w));
  EXPECT_FALSE(child<QPushButton>(w, "NextMatch")->isEnabled());
  EXPECT_FALSE(child<QPushButton>(w, "PlayRest")->isEnabled());
  QSignalSpy asked(&w, &ui::TournamentScreen::playMatchRequested);
  w.playNext();
  w.playRest();
  EXPECT_EQ(asked.size(), 0);
  EXPECT_FALSE(w.playing());

  // Its page says so first, as the window does.
  w.setUrlOpener([](const QUrl&) { return true; });
  dialogs.saveAnswer = kept / "edited.html";
  w.exportPage();
  QTRY_VERIFY_WITH_TIMEOUT(!w.exporting(), 60000);
  const auto page = readStrangersFile(kept / "edited.html", 1 << 26, 1 << 26, "page", &error);
  ASSERT_TRUE(page.has_value()) << describe(error);
  EXPECT_NE(page->find("<body>\n<p class=\"not-verified\""), std::string::npos);

  // A file that is no tournament is refused with a box, and the window keeps what it had.
  dialogs.openAnswer = files.write("junk.momiru-tournament", "{\"format\":");
  w.openFile();
  EXPECT_EQ(dialogs.said.size(), 2u);
  EXPECT_EQ(session->file(), edited);
}

TEST_F(TournamentScreenTest, NamesFromFilesAreShownAsPlainText) {
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 2, 1);
  const std::string hostile = "<b>太字</b><img src=x>\u202e逆";
  w.addFiles({character("<i>file<i>.dat", hostile, 1), files / "<a href=x>.dat"});
  auto* entries = child<QTreeWidget>(w, "Entries");
  ASSERT_EQ(entries->topLevelItemCount(), 1);
  EXPECT_EQ(entries->topLevelItem(0)->text(1),
            ui::shownName(session->tournament().entries[0].storedName));
  EXPECT_TRUE(entries->topLevelItem(0)->text(1).contains("<img src=x>"));
  EXPECT_EQ(entries->topLevelItem(0)->text(2), "<i>file<i>.dat");
  ASSERT_EQ(w.refusals().size(), 1);
  EXPECT_TRUE(w.refusals()[0].startsWith("<a href=x>.dat："));
  for (QLabel* label : w.findChildren<QLabel*>()) {
    if (!label->objectName().isEmpty()) {
      EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    }
  }
}

TEST_F(TournamentScreenTest, KeysTabFromTheTopLeftEnterAndSpacePressEscapeCloses) {
  auto* w = new ui::TournamentScreen(ctx, session, kept.path());
  w->show();
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  // The first stop is the top row's first button, then the form from its top.
  QWidget* first = child<QPushButton>(*w, "Open");
  first->setFocus();
  QStringList order;
  QWidget* at = first;
  for (int i = 0; i < 12; ++i) {
    order << at->objectName();
    QTest::keyClick(at, Qt::Key_Tab);
    at = QApplication::focusWidget();
    ASSERT_NE(at, nullptr);
  }
  EXPECT_EQ(order.mid(0, 6).join(','), "Open,Name,Format,BestOf,Seeding,ThirdPlace")
      << order.join(',').toStdString();
  // Every control has a Japanese name for the reader.
  for (QWidget* c : w->findChildren<QWidget*>()) {
    if (c->objectName().isEmpty() || c->objectName().startsWith("qt_")) continue;
    if (qobject_cast<QAbstractButton*>(c) || qobject_cast<QComboBox*>(c) ||
        qobject_cast<QLineEdit*>(c) || qobject_cast<QAbstractItemView*>(c) ||
        qobject_cast<QAbstractSpinBox*>(c) || qobject_cast<QProgressBar*>(c)) {
      EXPECT_FALSE(c->accessibleName().isEmpty()) << c->objectName().toStdString();
      const QString name = c->accessibleName();
      EXPECT_TRUE(std::any_of(name.begin(), name.end(), [](QChar ch) {
        return ch.unicode() > 0x2FFF;
      })) << c->objectName().toStdString();
    }
  }
  // Space toggles a check box; Enter presses 作成.
  auto* halve = child<QCheckBox>(*w, "Halve");
  halve->setFocus();
  QTest::keyClick(halve, Qt::Key_Space);
  EXPECT_TRUE(halve->isChecked());
  auto* make = child<QPushButton>(*w, "Create");
  make->setFocus();
  QTest::keyClick(make, Qt::Key_Return);
  ASSERT_TRUE(session.has_value());
  EXPECT_TRUE(session->tournament().rules.halve);

  QSignalSpy closed(w, &ui::Screen::closed);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_EQ(closed.size(), 1);
  flushDeletes();
}

// A copy of a save file under another name is the same character: refused, naming its twin
// by number, name and file, so that it never meets itself.
TEST_F(TournamentScreenTest, ACharacterEnteredUnderAnotherFileNameIsRefusedNamingItsTwin) {
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 3, 1);  // Swiss
  const auto first = character("pochi.dat", "ポチ", 1);
  const std::string bytes = encode(entrant("ポチ", 1));
  ScratchDir elsewhere;
  const auto copy = elsewhere.write("pochi-copy.dat", bytes);
  const auto other = character("tama.dat", "タマ", 2);
  w.addFiles({first, other, copy});
  ASSERT_EQ(session->tournament().entries.size(), 2u) << w.refusals().join('\n').toStdString();
  const QStringList lines = w.refusals();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_EQ(lines[0],
            "pochi-copy.dat：エントリー済みの #1「ポチ」（pochi.dat）と同じキャラクターです");
  // Another character of the same name is no twin.
  w.addFiles({character("pochi2.dat", "ポチ", 3)});
  EXPECT_EQ(session->tournament().entries.size(), 3u);
  EXPECT_TRUE(w.refusals().isEmpty());
}

// After 開始 the draw's values stay in the window, each with its コピー.
TEST_F(TournamentScreenTest, TheCommitmentDigestAndBeaconStayInViewAfterTheStart) {
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 0, 1);
  startWith(w, 4, QStringLiteral("lottery 04 18 27"));
  const report::Tournament& t = session->tournament();
  ASSERT_TRUE(t.commitment && t.entriesDigest && t.beacon);
  const std::pair<const char*, std::string> values[] = {
      {"Commitment", *t.commitment}, {"Digest", *t.entriesDigest}, {"Beacon", *t.beacon}};
  for (const auto& [name, value] : values) {
    const std::string shown = std::string("Shown") + name;
    auto* line = child<QLineEdit>(w, shown.c_str());
    ASSERT_NE(line, nullptr) << name;
    EXPECT_TRUE(line->isVisibleTo(&w)) << name;
    EXPECT_TRUE(line->isReadOnly());
    EXPECT_EQ(line->text().toStdString(), value);
    QGuiApplication::clipboard()->clear();
    child<QPushButton>(w, ("Copy" + shown).c_str())->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), value) << name;
    EXPECT_TRUE(w.statusText().contains("コピーしました")) << name;
  }
}

// 新しい大会 is there at every stage: a finished tournament gives way to the form, and stays in
// its file.
TEST_F(TournamentScreenTest, ANewTournamentIsOfferedAtEveryStageAndTheOldOneStaysInItsFile) {
  ui::TournamentScreen w(ctx, session, kept.path());
  auto* fresh = child<QPushButton>(w, "NewTournament");
  ASSERT_NE(fresh, nullptr);
  EXPECT_FALSE(fresh->isEnabled());  // the form is shown already
  create(w, 2, 1);
  EXPECT_TRUE(fresh->isEnabled());
  startWith(w, 3);
  w.playRest();
  QTRY_VERIFY_WITH_TIMEOUT(!w.playing(), 60000);
  ASSERT_EQ(session->tournament().stage, report::Stage::Finished);
  const std::filesystem::path file = session->file();
  EXPECT_TRUE(fresh->isEnabled());
  const std::size_t asked = dialogs.questions.size();
  fresh->click();
  EXPECT_FALSE(session.has_value());
  EXPECT_EQ(dialogs.questions.size(), asked);  // nothing is lost: every step is in the file
  EXPECT_EQ(child<QLabel>(w, "TournamentTitle")->text(), "新しい大会");
  EXPECT_TRUE(child<QWidget>(w, "Create")->isVisibleTo(&w));
  EXPECT_TRUE(w.statusText().contains(QString::fromStdString(file.filename().string())));
  Refusal error;
  EXPECT_TRUE(report::readTournamentFile(file, &error).has_value()) << error;
  create(w, 0, 1);
  EXPECT_NE(session->file(), file);
}

// Swiss rounds are 自動 unless chosen, the rule the README gives: the title says how many.
TEST_F(TournamentScreenTest, TheSwissRoundsDefaultIsTheOneRuleInTheFormAndTheTitle) {
  ui::TournamentScreen w(ctx, session, kept.path());
  auto* rounds = child<QSpinBox>(w, "Rounds");
  child<QComboBox>(w, "Format")->setCurrentIndex(3);
  EXPECT_EQ(rounds->value(), 0);
  EXPECT_EQ(rounds->text(), "自動");
  child<QComboBox>(w, "Format")->setCurrentIndex(2);  // a league: once or twice
  EXPECT_EQ(rounds->value(), 1);
  EXPECT_EQ(rounds->text(), "1");
  create(w, 3, 3);
  EXPECT_EQ(session->tournament().rules.rounds, 0);
  auto* title = child<QLabel>(w, "TournamentTitle");
  EXPECT_TRUE(title->text().contains("回戦数は自動")) << title->text().toStdString();
  w.addFiles(field(10));
  EXPECT_TRUE(title->text().contains("スイス式・3戦2勝・4回戦（自動）"))
      << title->text().toStdString();
  EXPECT_FALSE(title->text().contains("0回戦"));
}

// Swiss: the pairings and the standings side by side over the whole width, no list repeating
// them, every standings column in view; elimination: the bracket under its zoom controls, the
// list of matches, each result whole, and the places.
TEST_F(TournamentScreenTest, EachFormatShowsItsTablesWholeAndItsPlaces) {
  {
    ui::TournamentScreen w(ctx, session, kept.path());
    create(w, 3, 1);
    startWith(w, 16);
    w.playRest();
    QTRY_VERIFY_WITH_TIMEOUT(!w.playing(), 60000);
    w.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(child<QWidget>(w, "Matches")->isVisible());
    auto* ranking = child<QTableWidget>(w, "Ranking");
    ASSERT_NE(ranking, nullptr);
    EXPECT_GT(ranking->height(), ranking->verticalHeader()->defaultSectionSize() * 7);
    int widths = 0;
    for (int c = 0; c < ranking->columnCount(); ++c) widths += ranking->columnWidth(c);
    EXPECT_LE(widths, ranking->viewport()->width());
    EXPECT_GT(ranking->columnWidth(1), 60);  // the names keep room
    auto* pairings = child<QTableWidget>(w, "Pairings");
    EXPECT_NEAR(pairings->mapTo(&w, QPoint()).y(), ranking->mapTo(&w, QPoint()).y(), 8);
    EXPECT_LT(pairings->mapTo(&w, QPoint()).x(), ranking->mapTo(&w, QPoint()).x());
    // Entries are counted from 1 in every table, as in the list of entries.
    EXPECT_FALSE(ranking->item(0, 1)->text().contains("#0"));
    session.reset();
  }
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 0, 3);
  startWith(w, 8);
  w.playRest();
  QTRY_VERIFY_WITH_TIMEOUT(!w.playing(), 60000);
  w.show();
  QCoreApplication::processEvents();
  auto* places = child<QTableWidget>(w, "Places");
  ASSERT_NE(places, nullptr);
  EXPECT_TRUE(places->isVisible());
  ASSERT_EQ(places->rowCount(), 8);
  EXPECT_EQ(places->item(0, 0)->text(), "1");
  EXPECT_EQ(places->item(0, 1)->text(),
            ui::entryName(session->tournament(), session->tournament().standings[0].entry));
  for (const char* zoom : {"ZoomOut", "Zoom", "ZoomIn", "ZoomReset"})
    EXPECT_TRUE(child<QWidget>(w, zoom)->isVisible()) << zoom;
  auto* list = child<ui::MatchList>(w, "Matches");
  ASSERT_TRUE(list->isVisible());
  for (int i = 0; i < list->count(); ++i) {
    QListWidgetItem* item = list->item(i);
    list->scrollToItem(item);
    const QRect cell = list->visualItemRect(item);
    const QRect needed = list->fontMetrics().boundingRect(QRect(0, 0, cell.width() - 8, 10000),
                                                          Qt::TextWordWrap, item->text());
    EXPECT_GE(cell.height(), needed.height()) << item->text().toStdString();
    EXPECT_TRUE(item->text().section('\n', 1).contains("勝")) << item->text().toStdString();
  }
}

// A page written when no browser comes up is said, with where it is.
TEST_F(TournamentScreenTest, APageNoBrowserOpenedIsSaidWithWhereItIs) {
  ui::TournamentScreen w(ctx, session, kept.path());
  create(w, 2, 1);
  startWith(w, 3);
  w.setUrlOpener([](const QUrl&) { return false; });
  dialogs.saveAnswer = files / "cup.html";
  w.exportPage();
  QTRY_VERIFY_WITH_TIMEOUT(!w.exporting(), 60000);
  EXPECT_TRUE(w.statusText().contains("ブラウザーを開けませんでした"))
      << w.statusText().toStdString();
  EXPECT_TRUE(w.statusText().contains(QString::fromStdString((files / "cup.html").string())));
  EXPECT_TRUE(std::filesystem::exists(files / "cup.html"));
}

// Each kind of file dialog starts where it last was: entries (files or a folder of them), a
// tournament opened, a tournament saved, a page; a folder since gone gives the home folder.
TEST(DialogFolders, EachKindStartsInItsOwnLastFolder) {
  ScratchDir settings;
  ScratchDir pages;
  ScratchDir entries;
  ASSERT_TRUE(saveFolders(
      {{ui::QtPlatformDialogs::folderKind(true, "*.html"), pages.path()},
       {ui::QtPlatformDialogs::folderKind(false, "*.dat"), entries.path()},
       {ui::QtPlatformDialogs::folderKind(true, "*.momiru-tournament"), pages / "gone"}},
      settings.path()));
  const ui::QtPlatformDialogs dialogs(settings.path());
  EXPECT_EQ(ui::QtPlatformDialogs::folderKind(false, "*.dat"), "entries");
  EXPECT_NE(ui::QtPlatformDialogs::folderKind(true, "*.momiru-tournament"),
            ui::QtPlatformDialogs::folderKind(false, "*.momiru-tournament *.html"));
  EXPECT_EQ(dialogs.startFolder(ui::QtPlatformDialogs::folderKind(true, "*.html")).toStdString(),
            pages.path().string());
  EXPECT_EQ(dialogs.startFolder("entries").toStdString(), entries.path().string());
  EXPECT_EQ(dialogs.startFolder(ui::QtPlatformDialogs::folderKind(true, "*.momiru-tournament")),
            QDir::homePath());
  EXPECT_EQ(dialogs.startFolder("open *.momiru-tournament *.html"), QDir::homePath());
}

TEST(TournamentTexts, WinnerLineNamesEveryFirstPlaceAndOnlyOnceFinished) {
  report::Tournament t;
  for (const char* name : {"<b>甲</b>", "乙", "丙"}) {
    report::Entry e;
    e.storedName = name;
    t.entries.push_back(e);
  }
  t.standings = {{1, 2, 3.0, {}}, {1, 0, 3.0, {}}, {3, 1, 0.0, {}}};
  t.stage = report::Stage::Closed;
  EXPECT_TRUE(ui::winnerLine(t).isEmpty());
  t.stage = report::Stage::Finished;
  EXPECT_EQ(ui::winnerLine(t), "優勝：丙、<b>甲</b>");
  EXPECT_EQ(ui::entryName(t, 7), "？");  // an entry a stranger's file does not have
  EXPECT_EQ(ui::bestOfText(5), "5戦3勝");
}

// The progress line follows the next match to play: in double elimination the winners' and
// losers' rounds are told apart and counted apart, and the grand final stands by itself.
TEST(TournamentTexts, ProgressLineCountsTheRoundOfTheNextMatchInItsBracket) {
  report::TournamentPlay single(sampleField(8, report::Format::Single));
  EXPECT_EQ(ui::progressLine(single), "第1回戦　4試合中 0試合終了");
  single.record(report::playMatchHeadless(single.tournament(),
                                          single.find(single.readyMatches().front())->match));
  EXPECT_EQ(ui::progressLine(single), "第1回戦　4試合中 1試合終了");

  report::TournamentPlay twice(sampleField(8, report::Format::Double));
  EXPECT_EQ(ui::progressLine(twice), "勝者側　第1回戦　4試合中 0試合終了");
  std::vector<QString> seen;
  while (!twice.finished()) {
    const std::string id = twice.readyMatches().front();
    twice.record(report::playMatchHeadless(twice.tournament(), twice.find(id)->match));
    seen.push_back(ui::progressLine(twice));
  }
  EXPECT_EQ(seen.back(), "全試合終了");
  // Every line names one bracket's round, and the grand final comes last.
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(),
                          [](const QString& l) { return l.startsWith("敗者側　第2回戦"); }));
  EXPECT_TRUE(seen[seen.size() - 2].startsWith("グランドファイナル") ||
              seen[seen.size() - 3].startsWith("グランドファイナル"));
}

TEST(TitleTournamentButton, SitsBelowReplaysInTheGrownWindowAndAsksForTheWindow) {
  Harness h;
  ui::TitleScreen title(h.ctx);
  auto* replays = title.findChild<QPushButton*>("CommandReplays");
  auto* button = title.findChild<QPushButton*>("CommandTournament");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), "大会");
  EXPECT_FALSE(button->accessibleName().isEmpty());
  EXPECT_EQ(replays->geometry(), QRect(7, 279, 309, 22));  // as before
  EXPECT_GT(button->geometry().top(), replays->geometry().bottom());
  EXPECT_EQ(button->geometry().left(), replays->geometry().left());
  EXPECT_EQ(button->width(), replays->width());
  EXPECT_LE(button->geometry().bottom(), title.height() - 1);
  QSignalSpy asked(&title, &ui::TitleScreen::tournamentClicked);
  QSignalSpy list(&title, &ui::TitleScreen::replaysClicked);
  button->click();
  EXPECT_EQ(asked.size(), 1);
  EXPECT_EQ(list.size(), 0);
}

}  // namespace
}  // namespace momiru::uitest
