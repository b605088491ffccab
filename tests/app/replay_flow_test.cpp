// The replays of the flow: the result screen's two buttons, the replay saved after every battle
// that reaches its result, and the opening of good and bad files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QKeyEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

#include "app/screen_flow.h"
#include "replay/replay.h"
#include "replay/replay_store.h"
#include "support/records.h"
#include "ui/battle_probe.h"
#include "ui/battle_screen.h"
#include "ui/replay_list_screen.h"
#include "ui/result_screen.h"
#include "ui/title_screen.h"
#include "ui/ui_support.h"

namespace momiru::uitest {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using Where = app::ScreenFlow::Where;

TEST(ResultButtonsTest, TwoReplayButtonsCoverNoneOfTheThreeControlsAndSaveThroughTheDialog) {
  Harness h;
  h.gs.combatant = momiru::testing::sanePair().combatant;
  const replay::Replay replay =
      replay::makeReplay(battle::startOf(h.gs, Settings{1, 0, 1, 150}, 5), {"kuma.dat", "tori.dat"},
                         "2026-12-08T12:00:00Z", "test");
  ui::ResultScreen screen(h.ctx, h.gs.battleLog, &replay);
  const QRect text1 = screen.findChild<QWidget*>("Text1")->geometry();
  const QRect label1 = screen.findChild<QWidget*>("Label1")->geometry();
  const QRect command1 = screen.findChild<QWidget*>("Command1")->geometry();
  EXPECT_EQ(text1, QRect(7, 7, 449, 148));
  EXPECT_EQ(command1, QRect(182, 266, 106, 36));
  EXPECT_EQ(screen.findChild<QPushButton*>("Command1")->text(), QStringLiteral("タイトルに戻る"));
  for (const auto& [name, text] : {std::pair("replayWatch", QStringLiteral("リプレイを見る")),
                                   std::pair("replaySave", QStringLiteral("リプレイを保存"))}) {
    auto* button = screen.findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), text);
    EXPECT_EQ(button->accessibleName(), text);
    for (const QRect& other : {text1, label1, command1}) {
      EXPECT_FALSE(button->geometry().intersects(other)) << name;
    }
    EXPECT_TRUE(screen.rect().contains(button->geometry())) << name;
  }

  // Cancelled: nothing written. Chosen: the replay is there. A folder in the way: a message.
  auto* save = screen.findChild<QPushButton*>("replaySave");
  save->click();
  EXPECT_EQ(h.dialogs.suggestedNames, std::vector<std::string>{replay::replayFileName(replay)});
  const auto target = h.dir.path() / "copy.momiru-replay";
  h.dialogs.saveAnswers = {target};
  save->click();
  Refusal error;
  const auto back = replay::readReplayFile(target, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->seed, 5u);
  EXPECT_TRUE(h.dialogs.replayMessages.empty());
  std::filesystem::create_directory(h.dir.path() / "folder.momiru-replay");
  h.dialogs.saveAnswers = {h.dir.path() / "folder.momiru-replay"};
  save->click();
  ASSERT_EQ(h.dialogs.replayMessages.size(), 1u);
  EXPECT_THAT(h.dialogs.replayMessages[0], StartsWith("リプレイを保存できませんでした"));
}

class ReplayFlowTest : public ::testing::Test {
 protected:
  Harness h;
  int ended = 0;
  std::filesystem::path dataHome = h.dir.path() / "data";
  DataHome home{dataHome};
  std::optional<app::ScreenFlow> flow;

  ReplayFlowTest() {
    h.dir.write("settei.sei", "1\r\n0\r\n1\r\n1\r\n");  // speed 1
    flow.emplace(h.ctx, [this] { ++ended; });
  }
  ~ReplayFlowTest() override {
    flow.reset();
    flushDeletes();
  }
  std::filesystem::path replays() const { return dataHome / "momiru-battle" / "replays"; }
  std::vector<std::filesystem::path> saved() const {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(replays(), ec)) {
      files.push_back(e.path());
    }
    return files;
  }
  // Starts a battle from the samples and plays it `ticks` ticks or to its result, its window
  // closed if `close`; the stderr it wrote.
  std::string play(std::uint64_t seed, int ticks = 1000000, bool close = false) {
    ::testing::internal::CaptureStderr();
    const std::filesystem::path samples = std::filesystem::path(MOMIRU_SOURCE_DIR) / "samples";
    EXPECT_TRUE(flow->startBattle(samples / "pochimaru.dat", samples / "rendaa.dat", seed));
    auto* screen = qobject_cast<ui::BattleScreen*>(flow->current());
    for (int i = 0; screen && flow->where() == Where::Battle && i < ticks && tick(*screen);) ++i;
    if (close) screen->close();
    flushDeletes();
    return ::testing::internal::GetCapturedStderr();
  }
  ui::ResultScreen* result() const { return qobject_cast<ui::ResultScreen*>(flow->current()); }
  void playViewerToItsResult() {
    auto* viewer = qobject_cast<ui::BattleScreen*>(flow->current());
    ASSERT_NE(viewer, nullptr);
    ui::BattleScreenProbe probe(*viewer);
    ASSERT_TRUE(probe.replayMode());
    probe.seekToTurn(probe.replayTurns());
    for (int i = 0; flow->where() == Where::Viewer && i < 100; ++i) probe.stepTick();
    flushDeletes();
  }
};

// A battle that reaches its result is saved at once, its first stderr line kept as it was; the
// result screen's viewer plays it to the same texts and leads back to that result screen.
TEST_F(ReplayFlowTest, ABattleOnScreenIsSavedAndWatchedAgainFromItsResult) {
  const std::string err = play(321);
  ASSERT_EQ(flow->where(), Where::Result);
  ASSERT_EQ(saved().size(), 1u);
  ASSERT_TRUE(flow->lastSaved());
  const std::string firstLine = err.substr(0, err.find('\n') + 1);
  EXPECT_THAT(firstLine, StartsWith("momiru-lab battle "));
  EXPECT_THAT(firstLine, HasSubstr("--seed 321"));
  EXPECT_EQ(err.substr(firstLine.size()),
            "replay saved: " + app::shellQuote(flow->lastSaved()->string()) + "\n");

  Refusal error;
  const auto replay = replay::readReplayFile(saved()[0], &error);
  ASSERT_TRUE(replay) << error;
  EXPECT_EQ(replay->seed, 321u);
  EXPECT_EQ(replay->characters[0].file, "pochimaru.dat");
  EXPECT_EQ(replay->characters[0].record.name, h.gs.combatant[0].name);
  EXPECT_FALSE(replay::replayMismatch(replay->result, replay::playReplay(*replay)));

  const std::string log = result()->logText();
  const std::string outcome = result()->outcomeText();
  const GameState before = h.gs;
  result()->findChild<QPushButton*>("replayWatch")->click();
  ASSERT_EQ(flow->where(), Where::Viewer);
  playViewerToItsResult();
  ASSERT_EQ(flow->where(), Where::ViewerResult);
  EXPECT_EQ(result()->logText(), log);
  EXPECT_EQ(result()->outcomeText(), outcome);
  EXPECT_EQ(h.gs.combatant, before.combatant);  // the run's own records are untouched
  EXPECT_EQ(h.gs.battleLog, before.battleLog);

  // Closing the viewer's result (or the viewer) leads back to where it was opened from.
  flow->current()->close();
  flushDeletes();
  EXPECT_EQ(flow->where(), Where::Result);
  EXPECT_EQ(result()->logText(), log);
  result()->findChild<QPushButton*>("replayWatch")->click();
  flow->current()->close();
  flushDeletes();
  EXPECT_EQ(flow->where(), Where::Result);
  EXPECT_EQ(ended, 0);
  EXPECT_EQ(saved().size(), 1u);  // watching saves nothing
}

TEST_F(ReplayFlowTest, ABattleClosedBeforeItsResultIsNotSaved) {
  const std::string err = play(9, 50, true);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
  EXPECT_TRUE(saved().empty());
  EXPECT_EQ(ended, 1);
}

// A FIFO where the replay folder should be: one stderr line, and the result screen as ever.
TEST_F(ReplayFlowTest, AFailedSaveLeavesTheResultScreenAsItIs) {
  std::filesystem::create_directories(dataHome / "momiru-battle");
  ASSERT_EQ(::mkfifo(replays().c_str(), 0600), 0);
  const std::string err = play(44);
  ASSERT_EQ(flow->where(), Where::Result);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2);
  EXPECT_THAT(err, HasSubstr("momiru-battle: the replay could not be saved: "));
  EXPECT_FALSE(flow->lastSaved());
  EXPECT_THAT(result()->outcomeText(), StartsWith("今回の勝負は"));
  EXPECT_TRUE(result()->findChild<QPushButton*>("replayWatch")->isEnabled());
}

// A file that is no replay: a message in Japanese, and the game at the title.
TEST_F(ReplayFlowTest, ABadReplayIsSaidSoAndTheGameGoesOnAtTheTitle) {
  const auto notJson = h.dir.write("bad.momiru-replay", "{ not json");
  for (const std::filesystem::path& bad : {notJson, h.dir.path() / "missing.momiru-replay"}) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(flow->openReplay(bad));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(flow->where(), Where::Title);
  }
  ASSERT_EQ(h.dialogs.replayMessages.size(), 2u);
  EXPECT_THAT(h.dialogs.replayMessages[0], StartsWith("リプレイを開けませんでした"));
  // The box speaks Japanese; stderr keeps the English reason.
  EXPECT_THAT(h.dialogs.replayMessages[0], HasSubstr("JSONではないか、途中で切れています"));
  EXPECT_THAT(h.dialogs.replayMessages[1],
              HasSubstr("開けません（フォルダかファイルがありません）"));
  EXPECT_EQ(ended, 0);
}

// A replay these rules play otherwise: said so, and shown as these rules play it; closing the
// viewer opened from a file leads to the title. The title takes a dropped replay too.
TEST_F(ReplayFlowTest, AReplayThatPlaysOtherwiseIsSaidSoAndShownAsTheseRulesPlayIt) {
  GameState start;
  start.combatant = momiru::testing::sanePair().combatant;
  replay::Replay replay = replay::makeReplay(battle::startOf(start, Settings{1, 0, 1, 20}, 12),
                                             {"a.dat", "b.dat"}, "2026-12-08T00:00:00Z", "other");
  const std::int32_t turns = replay.result.turns;
  replay.result.turns += 3;
  const auto file = h.dir.path() / "edited.momiru-replay";
  Refusal error;
  ASSERT_TRUE(replay::writeReplayFile(file, replay, &error)) << error;

  ASSERT_TRUE(flow->openReplay(file));
  ASSERT_EQ(h.dialogs.replayMessages.size(), 1u);
  EXPECT_THAT(h.dialogs.replayMessages[0], HasSubstr("違うところ: ターン数"));
  ASSERT_EQ(flow->where(), Where::Viewer);
  auto* viewer = static_cast<ui::BattleScreen*>(flow->current());
  EXPECT_EQ(ui::BattleScreenProbe(*viewer).replayTurns(), turns);
  viewer->close();
  flushDeletes();
  EXPECT_EQ(flow->where(), Where::Title);

  // Dropped on the title: the same viewer, after the drop has returned.
  auto* title = static_cast<ui::TitleScreen*>(flow->current());
  emit title->replayDropped(file);
  EXPECT_EQ(flow->where(), Where::Title);
  QCoreApplication::processEvents();
  EXPECT_EQ(flow->where(), Where::Viewer);
  EXPECT_EQ(ended, 0);
}

// Escape is the way back by keyboard: the viewer to the list it was opened from, the list to the
// title; a held Escape goes back one step only.
TEST_F(ReplayFlowTest, EscapeLeadsBackFromTheViewerToTheListAndFromTheListToTheTitle) {
  GameState start;
  start.combatant = momiru::testing::sanePair().combatant;
  const replay::Replay replay =
      replay::makeReplay(battle::startOf(start, Settings{1, 0, 1, 20}, 8), {"a.dat", "b.dat"},
                         "2026-12-08T00:00:00Z", "test");
  const auto file = h.dir.path() / "kept.momiru-replay";
  Refusal error;
  ASSERT_TRUE(replay::writeReplayFile(file, replay, &error)) << error;

  flow->start();
  emit static_cast<ui::TitleScreen*>(flow->current())->replaysClicked();
  ASSERT_EQ(flow->where(), Where::Replays);
  ASSERT_TRUE(flow->openReplay(file, Where::Replays));
  ASSERT_EQ(flow->where(), Where::Viewer);
  flow->current()->show();
  QTest::keyClick(flow->current(), Qt::Key_Escape);
  flushDeletes();
  EXPECT_EQ(flow->where(), Where::Replays);
  // The repeat of the held key does not close the list too.
  QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
  QCoreApplication::sendEvent(flow->current(), &repeated);
  flushDeletes();
  EXPECT_EQ(flow->where(), Where::Replays);
  QTest::keyClick(flow->current(), Qt::Key_Escape);
  flushDeletes();
  EXPECT_EQ(flow->where(), Where::Title);
  EXPECT_EQ(ended, 0);
}

// A replay watched from the list to its end: its result's first button, and Escape alike, lead
// back to the list, with the replay just watched selected; on the run's own result screen Escape
// leads to the title as タイトルに戻る does, once however long it is held.
TEST_F(ReplayFlowTest, AReplayWatchedFromTheListToItsEndLeadsBackToTheList) {
  play(5);  // kept in the replay folder
  play(6);
  ASSERT_EQ(flow->where(), Where::Result);
  // Escape held: the first press leaves, the repeats do nothing on the title.
  QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
  QCoreApplication::sendEvent(flow->current(), &repeated);
  EXPECT_EQ(flow->where(), Where::Result);
  QTest::keyClick(flow->current(), Qt::Key_Escape);
  flushDeletes();
  ASSERT_EQ(flow->where(), Where::Title);
  std::vector<std::filesystem::path> kept = saved();
  ASSERT_EQ(kept.size(), 2u);
  std::sort(kept.begin(), kept.end());

  for (const bool byEscape : {false, true}) {
    SCOPED_TRACE(byEscape);
    emit static_cast<ui::TitleScreen*>(flow->current())->replaysClicked();
    ASSERT_EQ(flow->where(), Where::Replays);
    // The older of the two, not the one the list selects first.
    const std::filesystem::path watched = kept[byEscape ? 1 : 0];
    ASSERT_TRUE(flow->openReplay(watched, Where::Replays));
    playViewerToItsResult();
    ASSERT_EQ(flow->where(), Where::ViewerResult);
    auto* back = flow->current()->findChild<QPushButton*>("Command1");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->text(), QStringLiteral("一覧に戻る"));
    if (byEscape) {
      QTest::keyClick(flow->current(), Qt::Key_Escape);
    } else {
      back->click();
    }
    flushDeletes();
    ASSERT_EQ(flow->where(), Where::Replays);
    auto* list = qobject_cast<ui::ReplayListScreen*>(flow->current());
    ASSERT_NE(list, nullptr);
    QSignalSpy watch(list, &ui::ReplayListScreen::watchRequested);
    list->watchSelected();
    ASSERT_EQ(watch.count(), 1);
    EXPECT_EQ(std::filesystem::path(watch.at(0).at(0).toString().toStdString()).filename(),
              watched.filename());
    QCoreApplication::processEvents();  // the queued request opens the viewer again
    ASSERT_EQ(flow->where(), Where::Viewer);
    flow->current()->close();
    flushDeletes();
    ASSERT_EQ(flow->where(), Where::Replays);
    flow->current()->close();
    flushDeletes();
    ASSERT_EQ(flow->where(), Where::Title);
  }
  EXPECT_EQ(ended, 0);
}

}  // namespace
}  // namespace momiru::uitest
