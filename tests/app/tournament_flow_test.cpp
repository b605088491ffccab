// A tournament on screen: from the title to the window 大会, a match played battle by battle on
// the colosseum and back, the file after live and quick play alike, and the way back in after the
// game was closed mid-tournament.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <array>

#include "app/screen_flow.h"
#include "battle/headless.h"
#include "report/match_play.h"
#include "report/tournament.h"
#include "report/tournament_file.h"
#include "report/tournament_schedule.h"
#include "report/tournament_session.h"
#include "support/records.h"
#include "ui/battle_probe.h"
#include "ui/battle_screen.h"
#include "ui/result_screen.h"
#include "ui/tournament_screen.h"
#include "ui/ui_support.h"

namespace momiru::uitest {
namespace {

using Where = app::ScreenFlow::Where;

class ConfirmingDialogs final : public ui::PlatformDialogs {
 public:
  explicit ConfirmingDialogs(FakeDialogs& inner) : inner_(inner) {}
  std::optional<std::filesystem::path> openSaveData(QWidget* p) override {
    return inner_.openSaveData(p);
  }
  void integrityMessage(QWidget* p) override { inner_.integrityMessage(p); }
  void terminateProgram(int status) override { inner_.terminateProgram(status); }
  std::optional<std::filesystem::path> saveReplayAs(QWidget* p, const QString& s) override {
    return inner_.saveReplayAs(p, s);
  }
  void replayMessage(QWidget* p, const QString& text) override { inner_.replayMessage(p, text); }
  bool confirm(QWidget*, const QString& question) override {
    questions.push_back(question.toStdString());
    return answer;
  }
  bool answer = true;
  std::vector<std::string> questions;

 private:
  FakeDialogs& inner_;
};

class TournamentFlowTest : public ::testing::Test {
 protected:
  Harness h;
  ConfirmingDialogs dialogs{h.dialogs};
  ui::ScreenContext ctx{h.gs, h.pictures, dialogs, h.dir.path()};
  ScratchDir home;
  DataHome dataHome{home.path()};
  int ended = 0;
  int made = 0;
  std::unique_ptr<app::ScreenFlow> flow =
      std::make_unique<app::ScreenFlow>(ctx, [this] { ++ended; });

  ~TournamentFlowTest() override {
    flow.reset();
    flushDeletes();
  }

  // A tournament of `n` entries, closed and drawn, kept where the game keeps tournaments.
  report::TournamentSession drawnTournament(int n, report::Format format, int bestOf) {
    Refusal error;
    report::SessionProblem problem;
    const auto dir = report::tournamentDirectory(&error);
    EXPECT_TRUE(dir) << error;
    report::TournamentRules rules;
    rules.format = format;
    rules.bestOf = bestOf;
    const std::string name = "cup" + std::to_string(++made);
    auto session = report::TournamentSession::create(*dir / (name + ".momiru-tournament"),
                                                     *dir / (name + ".momiru-secret"), "春の大会",
                                                     rules, true, "test", &problem);
    EXPECT_TRUE(session) << problem.english;
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < n; ++i) {
      auto c = testCharacter("モミ" + std::to_string(i), 3 + i % 9);
      c.record.hp[0] += i;  // no two records alike
      files.push_back(h.dir.write("e" + std::to_string(i) + ".dat", encode(c)));
    }
    for (const auto& r : session->addEntries(files)) EXPECT_TRUE(r.entry) << r.detail;
    EXPECT_TRUE(session->closeEntries(&problem)) << problem.english;
    EXPECT_TRUE(session->start(std::string("beacon 2026-12-08"), &problem)) << problem.english;
    return std::move(*session);
  }

  ui::TournamentScreen* window() const {
    return qobject_cast<ui::TournamentScreen*>(flow->current());
  }

  // Plays the battle on the colosseum to its end.
  void playBattleOnScreen() {
    auto* battle = qobject_cast<ui::BattleScreen*>(flow->current());
    ASSERT_NE(battle, nullptr);
    for (int i = 0; i < 10000000 && flow->where() == Where::MatchBattle && tick(*battle); ++i) {
    }
  }

  // Plays match `id` on screen from the window to the window.
  void playMatchOnScreen(const QString& id) {
    ASSERT_EQ(flow->where(), Where::Tournament);
    emit window()->playMatchRequested(id);
    QCoreApplication::processEvents();
    for (int battles = 0; flow->where() != Where::Tournament; ++battles) {
      ASSERT_LT(battles, 20);
      ASSERT_EQ(flow->where(), Where::MatchBattle);
      playBattleOnScreen();
      flushDeletes();
      if (flow->where() == Where::MatchResult) {
        auto* next = flow->current()->findChild<QPushButton*>("Command1");
        ASSERT_NE(next, nullptr);
        next->click();
      }
    }
  }
};

// Title → 大会 → a match on the colosseum, battle after battle with a result screen between →
// the window again, the match recorded as a run without a screen plays it, and saved.
TEST_F(TournamentFlowTest, AMatchPlaysOnTheColosseumAndComesBackRecorded) {
  flow->start();
  ASSERT_EQ(flow->where(), Where::Title);
  auto* button = flow->current()->findChild<QPushButton*>();
  for (auto* b : flow->current()->findChildren<QPushButton*>())
    if (b->text() == QStringLiteral("大会")) button = b;
  ASSERT_EQ(button->text(), QStringLiteral("大会"));
  button->click();
  ASSERT_EQ(flow->where(), Where::Tournament);

  flow->tournament() = drawnTournament(4, report::Format::Single, 3);
  const report::TournamentPlay& play = *flow->tournament()->play();
  const std::string id = play.readyMatches().front();
  const report::Match want = report::playMatchHeadless(play.tournament(), play.find(id)->match);

  playMatchOnScreen(QString::fromStdString(id));
  ASSERT_EQ(flow->where(), Where::Tournament);
  const report::ScheduledMatch* got = flow->tournament()->play()->find(id);
  ASSERT_TRUE(got->played);
  EXPECT_EQ(got->match, want);
  EXPECT_GE(want.battles.size(), 2u);

  // Kept on disk after the match, as the tournament now stands.
  Refusal error;
  const auto onDisk = report::readTournamentFile(flow->tournament()->file(), &error);
  ASSERT_TRUE(onDisk) << error;
  EXPECT_EQ(report::tournamentJson(*onDisk),
            report::tournamentJson(flow->tournament()->tournament()));
  EXPECT_EQ(ended, 0);
}

// Some matches live, the rest at once: the file equals the one a run without a screen makes
// from the same secret, entries and beacon.
TEST_F(TournamentFlowTest, LiveAndQuickPlayGiveTheFileARunGives) {
  for (const auto format : {report::Format::Double, report::Format::Swiss}) {
    SCOPED_TRACE(static_cast<int>(format));
    flow->start();
    flow->tournament() = drawnTournament(5, format, 1);
    report::Tournament fresh = flow->tournament()->tournament();
    fresh.seeds.clear();
    fresh.matches.clear();
    fresh.standings.clear();
    report::playTournament(fresh);

    flow->openTournament(flow->tournament()->file());
    ASSERT_EQ(flow->where(), Where::Tournament);
    for (int live = 0; live < 2; ++live)
      playMatchOnScreen(QString::fromStdString(flow->tournament()->play()->readyMatches().back()));
    report::SessionProblem problem;
    ASSERT_TRUE(flow->tournament()->playRest(1, {}, {}, &problem)) << problem.english;
    report::Tournament done = flow->tournament()->tournament();
    EXPECT_EQ(done.stage, report::Stage::Finished);
    done.writtenBy = fresh.writtenBy;
    EXPECT_EQ(report::tournamentJson(done), report::tournamentJson(fresh));
    flow->current()->close();
  }
}

// The colosseum closed mid-match leads back to the window with nothing recorded; the game closed
// mid-tournament offers, at its next start, to go on where it stopped.
TEST_F(TournamentFlowTest, ClosingMidMatchAndMidTournamentLosesNothing) {
  flow->start();
  flow->tournament() = drawnTournament(4, report::Format::RoundRobin, 3);
  flow->openTournament(flow->tournament()->file());
  const std::string first = flow->tournament()->play()->readyMatches().front();
  playMatchOnScreen(QString::fromStdString(first));
  const std::string second = flow->tournament()->play()->readyMatches().front();
  emit window()->playMatchRequested(QString::fromStdString(second));
  QCoreApplication::processEvents();
  ASSERT_EQ(flow->where(), Where::MatchBattle);
  flow->current()->close();
  EXPECT_EQ(flow->where(), Where::Tournament);
  EXPECT_FALSE(flow->tournament()->play()->find(second)->played);
  EXPECT_EQ(ended, 0);

  const std::filesystem::path file = flow->tournament()->file();
  flow = std::make_unique<app::ScreenFlow>(ctx, [this] { ++ended; });
  flushDeletes();
  flow->start();
  QCoreApplication::processEvents();
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_NE(dialogs.questions[0].find("春の大会"), std::string::npos);
  ASSERT_EQ(flow->where(), Where::Tournament);
  EXPECT_EQ(flow->tournament()->file(), file);
  EXPECT_TRUE(flow->tournament()->play()->find(first)->played);
  EXPECT_EQ(flow->tournament()->play()->playedCount(), 1u);
}

// In a match the colosseum and the result screen say the match, the battle of it and the score,
// the score of a result being the next battle's; a plain battle shows none of it and keeps the
// design's layout.
TEST_F(TournamentFlowTest, TheColosseumAndTheResultSayTheMatchAndAPlainBattleDoesNot) {
  flow->start();
  flow->tournament() = drawnTournament(4, report::Format::Single, 3);
  flow->openTournament(flow->tournament()->file());
  const std::string id = flow->tournament()->play()->readyMatches().front();
  emit window()->playMatchRequested(QString::fromStdString(id));
  QCoreApplication::processEvents();

  // The score after the last battle, with its left player's name: the sides swap each battle,
  // and the colosseum counts from its left.
  std::array<int, 2> wins{0, 0};
  QString lastLeft;
  for (int k = 1; flow->where() == Where::MatchBattle; ++k) {
    SCOPED_TRACE(k);
    ASSERT_LE(k, 6);
    const QString left = flow->current()->findChild<QLabel*>("name12_0")->accessibleName();
    const bool swapped = !lastLeft.isEmpty() && !left.endsWith(lastLeft);
    const QString score = swapped ? QStringLiteral("%1－%2").arg(wins[1]).arg(wins[0])
                                  : QStringLiteral("%1－%2").arg(wins[0]).arg(wins[1]);
    auto* info = flow->current()->findChild<QLabel*>("matchInfo");
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->isVisibleTo(flow->current()));
    EXPECT_EQ(info->text().split('\n'),
              (QStringList{QString::fromStdString(id), QStringLiteral("第%1戦").arg(k),
                           k <= 3 ? QStringLiteral("3戦2勝") : QStringLiteral("延長戦"), score}));
    EXPECT_TRUE(flow->current()->windowTitle().contains(QString::fromStdString(id)));
    // Between the gauges, under ＶＳ, above where the message box opens.
    const QRect column = info->geometry();
    for (const char* other : {"Label1", "timeg_0", "timeg_1", "bun", "waku_0", "waku_1"}) {
      EXPECT_FALSE(column.intersects(flow->current()->findChild<QWidget*>(other)->geometry()))
          << other;
    }
    playBattleOnScreen();
    flushDeletes();
    if (flow->where() != Where::MatchResult) continue;  // stopped at the turn limit
    auto* line = flow->current()->findChild<QLabel*>("matchInfo");
    ASSERT_NE(line, nullptr);
    const QString said = line->accessibleName();
    EXPECT_TRUE(said.startsWith(QString::fromStdString(id) + QStringLiteral("　第%1戦").arg(k)))
        << said.toStdString();
    const auto* log = flow->current()->findChild<QWidget*>("Text1");
    const auto* outcome = flow->current()->findChild<QWidget*>("Label1");
    EXPECT_FALSE(line->geometry().intersects(log->geometry()));
    EXPECT_FALSE(line->geometry().intersects(outcome->geometry()));
    auto* next = flow->current()->findChild<QPushButton*>("Command1");
    if (next->text() == QStringLiteral("大会に戻る")) {
      // Decided: the line says how, in the tournament's words.
      EXPECT_TRUE(said.contains(QStringLiteral("の勝ち"))) << said.toStdString();
    } else {
      // 「W1-1　第1戦（3戦2勝）　モミ0 1－0 モミ3」
      const QStringList parts = said.split(QLatin1Char(' '));
      ASSERT_EQ(parts.size(), 3) << said.toStdString();
      const QStringList after = parts[1].split(QStringLiteral("－"));
      ASSERT_EQ(after.size(), 2);
      wins = {after[0].toInt(), after[1].toInt()};
      lastLeft = parts[0].section(QStringLiteral("　"), -1);
      EXPECT_TRUE(left.endsWith(lastLeft)) << left.toStdString();
    }
    next->click();
  }
  EXPECT_EQ(flow->where(), Where::Tournament);

  // A plain battle and its result, as they always were.
  const std::filesystem::path samples = std::filesystem::path(MOMIRU_SOURCE_DIR) / "samples";
  ASSERT_TRUE(flow->startBattle(samples / "pochimaru.dat", samples / "rendaa.dat", 3));
  EXPECT_EQ(flow->current()->findChild<QLabel*>("matchInfo"), nullptr);
  EXPECT_EQ(flow->current()->windowTitle(), QStringLiteral("バトルコロシアム"));
  auto* battle = qobject_cast<ui::BattleScreen*>(flow->current());
  for (int i = 0; i < 10000000 && flow->where() == Where::Battle && tick(*battle); ++i) {
  }
  flushDeletes();
  ASSERT_EQ(flow->where(), Where::Result);
  EXPECT_EQ(flow->current()->findChild<QLabel*>("matchInfo"), nullptr);
  EXPECT_EQ(flow->current()->windowTitle(), QStringLiteral("結果発表"));
  EXPECT_EQ(flow->current()->findChild<QWidget*>("Text1")->geometry(), QRect(7, 7, 449, 148));
}

// A played battle opens in the viewer and the viewer leads back to the window; a tournament file
// that cannot be read leaves the game at the title with a Japanese message.
TEST_F(TournamentFlowTest, BattlesOpenInTheViewerAndBadFilesAreTold) {
  flow->start();
  flow->tournament() = drawnTournament(3, report::Format::Single, 1);
  flow->openTournament(flow->tournament()->file());
  report::SessionProblem problem;
  ASSERT_TRUE(flow->tournament()->playRest(1, {}, {}, &problem)) << problem.english;
  const report::Match& m = flow->tournament()->tournament().matches.back();
  emit window()->viewBattleRequested(QString::fromStdString(m.id), 1);
  QCoreApplication::processEvents();
  ASSERT_EQ(flow->where(), Where::Viewer);
  flow->current()->close();
  EXPECT_EQ(flow->where(), Where::Tournament);
  // Watched to its result, the battle's first button leads back into the tournament.
  emit window()->viewBattleRequested(QString::fromStdString(m.id), 1);
  QCoreApplication::processEvents();
  ASSERT_EQ(flow->where(), Where::Viewer);
  emit static_cast<ui::BattleScreen*>(flow->current())->battleFinished();
  ASSERT_EQ(flow->where(), Where::ViewerResult);
  // The battle watched again says its match too.
  auto* info = flow->current()->findChild<QLabel*>("matchInfo");
  ASSERT_NE(info, nullptr);
  EXPECT_TRUE(info->accessibleName().startsWith(QString::fromStdString(m.id)));
  auto* back = flow->current()->findChild<QPushButton*>("Command1");
  EXPECT_EQ(back->text(), QStringLiteral("大会に戻る"));
  back->click();
  EXPECT_EQ(flow->where(), Where::Tournament);

  const auto junk = h.dir.write("junk.momiru-tournament", "{\"format\":\"momiru-tournament\"");
  EXPECT_FALSE(flow->openTournament(junk));
  EXPECT_EQ(flow->where(), Where::Title);
  ASSERT_FALSE(h.dialogs.replayMessages.empty());
  EXPECT_EQ(h.dialogs.replayMessages.back().rfind("大会のファイルを開けませんでした。", 0), 0u);
}

}  // namespace
}  // namespace momiru::uitest
