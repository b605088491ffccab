// Tournaments in process: the shape of each format, the tie-breaks on crafted tables, what
// verify catches, determinism over threads, and hostile files.
#include "report/tournament.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <set>

#include "data/platform.h"
#include "data/save_data.h"
#include "report/seeding.h"
#include "report/standings.h"
#include "report/swiss_pairing.h"
#include "report/text_file.h"
#include "report/tournament_draw.h"
#include "report/tournament_file.h"
#include "report/tournament_head.h"
#include "report/tournament_page.h"
#include "report/tournament_schedule.h"
#include "report/tournament_verify.h"
#include "support/test_support.h"
#include "support/tournament_fixture.h"

namespace {

using namespace momiru;
using namespace momiru::report;
using momiru::testing::ScratchDir;

// A field of `n` entries: the samples, each copy after the first with a little more torso HP so
// that every record differs.
Tournament field(std::size_t n, Format format, int bestOf = 1, const std::string& beacon = "b") {
  momiru::testing::FieldOptions o;
  o.bestOf = bestOf;
  o.rounds = format == Format::RoundRobin ? 1 : 0;
  o.secret = std::string(63, '0') + "1";
  o.beacon = beacon;
  return momiru::testing::sampleField(n, format, o);
}

Tournament played(std::size_t n, Format format, int bestOf = 1, unsigned threads = 2) {
  Tournament t = field(n, format, bestOf);
  RunOptions options;
  options.threads = threads;
  playTournament(t, options);
  return t;
}

bool isBye(const Match& m) { return !m.players[0] || !m.players[1]; }

// Matches played (not byes) by each entry, and losses.
struct Counts {
  std::vector<int> played, lost;
};
Counts counts(const Tournament& t) {
  Counts c{std::vector<int>(t.entries.size()), std::vector<int>(t.entries.size())};
  for (const Match& m : t.matches) {
    if (isBye(m)) continue;
    for (const auto& p : m.players) ++c.played[static_cast<std::size_t>(*p)];
    if (m.winner) {
      const int loser = *m.winner == *m.players[0] ? *m.players[1] : *m.players[0];
      ++c.lost[static_cast<std::size_t>(loser)];
    }
  }
  return c;
}

TEST(TournamentFormats, SingleEliminationGivesByesToTopSeedsAndOneChampion) {
  for (const std::size_t n : {2u, 3u, 5u, 13u, 1024u}) {
    const Tournament t = played(n, Format::Single);
    std::size_t bracket = 1;
    while (bracket < n) bracket *= 2;
    std::set<int> byes;
    for (const Match& m : t.matches)
      if (isBye(m)) byes.insert(m.players[0] ? *m.players[0] : *m.players[1]);
    std::set<int> topSeeds(t.seeds.begin(), t.seeds.begin() + static_cast<long>(bracket - n));
    EXPECT_EQ(byes, topSeeds) << n;
    const Counts c = counts(t);
    EXPECT_EQ(std::count(c.lost.begin(), c.lost.end(), 0), 1) << n;
    EXPECT_EQ(*std::max_element(c.lost.begin(), c.lost.end()), 1) << n;
    EXPECT_EQ(
        std::count_if(t.matches.begin(), t.matches.end(), [](const Match& m) { return !isBye(m); }),
        static_cast<long>(n - 1));
    EXPECT_EQ(t.standings.front().rank, 1);
    EXPECT_EQ(t.standings.front().entry, *t.matches.back().winner) << n;
  }
}

TEST(TournamentFormats, EliminationPlacesAreSharedByRound) {
  Tournament t = field(8, Format::Single);
  t.rules.thirdPlace = true;
  playTournament(t);
  std::vector<int> ranks;
  for (const Standing& s : t.standings) ranks.push_back(s.rank);
  EXPECT_EQ(ranks, (std::vector<int>{1, 2, 3, 4, 5, 5, 5, 5}));
  const Match& third = *std::find_if(t.matches.begin(), t.matches.end(),
                                     [](const Match& m) { return m.id == "3P"; });
  EXPECT_EQ(t.standings[2].entry, *third.winner);
  t.rules.thirdPlace = false;
  playTournament(t);
  ranks.clear();
  for (const Standing& s : t.standings) ranks.push_back(s.rank);
  EXPECT_EQ(ranks, (std::vector<int>{1, 2, 3, 3, 5, 5, 5, 5}));
}

TEST(TournamentFormats, DoubleEliminationPutsOutAfterTwoLosses) {
  for (const std::size_t n : {2u, 3u, 5u, 13u, 1024u}) {
    const Tournament t = played(n, Format::Double);
    const Counts c = counts(t);
    const int champion = t.standings.front().entry;
    for (std::size_t e = 0; e < n; ++e) {
      if (static_cast<int>(e) == champion) {
        EXPECT_LE(c.lost[e], 1) << n;
      } else {
        EXPECT_EQ(c.lost[e], 2) << n << " entry " << e;
      }
    }
    const bool reset = t.matches.back().id == "GF2";
    const std::ptrdiff_t real =
        std::count_if(t.matches.begin(), t.matches.end(), [](const Match& m) { return !isBye(m); });
    EXPECT_EQ(real, static_cast<std::ptrdiff_t>(2 * n - 2 + (reset ? 1 : 0))) << n;
  }
}

TEST(TournamentFormats, TheGrandFinalIsPlayedAgainWhenTheLosersSideWins) {
  int resets = 0;
  for (int beacon = 0; beacon < 40 && resets == 0; ++beacon) {
    Tournament t = field(4, Format::Double, 1, std::to_string(beacon));
    playTournament(t);
    const auto gf1 = std::find_if(t.matches.begin(), t.matches.end(),
                                  [](const Match& m) { return m.id == "GF1"; });
    ASSERT_NE(gf1, t.matches.end());
    const bool lostByWinnersSide = gf1->winner == gf1->players[1];
    EXPECT_EQ(t.matches.back().id == "GF2", lostByWinnersSide);
    if (!lostByWinnersSide) continue;
    ++resets;
    const Match& gf2 = t.matches.back();
    EXPECT_EQ(gf2.players, (std::array<std::optional<int>, 2>{gf1->winner, gf1->players[0]}));
    EXPECT_EQ(t.standings.front().entry, *gf2.winner);
  }
  EXPECT_EQ(resets, 1) << "no seed among 40 gave a reset";
}

TEST(TournamentFormats, RoundRobinMeetsEveryPairOnceOrTwiceWithSidesSwapped) {
  for (const std::size_t n : {2u, 3u, 5u, 13u}) {
    for (const int cycles : {1, 2}) {
      Tournament t = field(n, Format::RoundRobin);
      t.rules.rounds = cycles;
      playTournament(t);
      std::map<std::pair<int, int>, int> met;
      for (const Match& m : t.matches) {
        ASSERT_FALSE(isBye(m));
        ++met[{*m.players[0], *m.players[1]}];
      }
      EXPECT_EQ(t.matches.size(), n * (n - 1) / 2 * static_cast<std::size_t>(cycles));
      for (std::size_t a = 0; a < n; ++a)
        for (std::size_t b = a + 1; b < n; ++b) {
          const int ab = met[{static_cast<int>(a), static_cast<int>(b)}];
          const int ba = met[{static_cast<int>(b), static_cast<int>(a)}];
          EXPECT_EQ(ab + ba, cycles);
          if (cycles == 2) {
            EXPECT_EQ(ab, 1);
          }
        }
    }
  }
}

TEST(TournamentFormats, SwissNeverRepeatsAPairAndGivesEachByeOnce) {
  for (const std::size_t n : {2u, 3u, 5u, 13u, 64u}) {
    const Tournament t = played(n, Format::Swiss, 3);
    std::set<std::pair<int, int>> pairs;
    std::map<int, std::vector<int>> perRound;
    std::vector<int> byes(n);
    for (const Match& m : t.matches) {
      for (const auto& p : m.players)
        if (p) perRound[m.round].push_back(*p);
      if (isBye(m)) {
        ++byes[static_cast<std::size_t>(*m.players[0])];
        continue;
      }
      const auto [lo, hi] = std::minmax(*m.players[0], *m.players[1]);
      EXPECT_TRUE(pairs.insert({lo, hi}).second) << n << ": " << lo << " and " << hi << " again";
    }
    for (auto& [round, who] : perRound) {
      std::sort(who.begin(), who.end());
      EXPECT_EQ(who.size(), n) << "round " << round;
      EXPECT_EQ(std::adjacent_find(who.begin(), who.end()), who.end());
    }
    EXPECT_LE(*std::max_element(byes.begin(), byes.end()), 1) << n;
    if (n % 2 == 1) {
      // The first round's bye goes to the last in the draw.
      const auto bye = std::find_if(t.matches.begin(), t.matches.end(),
                                    [](const Match& m) { return m.round == 1 && isBye(m); });
      ASSERT_NE(bye, t.matches.end());
      EXPECT_EQ(*bye->players[0], t.seeds.back());
    }
  }
}

TEST(TournamentFormats, SwissByeGoesToTheLowestPlacedWithoutOne) {
  const std::vector<int> ranked{0, 1, 2, 3, 4};
  const std::vector<int> points{4, 2, 2, 0, 0};
  const auto never = [](int, int) { return false; };
  const auto r = pairSwissRound(ranked, points, never, {false, false, false, false, true},
                                std::vector<int>(5));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->bye, 3);
  EXPECT_EQ(r->pairs.size(), 2u);
  // The bottom group of a large field has met already: the lowest placed are paired again
  // together with it.
  std::vector<int> many(200);
  std::iota(many.begin(), many.end(), 0);
  std::vector<int> halves(200, 2);
  halves[198] = halves[199] = 0;
  const auto bottomMet = [](int a, int b) {
    return std::min(a, b) == 198 && std::max(a, b) == 199;
  };
  const auto large =
      pairSwissRound(many, halves, bottomMet, std::vector<bool>(200), std::vector<int>(200));
  ASSERT_TRUE(large);
  std::vector<int> everyone;
  for (const auto& p : large->pairs) {
    EXPECT_FALSE(bottomMet(p[0], p[1]));
    everyone.insert(everyone.end(), p.begin(), p.end());
  }
  std::sort(everyone.begin(), everyone.end());
  EXPECT_EQ(everyone, many);
  // Everyone has met: no pairing.
  EXPECT_FALSE(
      pairSwissRound({0, 1}, {0, 0}, [](int, int) { return true; }, {false, false}, {0, 0}));
}

// Crafted results: entry 0 beats 1 and 2, 1 beats 2, 3 draws 2 and loses to 0 and 1.
Tournament crafted(Format format) {
  Tournament t = field(4, format);
  t.seeds = {0, 1, 2, 3};
  const auto match = [&](int a, int b, std::optional<int> w) {
    Match m;
    m.id = "M" + std::to_string(t.matches.size());
    m.players = {a, b};
    m.winner = w;
    t.matches.push_back(m);
  };
  match(0, 1, 0);
  match(0, 2, 0);
  match(1, 2, 1);
  match(3, 2, std::nullopt);
  match(0, 3, 0);
  match(1, 3, 1);
  return t;
}

TEST(TournamentStandings, SwissTieBreaksOnACraftedTable) {
  const std::vector<Standing> s = computeStandings(crafted(Format::Swiss));
  // Points: 0 → 3, 1 → 2, 2 → 0.5, 3 → 0.5.
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[0].entry, 0);
  EXPECT_EQ(s[0].points, 3);
  const std::map<TieBreak, double> top(s[0].tieBreaks.begin(), s[0].tieBreaks.end());
  EXPECT_EQ(top.at(TieBreak::Buchholz), 2 + 0.5 + 0.5);
  EXPECT_EQ(top.at(TieBreak::MedianBuchholz), 0.5);  // highest and lowest dropped
  EXPECT_EQ(top.at(TieBreak::SonnebornBerger), 3);
  EXPECT_EQ(top.at(TieBreak::MatchWins), 3);
  // Entries 2 and 3 are level on points; 3's opponents scored more (Buchholz 5.5 against 5.5),
  // Sonneborn–Berger is half of 2's points for 3 and half of 3's for 2: level; head-to-head
  // level (a draw); match wins level; the draw order decides.
  EXPECT_EQ(s[2].entry, 2);
  EXPECT_EQ(s[3].entry, 3);
  std::vector<TieBreak> order;
  for (const auto& [tieBreak, v] : s[0].tieBreaks) order.push_back(tieBreak);
  EXPECT_EQ(order, (std::vector<TieBreak>{TieBreak::Buchholz, TieBreak::MedianBuchholz,
                                          TieBreak::SonnebornBerger, TieBreak::HeadToHead,
                                          TieBreak::MatchWins, TieBreak::BattleDifference,
                                          TieBreak::DrawOrder}));
}

TEST(TournamentStandings, RoundRobinHeadToHeadComesBeforeSonnebornBerger) {
  // 0, 1 and 2 each beat one of the others; 3 loses to 1 and 2 but beats 0.
  Tournament t = field(4, Format::RoundRobin);
  t.seeds = {3, 2, 1, 0};
  const auto match = [&](int a, int b, int w) {
    Match m;
    m.players = {a, b};
    m.winner = w;
    t.matches.push_back(m);
  };
  match(0, 1, 0);
  match(1, 2, 1);
  match(2, 0, 2);
  match(3, 0, 3);
  match(3, 1, 1);
  match(3, 2, 2);
  // Points: 0 → 1, 1 → 2, 2 → 2, 3 → 1. Between 1 and 2: 1 beat 2.
  const std::vector<Standing> s = computeStandings(t);
  EXPECT_EQ(s[0].entry, 1);
  EXPECT_EQ(s[1].entry, 2);
  // 0 and 3 level; 3 beat 0.
  EXPECT_EQ(s[2].entry, 3);
  EXPECT_EQ(s[3].entry, 0);
  EXPECT_EQ(s[0].tieBreaks.front().first, TieBreak::HeadToHead);
}

TEST(TournamentStandings, AByeCountsAsAWonMatch) {
  Tournament t = field(3, Format::Swiss);
  t.seeds = {0, 1, 2};
  Match bye;
  bye.players = {2, std::nullopt};
  bye.winner = 2;
  t.matches.push_back(bye);
  Match drawn;
  drawn.players = {0, 1};
  t.matches.push_back(drawn);
  const std::vector<Standing> s = computeStandings(t);
  EXPECT_EQ(s[0].entry, 2);
  EXPECT_EQ(s[0].points, 1);
  EXPECT_EQ(s[1].points, 0.5);
}

TEST(TournamentVerify, CatchesEachKindOfEdit) {
  const Tournament good = played(8, Format::Swiss, 3);
  EXPECT_EQ(verifyTournament(good), std::nullopt);
  const auto check = [&](const char* what, auto edit, const std::string& words) {
    Tournament t = good;
    edit(t);
    const auto d = verifyTournament(t);
    ASSERT_TRUE(d) << what;
    EXPECT_NE(d->find(words), std::string::npos) << what << ": " << *d;
  };
  check(
      "an edited battle",
      [](Tournament& t) {
        BattleRecord& b = t.matches[0].battles[0];
        b.winner =
            b.winner == t.matches[0].players[0] ? t.matches[0].players[1] : t.matches[0].players[0];
      },
      "winner");
  check(
      "an edited match winner",
      [](Tournament& t) {
        Match& m = t.matches[1];
        m.winner = m.winner == m.players[0] ? m.players[1] : m.players[0];
      },
      "matches[1]");
  check(
      "an edited entry", [](Tournament& t) { t.entries[2].record.attack[0] += 1; },
      "entries[2].sha256");
  check(
      "swapped entries", [](Tournament& t) { std::swap(t.entries[0], t.entries[5]); }, "");
  check(
      "a wrong secret", [](Tournament& t) { t.secret = std::string(64, 'a'); }, "commitment");
  check(
      "a wrong beacon", [](Tournament& t) { t.beacon = "other"; }, "beacon");
  check(
      "a reordered match", [](Tournament& t) { std::swap(t.matches[0], t.matches[1]); },
      "reordered");
  check(
      "other rules", [](Tournament& t) { t.rules.bestOf = 1; }, "matches[");
  check(
      "edited standings", [](Tournament& t) { std::swap(t.standings[0], t.standings[1]); },
      "standings[0]");
  check(
      "a dropped match", [](Tournament& t) { t.matches.pop_back(); }, "matches");
}

TEST(TournamentDeterminism, TheSameInputsGiveTheSameFileOnAnyThreads) {
  for (const Format f : {Format::Double, Format::Swiss, Format::RoundRobin}) {
    const std::string one = tournamentJson(played(13, f, 3, 1));
    EXPECT_EQ(one, tournamentJson(played(13, f, 3, 2)));
    EXPECT_EQ(one, tournamentJson(played(13, f, 3, 8)));
  }
}

// The order itself is a golden tournament's literal (round-robin-strength).
TEST(TournamentDeterminism, StrengthSeedingDoesNotDependOnTheThreads) {
  Tournament t = field(6, Format::Single);
  t.rules.seeding = Seeding::Strength;
  RunOptions four;
  four.threads = 4;
  EXPECT_EQ(seedOrder(t), seedOrder(t, four));
}

// The draw's values are held as literals by the golden tournaments; what they cannot hold is a
// secret that is new each time.
TEST(TournamentDraw, EachSecretIsFreshFromTheSystem) {
  const auto a = randomSecret();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->size(), 64u);
  EXPECT_NE(a, randomSecret());
}

TEST(TournamentFile, RoundTripsAndReadsFromAPage) {
  const Tournament t = played(5, Format::Double, 3);
  Refusal error;
  const auto back = parseTournament(tournamentJson(t), &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(tournamentJson(*back), tournamentJson(t));
  const std::string script = R"(<script type="application/json" id="momiru-tournament">)";
  const std::string page =
      "<!DOCTYPE html><html><body>" + script + tournamentJsonForPage(t) + "</script></body></html>";
  ASSERT_TRUE(parseTournament(page, &error)) << error;
  EXPECT_FALSE(parseTournament("<html>" + script + "{}</script>" + script + "{}</script>", &error));
  EXPECT_NE(describe(error).find("more than one"), std::string::npos);
  EXPECT_FALSE(
      parseTournament("<html><!-- " + script + tournamentJsonForPage(t) + "</script> -->", &error));
  EXPECT_NE(describe(error).find("comment"), std::string::npos);
}

TEST(TournamentFile, RefusesHostileFiles) {
  const std::string good = tournamentJson(played(3, Format::Single));
  const auto refused = [](const std::string& text, const std::string& words) {
    Refusal error;
    EXPECT_FALSE(parseTournament(text, &error)) << words;
    EXPECT_NE(describe(error).find(words), std::string::npos) << error;
  };
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    const std::size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return s.replace(at, from.size(), to);
  };
  refused(good.substr(0, good.size() / 2), "cut off");
  refused(std::string(100, '[') + std::string(100, ']'), "nested");
  refused("[]", "not a tournament");
  refused(replaced("\"version\": 1", "\"version\": 9"), "newer version");
  refused(replaced("\"best_of\": 1", "\"best_of\": 2"), "best_of");
  refused(replaced("\"player1\": ", "\"player1\": 99999, \"x\": "), "player1 is out of range");
  refused(replaced("\"state\": \"finished\"", "\"state\": 1"), "state");
  refused(replaced("\"file\": \"", "\"file\": \"../"), "bare file name");
  refused(replaced("\"name\": \"test\"", "\"name\": \"" + std::string(5000, 'x') + "\""),
          "longer than");
  refused(replaced("\"seed\": \"", "\"seed\": \"zz"), "hexadecimal");
  refused(std::string(kTournamentMaxBytes + 1, ' '), "larger than");
}

// Every bracket and tie-break has one name that reads back as itself; a file of every format reads
// back as written; a name of none of them is refused, its control characters not echoed.
TEST(TournamentFile, BracketAndTieBreakNamesReadBackAndUnknownOnesAreRefused) {
  std::set<std::string_view> names;
  for (const auto& [bracket, name] : kBracketNames) {
    EXPECT_EQ(bracketFromName(bracketName(bracket)), bracket) << name;
    names.insert(name);
  }
  for (const auto& [tieBreak, name] : kTieBreakNames) {
    EXPECT_EQ(tieBreakFromName(tieBreakName(tieBreak)), tieBreak) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), kBracketNames.size() + kTieBreakNames.size());
  EXPECT_FALSE(bracketFromName("Final"));
  EXPECT_FALSE(bracketFromName(""));
  EXPECT_FALSE(tieBreakFromName("points"));

  std::set<Bracket> seenBrackets;
  std::set<TieBreak> seenTieBreaks;
  for (const Format format : {Format::Single, Format::Double, Format::RoundRobin, Format::Swiss}) {
    Tournament t = field(5, format);
    t.rules.thirdPlace = format == Format::Single;
    playTournament(t);
    for (const Match& m : t.matches) seenBrackets.insert(m.bracket);
    for (const Standing& st : t.standings)
      for (const auto& [tieBreak, v] : st.tieBreaks) seenTieBreaks.insert(tieBreak);
    Refusal error;
    const auto back = parseTournament(tournamentJson(t), &error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(tournamentJson(*back), tournamentJson(t));
  }
  EXPECT_EQ(seenBrackets.size(), kBracketNames.size());
  EXPECT_EQ(seenTieBreaks.size(), kTieBreakNames.size());

  const std::string good = tournamentJson(played(3, Format::Single));
  const auto refused = [&](const std::string& from, const std::string& to,
                           const std::string& words) {
    std::string text = good;
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    Refusal error;
    EXPECT_FALSE(parseTournament(text, &error)) << to;
    EXPECT_NE(describe(error).find(words), std::string::npos) << error;
    EXPECT_EQ(describe(error).find('\x1b'), std::string::npos) << error;
  };
  refused("\"bracket\": \"final\"", "\"bracket\": \"Final\"", "bracket is not winners");
  refused("\"bracket\": \"final\"", "\"bracket\": \"fin\\u001bal\"", "bracket is not winners");
  refused("\"bracket\": \"final\"", "\"bracket\": 1", "bracket");
  refused("\"draw_order\":", "\"draw\\u001border\":", "is no tie-break");
  refused("\"draw_order\":", "\"Draw_order\":", "Draw_order is no tie-break");
}

#ifndef _WIN32  // the case needs what only Linux has
TEST(TournamentFile, AFifoIsRefusedAtOnceAndAnExistingFileIsNotReplacedByANewOne) {
  ScratchDir dir;
  ASSERT_EQ(::mkfifo((dir / "t.momiru-tournament").c_str(), 0600), 0);
  Refusal error;
  EXPECT_TRUE(momiru::testing::returnsWithoutWriter(dir / "t.momiru-tournament", [&] {
    return readTournamentFile(dir / "t.momiru-tournament", &error).has_value();
  }));
  EXPECT_EQ(describe(error), "not a regular file");
  momiru::testing::writeFile(dir / "old", "kept");
  EXPECT_FALSE(writeTextFile(dir / "old", "new", true, &error));
  EXPECT_EQ(momiru::testing::readFile(dir / "old"), "kept");
}
#endif

}  // namespace

namespace {

TEST(TournamentPage, IsSelfContainedEscapesNamesAndCarriesTheTournament) {
  Tournament t = field(9, Format::Double, 3);
  t.name = "<b>春</b>の大会";
  t.entries[1].storedName = "</script><script>alert(1)</script>\xE2\x80\xAE";
  t.entries[1].record.name = t.entries[1].file + "の" + t.entries[1].storedName;
  t.entries[1].sha256 = sha256Hex(entryCanonical(t.entries[1]));
  t.entriesDigest = entriesDigestOf(t.entries);
  t.seed = tournamentSeedOf(*t.secret, *t.entriesDigest, t.beacon);
  playTournament(t);
  report::BattlePageOptions options;
  options.findFile = [](const std::filesystem::path& relative) {
    return std::filesystem::path(MOMIRU_SOURCE_DIR) / "assets" / relative;
  };
  const std::string page = tournamentPage(t, options);
  EXPECT_NE(page.find("<html lang=\"ja\""), std::string::npos);
  EXPECT_EQ(page.find("<b>春"), std::string::npos);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  for (const char* fetch : {"src=\"http", "href=\"http", "url(http", "<link"})
    EXPECT_EQ(page.find(fetch), std::string::npos) << fetch;
  // One script element, the tournament's; one picture per portrait used.
  std::size_t scripts = 0;
  for (std::size_t at = 0; (at = page.find("<script", at)) != std::string::npos; ++at) ++scripts;
  EXPECT_EQ(scripts, 1u);
  std::set<std::int32_t> portraits;
  for (const Entry& e : t.entries) portraits.insert(e.record.portrait);
  std::size_t pictures = 0;
  for (std::size_t at = 0; (at = page.find("data:image/svg+xml", at)) != std::string::npos; ++at)
    ++pictures;
  EXPECT_EQ(pictures, portraits.size());
  EXPECT_NE(page.find("<svg class=\"bracket\""), std::string::npos);
  Refusal error;
  const auto back = parseTournament(page, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(tournamentJson(*back), tournamentJson(t));
  EXPECT_EQ(verifyTournament(*back), std::nullopt);
}

}  // namespace

namespace {

// Two characters that cannot hurt each other: every battle is unfinished after its turn limit,
// and counts for neither side.
Tournament idle(Format format, int bestOf) {
  Tournament t = field(2, format, bestOf);
  for (Entry& e : t.entries) {
    e.record.hp.fill(1000000);
    e.record.attack.fill(0);
    e.record.defence.fill(1000);
    e.record.movePower.fill(0);
    e.sha256 = sha256Hex(entryCanonical(e));
  }
  t.entriesDigest = entriesDigestOf(t.entries);
  t.seed = tournamentSeedOf(*t.secret, *t.entriesDigest, t.beacon);
  playTournament(t);
  return t;
}

TEST(TournamentMatches, ALevelMatchIsDrawnInRoundsAndDecidedInElimination) {
  for (const int bestOf : {1, 3}) {
    const Tournament league = idle(Format::RoundRobin, bestOf);
    ASSERT_EQ(league.matches.size(), 1u);
    const Match& drawn = league.matches[0];
    EXPECT_EQ(drawn.battles.size(), static_cast<std::size_t>(bestOf));
    for (const BattleRecord& b : drawn.battles) EXPECT_FALSE(b.winner);
    EXPECT_FALSE(drawn.winner);
    EXPECT_EQ(league.standings[0].points, 0.5);
    EXPECT_EQ(league.standings[1].points, 0.5);
    // Elimination: as many battles again, then the better seed goes through.
    const Tournament cup = idle(Format::Single, bestOf);
    const Match& final = cup.matches.back();
    EXPECT_EQ(final.battles.size(), static_cast<std::size_t>(2 * bestOf));
    EXPECT_EQ(final.winner, cup.seeds[0]);
    // The sides alternate battle by battle, players[0] acting first (as player 2) in odd ones.
    for (std::size_t k = 0; k < final.battles.size(); ++k)
      EXPECT_EQ(final.battles[k].player1, k % 2 == 0 ? *final.players[1] : *final.players[0]);
  }
}

// The kept tournaments are told apart by their head alone: the name and state as written, the
// rest never read, and anything else no head.
TEST(TournamentHead, NameAndStateFromTheTopOfTheFileOnly) {
  Tournament t = field(3, Format::Single);
  t.name = "春の<b>大会</b>";
  const std::string text = tournamentJson(t);
  const auto head = tournamentHead(text);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->name, t.name);
  EXPECT_EQ(head->stage, Stage::Closed);
  // Cut off right after its state, it still has its head.
  const std::size_t state = text.find("\"state\"");
  EXPECT_TRUE(tournamentHead(text.substr(0, text.find(',', state) + 1)));
  EXPECT_FALSE(tournamentHead(R"({"format":"momiru-replay","name":"x","state":"open"})"));
  EXPECT_FALSE(tournamentHead(R"({"format":"momiru-tournament","name":1,"state":"open"})"));
  EXPECT_FALSE(tournamentHead(R"({"format":"momiru-tournament","name":"x","state":"later"})"));
  EXPECT_FALSE(tournamentHead("<!DOCTYPE html>"));
}

}  // namespace
