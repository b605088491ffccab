// momiru-battle's command line: the arguments, the battle watched from two files (the same as
// momiru-lab's for the same seed), and the replay line every battle on screen leaves on stderr.
#include "app/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <sstream>

#include "app/replay_line.h"
#include "app/screen_flow.h"
#include "support/lab_support.h"
#include "ui/battle_probe.h"
#include "ui/battle_screen.h"
#include "ui/result_screen.h"
#include "ui/ui_support.h"

namespace momiru::uitest {
namespace {

using app::CommandLine;
using ::testing::HasSubstr;

const std::filesystem::path kSamples = std::filesystem::path(MOMIRU_SOURCE_DIR) / "samples";

TEST(CommandLineTest, TakesNothingTwoFilesWithOrWithoutASeedOrAReplayAndRefusesTheRest) {
  EXPECT_FALSE(app::parseCommandLine({}).files);
  EXPECT_FALSE(app::parseCommandLine({}).replay);
  const CommandLine replay = app::parseCommandLine({"-style", "fusion", "x.momiru-replay"});
  ASSERT_EQ(replay.action, CommandLine::Action::Play) << replay.wrong;
  EXPECT_EQ(replay.replay, std::filesystem::path("x.momiru-replay"));
  EXPECT_FALSE(replay.files);
  const CommandLine pair = app::parseCommandLine({"a.dat", "b.dat"});
  ASSERT_TRUE(pair.files);
  EXPECT_EQ((*pair.files)[1], std::filesystem::path("b.dat"));
  EXPECT_FALSE(pair.seed);
  for (const auto& words :
       {std::vector<std::string>{"a.dat", "--seed", "18446744073709551615", "b.dat"},
        std::vector<std::string>{"--seed=18446744073709551615", "a.dat", "b.dat", "-platform",
                                 "offscreen"},
        std::vector<std::string>{"-style=fusion", "--seed", "18446744073709551615", "a.dat", "--",
                                 "-b.dat"}}) {
    const CommandLine line = app::parseCommandLine(words);
    ASSERT_EQ(line.action, CommandLine::Action::Play) << line.wrong;
    ASSERT_TRUE(line.files && line.seed);
    EXPECT_EQ(*line.seed, 18446744073709551615u);
  }
  EXPECT_EQ(app::parseCommandLine({"a.dat", "--help"}).action, CommandLine::Action::Help);

  // Anything else is wrong, and said on one line. Words split at single spaces.
  for (const char* wrong :
       {"x.momiru-replay --seed 5", "a.dat b.dat c.dat", "--seed 5", "a.dat b.dat --seed",
        "a.dat b.dat --seed -1", "a.dat b.dat --seed 18446744073709551616", "a.dat b.dat --seed 5x",
        "a.dat b.dat --seed 1 --seed 2", "a.dat b.dat --sed 1", "-platform",
        "a.dat b.dat --x\n\x1b[31m"}) {
    std::vector<std::string> words;
    std::istringstream in(wrong);
    for (std::string word; std::getline(in, word, ' ');) words.push_back(word);
    const CommandLine line = app::parseCommandLine(words);
    EXPECT_EQ(line.action, CommandLine::Action::Wrong) << wrong;
    const std::string text = app::usageLine(line.wrong);
    EXPECT_EQ(text.find('\n'), text.size() - 1) << text;  // one line
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
  }
}

// One file is a tournament by its name or by its content; a battle page, any other file and a
// FIFO (looked into without blocking) stay replays.
TEST(CommandLineTest, OneFileIsATournamentByItsNameOrContentAndOtherwiseAReplay) {
  ScratchDir dir;
  const std::string script = R"(<script type="application/json" id="momiru-tournament">)";
  // The element straddles the first two reads of 16 KiB.
  const std::string head = "\xEF\xBB\xBF\n <!DOCTYPE html><html><body>";
  const auto page = dir.write(
      "cup.html", head + std::string(16384 - 10 - head.size(), 'x') + script + "{}</script>");
  const auto battlePage = dir.write(
      "battle.html", R"(<html><script type="application/json" id="momiru-replay">{}</script>)");
  // A JSON file that merely holds the element's text is no page; one whose format says so is a
  // tournament, whatever its name.
  const auto json = dir.write("t.json", "{\"name\": \"" + script + "\"}");
  const auto renamed = dir.write("renamed", "{\n \"format\": \"momiru-tournament\",\n}");
  ASSERT_EQ(::mkfifo((dir.path() / "fifo.html").c_str(), 0600), 0);

  for (const std::filesystem::path& file :
       {std::filesystem::path("missing.momiru-tournament"), page, renamed}) {
    const CommandLine line = app::parseCommandLine({"-style", "fusion", file.string()});
    ASSERT_EQ(line.action, CommandLine::Action::Play) << line.wrong;
    EXPECT_EQ(line.tournament, file);
    EXPECT_FALSE(line.replay);
    EXPECT_FALSE(line.files);
  }
  for (const std::filesystem::path& file :
       {battlePage, json, dir.path() / "fifo.html", dir.path() / "missing.html",
        dir.path() / "x.momiru-tournament.bak"}) {
    const CommandLine line = app::parseCommandLine({file.string()});
    EXPECT_EQ(line.replay, file);
    EXPECT_FALSE(line.tournament);
  }
  const CommandLine seeded = app::parseCommandLine({"t.momiru-tournament", "--seed", "5"});
  EXPECT_EQ(seeded.action, CommandLine::Action::Wrong);
  EXPECT_THAT(seeded.wrong, HasSubstr("not a tournament"));
  EXPECT_EQ(app::parseCommandLine({"t.momiru-tournament", "a.dat", "b.dat"}).action,
            CommandLine::Action::Wrong);
}

// What bash makes of a quoted word: the same bytes back.
std::string throughBash(const std::string& word) {
  ScratchDir dir;
  const auto script = dir.write("echo.sh", "printf %s " + word);
  std::string out;
  FILE* pipe = ::popen(("bash '" + script.string() + "'").c_str(), "r");
  if (pipe == nullptr) return out;
  char buf[256];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
  ::pclose(pipe);
  return out;
}

TEST(ReplayLineTest, PathsAreQuotedForTheShellOnOneLine) {
  const std::string paths[] = {"/tmp/plain.dat",
                               "/tmp/with space/it's.dat",
                               "/tmp/$(rm -rf x)`y`.dat",
                               "/tmp/line\nbreak\t\x1b.dat",
                               "/tmp/ぽち\\まる.dat",
                               "/tmp/\xff\xfe.dat",
                               "/tmp/\xE2\x80\xAEtad.\xC2\x9B\xE2\x80\xA8"};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const std::string quoted = app::shellQuote(path);
    EXPECT_EQ(quoted.find('\n'), std::string::npos);
    EXPECT_EQ(quoted.find('\x1b'), std::string::npos);
    // Nor a C1 control, a separator or an override: the line reads as momiru-lab prints it.
    EXPECT_EQ(visibleText(quoted), quoted);
    EXPECT_EQ(throughBash(quoted), path);
  }
  EXPECT_EQ(app::replayLine(42, {"/a b/x.dat", false}, {"/y.dat", false}, false),
            "momiru-lab battle '/a b/x.dat' '/y.dat' --seed 42\n");
  // Kept hit points or a character from no file: the line says it is not the same battle.
  for (const app::ReplaySource& odd : {app::ReplaySource{"/x.dat", true}, {"", false}})
    EXPECT_THAT(app::replayLine(1, odd, {"/y.dat", false}, false), HasSubstr("' --seed 1  # "));
}

class WatchBattleTest : public ::testing::Test {
 protected:
  Harness h;
  int ended = 0;
  app::ScreenFlow flow{h.ctx, [this] { ++ended; }};

  // Runs the battle on screen to its end; false when it stalls.
  bool playToTheEnd() {
    auto* battle = qobject_cast<ui::BattleScreen*>(flow.current());
    if (battle == nullptr) return false;
    QEventLoop loop;
    QObject::connect(battle, &ui::BattleScreen::battleFinished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    flushDeletes();
    return flow.where() == app::ScreenFlow::Where::Result;
  }
};

// The battle opened from the command line with a seed is the one momiru-lab prints for that
// seed; the result screen then leads back into the usual circle with a battle of its own.
TEST_F(WatchBattleTest, TheSeedsBattleIsMomiruLabsAndTheCircleGoesOn) {
  h.dir.write("settei.sei", "1\r\n0\r\n1\r\n1\r\n");  // speed 1, damage not halved
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(flow.startBattle(kSamples / "zutsukiya.dat", kSamples / "zutsukiya.dat", 777));
  const std::string line = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(line, app::replayLine(777, {kSamples / "zutsukiya.dat", false},
                                  {kSamples / "zutsukiya.dat", false}, false));
  ASSERT_TRUE(playToTheEnd());

  const momiru::testing::LabRun lab =
      momiru::testing::lab("battle " + momiru::testing::sample("zutsukiya.dat") + " " +
                           momiru::testing::sample("zutsukiya.dat") + " --seed 777 --json");
  ASSERT_EQ(lab.status, 0) << lab.err;
  const momiru::testing::Json json = momiru::testing::parseJson(lab.out);
  auto* result = static_cast<ui::ResultScreen*>(flow.current());
  EXPECT_EQ(result->logText(), json.at("result_text").get<std::string>());
  EXPECT_EQ(result->outcomeText(), json.at("result_label").get<std::string>());

  // タイトルに戻る: the usual circle, where the next battle draws its own seed.
  result->findChild<QPushButton*>("Command1")->click();
  for (const char* name : {"Command2", "Command4", "Command2", "Command2"})
    flow.current()->findChild<QPushButton*>(name)->click();
  ASSERT_EQ(flow.where(), app::ScreenFlow::Where::Battle);
  EXPECT_NE(static_cast<ui::BattleScreen*>(flow.current())->seed(), 777u);
  EXPECT_EQ(ended, 0);
}

TEST_F(WatchBattleTest, SettingsComeFromTheFileWithinTheOptionsScreensRange) {
  // Values out of the options screen's range are brought in (the other cases: the data tests).
  for (const auto& [file, settings] :
       {std::pair<const char*, Settings>{"2\r\n-1\r\n0\r\n999\r\n", {1, 1, 0, 300}}}) {
    SCOPED_TRACE(settings.battleSpeed);
    std::filesystem::remove(h.dir.path() / "settei.sei");
    if (file != nullptr) h.dir.write("settei.sei", file);
    h.ctx.settings = {};
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(flow.startBattle(kSamples / "pochimaru.dat", kSamples / "rendaa.dat"));
    const std::string line = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(h.ctx.settings, settings);
    EXPECT_EQ(line.find("--halve") != std::string::npos, settings.halveDamage == 1) << line;
    EXPECT_EQ(ui::BattleScreenProbe(*static_cast<ui::BattleScreen*>(flow.current())).stepInterval(),
              settings.battleSpeed);
  }
}

TEST_F(WatchBattleTest, ATamperedFileEndsTheProgramAndAnUnreadableOneOpensTheTitle) {
  // The integrity message, then the end with a failure status and one line naming the file.
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(flow.startBattle(kSamples / "pochimaru.dat", kSamples / "altered-check.dat"));
  const std::string tampered = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(h.dialogs.messages, 1);
  EXPECT_EQ(h.dialogs.terminated, 1);
  EXPECT_EQ(h.dialogs.lastExitStatus, 1);
  EXPECT_EQ(tampered,
            "momiru-battle: " + app::shellQuote((kSamples / "altered-check.dat").string()) +
                ": the file failed its integrity check; the game ends\n");
  EXPECT_EQ(flow.where(), app::ScreenFlow::Where::End);

  const auto empty = h.dir.write("empty.dat", "");
  std::filesystem::create_directory(h.dir.path() / "folder.dat");
  for (const std::filesystem::path& bad :
       {h.dir.path() / "missing.dat", empty, h.dir.path() / "folder.dat",
        h.dir.path() / "line\nbreak\x1b.dat"}) {
    SCOPED_TRACE(bad.string());
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(flow.startBattle(bad, kSamples / "rendaa.dat", 5));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, HasSubstr(app::shellQuote(bad.string())));
    EXPECT_EQ(err.find('\x1b'), std::string::npos);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_EQ(flow.where(), app::ScreenFlow::Where::Title);
    EXPECT_EQ(h.dialogs.messages, 1);
    // A player who started the game by a double-click reads it in the window.
    ASSERT_FALSE(h.dialogs.replayMessages.empty());
    const std::string shown = h.dialogs.replayMessages.back();
    EXPECT_EQ(shown.rfind("セーブデータを読み込めませんでした。\n", 0), 0u) << shown;
    EXPECT_THAT(shown, HasSubstr("タイトル画面から始めます。"));
    EXPECT_EQ(shown.find('\x1b'), std::string::npos);
  }
  ASSERT_EQ(h.dialogs.replayMessages.size(), 4u);
  EXPECT_THAT(h.dialogs.replayMessages[0], HasSubstr("missing.dat\nファイルが見つかりません。"));
  EXPECT_THAT(h.dialogs.replayMessages[1], HasSubstr("として読めません。"));
  EXPECT_THAT(h.dialogs.replayMessages[2], HasSubstr("フォルダはセーブデータではありません。"));
}

}  // namespace
}  // namespace momiru::uitest
