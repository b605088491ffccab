// The replay list window: its rows, the filter and the record, the keys, the actions, files
// that change under it, what a reader is handed of 10,000 rows; and the title screen's button
// that opens it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>

#include "app/screen_flow.h"
#include "replay/replay_store.h"
#include "support/records.h"
#include "ui/battle_probe.h"
#include "ui/battle_screen.h"
#include "ui/replay_list_screen.h"
#include "ui/title_screen.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

// Dialogs that answer as the test says and count what they were asked.
class ListDialogs final : public ui::PlatformDialogs {
 public:
  std::optional<std::filesystem::path> saveAnswer;
  bool confirmAnswer = false;
  int confirms = 0;
  int notices = 0;
  QString lastPattern;

  std::optional<std::filesystem::path> openSaveData(QWidget*) override { return std::nullopt; }
  void integrityMessage(QWidget*) override {}
  void terminateProgram(int) override {}
  std::optional<std::filesystem::path> saveFile(QWidget*, const QString&, const QString& pattern,
                                                const std::filesystem::path&) override {
    lastPattern = pattern;
    return saveAnswer;
  }
  std::function<void()> onConfirm;  // what happens while the question is open
  bool confirm(QWidget*, const QString&) override {
    ++confirms;
    if (onConfirm) onConfirm();
    return confirmAnswer;
  }
  std::optional<std::filesystem::path> saveReplayAs(QWidget*, const QString&) override {
    lastPattern = "*.momiru-replay";
    return saveAnswer;
  }
  void replayMessage(QWidget*, const QString&) override { ++notices; }
};

replay::Replay replayOf(const std::string& a, const std::string& b, const std::string& date,
                        std::uint64_t seed) {
  GameState gs = momiru::testing::sanePair();
  gs.combatant[0].name = a;
  gs.combatant[1].name = b;
  return replay::makeReplay(battle::startOf(gs, seed), {"a.dat", "b.dat"}, date, "test");
}

class ReplayListTest : public ::testing::Test {
 protected:
  Harness h;
  ListDialogs dialogs;
  ScratchDir folder;
  ui::ScreenContext ctx{h.gs, h.pictures, dialogs, h.dir.path()};
  std::vector<replay::Replay> kept;

  void keep(const std::string& name, const replay::Replay& replay) {
    Refusal error;
    ASSERT_TRUE(replay::writeReplayFile(folder / name, replay, &error)) << error;
    kept.push_back(replay);
  }

  ReplayListTest() {
    keep("1.momiru-replay", replayOf("a.datのポチ", "b.datのタマ", "2026-01-01T00:00:00Z", 1));
    keep("2.momiru-replay", replayOf("c.datのハチ", "a.datのポチ", "2026-01-02T00:00:00Z", 2));
    keep("3.momiru-replay", replayOf("b.datのタマ", "c.datのハチ", "2026-01-03T00:00:00Z", 3));
    momiru::testing::writeFile(folder / "broken.momiru-replay", "{\"format\":");
    ::mkfifo((folder / "fifo").c_str(), 0600);
  }

  QTableView* view(ui::ReplayListScreen& list) { return list.findChild<QTableView*>("Replays"); }
};

TEST_F(ReplayListTest, ListsNewestFirstFocusedOnTheFirstRowAndCountsWhatItSkipped) {
  ui::ReplayListScreen list(ctx, folder.path());
  EXPECT_EQ(list.objectName(), "ReplayList");
  EXPECT_EQ(list.windowTitle(), "リプレイ一覧");
  ASSERT_EQ(list.shown().size(), 3u);
  EXPECT_EQ(list.shown()[0].file, "3.momiru-replay");
  EXPECT_EQ(list.shown()[2].file, "1.momiru-replay");
  EXPECT_EQ(list.focusWidget(), view(list));
  EXPECT_EQ(view(list)->currentIndex().row(), 0);
  EXPECT_TRUE(list.statusText().contains("リプレイ 3 件"));
  EXPECT_TRUE(list.statusText().contains("2 件"));  // the broken file and the FIFO

  // The row shows the date, the names, the outcome and the turns as the rules play them.
  const auto* model = view(list)->model();
  const replay::ReplayResult played = replay::playReplay(kept[2]);
  EXPECT_EQ(model->data(model->index(0, 1)).toString(), "b.datのタマ");
  EXPECT_EQ(model->data(model->index(0, 4)).toString(), QString::number(played.turns));
  EXPECT_EQ(model->data(model->index(0, 3)).toString(), ui::outcomeText(list.shown()[0]));

  // Every control says what it is, in Japanese.
  for (QWidget* w : list.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
        qobject_cast<QTableView*>(w)) {
      EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
  }
}

TEST_F(ReplayListTest, TheFilterNarrowsTheListAndShowsTheCharactersRecord) {
  ui::ReplayListScreen list(ctx, folder.path());
  list.setFilter("ポチ");
  ASSERT_EQ(list.shown().size(), 2u);
  const replay::CharacterRecord r =
      replay::recordOf(replay::listReplays(folder.path()).replays, "a.datのポチ");
  EXPECT_EQ(r.battles, 2u);
  EXPECT_TRUE(list.recordText().contains(
      QStringLiteral("a.datのポチの戦績：2戦 %1勝 %2敗").arg(r.wins).arg(r.losses)))
      << list.recordText().toStdString();
  EXPECT_TRUE(list.statusText().contains("3 件中 2 件"));
  list.setFilter(".dat");  // more than one name: no record
  EXPECT_EQ(list.shown().size(), 3u);
  EXPECT_FALSE(list.recordText().contains("戦績："));
  list.setFilter("いない");
  EXPECT_TRUE(list.shown().empty());
  EXPECT_FALSE(list.findChild<QPushButton*>("Watch")->isEnabled());
}

TEST_F(ReplayListTest, EnterWatchesDeleteAsksFirstAndADropOpens) {
  ui::ReplayListScreen list(ctx, folder.path());
  QSignalSpy watch(&list, &ui::ReplayListScreen::watchRequested);
  QTest::keyClick(view(list), Qt::Key_Down);
  QTest::keyClick(view(list), Qt::Key_Return);
  ASSERT_EQ(watch.size(), 1);
  EXPECT_EQ(watch[0][0].toString().toStdString(), (folder / "2.momiru-replay").string());

  QTest::keyClick(view(list), Qt::Key_Delete);  // answered no
  EXPECT_EQ(dialogs.confirms, 1);
  EXPECT_TRUE(std::filesystem::exists(folder / "2.momiru-replay"));
  dialogs.confirmAnswer = true;
  QTest::keyClick(view(list), Qt::Key_Delete);
  EXPECT_FALSE(std::filesystem::exists(folder / "2.momiru-replay"));
  ASSERT_EQ(list.shown().size(), 2u);
  EXPECT_EQ(view(list)->currentIndex().row(), 1);  // the next one down
  // The index followed: listing again reads nothing and lists the same.
  EXPECT_EQ(replay::listReplays(folder.path()).played, 0u);
  EXPECT_EQ(replay::listReplays(folder.path()).replays.size(), 2u);

  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile("/somewhere/else.momiru-replay")});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&list, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&list, &drop);
  ASSERT_EQ(watch.size(), 2);
  EXPECT_EQ(watch[1][0].toString(), "/somewhere/else.momiru-replay");
}

TEST_F(ReplayListTest, AFileDeletedFromOutsideLeavesTheListAndIsNeverActedOn) {
  ui::ReplayListScreen list(ctx, folder.path());
  QSignalSpy watch(&list, &ui::ReplayListScreen::watchRequested);
  std::filesystem::remove(folder / "3.momiru-replay");
  // Acting on it at once: told, not watched, and the list read again.
  list.watchSelected();
  EXPECT_EQ(watch.size(), 0);
  EXPECT_EQ(dialogs.notices, 1);
  EXPECT_EQ(list.shown().size(), 2u);
  // Left alone, the list follows the folder by itself.
  std::filesystem::remove(folder / "1.momiru-replay");
  QTRY_COMPARE_WITH_TIMEOUT(list.shown().size(), std::size_t{1}, 5000);
  EXPECT_EQ(list.shown()[0].file, "2.momiru-replay");
}

TEST_F(ReplayListTest, AListedFileThatIsNoLongerAReplayIsNeitherWatchedNorDeleted) {
  ui::ReplayListScreen list(ctx, folder.path());
  QSignalSpy watch(&list, &ui::ReplayListScreen::watchRequested);
  ASSERT_EQ(list.shown()[0].file, "3.momiru-replay");
  const std::string notes = "my notes, not a replay\n";
  momiru::testing::writeFile(folder / "3.momiru-replay", notes);
  dialogs.confirmAnswer = true;
  list.deleteSelected();
  EXPECT_EQ(dialogs.confirms, 0);
  EXPECT_EQ(dialogs.notices, 1);
  EXPECT_EQ(momiru::testing::readFile(folder / "3.momiru-replay"), notes);
  ASSERT_EQ(list.shown().size(), 2u);  // read again: it is gone from the list

  // Changed while the question was open: asked, then refused.
  ASSERT_EQ(list.shown()[0].file, "2.momiru-replay");
  dialogs.onConfirm = [&] { momiru::testing::writeFile(folder / "2.momiru-replay", notes); };
  list.deleteSelected();
  EXPECT_EQ(dialogs.confirms, 1);
  EXPECT_EQ(dialogs.notices, 2);
  EXPECT_EQ(momiru::testing::readFile(folder / "2.momiru-replay"), notes);

  momiru::testing::writeFile(folder / "1.momiru-replay", notes);
  list.watchSelected();
  EXPECT_EQ(watch.size(), 0);
  EXPECT_EQ(dialogs.notices, 3);
}

TEST_F(ReplayListTest, AnIndexEntryForAFileThatIsNoReplayIsDroppedWhenItIsActedOn) {
  // An index edited to give a text file's bytes a replay's summary lists it.
  replay::listReplays(folder.path());
  const std::string notes = "my notes, not a replay\n";
  momiru::testing::writeFile(folder / "notes.txt", notes);
  auto index = nlohmann::json::parse(momiru::testing::readFile(folder / "index.json"));
  auto forged = index["contents"][0];
  forged["sha256"] = momiru::sha256Hex(notes);
  index["contents"].push_back(forged);
  momiru::testing::writeFile(folder / "index.json", index.dump());
  ui::ReplayListScreen list(ctx, folder.path());
  const auto& shown = list.shown();
  const auto row = std::find_if(shown.begin(), shown.end(), [](const replay::ReplaySummary& r) {
    return r.file == "notes.txt";
  });
  ASSERT_NE(row, shown.end());
  view(list)->setCurrentIndex(view(list)->model()->index(static_cast<int>(row - shown.begin()), 0));
  dialogs.confirmAnswer = true;
  list.deleteSelected();
  EXPECT_EQ(dialogs.notices, 1);
  EXPECT_EQ(momiru::testing::readFile(folder / "notes.txt"), notes);
  ASSERT_EQ(list.shown().size(), 3u);
  for (const auto& r : list.shown()) EXPECT_NE(r.file, "notes.txt");
}

TEST_F(ReplayListTest, SaveCopiesTheReplayAndThePageIsWrittenAndOpened) {
  ui::ReplayListScreen list(ctx, folder.path());
  ScratchDir out;
  dialogs.saveAnswer = out / "copy.momiru-replay";
  list.saveSelected();
  EXPECT_EQ(dialogs.lastPattern, "*.momiru-replay");
  Refusal error;
  const auto copy = replay::readReplayFile(out / "copy.momiru-replay", &error);
  ASSERT_TRUE(copy) << error;
  EXPECT_EQ(replay::replayJson(*copy), replay::replayJson(kept[2]));

  QList<QUrl> opened;
  list.setUrlOpener([&](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  dialogs.saveAnswer = out / "page.html";
  auto* exportButton = list.findChild<QPushButton*>("ExportPage");
  list.exportSelected();
  EXPECT_EQ(dialogs.lastPattern, "*.html");
  // Written on a thread of its own: the list goes on meanwhile, with one page at a time.
  EXPECT_TRUE(list.exporting());
  EXPECT_TRUE(opened.isEmpty());
  EXPECT_FALSE(exportButton->isEnabled());
  EXPECT_TRUE(list.findChild<QPushButton*>("Watch")->isEnabled());
  EXPECT_TRUE(list.statusText().endsWith("ページを書き出しています…"))
      << list.statusText().toStdString();
  list.setFilter("ハチ");
  EXPECT_EQ(list.shown().size(), 2u);
  QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 60000);
  EXPECT_FALSE(list.exporting());
  EXPECT_TRUE(exportButton->isEnabled());
  EXPECT_FALSE(list.statusText().contains("書き出し"));
  EXPECT_EQ(opened[0].toLocalFile().toStdString(), (out / "page.html").string());
  const auto fromPage = replay::readReplayFile(out / "page.html", &error);
  ASSERT_TRUE(fromPage) << error;
  EXPECT_EQ(replay::replayJson(*fromPage), replay::replayJson(kept[2]));

  // A page that cannot be written is told, and nothing is opened.
  dialogs.saveAnswer = out / "no such folder" / "page.html";
  list.exportSelected();
  QTRY_VERIFY_WITH_TIMEOUT(!list.exporting(), 60000);
  EXPECT_EQ(dialogs.notices, 1);
  EXPECT_EQ(opened.size(), 1);
}

TEST_F(ReplayListTest, ClosingTheListWhileAPageIsWrittenFinishesThePageAndOpensNothing) {
  ScratchDir out;
  bool opened = false;
  {
    ui::ReplayListScreen list(ctx, folder.path());
    list.setUrlOpener([&](const QUrl&) { return opened = true; });
    dialogs.saveAnswer = out / "page.html";
    list.exportSelected();
    ASSERT_TRUE(list.exporting());
  }
  QCoreApplication::processEvents();  // what the thread left for the list is dropped with it
  EXPECT_FALSE(opened);
  EXPECT_EQ(dialogs.notices, 0);
  Refusal error;
  const auto fromPage = replay::readReplayFile(out / "page.html", &error);
  ASSERT_TRUE(fromPage) << error;
  EXPECT_EQ(replay::replayJson(*fromPage), replay::replayJson(kept[2]));
}

// A reader of 10,000 replays is handed the rows in view and the chosen one, each one object named
// in Japanese with its cells and its place, never the 50,000 cells, and finds the focus on the row
// the keys moved to. (What the bridge then tells a reader is measured by
// tools/measure-replay-list, on a real accessibility bus.)
TEST(ReplayListReader, TenThousandRowsGiveAReaderTheRowsInViewAndTheChosenOne) {
  Harness h;
  ListDialogs dialogs;
  ScratchDir folder;
  ui::ScreenContext ctx{h.gs, h.pictures, dialogs, h.dir.path()};
  Refusal error;
  ASSERT_TRUE(replay::writeReplayFile(
      folder / "0.momiru-replay", replayOf("a.datのポチ", "b.datのタマ", "2026-01-01T00:00:00Z", 4),
      &error));
  // One replay under 10,000 names: read and hashed once each, played once.
  constexpr int kRows = 10000;
  for (int i = 1; i < kRows; ++i) {
    std::filesystem::create_hard_link(folder / "0.momiru-replay",
                                      folder / (std::to_string(i) + ".momiru-replay"));
  }
  ui::ReplayListScreen list(ctx, folder.path());
  ASSERT_EQ(list.shown().size(), std::size_t{kRows});
  list.show();
  list.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&list));
  QTableView* table = list.findChild<QTableView*>("Replays");
  table->setFocus();
  ASSERT_TRUE(table->hasFocus());

  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(table);
  ASSERT_NE(face, nullptr);
  EXPECT_EQ(face->role(), QAccessible::List);
  EXPECT_EQ(face->text(QAccessible::Name), "リプレイの一覧");
  const auto bounded = [&](const char* moment) {
    const int children = face->childCount();
    EXPECT_GE(children, 5) << moment;
    EXPECT_LE(children, 40) << moment;
    for (int i = 0; i < children; ++i) {
      QAccessibleInterface* row = face->child(i);
      ASSERT_NE(row, nullptr) << moment;
      EXPECT_EQ(row->role(), QAccessible::ListItem) << moment;
      EXPECT_EQ(row->parent(), face) << moment;
      EXPECT_EQ(face->indexOfChild(row), i) << moment;
    }
    // The chosen row is among them, focused, selected and named as the list shows it.
    QAccessibleInterface* chosen = face->focusChild();
    ASSERT_NE(chosen, nullptr) << moment;
    EXPECT_GE(face->indexOfChild(chosen), 0) << moment;
    EXPECT_TRUE(chosen->state().focused) << moment;
    EXPECT_TRUE(chosen->state().selected) << moment;
    const int row = table->currentIndex().row();
    const QString name = chosen->text(QAccessible::Name);
    EXPECT_TRUE(name.startsWith("日時 " + table->model()->index(row, 0).data().toString() +
                                "、プレイヤー1 a.datのポチ、プレイヤー2 b.datのタマ、結果 "))
        << moment << ": " << name.toStdString();
    EXPECT_TRUE(name.endsWith(QStringLiteral("（%1 件中 %2 件目）").arg(kRows).arg(row + 1)))
        << moment << ": " << name.toStdString();
  };
  QTest::keyClick(table, Qt::Key_Down);
  bounded("opened");
  EXPECT_EQ(table->currentIndex().row(), 1);
  for (int i = 0; i < 30; ++i) QTest::keyClick(table, Qt::Key_Down);
  EXPECT_EQ(table->currentIndex().row(), 31);
  bounded("scrolled by the keys");
  QTest::keyClick(table, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(table->currentIndex().row(), kRows - 1);
  bounded("at the end");
  // The chosen row scrolled away by the scroll bar is still the reader's.
  table->scrollToTop();
  bounded("scrolled away");
  EXPECT_EQ(face->focusChild()->text(QAccessible::Name),
            face->child(face->childCount() - 1)->text(QAccessible::Name));
  EXPECT_TRUE(face->focusChild()->state().offscreen);
  QTest::keyClick(table, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(table->currentIndex().row(), 0);
  // A filter that leaves no row leaves the reader nothing; cleared, the rows come back.
  list.setFilter("いない");
  EXPECT_EQ(face->childCount(), 0);
  EXPECT_EQ(face->focusChild(), nullptr);
  list.setFilter("");
  table->setFocus();
  QTest::keyClick(table, Qt::Key_Down);
  bounded("filtered and cleared");
}

TEST(TitleReplayButton, SitsBelowStartInTheGrownWindowAndAsksForTheList) {
  Harness h;
  ui::TitleScreen title(h.ctx);
  auto* start = title.findChild<QPushButton*>("Command2");
  auto* replays = title.findChild<QPushButton*>("CommandReplays");
  ASSERT_NE(replays, nullptr);
  EXPECT_EQ(start->text(), "スタート");
  EXPECT_EQ(start->geometry(), QRect(7, 252, 309, 22));  // as before
  EXPECT_EQ(replays->text(), "リプレイ");
  EXPECT_GT(replays->geometry().top(), start->geometry().bottom());
  EXPECT_EQ(replays->geometry().left(), start->geometry().left());
  EXPECT_EQ(replays->width(), start->width());
  EXPECT_LE(replays->geometry().bottom(), title.height() - 1);
  EXPECT_EQ(title.height(), 333);  // grown again for 大会 below
  QSignalSpy asked(&title, &ui::TitleScreen::replaysClicked);
  QSignalSpy started(&title, &ui::TitleScreen::startClicked);
  replays->click();
  EXPECT_EQ(asked.size(), 1);
  EXPECT_EQ(started.size(), 0);
}

// The title's リプレイ opens the list of the battles the game kept; a replay watched from it leads
// back to it, and closing the list leads back to the title.
TEST(ReplayListFlow, TitleListViewerAndBackAgain) {
  using Where = app::ScreenFlow::Where;
  Harness h;
  DataHome home(h.dir.path() / "data");
  const std::filesystem::path replays = h.dir.path() / "data" / "momiru-battle" / "replays";
  std::filesystem::create_directories(replays);
  Refusal error;
  ASSERT_TRUE(replay::writeReplayFile(
      replays / "kept.momiru-replay",
      replayOf("a.datのポチ", "b.datのタマ", "2026-01-01T00:00:00Z", 8), &error));
  {
    int ended = 0;
    app::ScreenFlow flow(h.ctx, [&] { ++ended; });
    flow.start();
    flow.current()->findChild<QPushButton*>("CommandReplays")->click();
    flushDeletes();
    ASSERT_EQ(flow.where(), Where::Replays);
    auto* list = qobject_cast<ui::ReplayListScreen*>(flow.current());
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->shown().size(), 1u);
    QTest::keyClick(list->findChild<QTableView*>("Replays"), Qt::Key_Return);
    QCoreApplication::processEvents();  // the flow takes the request after the key
    flushDeletes();
    ASSERT_EQ(flow.where(), Where::Viewer);
    EXPECT_TRUE(
        ui::BattleScreenProbe(*qobject_cast<ui::BattleScreen*>(flow.current())).replayMode());
    flow.current()->close();  // the viewer's window closed: back to the list
    flushDeletes();
    ASSERT_EQ(flow.where(), Where::Replays);
    // A file that is no replay, dropped on the list, is said so and the list stays.
    momiru::testing::writeFile(h.dir.path() / "x.momiru-replay", "not json");
    emit qobject_cast<ui::ReplayListScreen*>(flow.current())
        ->watchRequested(QString::fromStdString((h.dir.path() / "x.momiru-replay").string()));
    QCoreApplication::processEvents();
    flushDeletes();
    EXPECT_EQ(flow.where(), Where::Replays);
    EXPECT_EQ(h.dialogs.replayMessages.size(), 1u);
    flow.current()->close();
    flushDeletes();
    EXPECT_EQ(flow.where(), Where::Title);
    EXPECT_EQ(ended, 0);
  }
  flushDeletes();
}

}  // namespace
}  // namespace momiru::uitest
