// A tournament played a match at a time: whatever the order and whether a match was played on
// the screen's battle player or without one, the tournament equals the one played at once; a
// file saved part way resumes into the same end; a stranger's file out of step is refused.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>

#include "battle/battle_player.h"
#include "data/save_data.h"
#include "replay/replay.h"
#include "report/match_play.h"
#include "report/secret_file.h"
#include "report/tournament_draw.h"
#include "report/tournament_file.h"
#include "report/tournament_schedule.h"
#include "report/tournament_verify.h"
#include "support/test_support.h"
#include "support/tournament_fixture.h"

namespace {

using namespace momiru;
using namespace momiru::report;
using momiru::testing::ScratchDir;

using momiru::testing::FieldOptions;
using momiru::testing::kSampleFiles;
using momiru::testing::playOnScreen;

Tournament field(std::size_t n, Format format, int bestOf = 1, int rounds = 0) {
  FieldOptions o;
  o.bestOf = bestOf;
  o.rounds = rounds;
  o.secret = std::string(63, '0') + "2";
  return momiru::testing::sampleField(n, format, o);
}

Tournament playedAtOnce(Tournament t) {
  playTournament(t);
  return t;
}

enum class Order { Forward, Reverse, Random };

struct Case {
  std::size_t n;
  Format format;
  int bestOf;
  int rounds;
  bool thirdPlace;
};

TEST(TournamentPlay, AnyOrderAndAnyWayOfPlayingGivesTheTournamentPlayedAtOnce) {
  const std::vector<Case> cases{
      {2, Format::Single, 1, 0, false},     {5, Format::Single, 3, 0, true},
      {13, Format::Single, 1, 0, true},     {3, Format::Double, 1, 0, false},
      {5, Format::Double, 3, 0, false},     {13, Format::Double, 1, 0, false},
      {5, Format::RoundRobin, 1, 1, false}, {8, Format::RoundRobin, 3, 2, false},
      {5, Format::Swiss, 3, 0, false},      {13, Format::Swiss, 1, 3, false},
  };
  std::mt19937 random(7);
  for (const Case& c : cases) {
    Tournament start = field(c.n, c.format, c.bestOf, c.rounds);
    start.rules.thirdPlace = c.thirdPlace;
    const Tournament want = playedAtOnce(start);
    const std::string wantJson = tournamentJson(want);
    for (const Order order : {Order::Forward, Order::Reverse, Order::Random}) {
      const std::string what = std::string(formatName(c.format)) + " of " + std::to_string(c.n) +
                               ", order " + std::to_string(static_cast<int>(order));
      std::optional<TournamentPlay> play(std::in_place, start);
      const std::size_t total = play->totalCount();
      std::size_t recorded = 0;
      bool resumed = false;
      while (!play->finished()) {
        const std::vector<std::string> ready = play->readyMatches();
        ASSERT_FALSE(ready.empty()) << what;
        const std::string id = order == Order::Forward   ? ready.front()
                               : order == Order::Reverse ? ready.back()
                                                         : ready[random() % ready.size()];
        const Match& m = play->find(id)->match;
        play->record(recorded % 4 == 1 ? playOnScreen(start, m) : playMatchHeadless(start, m));
        ++recorded;
        EXPECT_EQ(play->playedCount(), recorded) << what;
        // Saved part way and opened again, the play goes on from the file alone.
        if (!resumed && 2 * recorded >= total && !play->finished()) {
          resumed = true;
          Refusal error;
          auto saved = parseTournament(tournamentJson(play->tournament()), &error);
          ASSERT_TRUE(saved) << error;
          EXPECT_EQ(saved->stage, Stage::Closed) << what;
          EXPECT_EQ(verifyPartialTournament(*saved), std::nullopt) << what;
          play.emplace(*saved);
          EXPECT_EQ(play->playedCount(), recorded) << what;
        }
      }
      EXPECT_TRUE(play->readyMatches().empty());
      EXPECT_EQ(play->playedCount(), play->totalCount()) << what;
      // Known from the start, but for a second grand final.
      EXPECT_EQ(total + (play->find("GF2") ? 1 : 0), play->totalCount()) << what;
      const Tournament& got = play->tournament();
      EXPECT_EQ(got.stage, Stage::Finished) << what;
      EXPECT_EQ(got.matches, want.matches) << what;
      EXPECT_EQ(got.standings, want.standings) << what;
      EXPECT_EQ(tournamentJson(got), wantJson) << what;
    }
  }
}

TEST(TournamentPlay, ByesArePlayedByThemselvesAndNeverOffered) {
  // 5 entries in a bracket of 8: the top three seeds pass the first round, and in double
  // elimination the losers' bracket has byes of its own.
  const TournamentPlay play(field(5, Format::Double));
  std::size_t byes = 0;
  const std::vector<std::string> ready = play.readyMatches();
  for (const ScheduledMatch& sm : play.schedule()) {
    if (!sm.bye) continue;
    ++byes;
    EXPECT_EQ(std::count(ready.begin(), ready.end(), sm.match.id), 0);
  }
  EXPECT_GE(byes, 3u);
  const ScheduledMatch* first = play.find("W1-1");
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->bye && first->played);
  EXPECT_EQ(first->match.winner, play.tournament().seeds[0]);
  EXPECT_EQ(play.find("W2-1")->from[0],
            (SlotSource{SlotSource::WinnerOf, -1, std::string("W1-1")}));
  EXPECT_EQ(play.find("W2-1")->match.players[0], play.tournament().seeds[0]);
  EXPECT_EQ(play.totalCount(), 2 * 5 - 2u);
  EXPECT_EQ(play.currentRound(), 1);
}

TEST(TournamentPlay, PlayRestStopsWhenCancelledAndGoesOnLater) {
  const Tournament start = field(13, Format::Swiss, 1);
  TournamentPlay play(start);
  std::size_t lastPlayed = 0;
  std::size_t heard = 0;
  play.playRest(
      2, [&] { return heard >= 3; },
      [&](std::size_t played, std::size_t total) {
        EXPECT_GE(played, lastPlayed);
        EXPECT_EQ(total, play.totalCount());
        lastPlayed = played;
        ++heard;
      });
  EXPECT_FALSE(play.finished());
  EXPECT_LT(play.playedCount(), play.totalCount());
  EXPECT_GE(play.playedCount(), 3u);
  play.playRest(2);
  EXPECT_TRUE(play.finished());
  EXPECT_EQ(tournamentJson(play.tournament()), tournamentJson(playedAtOnce(start)));
}

// A file written part way: the first matches of a played tournament, as the schedule had them.
Tournament partWay(const Tournament& played, std::size_t keep) {
  Tournament t = played;
  t.stage = Stage::Closed;
  t.matches.resize(keep);
  TournamentPlay again(t);
  t.standings = again.tournament().standings;
  return t;
}

std::string refusal(const Tournament& t) {
  try {
    TournamentPlay play(t);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "accepted";
}

TEST(TournamentPlay, AStrangersMatchesOutOfStepAreRefusedWithAReason) {
  const Tournament cup = playedAtOnce(field(8, Format::Single));
  // R1-1 .. R1-4, R2-1, R2-2, R3-1: the first round and one semi-final.
  const Tournament good = partWay(cup, 5);
  EXPECT_EQ(refusal(good), "accepted");
  EXPECT_EQ(verifyPartialTournament(good), std::nullopt);
  const auto refused = [&](const char* what, auto edit, const std::string& words) {
    Tournament t = good;
    edit(t);
    const std::string why = refusal(t);
    EXPECT_NE(why.find(words), std::string::npos) << what << ": " << why;
    const auto d = verifyPartialTournament(t);
    EXPECT_TRUE(d) << what;
  };
  refused(
      "other players",
      [](Tournament& t) {
        Match& m = t.matches[4];
        m.players[1] = *m.players[1] == 0 ? 1 : 0;
      },
      "is between");
  refused(
      "an unknown id", [](Tournament& t) { t.matches[4].id = "R9-9"; }, "no match");
  refused(
      "played before its players were known",
      [](Tournament& t) { t.matches.erase(t.matches.begin()); }, "before its players were known");
  refused(
      "recorded twice", [](Tournament& t) { t.matches.push_back(t.matches[2]); }, "twice");
  refused(
      "a winner its battles do not give",
      [](Tournament& t) {
        Match& m = t.matches[0];
        m.winner = m.winner == m.players[0] ? m.players[1] : m.players[0];
      },
      "does not follow");
  refused(
      "seeds that leave an entry out", [](Tournament& t) { t.seeds[0] = t.seeds[1]; }, "seeds");
  // One entry makes no bracket at all: refused, never played.
  EXPECT_NE(refusal(field(1, Format::Single)).find("fewer than 2"), std::string::npos);
  Tournament alone = field(1, Format::Double);
  EXPECT_THROW(playTournament(alone), std::runtime_error);
  // Swiss: a second-round match while the first round is not complete.
  const Tournament swiss = playedAtOnce(field(6, Format::Swiss));
  Tournament early = partWay(swiss, 4);
  std::swap(early.matches[2], early.matches[3]);
  early.matches.resize(3);
  EXPECT_EQ(early.matches[2].round, 2);
  EXPECT_NE(refusal(early).find("before its round could be paired"), std::string::npos)
      << refusal(early);
}

TEST(TournamentPlay, PartialVerifyFindsAnEditedBattleAndNeedsASeed) {
  const Tournament swiss = playedAtOnce(field(6, Format::Swiss, 3));
  Tournament t = partWay(swiss, 5);
  EXPECT_EQ(verifyPartialTournament(t), std::nullopt);
  t.matches[1].battles[0].turns += 1;
  const auto d = verifyPartialTournament(t);
  ASSERT_TRUE(d);
  EXPECT_NE(d->find("matches[1]"), std::string::npos) << *d;
  EXPECT_NE(d->find("turns"), std::string::npos) << *d;
  Tournament unplayed = field(6, Format::Swiss);
  unplayed.seed.reset();
  EXPECT_TRUE(verifyPartialTournament(unplayed));
  EXPECT_EQ(verifyPartialTournament(swiss), std::nullopt);
}

TEST(TournamentPlay, RecordRefusesAMatchThatIsNotReadyOrNotAsScheduled) {
  const Tournament start = field(8, Format::Single);
  TournamentPlay play(start);
  const Match& final = play.find("R3-1")->match;
  EXPECT_THROW(play.record(final), std::invalid_argument);
  Match first = playMatchHeadless(start, play.find("R1-1")->match);
  Match swapped = first;
  std::swap(swapped.players[0], swapped.players[1]);
  EXPECT_THROW(play.record(swapped), std::invalid_argument);
  Match cut = first;
  cut.battles.clear();
  EXPECT_THROW(play.record(cut), std::invalid_argument);
  play.record(first);
  EXPECT_THROW(play.record(first), std::invalid_argument);
}

TEST(MatchPlay, RefusesABattleOtherThanTheNextOne) {
  Tournament t = field(2, Format::Single, 3);
  t.seeds = {0, 1};
  Match m;
  m.id = "R1-1";
  m.players = {0, 1};
  MatchPlay play(t, m);
  const MatchBattle b = *play.nextBattle();
  EXPECT_EQ(b.k, 1);
  EXPECT_EQ(b.player1, 1);  // players[0] acts first, as player 2, in odd battles
  EXPECT_EQ(b.player2, 0);
  BattleRecord r{b.seed, b.player1, b.player1, 10, "x"};
  BattleRecord otherSeed = r;
  otherSeed.seed ^= 1;
  EXPECT_THROW(play.record(otherSeed), std::invalid_argument);
  BattleRecord otherSide = r;
  otherSide.player1 = b.player2;
  EXPECT_THROW(play.record(otherSide), std::invalid_argument);
  BattleRecord stranger = r;
  stranger.winner = 7;
  EXPECT_THROW(play.record(stranger), std::invalid_argument);
  play.record(r);
  EXPECT_EQ(play.nextBattle()->player1, 0);
  Match bye;
  bye.players = {0, std::nullopt};
  EXPECT_THROW(MatchPlay(t, bye), std::invalid_argument);
}

// Two records that cannot hurt each other: every battle runs to the turn cap.
TEST(MatchPlay, ABattleStoppedAtTheTurnCapOnScreenIsTheHeadlessOne) {
  Tournament t = field(2, Format::RoundRobin, 1, 1);
  for (Entry& e : t.entries) {
    e.record.hp.fill(1000000);
    e.record.attack.fill(0);
    e.record.defence.fill(1000);
    e.record.movePower.fill(0);
    e.sha256 = sha256Hex(entryCanonical(e));
  }
  t.seeds = {0, 1};
  Match m;
  m.id = "R1-1";
  m.round = 1;
  m.bracket = Bracket::League;
  m.players = {0, 1};
  const Match screen = playOnScreen(t, m);
  ASSERT_EQ(screen.battles.size(), 1u);
  EXPECT_EQ(screen.battles[0].turns, battle::kDefaultMaxTurns);
  EXPECT_FALSE(screen.battles[0].winner);
  EXPECT_EQ(screen, playMatchHeadless(t, m));
}

TEST(TournamentPlay, ABattleOfAPlayedMatchOpensAsItsReplay) {
  const Tournament t = playedAtOnce(field(5, Format::Single, 3));
  const Match& final = t.matches.back();
  for (int k = 1; k <= static_cast<int>(final.battles.size()); ++k) {
    const auto replay = tournamentBattleReplay(t, final, k, "test");
    ASSERT_TRUE(replay);
    const BattleRecord& b = final.battles[static_cast<std::size_t>(k - 1)];
    EXPECT_EQ(replay->result.logSha256, b.logSha256);
    EXPECT_EQ(replay->result.turns, b.turns);
  }
  EXPECT_FALSE(tournamentBattleReplay(t, final, 0, "test"));
  EXPECT_FALSE(tournamentBattleReplay(t, final, static_cast<int>(final.battles.size()) + 1, "t"));
  const auto bye = std::find_if(t.matches.begin(), t.matches.end(),
                                [](const Match& m) { return !m.players[1]; });
  ASSERT_NE(bye, t.matches.end());
  EXPECT_FALSE(tournamentBattleReplay(t, *bye, 1, "test"));
}

#ifndef _WIN32  // the case needs what only Linux has
TEST(SecretFile, IsNewOwnerOnlyAndReadBackInLowerCase) {
  ScratchDir dir;
  Refusal error;
  const std::string secret(64, 'A');
  ASSERT_TRUE(writeSecretFile(dir / "s", secret, &error)) << describe(error);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "s").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(readSecretFile(dir / "s", &error), std::string(64, 'a'));
  EXPECT_FALSE(writeSecretFile(dir / "s", std::string(64, 'b'), &error));
  EXPECT_EQ(readSecretFile(dir / "s", &error), std::string(64, 'a'));
  // A link planted where the secret goes is not followed.
  std::filesystem::create_symlink(dir / "elsewhere", dir / "link");
  EXPECT_FALSE(writeSecretFile(dir / "link", secret, &error));
  EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
  ASSERT_TRUE(writeSecretFile(dir / "short", "abc", &error));
  EXPECT_FALSE(readSecretFile(dir / "short", &error));
  EXPECT_NE(describe(error).find("64 hexadecimal digits"), std::string::npos);
  EXPECT_FALSE(readSecretFile(dir / "missing", &error));
}
#endif

}  // namespace
