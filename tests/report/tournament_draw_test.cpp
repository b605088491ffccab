// The draw a stranger can check: the beacon's one canonical form, the declaration the commitment
// binds, older files read as they always were, and the strict reader (duplicate and unknown keys,
// rules that do not apply, a beacon of another kind).
#include "report/tournament_draw.h"

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "data/strangers_file.h"
#include "report/match_play.h"
#include "report/tournament.h"
#include "report/tournament_file.h"
#include "report/tournament_schedule.h"
#include "report/tournament_verify.h"
#include "support/test_support.h"
#include "support/tournament_fixture.h"

namespace {

using namespace momiru;
using namespace momiru::report;
namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

// The one lottery result, spelled as hosts and lotteries spell it.
const char* const kSpellings[] = {
    "lottery 2026-12-08: 04 18 27",    "lottery 2026-12-08: 04 18 27 ",
    "Lottery 2026-12-08: 04 18 27",    "lottery 2026-12-08:04 18 27",
    "lottery 2026-12-08: 04 18 27.",   "lottery ２０２６-１２-０８: ０４ １８ ２７",
    "lottery 2026-12-08: 4 18 27",     "  lottery  2026-12-08:  04  18  27\n",
    "LOTTERY 2026/12/08 — 04, 18, 27", "宝くじ 2026年12月08日: 04 18 27",
};

momiru::testing::FieldOptions declaredOptions(std::optional<std::string> beacon,
                                              BeaconKind kind = BeaconKind::Numbers) {
  momiru::testing::FieldOptions o;
  o.secret = std::string(62, '0') + "2a";
  o.beacon = std::move(beacon);
  o.declared = BeaconDeclaration{kind, "national lottery, 2026-12-08"};
  return o;
}

TEST(TournamentBeacon, TenSpellingsOfOneValueGiveOneDraw) {
  std::optional<std::string> seed;
  std::optional<std::vector<Standing>> standings;
  for (const char* spelling : kSpellings) {
    SCOPED_TRACE(spelling);
    EXPECT_EQ(canonicalBeacon(spelling, BeaconKind::Numbers), "2026 12 8 4 18 27");
    Tournament t = momiru::testing::sampleField(8, Format::Single, declaredOptions(spelling));
    if (!seed) seed = t.seed;
    EXPECT_EQ(t.seed, seed);
    playTournament(t);
    EXPECT_EQ(verifyTournament(t), std::nullopt);
    if (!standings) standings = t.standings;
    EXPECT_EQ(t.standings, *standings);
  }
  // Another value is another draw; the numbers' order counts.
  for (const char* other : {"lottery 2026-12-08: 04 18 28", "lottery 2026-12-08: 18 04 27",
                            "lottery 2026-12-08: 04 1827"}) {
    EXPECT_NE(momiru::testing::sampleField(8, Format::Single, declaredOptions(other)).seed, seed)
        << other;
  }
}

TEST(TournamentBeacon, HexIsItsDigitsInLowerCaseAndAValueOfTheWrongKindIsRefused) {
  for (const char* hex :
       {"0xDEADbeef", "dead beef", "DEADBEEF\n", "ＤＥＡＤｂｅｅｆ", " 0Xdeadbeef"})
    EXPECT_EQ(canonicalBeacon(hex, BeaconKind::Hex), "deadbeef") << hex;
  const std::pair<const char*, BeaconKind> wrong[] = {
      {"lottery 2026-12-08: 04 18 27", BeaconKind::Hex},
      {"dead-beef", BeaconKind::Hex},
      {"", BeaconKind::Hex},
      {"0x", BeaconKind::Hex},
      {"no numbers at all", BeaconKind::Numbers},
      {"", BeaconKind::Numbers},
      {"3b9f0c2e", BeaconKind::Numbers},
      {"round 0x1f", BeaconKind::Numbers},
  };
  for (const auto& [value, kind] : wrong) {
    BeaconProblem problem{};
    EXPECT_EQ(canonicalBeacon(value, kind, &problem), std::nullopt) << value;
    EXPECT_EQ(problem,
              kind == BeaconKind::Hex ? BeaconProblem::NotHex
              : std::string_view(value).find_first_of("0123456789") == std::string_view::npos
                  ? BeaconProblem::NoNumber
                  : BeaconProblem::LooksHex)
        << value;
  }
  // Words that hold digits and other letters are numbers: a round, an ordinal.
  EXPECT_EQ(canonicalBeacon("draw No.3, 3rd week: 007", BeaconKind::Numbers), "3 3 7");
  EXPECT_EQ(canonicalBeacon("000 0", BeaconKind::Numbers), "0 0");
}

// The name, the rules and the beacon's kind and source are fixed by the commitment: a file that
// changes any of them, however consistently played again, no longer matches it.
TEST(TournamentBeacon, TheCommitmentBindsTheDeclaration) {
  Tournament t = momiru::testing::sampleField(8, Format::Single, declaredOptions("1 2 3"));
  playTournament(t);
  ASSERT_EQ(verifyTournament(t), std::nullopt);
  const std::function<void(Tournament&)> edits[] = {
      [](Tournament& e) { e.name = "another cup"; },
      [](Tournament& e) { e.declared->source = "another lottery"; },
      [](Tournament& e) { e.declared->kind = BeaconKind::Hex; },
      [](Tournament& e) { e.rules.bestOf = 3; },
  };
  for (const auto& edit : edits) {
    Tournament e = t;
    edit(e);
    // Played again from the edited declaration, so only the commitment can tell.
    e.seed = tournamentSeedOf(e, *e.secret, *e.entriesDigest);
    e.matches.clear();
    e.seeds.clear();
    playTournament(e);
    const auto d = verifyTournament(e);
    ASSERT_TRUE(d);
    EXPECT_NE(d->find("do not match the commitment"), std::string::npos) << *d;
  }
  // A quick tournament's name is bound by its seed.
  momiru::testing::FieldOptions quick = declaredOptions("1 2 3");
  Tournament q = momiru::testing::sampleField(4, Format::Single, quick);
  q.commitment.reset();
  playTournament(q);
  ASSERT_EQ(verifyTournament(q), std::nullopt);
  q.name = "renamed";
  EXPECT_NE(verifyTournament(q), std::nullopt);
}

// Files written before the declaration read, verify and write back as they always did.
TEST(TournamentBeacon, AnOlderFileKeepsItsCommitmentAndSeed) {
  const fs::path golden = fs::path(MOMIRU_SOURCE_DIR) / "tests" / "report" / "golden";
  const std::string text = momiru::testing::readFile(golden / "double-fair.momiru-tournament");
  Refusal why;
  const auto t = parseTournament(text, &why);
  ASSERT_TRUE(t) << why;
  EXPECT_FALSE(t->declared);
  EXPECT_EQ(commitmentOf(*t, *t->secret), commitmentOf(*t->secret));
  EXPECT_EQ(*t->seed, tournamentSeedOf(*t->secret, *t->entriesDigest, t->beacon));
  EXPECT_EQ(seedBeacon(*t), t->beacon);
  EXPECT_EQ(verifyTournament(*t), std::nullopt);
  EXPECT_EQ(Json::parse(tournamentJson(*t))["version"], 1);
  // What its fairness text says holds for it: the beacon's spelling was not fixed.
  EXPECT_NE(fairnessText(*t).find("書き方"), std::string::npos);
  // A declaration in a version 1 file is no key that version knows.
  Json j = Json::parse(text);
  j["beacon_kind"] = "numbers";
  EXPECT_FALSE(parseTournament(j.dump(), &why));
  EXPECT_NE(describe(why).find("beacon_kind"), std::string::npos) << describe(why);
}

TEST(TournamentBeacon, ADeclaredFileRoundTripsAndItsBeaconMustBeOfItsKind) {
  Tournament t =
      momiru::testing::sampleField(4, Format::Swiss, declaredOptions("0xABCDEF", BeaconKind::Hex));
  playTournament(t);
  const std::string text = tournamentJson(t);
  Refusal why;
  const auto back = parseTournament(text, &why);
  ASSERT_TRUE(back) << why;
  EXPECT_EQ(back->declared, t.declared);
  EXPECT_EQ(tournamentJson(*back), text);
  EXPECT_EQ(verifyTournament(*back), std::nullopt);
  Json j = Json::parse(text);
  EXPECT_EQ(j["version"], kTournamentVersion);
  EXPECT_EQ(j["beacon_kind"], "hex");
  j["beacon"] = "lottery 1 2 3";
  EXPECT_FALSE(parseTournament(j.dump(), &why));
  EXPECT_NE(describe(why).find("beacon is not of the declared kind"), std::string::npos)
      << describe(why);
  for (const char* key : {"beacon_kind", "beacon_source"}) {
    Json missing = Json::parse(text);
    missing.erase(key);
    EXPECT_FALSE(parseTournament(missing.dump(), &why)) << key;
  }
}

TEST(TournamentStrictReader, ADuplicateKeyIsRefusedWhereverItStands) {
  Tournament t = momiru::testing::sampleField(4, Format::Single, declaredOptions("1"));
  playTournament(t);
  const std::string text = tournamentJson(t);
  Refusal why;
  ASSERT_TRUE(parseTournament(text, &why));
  // A second "name" after the first, as a reader that takes the first would not see it.
  const auto twice = [&](const std::string& key, const std::string& value) {
    const std::size_t at = text.find("\"" + key + "\":");
    return text.substr(0, at) + "\"" + key + "\": " + value + ",\n " + text.substr(at);
  };
  for (const std::string& forged :
       {twice("name", "\"a cup nobody played\""), twice("winner", "0"), twice("hp", "999")}) {
    EXPECT_FALSE(parseTournament(forged, &why));
    EXPECT_EQ(why.kind, Refusal::Kind::DuplicateKey) << describe(why);
  }
  EXPECT_EQ(describe(why), "an object holds the key \"hp\" twice");
  // The one reader refuses it in every stranger's file; equal keys in different objects are
  // no duplicate, and an object of many keys is read whole.
  EXPECT_FALSE(parseBoundedJson<nlohmann::json>(R"({"a":1,"b":{"a":2},"b":3})", 8, &why));
  EXPECT_EQ(why.subject, "b");
  EXPECT_TRUE(parseBoundedJson<nlohmann::json>(R"({"a":{"a":1},"b":[{"a":1},{"a":2}]})", 8, &why));
  std::string many = "{";
  for (int i = 0; i < 100; ++i) many += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  EXPECT_TRUE(parseBoundedJson<nlohmann::json>(many + "\"last\":0}", 8, &why));
  EXPECT_FALSE(parseBoundedJson<nlohmann::json>(many + "\"k77\":0}", 8, &why));
  EXPECT_EQ(why.subject, "k77");
}

TEST(TournamentStrictReader, UnknownKeysAndRulesThatDoNotApplyAreRefused) {
  Tournament t = momiru::testing::sampleField(5, Format::Swiss, declaredOptions("1"));
  playTournament(t);
  const Json good = Json::parse(tournamentJson(t));
  Refusal why;
  const std::function<void(Json&)> edits[] = {
      [](Json& j) { j["champion"] = "#3"; },
      [](Json& j) { j["rules"]["cap"] = 3; },
      [](Json& j) { j["entries"][0]["nickname"] = "x"; },
      [](Json& j) { j["entries"][0]["parts"][0]["shown_hp"] = 1; },
      [](Json& j) { j["matches"][0]["score"] = "2-0"; },
      [](Json& j) { j["matches"][0]["battles"][0]["shown"] = true; },
      [](Json& j) { j["rules"]["third_place"] = true; },
  };
  for (const auto& edit : edits) {
    Json j = good;
    edit(j);
    EXPECT_FALSE(parseTournament(j.dump(), &why)) << j.dump().substr(0, 0);
  }
  // The fairness text is the writer's, read by nobody: any text is taken.
  Json j = good;
  j["fairness"] = "誰でも好きに";
  EXPECT_TRUE(parseTournament(j.dump(), &why)) << why;
}

TEST(TournamentStrictReader, APartWayTournamentIsCheckedAsFarAsPlayed) {
  Tournament t = momiru::testing::sampleField(6, Format::Swiss, declaredOptions("7"));
  TournamentPlay play(t);
  const std::string first = play.readyMatches().front();
  play.record(playMatchHeadless(play.tournament(), play.find(first)->match));
  const Tournament partWay = play.tournament();
  MatchesPlayed count;
  EXPECT_EQ(verifyPartialTournament(partWay, {}, &count), std::nullopt);
  EXPECT_EQ(count.played, 1u);
  EXPECT_EQ(count.total, play.totalCount());
  EXPECT_GT(count.total, 1u);
}

}  // namespace
