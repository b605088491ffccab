// The game's tournament session on the committed samples: gathering and its refusals, the file
// after every step (equal to what momiru-lab makes), resuming, a stranger's edited file, saves
// that fail, one writer at a time, and the folder of kept tournaments.
#include "report/tournament_session.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>

#include "battle/battle_player.h"
#include "report/match_play.h"
#include "report/secret_file.h"
#include "report/text_file.h"
#include "report/tournament_draw.h"
#include "report/tournament_file.h"
#include "report/tournament_verify.h"
#include "support/lab_support.h"
#include "support/test_support.h"
#include "support/tournament_fixture.h"

namespace momiru::report {
namespace {

namespace fs = std::filesystem;
using momiru::testing::lab;
using momiru::testing::quoted;
using momiru::testing::readFile;
using momiru::testing::samplePath;
using momiru::testing::ScratchDir;

constexpr const char* kGame = "momiru-battle 9.9.9";
const auto& kSamples = momiru::testing::kSampleFiles;

std::vector<fs::path> allSamples() {
  std::vector<fs::path> files;
  for (const char* s : kSamples) files.push_back(samplePath(s));
  return files;
}

TournamentRules rulesOf(Format f, int bestOf = 1) {
  TournamentRules r;
  r.format = f;
  r.bestOf = bestOf;
  r.rounds = f == Format::RoundRobin ? 1 : f == Format::Swiss ? 3 : 0;
  r.thirdPlace = f == Format::Single;
  return r;
}

// A fair-draw tournament of the eight samples, closed, in `dir`/t.momiru-tournament.
TournamentSession closedSession(const ScratchDir& dir, Format f, int bestOf = 1) {
  report::SessionProblem problem;
  std::optional<report::SessionProblem> unsaved;
  auto s = TournamentSession::create(dir / "t.momiru-tournament", dir / "t.momiru-secret",
                                     "テスト杯", rulesOf(f, bestOf), true, kGame, &problem);
  EXPECT_TRUE(s) << problem.english;
  for (const EntryResult& r : s->addEntries(allSamples(), &unsaved))
    EXPECT_TRUE(r.entry) << r.file << ": " << r.detail;
  EXPECT_TRUE(s->closeEntries(&problem)) << problem.english;
  return std::move(*s);
}

using momiru::testing::playOnScreen;

// Plays the first ready match, on screen or without one, and records it.
void playOneMatch(TournamentSession& s, bool onScreen = false) {
  ASSERT_NE(s.play(), nullptr);
  const auto ready = s.play()->readyMatches();
  ASSERT_FALSE(ready.empty());
  const Match& m = s.play()->find(ready.front())->match;
  const Match played =
      onScreen ? playOnScreen(s.tournament(), m) : playMatchHeadless(s.tournament(), m);
  report::SessionProblem problem;
  ASSERT_TRUE(s.record(played, &problem)) << problem.english;
}

std::string withWriter(Tournament t) {
  t.writtenBy = "x";
  return tournamentJson(t);
}

TEST(TournamentSession, GatheringRefusesWhatTheEntryScreenRefusesAndSaysWhy) {
  ScratchDir dir;
  Refusal error;
  report::SessionProblem problem;
  std::optional<report::SessionProblem> unsaved;
  auto s = TournamentSession::create(dir / "t.momiru-tournament", dir / "t.momiru-secret", "杯",
                                     rulesOf(Format::Double), false, kGame, &problem);
  ASSERT_TRUE(s) << problem.english;
  momiru::testing::Character zero = momiru::testing::testCharacter();
  zero.values.storedLevels = {0, 0};
  momiru::testing::writeFile(dir / "zero.dat", momiru::testing::encode(zero));
  fs::create_directory(dir / "sub");
  fs::copy_file(samplePath("rendaa.dat"), dir / "sub" / "rendaa.dat");
  fs::create_directory(dir / "folder.dat");
  ASSERT_EQ(::mkfifo((dir / "fifo.dat").c_str(), 0600), 0);  // must not block

  const std::vector<fs::path> files = {samplePath("pochimaru.dat"),
                                       samplePath("rendaa.dat"),
                                       samplePath("altered-check.dat"),
                                       dir / "zero.dat",
                                       dir / "sub" / "rendaa.dat",
                                       dir / "fifo.dat",
                                       dir / "folder.dat",
                                       dir / "missing.dat"};
  const auto results = s->addEntries(files, &unsaved);
  EXPECT_FALSE(unsaved);
  ASSERT_EQ(results.size(), files.size());
  EXPECT_EQ(results[0].entry, 0);
  EXPECT_EQ(results[1].entry, 1);
  EXPECT_EQ(results[2].refusal, EntryRefusal::Tampered);
  EXPECT_EQ(results[3].refusal, EntryRefusal::NoCharacter);
  // The same record from another folder: an entry is its base file name and its record.
  EXPECT_EQ(results[4].refusal, EntryRefusal::Duplicate);
  EXPECT_EQ(results[4].sameAs, 1);
  for (std::size_t i = 5; i < files.size(); ++i) {
    EXPECT_EQ(results[i].refusal, EntryRefusal::Unreadable) << files[i];
    EXPECT_FALSE(results[i].entry);
    EXPECT_FALSE(results[i].detail.empty());
  }
  // Kept at once, with the entries registered as the entry screen registers them.
  auto kept = readTournamentFile(s->file(), &error);
  ASSERT_TRUE(kept) << error;
  ASSERT_EQ(kept->entries.size(), 2u);
  EXPECT_EQ(kept->entries[0].file, "pochimaru.dat");
  EXPECT_EQ(kept->entries[0].record.name, "pochimaru.datの" + kept->entries[0].storedName);

  // Removal renumbers; closing needs two.
  EXPECT_FALSE(s->removeEntry(2, &problem));
  ASSERT_TRUE(s->removeEntry(0, &problem)) << problem.english;
  EXPECT_EQ(readTournamentFile(s->file(), &error)->entries.size(), 1u);
  EXPECT_FALSE(s->closeEntries(&problem));
  EXPECT_EQ(s->tournament().stage, Stage::Open);
  s->addEntries({samplePath("hinotori.dat")});
  ASSERT_TRUE(s->closeEntries(&problem)) << problem.english;
  kept = readTournamentFile(s->file(), &error);
  EXPECT_EQ(kept->stage, Stage::Closed);
  // rendaa's and hinotori's records, as the golden tournaments hold them.
  EXPECT_EQ(kept->entriesDigest,
            "ac3409d3e922c6537200a4c1e5f7a08946bf79d8f7ad4e6667289039561fd237");
  // Closed: nothing more comes in or goes out.
  EXPECT_EQ(s->addEntries({samplePath("inazuma.dat")})[0].refusal, EntryRefusal::Closed);
  EXPECT_FALSE(s->removeEntry(0, &problem));

  // A new tournament never replaces a file.
  const std::string before = readFile(s->file());
  EXPECT_FALSE(TournamentSession::create(s->file(), dir / "u.momiru-secret", "x",
                                         rulesOf(Format::Single), true, kGame, &problem));
  EXPECT_EQ(readFile(s->file()), before);
  EXPECT_FALSE(fs::exists(dir / "u.momiru-secret"));
}

// momiru-lab's add: one refused file and none comes in, each refused file told, a record given
// twice told even after another file was refused; the file is not touched.
TEST(TournamentSession, AllOrNothingTakesNoneWhenOneIsRefusedAndTellsEach) {
  ScratchDir dir;
  Refusal error;
  report::SessionProblem problem;
  std::optional<report::SessionProblem> unsaved;
  auto s = TournamentSession::create(dir / "t.momiru-tournament", dir / "t.momiru-secret", "杯",
                                     rulesOf(Format::Single), false, kGame, &problem);
  ASSERT_TRUE(s) << problem.english;
  const std::string before = readFile(s->file());
  fs::create_directory(dir / "sub");
  fs::copy_file(samplePath("rendaa.dat"), dir / "sub" / "rendaa.dat");
  ASSERT_EQ(::mkfifo((dir / "fifo.dat").c_str(), 0600), 0);  // must not block
  const std::vector<fs::path> files = {samplePath("pochimaru.dat"),
                                       samplePath("altered-check.dat"),
                                       samplePath("rendaa.dat"),
                                       dir / "sub" / "rendaa.dat",
                                       dir / "fifo.dat",
                                       samplePath("pochimaru.dat")};
  const auto results = s->addEntries(files, &unsaved, EntriesAdded::AllOrNothing);
  EXPECT_FALSE(unsaved);
  ASSERT_EQ(results.size(), files.size());
  for (const std::size_t good : {0u, 2u, 3u}) {
    EXPECT_FALSE(results[good].refusal) << files[good];
    EXPECT_FALSE(results[good].entry) << files[good];
  }
  EXPECT_EQ(results[1].refusal, EntryRefusal::Tampered);
  EXPECT_NE(results[1].reason.find("check value"), std::string::npos) << results[1].reason;
  // As momiru-lab always told it: pochimaru, accepted before the refusal, counts for the files
  // after it; rendaa, after the refusal, never came in, so the second rendaa is no duplicate.
  EXPECT_EQ(results[5].refusal, EntryRefusal::Duplicate);
  EXPECT_EQ(results[5].sameAs, 0);
  EXPECT_EQ(results[4].refusal, EntryRefusal::Unreadable);
  EXPECT_FALSE(results[4].reason.empty());
  EXPECT_TRUE(s->tournament().entries.empty());
  EXPECT_EQ(readFile(s->file()), before);

  const auto good = s->addEntries({files[0], files[2]}, &unsaved, EntriesAdded::AllOrNothing);
  EXPECT_EQ(good[0].entry, 0);
  EXPECT_EQ(good[1].entry, 1);
  EXPECT_EQ(readTournamentFile(s->file(), &error)->entries.size(), 2u);
  ASSERT_TRUE(s->closeEntries(&problem)) << problem.english;
  const auto closed =
      s->addEntries({samplePath("inazuma.dat")}, &unsaved, EntriesAdded::AllOrNothing);
  EXPECT_EQ(closed[0].refusal, EntryRefusal::Closed);
}

// The format's limit, the one for both ways of adding: the game takes what fits and does not read
// the rest; momiru-lab takes nothing and says which files go beyond it.
TEST(TournamentSession, TheEntryLimitHoldsForBothWaysOfAdding) {
  ScratchDir dir;
  std::vector<fs::path> files;
  for (std::size_t i = 0; i <= mostEntries(Format::RoundRobin); ++i) {
    momiru::testing::Character c = momiru::testing::testCharacter();
    c.record.hp[3] = 104 + static_cast<std::int32_t>(i);  // every record its own
    files.push_back(dir / ("c" + std::to_string(i) + ".dat"));
    momiru::testing::writeFile(files.back(), momiru::testing::encode(c));
  }
  files.push_back(dir / "missing.dat");
  Refusal error;
  report::SessionProblem problem;
  std::optional<report::SessionProblem> unsaved;
  for (const EntriesAdded mode : {EntriesAdded::AllOrNothing, EntriesAdded::KeepAccepted}) {
    const bool all = mode == EntriesAdded::AllOrNothing;
    SCOPED_TRACE(all ? "all or nothing" : "keep accepted");
    const fs::path file = dir / (all ? "a.momiru-tournament" : "k.momiru-tournament");
    auto s = TournamentSession::create(file, secretFileOf(file), "x", rulesOf(Format::RoundRobin),
                                       false, kGame, &problem);
    ASSERT_TRUE(s) << problem.english;
    // Without the unreadable file last, momiru-lab's add is refused for the limit alone.
    const std::vector<fs::path> given(files.begin(), files.end() - (all ? 1 : 0));
    const auto results = s->addEntries(given, &unsaved, mode);
    ASSERT_EQ(results.size(), given.size());
    const std::size_t most = mostEntries(Format::RoundRobin);
    EXPECT_EQ(results[most].refusal, EntryRefusal::Full);
    EXPECT_EQ(results[most - 1].entry, all ? std::nullopt : std::optional<int>(255));
    EXPECT_FALSE(results[most - 1].refusal);
    // Past the limit the game reads no file at all: the missing one is full, not unreadable.
    if (!all) {
      EXPECT_EQ(results.back().refusal, EntryRefusal::Full);
    }
    EXPECT_EQ(s->tournament().entries.size(), all ? 0u : most);
    EXPECT_EQ(readTournamentFile(file, &error)->entries.size(), all ? 0u : most) << describe(error);
  }
}

// The rules a new tournament is refused for are the rules a file is refused for: one check.
TEST(TournamentSession, RulesRefusedAtCreateAreRefusedInAFile) {
  ScratchDir dir;
  Refusal error;
  report::SessionProblem problem;
  auto good = TournamentSession::create(dir / "good.momiru-tournament", dir / "x", "杯",
                                        rulesOf(Format::Swiss), false, kGame, &problem);
  ASSERT_TRUE(good) << problem.english;
  const std::string text = readFile(good->file());
  struct Case {
    TournamentRules rules;
    RulesProblem problem;
  };
  std::vector<Case> cases;
  const auto add = [&](Format f, int bestOf, int rounds, bool thirdPlace, RulesProblem p) {
    TournamentRules r = rulesOf(f, bestOf);
    r.rounds = rounds;
    r.thirdPlace = thirdPlace;
    cases.push_back({r, p});
  };
  add(Format::Single, 2, 0, false, RulesProblem::BestOf);
  add(Format::Double, 1, 0, true, RulesProblem::ThirdPlace);
  add(Format::Single, 1, 3, true, RulesProblem::EliminationRounds);
  add(Format::RoundRobin, 3, 3, false, RulesProblem::RoundRobinRounds);
  add(Format::Swiss, 1, kMaxSwissRounds + 1, false, RulesProblem::SwissRounds);
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.problem));
    EXPECT_EQ(rulesProblem(c.rules), c.problem);
    EXPECT_EQ(TournamentSession::whyNotNew("杯", c.rules), SessionRefusal::Rules);
    EXPECT_FALSE(TournamentSession::create(dir / "t.momiru-tournament", dir / "t.momiru-secret",
                                           "杯", c.rules, true, kGame, &problem));
    EXPECT_EQ(problem.why, SessionRefusal::Rules);
    EXPECT_FALSE(fs::exists(dir / "t.momiru-tournament"));
    EXPECT_FALSE(fs::exists(dir / "t.momiru-secret"));
    if (c.problem == RulesProblem::SwissRounds) continue;  // beyond what the reader's number takes
    auto j = nlohmann::ordered_json::parse(text);
    j["rules"]["format"] = std::string(formatName(c.rules.format));
    j["rules"]["best_of"] = c.rules.bestOf;
    j["rules"]["rounds"] = c.rules.rounds;
    j["rules"]["third_place"] = c.rules.thirdPlace;
    EXPECT_FALSE(parseTournament(j.dump(), &error));
    EXPECT_NE(describe(error).find("rules."), std::string::npos) << error;
  }
  // A round robin's rounds 0 stand for once; a name too long is refused before the rules.
  TournamentRules once = rulesOf(Format::RoundRobin);
  once.rounds = 0;
  EXPECT_EQ(TournamentSession::newRules(once).rounds, 1);
  EXPECT_FALSE(TournamentSession::whyNotNew("杯", once));
  EXPECT_EQ(TournamentSession::whyNotNew(std::string(kMaxTextBytes + 1, 'x'), cases[0].rules),
            SessionRefusal::NameTooLong);
  // Bytes that are not UTF-8 count as the U+FFFD they become.
  EXPECT_EQ(TournamentSession::whyNotNew(std::string(kMaxTextBytes / 2, '\xff'), once),
            SessionRefusal::NameTooLong);
}

// momiru-lab's run opens the file as it stands (nothing verified, so a finished file is refused
// as run already, not played again) and is refused with a reason it can word.
TEST(TournamentSession, ARunIsOneStepOnTheFileAsItStands) {
  ScratchDir dir;
  Refusal error;
  report::SessionProblem problem;
  RunOptions options;
  options.threads = 2;
  const fs::path file = dir / "t.momiru-tournament";
  const auto reopen = [&](const fs::path& secret = fs::path()) {
    auto s = TournamentSession::open(file, secret.empty() ? dir / "t.momiru-secret" : secret, kGame,
                                     &problem, Opening::AsItStands);
    EXPECT_TRUE(s) << problem.english;
    return std::move(*s);
  };
  {
    auto s = TournamentSession::create(file, dir / "t.momiru-secret", "杯", rulesOf(Format::Double),
                                       true, kGame, &problem);
    ASSERT_TRUE(s) << problem.english;
    s->addEntries(allSamples());
  }
  EXPECT_FALSE(reopen().run(std::nullopt, false, options, &problem));
  EXPECT_EQ(problem.why, SessionRefusal::NotClosed);
  ASSERT_TRUE(reopen().closeEntries(&problem)) << problem.english;
  const std::string closed = readFile(file);
  EXPECT_FALSE(reopen().run(std::string(kMaxTextBytes + 1, 'b'), false, options, &problem));
  EXPECT_EQ(problem.why, SessionRefusal::BeaconTooLong);
  EXPECT_FALSE(reopen(dir / "missing").run("1", true, options, &problem));
  EXPECT_EQ(problem.why, SessionRefusal::SecretUnreadable);
  EXPECT_NE(problem.english.find("missing"), std::string::npos) << problem.english;
  ASSERT_TRUE(writeSecretFile(dir / "wrong", std::string(64, 'a'), &error)) << describe(error);
  EXPECT_FALSE(reopen(dir / "wrong").run("1", true, options, &problem));
  EXPECT_EQ(problem.why, SessionRefusal::WrongSecret);
  EXPECT_EQ(readFile(file), closed);

  ASSERT_TRUE(reopen().run("1", false, options, &problem)) << problem.english;
  auto done = readTournamentFile(file, &error);
  ASSERT_TRUE(done) << error;
  EXPECT_EQ(done->stage, Stage::Finished);
  EXPECT_EQ(verifyTournament(*done, options), std::nullopt);

  // An edited finished file: the game finds the difference, the step only sees it is run.
  auto j = nlohmann::ordered_json::parse(readFile(file));
  auto& m = j["matches"][0];
  m["winner"] = m["players"][0] == m["winner"] ? m["players"][1] : m["players"][0];
  momiru::testing::writeFile(file, j.dump(1));
  EXPECT_FALSE(reopen().run("1", false, options, &problem));
  EXPECT_EQ(problem.why, SessionRefusal::Finished);
  auto played = TournamentSession::open(file, dir / "t.momiru-secret", kGame, &problem);
  ASSERT_TRUE(played) << error;
  EXPECT_TRUE(played->verifyProblem());
  EXPECT_FALSE(played->start("1", &problem));
  EXPECT_EQ(problem.why, SessionRefusal::DoesNotVerify);

  // A quick tournament draws its secret at the run, and has no secret file to be named.
  const fs::path quick = dir / "q.momiru-tournament";
  {
    auto q = TournamentSession::create(quick, secretFileOf(quick), "q", rulesOf(Format::Single),
                                       false, kGame, &problem);
    ASSERT_TRUE(q) << error;
    q->addEntries({samplePath("rendaa.dat"), samplePath("pochimaru.dat")});
    ASSERT_TRUE(q->closeEntries(&problem)) << problem.english;
  }
  auto q = TournamentSession::open(quick, dir / "x", kGame, &problem, Opening::AsItStands);
  ASSERT_TRUE(q) << error;
  EXPECT_FALSE(q->run(std::nullopt, true, options, &problem));
  EXPECT_EQ(problem.why, SessionRefusal::SecretFileNamed);
  ASSERT_TRUE(q->run(std::nullopt, false, options, &problem)) << problem.english;
  EXPECT_TRUE(q->tournament().secret);
}

// The file the game keeps, after any mix of matches recorded one by one and the rest played at
// once, is the file momiru-lab's run makes from the same secret, entries and beacon.
TEST(TournamentSession, PlayedToTheEndItIsTheFileMomiruLabRunMakes) {
  for (const Format f : {Format::Single, Format::Double, Format::RoundRobin, Format::Swiss}) {
    SCOPED_TRACE(std::string(formatName(f)));
    ScratchDir dir;
    TournamentSession s = closedSession(dir, f, 3);

    // Gathered as momiru-lab gathers: the same closed file but for who wrote it and the secret.
    const std::string labFile = quoted(dir / "lab.momiru-tournament");
    std::string cmd = "tournament new " + labFile + " --name 'テスト杯' --format " +
                      std::string(formatName(f)) + " --best-of 3 --no-commitment";
    if (f == Format::Single) cmd += " --third-place";
    if (f == Format::Swiss) cmd += " --rounds 3";
    ASSERT_EQ(lab(cmd).status, 0);
    std::string add = "tournament add " + labFile;
    for (const char* sample : kSamples) add += " " + momiru::testing::sample(sample);
    ASSERT_EQ(lab(add).status, 0);
    ASSERT_EQ(lab("tournament close " + labFile).status, 0);
    Refusal error;
    report::SessionProblem problem;
    std::optional<report::SessionProblem> unsaved;
    auto gathered = readTournamentFile(dir / "lab.momiru-tournament", &error);
    ASSERT_TRUE(gathered) << error;
    gathered->commitment = s.tournament().commitment;
    EXPECT_EQ(withWriter(*gathered), withWriter(s.tournament()));

    // The lab runs a copy of the game's closed file with the game's secret.
    fs::copy_file(s.file(), dir / "run.momiru-tournament");
    const std::string beacon = "抽選 2026-12-08: 4 8 15";
    const auto ran =
        lab("tournament run " + quoted(dir / "run.momiru-tournament") + " --secret-file " +
            quoted(dir / "t.momiru-secret") + " --beacon '" + beacon + "' --jobs 2");
    ASSERT_EQ(ran.status, 0) << ran.err;

    ASSERT_TRUE(s.start(beacon, &problem)) << problem.english;
    EXPECT_TRUE(s.started());
    for (int i = 0; i < 4; ++i) playOneMatch(s, i % 2 == 0);
    std::size_t lastProgress = 0;
    ASSERT_TRUE(s.playRest(
        2, [] { return false; }, [&](std::size_t played, std::size_t) { lastProgress = played; },
        &problem))
        << problem.english;
    ASSERT_TRUE(s.play()->finished());
    EXPECT_EQ(lastProgress, s.play()->totalCount());
    EXPECT_EQ(s.tournament().stage, Stage::Finished);
    auto labs = readTournamentFile(dir / "run.momiru-tournament", &error);
    ASSERT_TRUE(labs) << error;
    EXPECT_EQ(withWriter(*labs), withWriter(s.tournament()));
    // The file on disk holds it all, and verifies.
    EXPECT_EQ(readFile(s.file()), tournamentJson(s.tournament()));
    EXPECT_EQ(lab("tournament verify " + quoted(s.file())).status, 0);
    EXPECT_FALSE(s.unsaved());
  }
}

TEST(TournamentSession, AWrongSecretIsRefusedAndNothingStarts) {
  ScratchDir dir;
  TournamentSession s = closedSession(dir, Format::Single);
  const std::string before = readFile(s.file());
  fs::remove(dir / "t.momiru-secret");
  ASSERT_TRUE(writeSecretFile(dir / "t.momiru-secret", std::string(64, 'a'), nullptr));
  Refusal error;
  report::SessionProblem problem;
  EXPECT_FALSE(s.start(std::nullopt, &problem));
  EXPECT_NE(problem.english.find("commitment"), std::string::npos) << error;
  fs::remove(dir / "t.momiru-secret");
  EXPECT_FALSE(s.start(std::nullopt, &problem));
  EXPECT_FALSE(s.started());
  EXPECT_EQ(s.play(), nullptr);
  EXPECT_EQ(readFile(s.file()), before);
}

// Closing the game mid-tournament and opening its file again continues where it stopped, to the
// same end as a tournament played straight through.
TEST(TournamentSession, AReopenedTournamentContinuesToTheSameEnd) {
  ScratchDir dir;
  TournamentSession straight = closedSession(dir, Format::Swiss);
  const fs::path other = dir / "other.momiru-tournament";
  fs::copy_file(straight.file(), other);
  report::SessionProblem problem;
  ASSERT_TRUE(straight.start("1", &problem)) << problem.english;
  ASSERT_TRUE(straight.playRest(1, {}, {}, &problem)) << problem.english;

  {
    auto s = TournamentSession::open(other, dir / "t.momiru-secret", kGame, &problem);
    ASSERT_TRUE(s) << problem.english;
    EXPECT_FALSE(s->verifyProblem());
    EXPECT_FALSE(s->started());
    ASSERT_TRUE(s->start("1", &problem)) << problem.english;
    for (int i = 0; i < 5; ++i) playOneMatch(*s);
  }
  EXPECT_EQ(unfinishedTournaments(dir.path()), std::vector<fs::path>{other});
  auto s = TournamentSession::open(other, dir / "nowhere", kGame, &problem);
  ASSERT_TRUE(s) << problem.english;
  EXPECT_FALSE(s->verifyProblem()) << *s->verifyProblem();
  ASSERT_NE(s->play(), nullptr);
  EXPECT_EQ(s->play()->playedCount(), 5u);
  EXPECT_FALSE(s->start("1", &problem));  // started already
  // Cancelled at once: nothing more is played, and what there is stays kept.
  ASSERT_TRUE(s->playRest(
      1, [] { return true; }, {}, &problem))
      << problem.english;
  EXPECT_EQ(s->play()->playedCount(), 5u);
  // Cancelled part way through a round: what was played is kept, in the file too.
  std::size_t heard = 0;
  ASSERT_TRUE(s->playRest(
      1, [&] { return heard >= 6; }, [&](std::size_t played, std::size_t) { heard = played; },
      &problem))
      << problem.english;
  EXPECT_GE(s->play()->playedCount(), 6u);
  EXPECT_FALSE(s->play()->finished());
  EXPECT_EQ(readFile(other), tournamentJson(s->tournament()));
  ASSERT_TRUE(s->playRest(1, {}, {}, &problem)) << problem.english;
  EXPECT_EQ(tournamentJson(s->tournament()), tournamentJson(straight.tournament()));
  EXPECT_TRUE(unfinishedTournaments(dir.path()).empty());
}

TEST(TournamentSession, AnEditedTournamentOpensWithItsProblemAndIsNotPlayed) {
  ScratchDir dir;
  TournamentSession s = closedSession(dir, Format::Single);
  Refusal error;
  report::SessionProblem problem;
  ASSERT_TRUE(s.start(std::nullopt, &problem)) << problem.english;
  playOneMatch(s);
  playOneMatch(s);
  const std::string partial = readFile(s.file());
  ASSERT_TRUE(s.playRest(1, {}, {}, &problem)) << problem.english;
  const std::string finished = readFile(s.file());

  // The winner of a played match changed to the other player, in a finished and a partial file.
  const auto edited = [&](const std::string& text) {
    auto j = nlohmann::ordered_json::parse(text);
    auto& m = j["matches"][0];
    m["winner"] = m["players"][0] == m["winner"] ? m["players"][1] : m["players"][0];
    return j.dump(2);
  };
  for (const std::string& text : {partial, finished}) {
    momiru::testing::writeFile(dir / "edited.momiru-tournament", edited(text));
    auto e = TournamentSession::open(dir / "edited.momiru-tournament", dir / "x", kGame, &problem);
    ASSERT_TRUE(e) << error;
    ASSERT_TRUE(e->verifyProblem());
    EXPECT_EQ(e->play(), nullptr);
    EXPECT_EQ(e->tournament().matches.size(), nlohmann::json::parse(text)["matches"].size());
    EXPECT_FALSE(e->start(std::nullopt, &problem));
    EXPECT_FALSE(e->record(s.tournament().matches[0], &problem));
  }
  // Entries edited after the field closed no longer match the published digest.
  auto j = nlohmann::ordered_json::parse(partial);
  j["matches"] = nlohmann::ordered_json::array();
  j["standings"] = nlohmann::ordered_json::array();
  j["seeds"] = nlohmann::ordered_json::array();
  for (const char* key : {"secret", "seed", "beacon"}) j[key] = nullptr;
  j["entries"].erase(0);
  momiru::testing::writeFile(dir / "edited.momiru-tournament", j.dump());
  auto e = TournamentSession::open(dir / "edited.momiru-tournament", dir / "x", kGame, &problem);
  ASSERT_TRUE(e) << error;
  EXPECT_TRUE(e->verifyProblem());
  // What does not read as a tournament does not open.
  momiru::testing::writeFile(dir / "junk.momiru-tournament", "{\"format\": \"momiru-tournament\"");
  EXPECT_FALSE(TournamentSession::open(dir / "junk.momiru-tournament", dir / "x", kGame, &problem));
  EXPECT_FALSE(problem.english.empty());
}

TEST(TournamentSession, AFailedSaveIsReportedAndLosesNothing) {
  ScratchDir dir;
  TournamentSession s = closedSession(dir, Format::Double);
  Refusal error;
  report::SessionProblem problem;
  std::optional<report::SessionProblem> unsaved;
  ASSERT_TRUE(s.start(std::nullopt, &problem)) << problem.english;
  // A file its owner made read-only is not replaced, whoever runs the game.
  ASSERT_EQ(::chmod(s.file().c_str(), 0444), 0);
  const std::string before = readFile(s.file());
  const auto ready = s.play()->readyMatches();
  const Match played = playMatchHeadless(s.tournament(), s.play()->find(ready[0])->match);
  EXPECT_FALSE(s.record(played, &problem));
  EXPECT_FALSE(problem.english.empty());
  EXPECT_TRUE(s.unsaved());
  EXPECT_EQ(s.play()->playedCount(), 1u);  // kept in memory
  EXPECT_EQ(readFile(s.file()), before);
  EXPECT_FALSE(s.playRest(1, {}, {}, &problem));
  EXPECT_TRUE(s.play()->finished());
  EXPECT_FALSE(s.saveAs("/dev/full", &problem));
  EXPECT_FALSE(s.saveAs(dir / "missing" / "x.momiru-tournament", &problem));
  if (::geteuid() != 0) {  // a folder's write bit binds all but root
    fs::create_directory(dir / "locked");
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0500), 0);
    EXPECT_FALSE(s.saveAs(dir / "locked" / "x.momiru-tournament", &problem));
    ::chmod((dir / "locked").c_str(), 0700);
  }
  ASSERT_EQ(::chmod(s.file().c_str(), 0644), 0);
  ASSERT_TRUE(s.save(&problem)) << problem.english;
  EXPECT_FALSE(s.unsaved());
  EXPECT_EQ(readTournamentFile(s.file(), &error)->stage, Stage::Finished);
  ASSERT_TRUE(s.saveAs(dir / "copy.momiru-tournament", &problem)) << problem.english;
  EXPECT_EQ(readFile(dir / "copy.momiru-tournament"), readFile(s.file()));
}

// A tournament's page opens as the tournament it carries, and is never replaced by its JSON.
TEST(TournamentSession, APageIsPlayedOnButNeverOverwritten) {
  ScratchDir dir;
  TournamentSession s = closedSession(dir, Format::Single);
  Refusal error;
  report::SessionProblem problem;
  std::optional<report::SessionProblem> unsaved;
  ASSERT_TRUE(s.start(std::nullopt, &problem)) << problem.english;
  const fs::path page = dir / "cup.html";
  ASSERT_EQ(lab("tournament show " + quoted(s.file()) + " --html " + quoted(page)).status, 0);
  const std::string html = readFile(page);
  auto p = TournamentSession::open(page, dir / "x", kGame, &problem);
  ASSERT_TRUE(p) << error;
  ASSERT_FALSE(p->verifyProblem()) << *p->verifyProblem();
  playOneMatch(s);
  EXPECT_FALSE(p->record(s.tournament().matches[0], &problem));
  EXPECT_TRUE(p->unsaved());
  EXPECT_EQ(readFile(page), html);
  ASSERT_TRUE(p->saveAs(dir / "kept.momiru-tournament", &problem)) << problem.english;
  EXPECT_EQ(readTournamentFile(dir / "kept.momiru-tournament", &error)->matches.size(), 1u);
}

// A kept round robin of four, drawn and saved before any match: six matches to play. The
// session that made it has ended, and its hold with it.
fs::path keptRoundRobin(const ScratchDir& dir) {
  report::SessionProblem problem;
  const fs::path file = dir / "t.momiru-tournament";
  auto s = TournamentSession::create(file, secretFileOf(file), "四人杯",
                                     rulesOf(Format::RoundRobin), true, kGame, &problem);
  EXPECT_TRUE(s) << problem.english;
  const std::vector<fs::path> all = allSamples();
  s->addEntries({all.begin(), all.begin() + 4});
  EXPECT_TRUE(s->closeEntries(&problem)) << problem.english;
  EXPECT_TRUE(s->start("42", &problem)) << problem.english;
  return file;
}

// The first match ready in `s`, played without a screen.
Match nextMatchOf(const TournamentSession& s) {
  const auto ready = s.play()->readyMatches();
  return playMatchHeadless(s.tournament(), s.play()->find(ready.front())->match);
}

std::size_t filesIn(const fs::path& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
}

// Fault mended: two games that resumed one kept tournament both wrote it, and the second's save
// of its one match replaced the first's six without a word.
TEST(TournamentSession, TwoSessionsOnOneKeptFileLoseNothing) {
  ScratchDir dir;
  const fs::path file = keptRoundRobin(dir);
  Refusal error;
  report::SessionProblem problem;
  auto first = TournamentSession::open(file, secretFileOf(file), kGame, &problem);
  ASSERT_TRUE(first) << problem.english;
  auto second = TournamentSession::open(file, secretFileOf(file), kGame, &problem);
  ASSERT_TRUE(second) << problem.english;
  EXPECT_FALSE(first->lookOnly());
  ASSERT_TRUE(second->lookOnly());
  EXPECT_EQ(second->lookOnly()->why, SessionRefusal::HeldElsewhere);
  ASSERT_TRUE(second->lookOnly()->cause);
  EXPECT_EQ(second->lookOnly()->cause->kind, Refusal::Kind::HeldElsewhere);
  // Looked at, it shows the tournament as the file holds it.
  ASSERT_NE(second->play(), nullptr);
  EXPECT_EQ(second->play()->playedCount(), 0u);

  ASSERT_TRUE(first->playRest(1, {}, {}, &problem)) << problem.english;
  ASSERT_EQ(first->tournament().stage, Stage::Finished);
  const std::string finished = readFile(file);

  const Match played = nextMatchOf(*second);
  EXPECT_FALSE(second->record(played, &problem));
  EXPECT_EQ(problem.why, SessionRefusal::HeldElsewhere);
  EXPECT_EQ(second->play()->playedCount(), 0u) << "refused before anything changed";
  EXPECT_FALSE(second->save(&problem));
  EXPECT_FALSE(second->playRest(1, {}, {}, &problem));
  EXPECT_FALSE(second->unsaved());
  // Still looking only once the first has gone: what it read is not the file any more.
  first.reset();
  EXPECT_FALSE(second->record(played, &problem));
  EXPECT_EQ(readFile(file), finished);
  const auto kept = readTournamentFile(file, &error);
  ASSERT_TRUE(kept) << error;
  EXPECT_EQ(kept->stage, Stage::Finished);
  EXPECT_EQ(kept->matches.size(), 6u);

  // Opened afresh, it is the first's finished tournament, held.
  second.reset();
  auto again = TournamentSession::open(file, secretFileOf(file), kGame, &problem);
  ASSERT_TRUE(again) << problem.english;
  EXPECT_FALSE(again->lookOnly());
  EXPECT_EQ(again->tournament().matches.size(), 6u);
}

// A writer that takes no hold (an older game, an editor, a copy back) is caught by the check just
// before the replace: its file stays, and the session keeps its own in memory.
TEST(TournamentSession, ASaveNeverReplacesWhatAnotherWroteMeanwhile) {
  ScratchDir dir;
  const fs::path file = keptRoundRobin(dir);
  const fs::path other = dir / "other.momiru-tournament";
  fs::copy_file(file, other);
  Refusal error;
  report::SessionProblem problem;
  {
    auto o = TournamentSession::open(other, secretFileOf(file), kGame, &problem);
    ASSERT_TRUE(o) << problem.english;
    ASSERT_TRUE(o->playRest(1, {}, {}, &problem)) << problem.english;
  }
  const std::string theirs = readFile(other);
  auto s = TournamentSession::open(file, secretFileOf(file), kGame, &problem);
  ASSERT_TRUE(s) << problem.english;
  ASSERT_FALSE(s->lookOnly());

  // The same bytes written again in place are no change.
  momiru::testing::writeFile(file, readFile(file));
  ASSERT_TRUE(s->record(nextMatchOf(*s), &problem)) << problem.english;
  ASSERT_NE(readFile(file), theirs);

  const std::size_t before = filesIn(dir.path());
  const auto refusedFor = [&](const char* how) {
    SCOPED_TRACE(how);
    EXPECT_FALSE(s->record(nextMatchOf(*s), &problem));
    EXPECT_EQ(problem.why, SessionRefusal::Unsaved);
    ASSERT_TRUE(problem.cause);
    EXPECT_EQ(problem.cause->kind, Refusal::Kind::ChangedSince);
    EXPECT_NE(problem.english.find("since it was read"), std::string::npos) << problem.english;
    EXPECT_TRUE(s->unsaved());
  };
  // Replaced by rename, as a save of the game's replaces it.
  ASSERT_TRUE(writeTextFile(file, theirs, false, &error)) << error;
  refusedFor("replaced");
  EXPECT_EQ(readFile(file), theirs);
  EXPECT_EQ(filesIn(dir.path()), before) << "no temporary file is left";
  // Written in place.
  momiru::testing::writeFile(file, theirs + "\n");
  refusedFor("written in place");
  EXPECT_EQ(readFile(file), theirs + "\n");
  // Removed: not made again behind the remover's back.
  fs::remove(file);
  refusedFor("removed");
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(s->play()->playedCount(), 4u) << "every match stays in memory";
  // 保存 keeps the session's own tournament elsewhere.
  ASSERT_TRUE(s->saveAs(dir / "mine.momiru-tournament", &problem)) << problem.english;
  EXPECT_EQ(readTournamentFile(dir / "mine.momiru-tournament", &error)->matches.size(), 4u);
}

// No hold can be had where the lock file's place is taken: the file opens to look only, says
// why, and is never written; nothing waits on a FIFO.
TEST(TournamentSession, WithoutAHoldATournamentIsOnlyLookedAt) {
  ScratchDir dir;
  const fs::path file = keptRoundRobin(dir);
  const std::string drawn = readFile(file);
  Refusal error;
  report::SessionProblem problem;
  for (const bool fifo : {false, true}) {
    SCOPED_TRACE(fifo ? "a FIFO" : "a folder");
    const fs::path lock = lockFileOf(file);
    if (fifo) {
      ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
    } else {
      fs::create_directory(lock);
    }
    std::optional<TournamentSession> s;
    EXPECT_TRUE(momiru::testing::returnsWithoutWriter(lock, [&] {
      s = TournamentSession::open(file, secretFileOf(file), kGame, &problem);
      return true;
    }));
    ASSERT_TRUE(s) << problem.english;
    ASSERT_TRUE(s->lookOnly());
    EXPECT_EQ(s->lookOnly()->why, SessionRefusal::CannotHold);
    ASSERT_TRUE(s->lookOnly()->cause);
    EXPECT_EQ(s->lookOnly()->cause->kind, Refusal::Kind::CannotHold);
    EXPECT_NE(s->lookOnly()->english.find("t.momiru-tournament.lock"), std::string::npos)
        << s->lookOnly()->english;
    EXPECT_FALSE(s->record(nextMatchOf(*s), &problem));
    EXPECT_EQ(problem.why, SessionRefusal::CannotHold);
    EXPECT_FALSE(s->playRest(1, {}, {}, &problem));
    // A copy elsewhere is no write of the file.
    ASSERT_TRUE(s->saveAs(dir / "copy.momiru-tournament", &problem)) << problem.english;
    EXPECT_FALSE(s->saveAs(file, &problem)) << "the file itself is not written by another name";
    EXPECT_EQ(readFile(file), drawn);
    s.reset();
    EXPECT_TRUE(fs::exists(fs::symlink_status(lock))) << "what had the name is left";
    fs::remove(lock);
  }
  // Nor is a new tournament made where it could never be held.
  const fs::path made = dir / "new.momiru-tournament";
  fs::create_directory(lockFileOf(made));
  EXPECT_FALSE(TournamentSession::create(made, secretFileOf(made), "杯", rulesOf(Format::Single),
                                         true, kGame, &problem));
  EXPECT_EQ(problem.why, SessionRefusal::Unwritable);
  EXPECT_FALSE(fs::exists(made));
  EXPECT_FALSE(fs::exists(secretFileOf(made)));
}

TEST(TournamentSession, NothingIsWrittenOverAFileAnotherHolds) {
  ScratchDir dir;
  const fs::path file = keptRoundRobin(dir);
  const std::string drawn = readFile(file);
  report::SessionProblem problem;
  auto s = TournamentSession::open(file, secretFileOf(file), kGame, &problem);
  ASSERT_TRUE(s) << problem.english;
  // 保存 of another tournament over this one is refused while it is held.
  const fs::path other = dir / "other.momiru-tournament";
  auto o = TournamentSession::create(other, secretFileOf(other), "杯", rulesOf(Format::Single),
                                     false, kGame, &problem);
  ASSERT_TRUE(o) << problem.english;
  EXPECT_FALSE(o->saveAs(file, &problem));
  EXPECT_EQ(problem.why, SessionRefusal::Unwritable);
  ASSERT_TRUE(problem.cause);
  EXPECT_EQ(problem.cause->kind, Refusal::Kind::HeldElsewhere);
  EXPECT_EQ(readFile(file), drawn);
  // 保存 onto its own file is its save.
  ASSERT_TRUE(s->record(nextMatchOf(*s), &problem)) << problem.english;
  ASSERT_TRUE(s->saveAs(file, &problem)) << problem.english;
  EXPECT_EQ(readFile(file), tournamentJson(s->tournament()));
  // A tournament being made under a held name is refused before anything is written.
  const fs::path taken = dir / "taken.momiru-tournament";
  const FileHold hold = FileHold::take(taken, nullptr);
  ASSERT_TRUE(hold.held());
  EXPECT_FALSE(TournamentSession::create(taken, secretFileOf(taken), "杯", rulesOf(Format::Single),
                                         true, kGame, &problem));
  EXPECT_EQ(problem.why, SessionRefusal::HeldElsewhere);
  EXPECT_FALSE(fs::exists(taken));
  EXPECT_FALSE(fs::exists(secretFileOf(taken)));
}

class TournamentFolder : public ::testing::Test {
 protected:
  ScratchDir dir;
  void SetUp() override {
    const char* old = std::getenv("XDG_DATA_HOME");
    if (old != nullptr) saved_ = old;
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  }
  void TearDown() override {
    if (saved_) {
      ::setenv("XDG_DATA_HOME", saved_->c_str(), 1);
    } else {
      ::unsetenv("XDG_DATA_HOME");
    }
  }

 private:
  std::optional<std::string> saved_;
};

TEST_F(TournamentFolder, IsMadeForItsOwnerAndListsOnlyTheUnfinishedNewestFirst) {
  Refusal error;
  report::SessionProblem problem;
  const auto folder = tournamentDirectory(&error);
  ASSERT_TRUE(folder) << error;
  EXPECT_EQ(*folder, dir / "data" / "momiru-battle" / "tournaments");
  struct stat st {};
  ASSERT_EQ(::stat(folder->c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(tournamentDirectory(&error), folder);  // and found again

  const fs::path open = *folder / "a.momiru-tournament";
  const fs::path closed = *folder / "b.momiru-tournament";
  ASSERT_TRUE(TournamentSession::create(open, *folder / "a.momiru-secret", "a",
                                        rulesOf(Format::Single), false, kGame, &problem));
  for (const fs::path& file : {closed, *folder / "finished.momiru-tournament"}) {
    auto s = TournamentSession::create(file, secretFileOf(file), "b", rulesOf(Format::Single),
                                       false, kGame, &problem);
    ASSERT_TRUE(s) << problem.english;
    s->addEntries({samplePath("rendaa.dat"), samplePath("pochimaru.dat")});
    ASSERT_TRUE(s->closeEntries(&problem)) << problem.english;
    if (file == closed) continue;
    ASSERT_TRUE(s->start(std::nullopt, &problem)) << problem.english;
    ASSERT_TRUE(s->playRest(1, {}, {}, &problem)) << problem.english;
  }
  // Junk a stranger may have left: none of it is listed, and none of it blocks.
  momiru::testing::writeFile(*folder / "junk.momiru-tournament", "not json");
  momiru::testing::writeFile(*folder / "other.txt", readFile(open));
  ASSERT_EQ(::mkfifo((*folder / "fifo.momiru-tournament").c_str(), 0600), 0);
  fs::create_directory(*folder / "folder.momiru-tournament");
  fs::create_symlink(open, *folder / "link.momiru-tournament");
  const auto now = fs::file_time_type::clock::now();
  fs::last_write_time(open, now - std::chrono::hours(2));
  fs::last_write_time(closed, now - std::chrono::hours(1));
  EXPECT_EQ(unfinishedTournaments(*folder), (std::vector<fs::path>{closed, open}));
  fs::last_write_time(open, now);
  EXPECT_EQ(unfinishedTournaments(*folder), (std::vector<fs::path>{open, closed}));
  EXPECT_TRUE(unfinishedTournaments(dir / "nowhere").empty());
}

TEST(TournamentFileName, IsSafeForAnyNameAndNeverTaken) {
  ScratchDir dir;
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  const auto when = std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} +
                    std::chrono::hours(23) + std::chrono::minutes(1);
  EXPECT_EQ(newTournamentFile(dir.path(), "春の大会", when),
            dir / "2026-12-08-2301-春の大会.momiru-tournament");
  const fs::path odd = newTournamentFile(dir.path(), "../a/b\n\x1b[31m c", when);
  EXPECT_EQ(odd.parent_path(), dir.path());
  const std::string name = odd.filename().string();
  EXPECT_EQ(name.find('/'), std::string::npos);
  for (const char c : name) EXPECT_GE(static_cast<unsigned char>(c), 0x20);
  EXPECT_EQ(newTournamentFile(dir.path(), "", when).filename().string(),
            "2026-12-08-2301-_.momiru-tournament");
  // Taken names, by a tournament or by a secret of one, get a number.
  momiru::testing::writeFile(dir / "2026-12-08-2301-x.momiru-tournament", "");
  momiru::testing::writeFile(dir / "2026-12-08-2301-x-2.momiru-secret", "");
  EXPECT_EQ(newTournamentFile(dir.path(), "x", when),
            dir / "2026-12-08-2301-x-3.momiru-tournament");
  EXPECT_EQ(secretFileOf(dir / "a.momiru-tournament"), dir / "a.momiru-secret");
  EXPECT_EQ(secretFileOf(dir / "a.json"), dir / "a.json.momiru-secret");
}

}  // namespace
}  // namespace momiru::report

namespace momiru::report {
namespace {

using momiru::testing::ScratchDir;

// The declaration a session is made with is kept, and binds the draw: a beacon of another kind is
// refused before anything is drawn (the screen words the problem), a file declaring hex takes
// every spelling of one hash as one draw.
TEST(TournamentSession, TheBeaconIsTakenOnlyOfItsDeclaredKind) {
  ScratchDir dir;
  report::SessionProblem problem;
  std::optional<TournamentSession> seeds[2];
  for (int i = 0; i < 2; ++i) {
    const fs::path file = dir / ("t" + std::to_string(i) + ".momiru-tournament");
    auto s = TournamentSession::create(file, secretFileOf(file), "杯", rulesOf(Format::Single),
                                       false, kGame, &problem,
                                       report::BeaconDeclaration{report::BeaconKind::Hex, "block"});
    ASSERT_TRUE(s) << problem.english;
    s->addEntries(allSamples());
    ASSERT_TRUE(s->closeEntries(&problem));
    EXPECT_FALSE(s->start(std::string("lottery 1 2 3"), &problem));
    EXPECT_EQ(problem.why, SessionRefusal::BeaconWrongKind);
    EXPECT_EQ(problem.beacon, report::BeaconProblem::NotHex);
    EXPECT_FALSE(s->started());
    ASSERT_TRUE(s->start(std::string(i == 0 ? "0xABCD ef01" : "abcdef01"), &problem))
        << problem.english;
    seeds[i].emplace(std::move(*s));
  }
  const auto back = readTournamentFile(seeds[0]->file(), nullptr);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->declared, (report::BeaconDeclaration{report::BeaconKind::Hex, "block"}));
  EXPECT_EQ(back->beacon, "0xABCD ef01");
  EXPECT_EQ(report::seedBeacon(*back), "abcdef01");
}

// A Swiss field too small for the rounds its rules ask is not closed: the rules are played whole.
TEST(TournamentSession, ASwissFieldTooSmallForItsRoundsIsNotClosed) {
  ScratchDir dir;
  report::SessionProblem problem;
  TournamentRules rules = rulesOf(Format::Swiss);
  rules.rounds = 8;
  auto s = TournamentSession::create(dir / "t.momiru-tournament", dir / "t.momiru-secret", "杯",
                                     rules, true, kGame, &problem);
  ASSERT_TRUE(s) << problem.english;
  s->addEntries(allSamples());
  EXPECT_FALSE(s->closeEntries(&problem));
  EXPECT_EQ(problem.why, SessionRefusal::TooManyRounds);
  EXPECT_NE(problem.english.find("plays at most 7 rounds"), std::string::npos) << problem.english;
  EXPECT_EQ(s->tournament().stage, Stage::Open);
  EXPECT_FALSE(s->unsaved());
}

}  // namespace
}  // namespace momiru::report
