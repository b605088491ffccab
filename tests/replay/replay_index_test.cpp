// The replay folder as the list sees it: order, what is skipped, the index, when it goes stale,
// when a file is taken from it unread and when it is not believed, and a character's record.
#include "replay/replay_index.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <tuple>

#include "replay/replay_store.h"
#include "support/records.h"
#include "support/test_support.h"

namespace momiru::replay {
namespace {

using momiru::testing::ScratchDir;
using momiru::testing::writeFile;

Replay replayOn(const std::string& date, std::uint64_t seed, GameState gs = testing::sanePair()) {
  return makeReplay(battle::startOf(gs, seed), {"kuma.dat", "tori.dat"}, date, "test");
}

void keep(const ScratchDir& dir, const std::string& name, const Replay& replay) {
  Refusal error;
  ASSERT_TRUE(writeReplayFile(dir / name, replay, &error)) << error;
}

TEST(ReplayIndex, ListsNewestFirstWithTheOutcomeTheseRulesPlay) {
  ScratchDir dir;
  const Replay old = replayOn("2026-01-02T10:00:00Z", 11);
  const Replay newest = replayOn("2026-03-01T09:00:00Z", 12);
  const Replay middle = replayOn("2026-02-01T23:59:59Z", 13);
  keep(dir, "b.momiru-replay", old);
  keep(dir, "a.momiru-replay", newest);
  keep(dir, "c.momiru-replay", middle);

  const ReplayListing listing = listReplays(dir.path());
  std::vector<std::string> files;
  for (const ReplaySummary& s : listing.replays) files.push_back(s.file);
  EXPECT_EQ(files,
            (std::vector<std::string>{"a.momiru-replay", "c.momiru-replay", "b.momiru-replay"}));
  EXPECT_EQ(listing.skipped, 0u);
  const ReplaySummary& s = listing.replays[0];
  EXPECT_EQ(s.date, newest.date);
  EXPECT_EQ(s.names[1], "tori.datのトリ");
  const ReplayResult played = playReplay(newest);
  EXPECT_EQ(std::tie(s.winner, s.finished, s.turns),
            std::tie(played.winner, played.finished, played.turns));

  // A missing folder lists nothing and creates nothing.
  EXPECT_TRUE(listReplays(dir / "absent").replays.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "absent"));
}

TEST(ReplayIndex, SkipsWhatIsNotAReplayToListWithoutWaitingOnIt) {
  ScratchDir dir;
  keep(dir, "good.momiru-replay", replayOn("2026-01-01T00:00:00Z", 1));
  ASSERT_EQ(::mkfifo((dir / "fifo.momiru-replay").c_str(), 0600), 0);  // opening it would block
  writeFile(dir / "garbage.momiru-replay", std::string("\x00\xff{\"format\"", 11));
  writeFile(dir / "notes.txt", "not a replay\n");
  writeFile(dir / "other.json", "{\"format\":\"some-other-program\",\"version\":1}\n");
  // A replay of other rules: its recorded result is not the battle these rules play.
  Replay otherRules = replayOn("2026-01-03T00:00:00Z", 2);
  otherRules.result.turns += 1;
  keep(dir, "other-rules.momiru-replay", otherRules);
  // A replay of a later version of the file.
  nlohmann::json later = nlohmann::json::parse(replayJson(replayOn("2026-01-04T00:00:00Z", 3)));
  later["version"] = 2;
  writeFile(dir / "later.momiru-replay", later.dump());
  std::filesystem::create_directory(dir / "a folder");  // neither listed nor counted

  for (const bool useIndex : {false, true, true}) {
    const ReplayListing listing = listReplays(dir.path(), useIndex);
    ASSERT_EQ(listing.replays.size(), 1u);
    EXPECT_EQ(listing.replays[0].file, "good.momiru-replay");
    EXPECT_EQ(listing.skipped, 6u) << "index " << useIndex;
  }
  // The index knows the skipped files too: a second listing works nothing out again.
  EXPECT_EQ(listReplays(dir.path()).played, 0u);
}

nlohmann::json indexOf(const ScratchDir& dir) {
  return nlohmann::json::parse(std::ifstream(dir / "index.json"));
}

// Every file of `dir` but the index given one time an hour before the test began, as replays kept
// from an earlier day have.
void ageFiles(const ScratchDir& dir) {
  static const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    if (e.is_regular_file() && e.path().filename() != "index.json") {
      std::filesystem::last_write_time(e.path(), old);
    }
  }
}

// Two replays kept in `dir` from an earlier day, listed once so that the index knows them; that
// first listing.
ReplayListing twoKeptAndListed(const ScratchDir& dir) {
  keep(dir, "a.momiru-replay", replayOn("2026-01-01T00:00:00Z", 1));
  keep(dir, "b.momiru-replay", replayOn("2026-01-02T00:00:00Z", 2));
  ageFiles(dir);
  return listReplays(dir.path());
}

// The counts of a listing: taken from the index unread, read and hashed, parsed and played.
std::vector<std::size_t> work(const ReplayListing& l) { return {l.trusted, l.hashed, l.played}; }

// `file` rewritten with bytes of the same size: its date moved a day on.
void redate(const std::filesystem::path& file) {
  std::string bytes = momiru::testing::readFile(file);
  const std::size_t at = bytes.find("2026-01-0");
  ASSERT_NE(at, std::string::npos);
  bytes[at + 9] = static_cast<char>(bytes[at + 9] + 1);
  const auto when = std::filesystem::last_write_time(file);
  writeFile(file, bytes);
  std::filesystem::last_write_time(file, when);
}

TEST(ReplayIndex, TheIndexIsUsedWhileItMatchesAndRebuiltWhereItDoesNot) {
  ScratchDir dir;
  for (int i = 0; i < 5; ++i) {
    keep(dir, "r" + std::to_string(i) + ".momiru-replay",
         replayOn("2026-01-0" + std::to_string(i + 1) + "T00:00:00Z",
                  100u + static_cast<unsigned>(i)));
  }
  const ReplayListing first = listReplays(dir.path());
  EXPECT_EQ(first.played, 5u);
  ASSERT_TRUE(std::filesystem::exists(dir / "index.json"));
  const ReplayListing warm = listReplays(dir.path());
  EXPECT_EQ(warm.played, 0u);
  EXPECT_EQ(warm.replays, first.replays);

  // Removed, replaced and added files: only the changed and the new are played.
  std::filesystem::remove(dir / "r1.momiru-replay");
  keep(dir, "r2.momiru-replay", replayOn("2026-02-01T00:00:00Z", 7));
  keep(dir, "r9.momiru-replay", replayOn("2026-01-09T00:00:00Z", 9));
  const ReplayListing after = listReplays(dir.path());
  EXPECT_EQ(after.played, 2u);
  ASSERT_EQ(after.replays.size(), 5u);
  EXPECT_EQ(after.replays[0].file, "r2.momiru-replay");  // its new date is the newest
  EXPECT_EQ(after.replays[0].date, "2026-02-01T00:00:00Z");
  for (const ReplaySummary& s : after.replays) EXPECT_NE(s.file, "r1.momiru-replay");
  EXPECT_EQ(listReplays(dir.path(), false).replays, after.replays);
  // The entries of gone files were dropped.
  EXPECT_EQ(indexOf(dir)["contents"].size(), 5u);

  // A broken index is rebuilt.
  writeFile(dir / "index.json", "{\"format\":\"momiru-replay-index\",\"version\":2,\"co");
  EXPECT_EQ(listReplays(dir.path()).replays, after.replays);
  EXPECT_EQ(listReplays(dir.path()).played, 0u);
}

// The index's entry for the bytes of `file`.
nlohmann::json& entryOf(nlohmann::json& index, const std::filesystem::path& file) {
  const std::string digest = sha256Hex(momiru::testing::readFile(file));
  for (nlohmann::json& e : index["contents"]) {
    if (e["sha256"] == digest) return e;
  }
  ADD_FAILURE() << "no entry for " << file;
  return index;
}

TEST(ReplayIndex, AnEntryIsUsedOnlyForTheBytesItWasMadeFrom) {
  ScratchDir dir;
  const Replay kept = replayOn("2026-01-01T00:00:00Z", 5);
  keep(dir, "real.momiru-replay", kept);
  keep(dir, "other.momiru-replay", replayOn("2026-01-02T00:00:00Z", 6));
  ASSERT_EQ(listReplays(dir.path()).replays.size(), 2u);

  // The replay rewritten with the size and time the index knew (within the tick of the listing
  // that wrote the index, so it is read again), a text file, and a copy of the replay's bytes
  // under another name.
  nlohmann::json index;
  const auto when = std::filesystem::last_write_time(dir / "other.momiru-replay");
  const std::string bytes = momiru::testing::readFile(dir / "other.momiru-replay");
  writeFile(dir / "other.momiru-replay", std::string(bytes.size(), ' '));
  std::filesystem::last_write_time(dir / "other.momiru-replay", when);
  writeFile(dir / "notes.txt", "not a replay\n");
  // Copied to another name, the replay's bytes are still known.
  keep(dir, "copy.momiru-replay", replayOn("2026-01-02T00:00:00Z", 6));

  const ReplayListing listing = listReplays(dir.path());
  std::vector<std::string> files;
  for (const ReplaySummary& s : listing.replays) files.push_back(s.file);
  EXPECT_EQ(files, (std::vector<std::string>{"copy.momiru-replay", "real.momiru-replay"}));
  EXPECT_EQ(listing.skipped, 2u);  // the spaces and the notes
  EXPECT_EQ(listing.played, 0u);   // nothing there is a replay the index does not know

  // New bytes under a known name are worked out again.
  keep(dir, "real.momiru-replay", replayOn("2026-01-01T00:00:00Z", 55));
  const ReplayListing again = listReplays(dir.path());
  EXPECT_EQ(again.played, 1u);
  ASSERT_EQ(again.replays.size(), 2u);
  EXPECT_EQ(again.replays[1].date, "2026-01-01T00:00:00Z");
  EXPECT_EQ(again.replays[1].names, summarize(replayOn("2026-01-01T00:00:00Z", 55), "")->names);

  // The same bytes said to be two things, a digest that is none, and a value out of range each
  // make the index unusable: everything is worked out again.
  for (int edit = 0; edit < 3; ++edit) {
    index = indexOf(dir);
    nlohmann::json& e = entryOf(index, dir / "copy.momiru-replay");
    if (edit == 0) index["contents"].push_back({{"sha256", e["sha256"]}, {"replay", nullptr}});
    if (edit == 1) e["sha256"] = "ABC";
    if (edit == 2) e["replay"]["winner"] = 2;
    writeFile(dir / "index.json", index.dump());
    EXPECT_EQ(listReplays(dir.path()).played, 2u) << edit;
  }
}

TEST(ReplayIndex, EntriesOfOtherRulesAreWorkedOutAgain) {
  ScratchDir dir;
  keep(dir, "a.momiru-replay", replayOn("2026-01-01T00:00:00Z", 1));
  Replay otherRules = replayOn("2026-01-02T00:00:00Z", 2);
  otherRules.result.turns += 1;
  keep(dir, "b.momiru-replay", otherRules);
  listReplays(dir.path());
  // Older rules judged the other way round: these rules judge again, and keep their own.
  nlohmann::json index = indexOf(dir);
  ASSERT_EQ(index["rules"], battle::kRulesVersion);
  nlohmann::json& a = entryOf(index, dir / "a.momiru-replay");
  nlohmann::json& b = entryOf(index, dir / "b.momiru-replay");
  ASSERT_TRUE(b["replay"].is_null());
  b["replay"] = a["replay"];
  a["replay"] = nullptr;
  index["rules"] = battle::kRulesVersion - 1;
  writeFile(dir / "index.json", index.dump());
  const ReplayListing listing = listReplays(dir.path());
  EXPECT_EQ(listing.played, 2u);
  ASSERT_EQ(listing.replays.size(), 1u);
  EXPECT_EQ(listing.replays[0].file, "a.momiru-replay");
  EXPECT_EQ(indexOf(dir)["rules"], battle::kRulesVersion);
  EXPECT_EQ(listReplays(dir.path()).played, 0u);
}

TEST(ReplayIndex, AReplayWhoseNameIsNotUtf8IsKeptInTheIndex) {
  ScratchDir dir;
  const std::string name = "\xff\xfe\x80.momiru-replay";
  keep(dir, name, replayOn("2026-01-01T00:00:00Z", 3));
  EXPECT_EQ(listReplays(dir.path()).played, 1u);
  const auto written = std::filesystem::last_write_time(dir / "index.json");
  std::filesystem::last_write_time(dir / "index.json", written - std::chrono::seconds(10));
  const ReplayListing again = listReplays(dir.path());
  EXPECT_EQ(again.played, 0u);
  ASSERT_EQ(again.replays.size(), 1u);
  EXPECT_EQ(again.replays[0].file, name);  // the name's bytes, to act on the file
  // Nothing changed, so the index was not written again.
  EXPECT_EQ(std::filesystem::last_write_time(dir / "index.json"),
            written - std::chrono::seconds(10));
  // The index keeps no name that JSON cannot hold: such a file is read every time.
  ageFiles(dir);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(work(listReplays(dir.path())), (std::vector<std::size_t>{0, 1, 0}));
  }
}

TEST(ReplayIndex, AnIndexNestedDeepIsRefusedBeforeItCostsMemory) {
  ScratchDir dir;
  keep(dir, "a.momiru-replay", replayOn("2026-01-01T00:00:00Z", 1));
  writeFile(dir / "index.json", std::string(12u << 20, '['));
#if !defined(__SANITIZE_ADDRESS__)
  // Built as it is met, this nesting takes gigabytes; a child given far fewer lists it.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit cap{512u << 20, 512u << 20};
    ::setrlimit(RLIMIT_AS, &cap);
    ::_exit(listReplays(dir.path()).replays.size() == 1 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
  EXPECT_EQ(listReplays(dir.path()).replays.size(), 1u);
  EXPECT_EQ(indexOf(dir)["contents"].size(), 1u);
}

TEST(ReplayIndex, ManyFilesListTheSameAsOneByOne) {
  ScratchDir dir;
  std::vector<ReplaySummary> expected;
  for (int i = 0; i < 80; ++i) {
    const std::string name = "r" + std::to_string(1000 + i) + ".momiru-replay";
    if (i % 7 == 3) {
      writeFile(dir / name, "{}");
      continue;
    }
    // Two dates only, so that most of the order is by file name.
    const Replay r = replayOn(i % 2 ? "2026-01-01T00:00:00Z" : "2026-01-02T00:00:00Z",
                              static_cast<std::uint64_t>(i));
    keep(dir, name, r);
    expected.push_back(*summarize(r, name));
  }
  std::sort(expected.begin(), expected.end(), [](const ReplaySummary& a, const ReplaySummary& b) {
    return std::tie(a.date, a.file) > std::tie(b.date, b.file);
  });
  for (const bool useIndex : {true, true, false}) {
    const ReplayListing listing = listReplays(dir.path(), useIndex);
    EXPECT_EQ(listing.replays, expected);
    EXPECT_EQ(listing.skipped, 11u);
  }
}

TEST(ReplayIndex, AnUnchangedFolderListsFromTheIndexWithoutReadingAFile) {
  ScratchDir dir;
  for (int i = 0; i < 4; ++i) {
    keep(dir, "r" + std::to_string(i) + ".momiru-replay",
         replayOn("2026-01-0" + std::to_string(i + 1) + "T00:00:00Z",
                  200u + static_cast<unsigned>(i)));
  }
  writeFile(dir / "notes.txt", "not a replay\n");
  // A name with control characters is kept like any other.
  keep(dir, "a\nb\x1b[31m.momiru-replay", replayOn("2026-01-08T00:00:00Z", 9));
  ageFiles(dir);
  const auto before = std::chrono::system_clock::now();
  const ReplayListing first = listReplays(dir.path());
  EXPECT_EQ(work(first), (std::vector<std::size_t>{0, 6, 5}));
  // The index keeps when its listing began, and each file's name, size and time.
  const nlohmann::json index = indexOf(dir);
  EXPECT_EQ(index["version"], 3);
  EXPECT_GE(
      index["listed"].get<std::int64_t>(),
      std::chrono::duration_cast<std::chrono::nanoseconds>(before.time_since_epoch()).count() -
          1'000'000'000);
  ASSERT_EQ(index["files"].size(), 6u);
  for (const auto& f : index["files"]) {
    const auto name = f["name"].get<std::string>();
    EXPECT_EQ(f["size"], std::filesystem::file_size(dir / name)) << name;
    EXPECT_EQ(f["sha256"], sha256Hex(momiru::testing::readFile(dir / name))) << name;
  }

  const ReplayListing second = listReplays(dir.path());
  EXPECT_EQ(work(second), (std::vector<std::size_t>{6, 0, 0}));
  EXPECT_EQ(second.replays, first.replays);
  EXPECT_EQ(second.skipped, 1u);
  // Without the index everything is read, and lists the same.
  const ReplayListing unindexed = listReplays(dir.path(), false);
  EXPECT_EQ(work(unindexed), (std::vector<std::size_t>{0, 6, 5}));
  EXPECT_EQ(unindexed.replays, first.replays);

  // A file too large to be a replay is refused unread, every time.
  writeFile(dir / "huge.momiru-replay", std::string(kReplayMaxBytes + 1, ' '));
  ageFiles(dir);
  for (int i = 0; i < 2; ++i) {
    const ReplayListing l = listReplays(dir.path());
    EXPECT_EQ(work(l), (std::vector<std::size_t>{6, 0, 0}));
    EXPECT_EQ(l.skipped, 2u);
  }
}

TEST(ReplayIndex, AFileWithANewTimeOrChangedWithinTheIndexsTickIsReadAgain) {
  ScratchDir dir;
  twoKeptAndListed(dir);

  // The same size, a new time: read again, and listed as it is now.
  redate(dir / "a.momiru-replay");
  std::filesystem::last_write_time(
      dir / "a.momiru-replay",
      std::filesystem::last_write_time(dir / "a.momiru-replay") + std::chrono::seconds(1));
  ReplayListing l = listReplays(dir.path());
  EXPECT_EQ(work(l), (std::vector<std::size_t>{1, 1, 1}));
  ASSERT_EQ(l.replays.size(), 2u);
  EXPECT_EQ(l.replays[0].date, "2026-01-02T00:00:00Z");
  EXPECT_EQ(l.replays[1].date, "2026-01-02T00:00:00Z");
  EXPECT_EQ(l.replays[1].file, "a.momiru-replay");

  // Files written now lie within the tick of the listing that reads them: a change of the same
  // size that keeps their time (as a coarse clock gives it) is read at the next listing.
  keep(dir, "c.momiru-replay", replayOn("2026-01-03T00:00:00Z", 3));
  EXPECT_EQ(work(listReplays(dir.path())), (std::vector<std::size_t>{2, 1, 1}));
  redate(dir / "c.momiru-replay");
  l = listReplays(dir.path());
  EXPECT_EQ(work(l), (std::vector<std::size_t>{2, 1, 1}));
  EXPECT_EQ(l.replays[0].date, "2026-01-04T00:00:00Z");

  // Kept by an index whose listing began within the file's tick, an old file is read again, and
  // the index is written again for it, so that the next listing trusts it.
  ageFiles(dir);
  listReplays(dir.path());
  nlohmann::json index = indexOf(dir);
  const auto time = index["files"][0]["time"].get<std::int64_t>();
  index["listed"] = time + 1'000'000'000;
  writeFile(dir / "index.json", index.dump());
  EXPECT_EQ(work(listReplays(dir.path())), (std::vector<std::size_t>{0, 3, 0}));
  EXPECT_GT(indexOf(dir)["listed"].get<std::int64_t>(), time + 1'000'000'000);
  EXPECT_EQ(work(listReplays(dir.path())), (std::vector<std::size_t>{3, 0, 0}));
}

TEST(ReplayIndex, AForgedFileEntryIsTrustedOnlyForTheSizeAndTimeOfTheFile) {
  ScratchDir dir;
  const ReplayListing truth = twoKeptAndListed(dir);
  const nlohmann::json good = indexOf(dir);
  const auto fileEntry = [](nlohmann::json& index, const std::string& name) -> nlohmann::json& {
    for (nlohmann::json& f : index["files"]) {
      if (f["name"] == name) return f;
    }
    ADD_FAILURE() << "no file " << name;
    return index;
  };

  // a's name given b's bytes, with a size or a time a does not have: a is read as it is.
  for (const char* key : {"size", "time"}) {
    nlohmann::json index = good;
    nlohmann::json& a = fileEntry(index, "a.momiru-replay");
    a["sha256"] = fileEntry(index, "b.momiru-replay")["sha256"];
    a[key] = a[key].get<std::int64_t>() + 1;
    writeFile(dir / "index.json", index.dump());
    const ReplayListing l = listReplays(dir.path());
    EXPECT_EQ(work(l), (std::vector<std::size_t>{1, 1, 0})) << key;
    EXPECT_EQ(l.replays, truth.replays) << key;
  }

  // Files the index cannot hold make it unusable: everything is read and worked out again.
  const std::vector<std::function<void(nlohmann::json&)>> edits = {
      [&](nlohmann::json& i) { fileEntry(i, "a.momiru-replay")["sha256"] = std::string(64, 'e'); },
      [&](nlohmann::json& i) { i["files"].push_back(fileEntry(i, "a.momiru-replay")); },
      [&](nlohmann::json& i) { fileEntry(i, "a.momiru-replay")["name"] = "x/a.momiru-replay"; },
      [&](nlohmann::json& i) { fileEntry(i, "a.momiru-replay")["name"] = ""; },
      [&](nlohmann::json& i) { fileEntry(i, "a.momiru-replay")["size"] = -1; },
      [&](nlohmann::json& i) { fileEntry(i, "a.momiru-replay")["size"] = 1.5; },
      [&](nlohmann::json& i) { fileEntry(i, "a.momiru-replay")["time"] = "yesterday"; },
      [&](nlohmann::json& i) { fileEntry(i, "a.momiru-replay")["time"] = 1e300; },
      [&](nlohmann::json& i) { i["listed"] = std::numeric_limits<std::uint64_t>::max(); },
      [&](nlohmann::json& i) { i.erase("listed"); },
      [&](nlohmann::json& i) { i["files"] = nlohmann::json::object(); },
  };
  for (std::size_t edit = 0; edit < edits.size(); ++edit) {
    nlohmann::json index = good;
    edits[edit](index);
    writeFile(dir / "index.json", index.dump());
    const ReplayListing l = listReplays(dir.path());
    EXPECT_EQ(work(l), (std::vector<std::size_t>{0, 2, 2})) << edit;
    EXPECT_EQ(l.replays, truth.replays) << edit;
  }
  // An index listed at the very start of time trusts nothing, and does not overflow.
  nlohmann::json index = good;
  index["listed"] = std::numeric_limits<std::int64_t>::min();
  writeFile(dir / "index.json", index.dump());
  EXPECT_EQ(work(listReplays(dir.path())), (std::vector<std::size_t>{0, 2, 0}));
}

TEST(ReplayIndex, AnIndexOfThePreviousVersionGivesItsSummariesAndIsWrittenAnew) {
  ScratchDir dir;
  const ReplayListing truth = twoKeptAndListed(dir);
  nlohmann::json index = indexOf(dir);
  index["version"] = 2;
  index.erase("files");
  index.erase("listed");
  writeFile(dir / "index.json", index.dump());
  // Every file is read, none played; the index comes back in this version, knowing the files.
  const ReplayListing l = listReplays(dir.path());
  EXPECT_EQ(work(l), (std::vector<std::size_t>{0, 2, 0}));
  EXPECT_EQ(l.replays, truth.replays);
  EXPECT_EQ(indexOf(dir)["version"], 3);
  EXPECT_EQ(work(listReplays(dir.path())), (std::vector<std::size_t>{2, 0, 0}));
  // A version after this one is not read.
  index = indexOf(dir);
  index["version"] = 4;
  writeFile(dir / "index.json", index.dump());
  EXPECT_EQ(work(listReplays(dir.path())), (std::vector<std::size_t>{0, 2, 2}));
}

ReplaySummary summary(std::string a, std::string b, std::optional<std::int32_t> winner,
                      bool finished = true) {
  ReplaySummary s;
  s.names = {std::move(a), std::move(b)};
  s.winner = winner;
  s.finished = finished;
  s.draw = finished && !winner;
  return s;
}

TEST(ReplayIndex, ACharactersRecordCountsItsSideAndItsCurrentStreak) {
  // Newest first, as listed.
  const std::vector<ReplaySummary> replays = {
      summary("a.datのポチ", "b.datのタマ", 0),                    // win
      summary("c.datのハチ", "a.datのポチ", std::nullopt, false),  // unfinished: no break
      summary("b.datのタマ", "a.datのポチ", 1),                    // win as player 2
      summary("a.datのポチ", "c.datのハチ", 1),                    // loss
      summary("a.datのポチ(1)", "a.datのポチ(2)", 0),       // against itself: player 1's view
      summary("b.datのタマ", "c.datのハチ", std::nullopt),  // a draw of others
  };
  // Battles, wins, losses, draws, unfinished, the streak's kind and length.
  const auto tally = [&](const char* name) {
    const CharacterRecord r = recordOf(replays, name);
    return std::vector<std::size_t>{r.battles, r.wins,       r.losses,
                                    r.draws,   r.unfinished, static_cast<std::size_t>(r.streakKind),
                                    r.streak};
  };
  EXPECT_EQ(tally("a.datのポチ"), (std::vector<std::size_t>{5, 3, 1, 0, 1, 'W', 2}));
  EXPECT_EQ(tally("b.datのタマ"), (std::vector<std::size_t>{3, 0, 2, 1, 0, 'L', 2}));
  // A part of a name is no name.
  EXPECT_EQ(tally("ポチ"), (std::vector<std::size_t>{0, 0, 0, 0, 0, 0, 0}));

  EXPECT_TRUE(matchesName(replays[0], "ポチ"));
  EXPECT_TRUE(matchesName(replays[0], ""));
  EXPECT_FALSE(matchesName(replays[5], "ポチ"));
  EXPECT_EQ(baseName("x(2)"), "x");
  EXPECT_EQ(baseName("x(3)"), "x(3)");
  EXPECT_EQ(baseName("(1)"), "");
}

}  // namespace
}  // namespace momiru::replay
