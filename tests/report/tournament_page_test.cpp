// The tournament page in process: read back from its own data it is written again byte for byte,
// in every format; any other page is told apart; the warning of a tournament that did not verify,
// numbers from #1 and the scores in the bracket.
#include "report/tournament_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "data/strangers_file.h"
#include "report/bracket_layout.h"
#include "report/tournament_draw.h"
#include "report/tournament_file.h"
#include "report/tournament_schedule.h"
#include "report/tournament_verify.h"
#include "support/test_support.h"
#include "support/tournament_fixture.h"

namespace {

using namespace momiru::report;
namespace fs = std::filesystem;

BattlePageOptions withPictures() {
  BattlePageOptions options;
  options.findFile = [](const fs::path& relative) {
    return fs::path(MOMIRU_SOURCE_DIR) / "assets" / relative;
  };
  return options;
}

Tournament played(std::size_t n, Format format, int bestOf, bool thirdPlace = false) {
  momiru::testing::FieldOptions o;
  o.bestOf = bestOf;
  o.thirdPlace = thirdPlace;
  o.rounds = format == Format::RoundRobin ? 1 : 0;
  o.name = "春の大会";
  Tournament t = momiru::testing::sampleField(n, format, o);
  playTournament(t);
  return t;
}

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = 0; (at = text.find(what, at)) != std::string_view::npos; at += what.size())
    ++n;
  return n;
}

// Names that are markup, control characters and a right-to-left override, as a hostile entrant
// may send them.
Tournament hostileNames(std::size_t n, Format format) {
  momiru::testing::FieldOptions o;
  o.name = "<b>春</b>の大会\x01";
  Tournament t = momiru::testing::sampleField(n, format, o);
  t.entries[1].storedName = "</script><style>body{display:none}</style>\xE2\x80\xAE\t&amp;";
  t.entries[1].record.name = t.entries[1].file + "の" + t.entries[1].storedName;
  t.entries[1].sha256 = momiru::sha256Hex(entryCanonical(t.entries[1]));
  t.entriesDigest = entriesDigestOf(t.entries);
  t.seed = tournamentSeedOf(*t.secret, *t.entriesDigest, t.beacon);
  playTournament(t);
  return t;
}

TEST(TournamentPageCheck, EveryFormatsPageIsWrittenAgainFromItsOwnData) {
  const BattlePageOptions options = withPictures();
  for (const Tournament& t : {played(8, Format::Single, 3, true), played(7, Format::Double, 1),
                              played(5, Format::RoundRobin, 1), played(9, Format::Swiss, 3),
                              hostileNames(4, Format::Double)}) {
    SCOPED_TRACE(formatName(t.rules.format));
    const std::string page = tournamentPage(t, options);
    momiru::Refusal error;
    const auto back = parseTournament(page, &error);
    ASSERT_TRUE(back) << error;
    ASSERT_EQ(verifyTournament(*back), std::nullopt);
    EXPECT_EQ(pageDifference(page, *back, options), std::nullopt);
    // JSON shows nothing of its own.
    EXPECT_EQ(pageDifference(tournamentJson(*back), *back, options), std::nullopt);
  }
}

TEST(TournamentPageCheck, AnyOtherBytesAreADifferenceThatSaysWhere) {
  const BattlePageOptions options = withPictures();
  const Tournament t = played(4, Format::Single, 1);
  const std::string page = tournamentPage(t, options);
  const std::size_t body = page.find("<body>\n") + 7;
  const std::string swapped = [&] {
    std::string p = page;
    const std::size_t h1 = p.find("<h1>");
    p.replace(h1, 4, "<h1 hidden>");
    return p;
  }();
  const std::pair<const char*, std::string> forged[] = {
      {"after the end", page + "<p>優勝 #2</p>\n"},
      {"cut short", page.substr(0, page.size() - 8)},
      {"an attribute", swapped},
      {"a byte order mark", "\xEF\xBB\xBF" + page},
      {"a style in the body",
       page.substr(0, body) + "<style>h1{display:none}</style>" + page.substr(body)},
  };
  for (const auto& [what, text] : forged) {
    const auto d = pageDifference(text, t, options);
    ASSERT_TRUE(d) << what;
    EXPECT_NE(d->find("not the page this version writes"), std::string::npos) << *d;
    EXPECT_NE(d->find("another version"), std::string::npos) << *d;
  }
  EXPECT_NE(pageDifference(page + "x", t, options)->find("goes on after its end"),
            std::string::npos);
  EXPECT_NE(pageDifference(swapped, t, options)->find("' hidden>"), std::string::npos);
  // A verifier without the game's pictures is told why the page it has differs.
  BattlePageOptions none;
  none.findFile = [](const fs::path&) { return fs::path(); };
  EXPECT_NE(pageDifference(page, t, none)->find("pictures"), std::string::npos);
  EXPECT_EQ(pageDifference(page + "x", t, options)->find("pictures"), std::string::npos);
}

TEST(TournamentPageCheck, AFileNamedAsAPageMustBeOne) {
  momiru::testing::ScratchDir dir;
  const Tournament t = played(4, Format::Single, 1);
  momiru::testing::writeFile(dir / "t.momiru-tournament", tournamentJson(t));
  momiru::testing::writeFile(dir / "t.HTML", tournamentJson(t));
  momiru::testing::writeFile(dir / "page.html", tournamentPage(t));
  EXPECT_EQ(pageFileDifference(dir / "t.momiru-tournament", t), std::nullopt);
  EXPECT_EQ(pageFileDifference(dir / "page.html", t), std::nullopt);
  ASSERT_TRUE(pageFileDifference(dir / "t.HTML", t));
  EXPECT_NE(pageFileDifference(dir / "t.HTML", t)->find("named as a page"), std::string::npos);
  EXPECT_TRUE(pageFileDifference(dir / "missing.html", t));
}

TEST(TournamentPageCheck, AnEarlierVersionsPageIsToldApartWhileItsDataVerifies) {
  // The golden page was written before entries were numbered from #1 and the bracket had scores.
  momiru::Refusal error;
  const fs::path old = fs::path(MOMIRU_SOURCE_DIR) / "tests/report/golden/double-fair.html";
  const auto t = readTournamentFile(old, &error);
  ASSERT_TRUE(t) << error;
  EXPECT_EQ(verifyTournament(*t), std::nullopt);
  const auto d = pageFileDifference(old, *t, withPictures());
  ASSERT_TRUE(d);
  EXPECT_NE(d->find("show PAGE --html"), std::string::npos) << *d;
}

TEST(TournamentPage, ATournamentThatDidNotVerifySaysSoFirst) {
  const Tournament t = played(4, Format::Single, 1);
  const std::string page = tournamentPage(t, {}, PageVerdict::NotVerified);
  const std::string warning =
      "<body>\n<p class=\"not-verified\" role=\"alert\"><strong>検証できなかった大会です。</strong>"
      "以下はファイルの主張で、行われた大会とは限りません。</p>\n<h1>";
  EXPECT_NE(page.find(warning), std::string::npos);
  EXPECT_EQ(tournamentPage(t).find("検証できなかった"), std::string::npos);
  // It still carries the tournament, and is not the page verify accepts.
  momiru::Refusal error;
  ASSERT_TRUE(parseTournament(page, &error)) << error;
  EXPECT_TRUE(pageDifference(page, t));
}

TEST(TournamentPage, EntriesAreNumberedFromOneAndTheBracketShowsEachScore) {
  const Tournament t = played(8, Format::Single, 3, true);
  const std::string page = tournamentPage(t);
  EXPECT_EQ(count(page, "<span class=\"no\">#0</span>"), 0u);
  EXPECT_NE(page.find("<span class=\"no\">#1</span> "), std::string::npos);
  EXPECT_NE(page.find("<span class=\"no\">#8</span> "), std::string::npos);
  EXPECT_EQ(count(page, "<span class=\"no\">#9</span>"), 0u);
  // Two scores a match with battles, the winner's in bold.
  std::size_t withBattles = 0;
  for (const Match& m : t.matches) withBattles += m.battles.empty() ? 0u : 1u;
  EXPECT_EQ(count(page, "class=\"score"), 2 * withBattles);
  EXPECT_EQ(count(page, "class=\"score won\""), withBattles);
  const Match& decider = *std::find_if(t.matches.begin(), t.matches.end(),
                                       [](const Match& m) { return m.bracket == Bracket::Final; });
  const std::array<int, 2> won = battlesWon(decider);
  EXPECT_EQ(std::max(won[0], won[1]), 2);
  const std::string box = page.substr(page.find("<title>" + decider.id + "</title>"));
  const std::string scores = box.substr(0, box.find("</g>"));
  for (std::size_t s = 0; s < 2; ++s)
    EXPECT_NE(scores.find("\">" + std::to_string(won[s]) + "</text>"), std::string::npos);
  // A battle's winner in the match list is numbered as people count too.
  for (const Match& m : t.matches)
    if (!m.battles.empty() && m.battles.front().winner) {
      EXPECT_NE(page.find("<td>#" + std::to_string(*m.battles.front().winner + 1) + "・"),
                std::string::npos);
      break;
    }

  const Tournament league = played(4, Format::RoundRobin, 1);
  EXPECT_NE(
      tournamentPage(league).find("<th></th><th>#1</th><th>#2</th><th>#3</th><th>#4</th></tr>"),
      std::string::npos);
}

}  // namespace
