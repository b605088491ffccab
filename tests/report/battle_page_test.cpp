// The battle page: well-formed, self-contained, one chart per side, and the replay it carries
// opens back as the same battle.
#include "report/battle_page.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "data/text_safety.h"
#include "report/odds.h"
#include "support/markup_check.h"
#include "support/records.h"
#include "support/test_support.h"

namespace momiru::report {
namespace {

using momiru::testing::ScratchDir;

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

BattlePageOptions fromSources(std::uint64_t oddsBattles = 2000) {
  BattlePageOptions options;
  options.oddsBattles = oddsBattles;
  options.findFile = [](const std::filesystem::path& relative) {
    return std::filesystem::path(MOMIRU_SOURCE_DIR) / "assets" / relative;
  };
  return options;
}

replay::Replay sampleReplay(GameState gs = testing::sanePair(), std::uint64_t seed = 42) {
  gs.combatant[0].portrait = 3;
  gs.combatant[1].portrait = 14;  // the empty one
  return replay::makeReplay(battle::startOf(gs, seed), {"kuma.dat", "tori.dat"},
                            "2026-12-08T12:34:56Z", "0.1.0");
}

TEST(BattlePage, IsWellFormedSelfContainedAndCarriesItsReplay) {
  const replay::Replay replay = sampleReplay();
  const std::string page = battlePage(replay, fromSources());
  EXPECT_EQ(momiru::testing::markupProblem(page), "");

  // One chart per side, each with a line per body part.
  EXPECT_EQ(count(page, "<svg class=\"hp-chart\""), 2u);
  EXPECT_EQ(count(page, "<svg class=\"hp-chart\" data-slot=\"0\""), 1u);
  EXPECT_EQ(count(page, "<svg class=\"hp-chart\" data-slot=\"1\""), 1u);
  EXPECT_EQ(count(page, "<polyline class=\"part\""), 8u);

  // Nothing in the page refers outside it: the one picture is inside it, the empty portrait
  // has none, and there are no links, style sheets or fetches.
  for (const char* outside : {"http:", "https:", "href", "<link", "url(", "@import"})
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
  EXPECT_EQ(count(page, "src=\""), 1u);
  EXPECT_EQ(count(page, "src=\"data:image/svg+xml;base64,"), 1u);
  // Its one script is data, not code.
  EXPECT_EQ(count(page, "<script"), 1u);
  EXPECT_EQ(count(page, "<script type=\"application/json\" id=\"momiru-replay\">"), 1u);

  // A line of the log for each turn.
  const replay::ReplayResult played = replay::playReplay(replay);
  EXPECT_EQ(count(page, "<li><span class=\"who\">ターン"), static_cast<std::size_t>(played.turns));

  // The page opens back as the same battle.
  Refusal error;
  const auto back = replay::parseReplay(page, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(replay::replayJson(*back), replay::replayJson(replay));
  EXPECT_EQ(replay::playReplay(*back), played);
}

TEST(BattlePage, HostileNamesStayTextAndComeBackUnchanged) {
  GameState gs = testing::sanePair();
  gs.combatant[0].name = "</script><script>alert(1)</script>&amp;<b>";
  gs.combatant[1].name = "x.datの\x1b[31m\u202e名前\r\n]]>";
  gs.combatant[1].moveNames[1] = "A--</title><img src=x>";
  const replay::Replay replay = sampleReplay(gs, 5);
  const std::string page = battlePage(replay, fromSources(0));
  EXPECT_EQ(momiru::testing::markupProblem(page), "");
  EXPECT_EQ(count(page, "<script"), 1u);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_EQ(page.find("<img src=x"), std::string::npos);
  EXPECT_EQ(page.find('\x1b'), std::string::npos);
  // The script's text holds no markup and no "</".
  const std::size_t start = page.find("id=\"momiru-replay\">") + 19;
  const std::string json = page.substr(start, page.find("</script>", start) - start);
  EXPECT_EQ(json.find_first_of("<&"), std::string::npos);
  EXPECT_EQ(page.find("id=\"odds\""), std::string::npos);  // asked without odds

  Refusal error;
  const auto back = replay::parseReplay(page, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(replay::replayJson(*back), replay::replayJson(replay));
}

TEST(BattlePage, ANameNeitherForgesLogLinesNorTurnsTheLineAround) {
  GameState gs = testing::sanePair();
  const std::string usual = battlePage(sampleReplay(gs, 5), fromSources(0));
  gs.combatant[0].name = "k.dat\r\nk.datは力尽きた････\r\nt.datの勝利！！";
  gs.combatant[1].name = "t.dat\xE2\x80\xAE\xC2\x9B\xE2\x80\xA8";
  replay::Replay replay = sampleReplay(gs, 5);
  replay.date = "2026-12-08\xE2\x80\xAE";
  const std::string page = battlePage(replay, fromSources(0));
  EXPECT_EQ(momiru::testing::markupProblem(page), "");
  // What the page shows: all of it but the replay it carries, which keeps the names as they are.
  const std::string shown = page.substr(0, page.find("<script"));
  for (const char* raw : {"\xE2\x80\xAE", "\xC2\x9B", "\xE2\x80\xA8", "\r"})
    EXPECT_EQ(shown.find(raw), std::string::npos) << visibleText(raw);
  // The same battle has as many lines, in the log and in the outcome, as with plain names.
  EXPECT_EQ(count(page, "<br/>"), count(usual, "<br/>"));
  EXPECT_EQ(count(page, "<bdi>k.dat\\r\\nk.datは力尽きた････\\r\\nt.datの勝利！！</bdi>"),
            count(usual, "<bdi>kuma.datのクマ</bdi>"));
  EXPECT_NE(page.find("<bdi>t.dat\\u202E\\u009B\\u2028</bdi>"), std::string::npos);
  EXPECT_NE(page.find("日時 <bdi>2026-12-08\\u202E</bdi>（UTC）"), std::string::npos);
}

TEST(BattlePage, TheLongestBattleStillMakesAPageThatOpensAsItsReplay) {
  // Two billion hit points a part and moves that cost nothing: unfinished after 10,000 turns.
  GameState gs;
  for (std::size_t s = 0; s < kSlots; ++s) {
    gs.combatant[s] = testing::fighter(s == 0 ? "a.datのカメ" : "b.datのイワ",
                                       {2000000000, 2000000000, 2000000000, 2000000000},
                                       {1, 1, 1, 1}, {1, 1, 1, 1}, {"B--体当たり"}, {0});
  }
  const replay::Replay replay = sampleReplay(gs, 9);
  ASSERT_FALSE(replay.result.finished);
  const std::string page = battlePage(replay, fromSources(0));
  EXPECT_LT(page.size(), replay::kReplayMaxBytes / 2);
  EXPECT_EQ(momiru::testing::markupProblem(page), "");
  EXPECT_NE(page.find("ターン10000（"), std::string::npos);  // the last turn is shown
  Refusal error;
  const auto back = replay::parseReplay(page, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->result, replay.result);
  EXPECT_EQ(replay::playReplay(*back), replay.result);
}

TEST(BattlePage, OddsAreTheSameOnAnyNumberOfThreadsAndAddUp) {
  const replay::Replay replay = sampleReplay();
  BattlePageOptions one = fromSources(3000);
  one.jobs = 1;
  BattlePageOptions three = one;
  three.jobs = 3;
  EXPECT_EQ(battlePage(replay, one), battlePage(replay, three));

  const GameState start = battle::startState(replay::replayStart(replay));
  const OddsCount c = countOutcomes(start, 3000, replay.seed, 2, battle::kDefaultMaxTurns);
  EXPECT_EQ(c.player1Wins + c.player2Wins + c.draws + c.unfinished, 3000u);
}

TEST(BattlePage, EveryPageOpensAgainWithTheLongestTextsAndPicturesAReplayMayHave) {
  // Portraits as large as a page takes them.
  ScratchDir pictures;
  const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\"/>";
  momiru::testing::writeFile(pictures / "mae03.svg",
                             svg + std::string(256 * 1024 - svg.size(), ' '));
  BattlePageOptions options = fromSources(3);
  options.findFile = [&](const std::filesystem::path& relative) {
    return pictures.path() / relative.filename();
  };
  // Every text at its longest, in the characters that grow most in markup or in JSON, and a
  // battle long enough to fill both charts and the log.
  const char* const fills[] = {"\"", "<", "\x01", "\xEF\xBD\xB1" /* ｱ */};
  for (const std::string fill : fills) {
    const auto longest = [&](std::string head) {
      while (head.size() + fill.size() <= replay::kReplayMaxTextBytes) head += fill;
      return head + std::string(replay::kReplayMaxTextBytes - head.size(), 'x');
    };
    GameState gs = testing::endlessPair();
    for (Combatant& c : gs.combatant) {
      c.hp = {700, 700, 700, 700};
      c.portrait = 3;
      c.name = longest("");
      for (std::size_t m = 0; m < kMoves; ++m) c.moveNames[m] = longest(m == 0 ? "B--" : "---");
    }
    const replay::Replay replay = replay::makeReplay(
        battle::startOf(gs, 5), {longest(""), longest("")}, longest(""), longest(""));
    ASSERT_GT(replay.result.turns, 1200);

    ScratchDir dir;
    options.pageName = std::string(255, '\'');
    Refusal error;
    ASSERT_TRUE(writeBattlePage(dir / "page.html", replay, &error, options)) << error;
    const std::uintmax_t size = std::filesystem::file_size(dir / "page.html");
    EXPECT_GT(size, replay::kReplayMaxBytes) << "as long as a page gets";
    EXPECT_LT(size, replay::kPageMaxBytes / 2);
    const auto back = replay::readReplayFile(dir / "page.html", &error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(replay::replayJson(*back), replay::replayJson(replay));
  }
}

TEST(BattlePage, OddsKeepToTheirTurnBudgetAsIfCountedOneByOne) {
  const GameState gs = testing::sanePair();
  constexpr std::uint64_t kSeed = 42;
  constexpr std::uint64_t kBudget = 40000;  // reached within the 1,400th battle or so
  OddsCount expected;
  battle::BatchBattles<false> runner(gs);
  for (std::uint64_t i = 0; expected.turnsPlayed < kBudget; ++i)
    expected.add(i, runner.play(battle::battleSeed(kSeed, i)), false);
  ASSERT_GT(expected.battles(), 1024u);
  ASSERT_LT(expected.battles(), 2048u);
  for (const unsigned jobs : {1u, 2u, 3u}) {
    EXPECT_EQ(countOutcomes(gs, 5000, kSeed, jobs, battle::kDefaultMaxTurns, kBudget), expected)
        << jobs << " threads";
  }
  // Fewer battles than the budget allows: all of them, as without a budget.
  const OddsCount all = countOutcomes(gs, 5000, kSeed, 2, battle::kDefaultMaxTurns);
  EXPECT_EQ(all.battles(), 5000u);
  EXPECT_EQ(countOutcomes(gs, 5000, kSeed, 3, battle::kDefaultMaxTurns, all.turnsPlayed), all);
  // However small the budget, the first battle counts.
  EXPECT_EQ(countOutcomes(gs, 5000, kSeed, 2, battle::kDefaultMaxTurns, 0).battles(), 1u);
}

TEST(BattlePage, ThePairingOfABattleThatNeverEndsGetsTheOddsOfAFewHundredAndSaysSo) {
  const replay::Replay replay = sampleReplay(testing::endlessPair(), 9);
  ASSERT_FALSE(replay.result.finished);
  BattlePageOptions one = fromSources(100000);
  one.jobs = 1;
  const std::string page = battlePage(replay, one);
  // Battles of 10,000 turns each, counted while those before them add up to less than 5,000,000.
  EXPECT_NE(page.find("<p>同じ2体で 500 回戦わせた結果です。戦いが長いので、ターンの合計が "
                      "5,000,000 ターンに達したところで止めました（予定は 100,000 回）。"),
            std::string::npos);
  EXPECT_NE(page.find("<tr data-outcome=\"unfinished\"><td>決着つかず</td><td class=\"n\">500<"),
            std::string::npos);
  BattlePageOptions three = one;
  three.jobs = 3;
  EXPECT_EQ(battlePage(replay, three), page);

  // An ordinary pairing plays all its battles and says nothing of a budget.
  const std::string ordinary = battlePage(sampleReplay(), fromSources(100000));
  EXPECT_NE(ordinary.find("<p>同じ2体で 100,000 回戦わせた結果です。それぞれ"), std::string::npos);
}

TEST(BattlePage, WritingIsAtomicAndAFailureIsReported) {
  ScratchDir dir;
  const replay::Replay replay = sampleReplay();
  Refusal error;
  const std::filesystem::path file = dir.path() / utf8ToPath("バトル 1.html");
  ASSERT_TRUE(writeBattlePage(file, replay, &error, fromSources(100))) << error;
  const std::string page = momiru::testing::readFile(file);
  EXPECT_NE(page.find("momiru-lab battle &#39;バトル 1.html&#39;"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  EXPECT_FALSE(writeBattlePage(dir / "missing" / "page.html", replay, &error, fromSources(0)));
  EXPECT_NE(describe(error).find("page.html"), std::string::npos);
#ifndef _WIN32  // a folder's mode bits mean nothing to Windows
  if (::geteuid() != 0) {
    std::filesystem::create_directory(dir / "locked");
    ::chmod((dir / "locked").c_str(), 0500);
    EXPECT_FALSE(writeBattlePage(dir / "locked" / "page.html", replay, &error, fromSources(0)));
  }
#endif
}

}  // namespace
}  // namespace momiru::report
