// The replay folder: where it is, names that are safe and unique, retention by the dates the
// replays hold, and saves that fail leaving nothing behind.
#include "battle/replay_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "battle/records.h"
#include "data/platform.h"
#include "data/test_support.h"
#include "data/utf8.h"

namespace momiru::battle {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;
using testing::writeFile;

Replay replayOn(const std::string& date, std::string name1 = "kuma.datのクマ",
                std::string name2 = "tori.datのトリ") {
  GameState gs = testing::sanePair();
  gs.combatant[0].name = std::move(name1);
  gs.combatant[1].name = std::move(name2);
  return makeReplay(gs, {"kuma.dat", "tori.dat"}, 99, date, "test");
}

std::vector<std::string> namesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Sets an environment variable for one scope.
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvVar() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ReplayStore, TheFolderFollowsTheDataHome) {
  {
    const EnvVar data("XDG_DATA_HOME", "/data/home");
    EXPECT_EQ(replayDirectory(), fs::path("/data/home/momiru-battle/replays"));
  }
  const EnvVar home("HOME", "/home/player");
  for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
    const EnvVar data("XDG_DATA_HOME", ignored);
    EXPECT_EQ(replayDirectory(), fs::path("/home/player/.local/share/momiru-battle/replays"));
  }
  const EnvVar data("XDG_DATA_HOME", nullptr);
  const EnvVar noHome("HOME", nullptr);
  EXPECT_TRUE(replayDirectory().empty());
}

TEST(ReplayStore, NamesAreTheDateAndTheNamesMadeSafe) {
  EXPECT_EQ(replayFileName(replayOn("2026-12-08T12:34:56Z")),
            "20261208-123456-kuma.datのクマ-vs-tori.datのトリ.momiru-replay");
  EXPECT_EQ(replayFileName(replayOn("2026-12-08T12:34:56Z", "..\\a/b c\"d\x1b\n", ".hidden(1)")),
            "20261208-123456-_a_b_c_d_-vs-_hidden(1).momiru-replay");
  EXPECT_EQ(replayFileName(replayOn("yesterday", "", "\xff\xfe")), "replay-_-vs-_.momiru-replay");

  // A long name is cut at a character boundary, never inside one.
  std::string longName;
  for (int i = 0; i < 200; ++i) longName += "あ";
  const std::string name =
      replayFileName(replayOn("2026-12-08T12:34:56Z", "x" + longName, longName));
  EXPECT_LE(name.size(), 160u);
  EXPECT_EQ(validUtf8(name), name);
}

TEST(ReplayStore, SavesInTheSameSecondTakeNamesOfTheirOwn) {
  const ScratchDir dir;
  const fs::path folder = dir / "share" / "momiru-battle" / "replays";
  const Replay r = replayOn("2026-12-08T12:34:56Z");
  std::string error;
  const auto first = saveReplay(folder, r, &error);
  ASSERT_TRUE(first) << error;
  const auto second = saveReplay(folder, r, &error);
  ASSERT_TRUE(second) << error;
  EXPECT_EQ(first->filename(), replayFileName(r));
  EXPECT_EQ(second->filename(), "20261208-123456-kuma.datのクマ-vs-tori.datのトリ-2.momiru-replay");
  const auto back = readReplayFile(*second, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->result, r.result);

  // Something else in the way of a name takes it too: it is left alone.
  ASSERT_EQ(
      ::mkfifo(
          (folder / "20261208-123456-kuma.datのクマ-vs-tori.datのトリ-3.momiru-replay").c_str(),
          0600),
      0);
  fs::create_directory(folder / "20261208-123456-kuma.datのクマ-vs-tori.datのトリ-4.momiru-replay");
  const auto fifth = saveReplay(folder, r, &error);
  ASSERT_TRUE(fifth) << error;
  EXPECT_EQ(fifth->filename(), "20261208-123456-kuma.datのクマ-vs-tori.datのトリ-5.momiru-replay");
  EXPECT_TRUE(
      fs::is_fifo(folder / "20261208-123456-kuma.datのクマ-vs-tori.datのトリ-3.momiru-replay"));
}

TEST(ReplayStore, ANameTakenWhileTheFileIsWrittenIsNotTakenOver) {
  const ScratchDir dir;
  const fs::path target = dir / "a.momiru-replay";
  AtomicFile file(target);
  ASSERT_TRUE(file.created());
  writeFile(target, "theirs");
  errno = 0;
  EXPECT_FALSE(file.commitNew("mine"));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(testing::readFile(target), "theirs");
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.momiru-replay"}) << "no temporary";

  AtomicFile second(dir / "b.momiru-replay");
  EXPECT_TRUE(second.commitNew("mine"));
  EXPECT_EQ(testing::readFile(dir / "b.momiru-replay"), "mine");
}

TEST(ReplayStore, SavesAtOnceNeverShareAName) {
  const ScratchDir dir;
  const Replay r = replayOn("2026-12-08T12:34:56Z");
  constexpr int kThreads = 4;
  constexpr int kEach = 10;
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) {
        std::string error;
        if (!saveReplay(dir.path(), r, &error)) ++failures;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, 0);
  const std::vector<std::string> names = namesIn(dir.path());
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kThreads * kEach)) << "no temporary file left";
  for (const std::string& n : names) EXPECT_TRUE(n.ends_with(".momiru-replay")) << n;
}

// `count` replays with the dates 2026-01-01 + i seconds, written directly (no retention).
void fill(const fs::path& dir, int count) {
  for (int i = 0; i < count; ++i) {
    char date[32];
    std::snprintf(date, sizeof date, "2026-01-01T%02d:%02d:%02dZ", i / 3600, i / 60 % 60, i % 60);
    Replay r = replayOn(date);
    writeFile(dir / ("old-" + std::to_string(i) + ".momiru-replay"), replayJson(r));
  }
}

TEST(ReplayStore, TheOldestByTheirDatesGoBeyondTheKeptNumber) {
  const ScratchDir dir;
  // Names that sort the other way from the dates: only the dates count.
  const char* dates[] = {"2026-03-01T00:00:00Z", "2026-01-01T00:00:00Z", "2026-05-01T00:00:00Z",
                         "2026-02-01T00:00:00Z", "2026-04-01T00:00:00Z"};
  for (int i = 0; i < 5; ++i)
    writeFile(dir / ("z" + std::to_string(9 - i) + ".momiru-replay"),
              replayJson(replayOn(dates[i])));
  writeFile(dir / "notes.momiru-replay", "not a replay");
  writeFile(dir / "notes.txt", "mine");
  std::string error;
  const auto saved = saveReplay(dir.path(), replayOn("2026-06-01T00:00:00Z"), &error, 3);
  ASSERT_TRUE(saved) << error;
  EXPECT_EQ(namesIn(dir.path()),
            (std::vector<std::string>{saved->filename().string(), "notes.momiru-replay",
                                      "notes.txt", "z5.momiru-replay", "z7.momiru-replay"}));

  // A save that holds the oldest date of all keeps itself.
  const auto oldest = saveReplay(dir.path(), replayOn("2020-01-01T00:00:00Z"), &error, 3);
  ASSERT_TRUE(oldest) << error;
  EXPECT_TRUE(fs::exists(*oldest));
  EXPECT_FALSE(fs::exists(dir / "z5.momiru-replay"));
  EXPECT_EQ(namesIn(dir.path()).size(), 5u);
}

TEST(ReplayStore, FiveHundredAreKept) {
  const ScratchDir dir;
  fill(dir.path(), static_cast<int>(kKeptReplays));
  std::string error;
  ASSERT_TRUE(saveReplay(dir.path(), replayOn("2026-12-08T12:34:56Z"), &error)) << error;
  EXPECT_EQ(namesIn(dir.path()).size(), kKeptReplays);
  EXPECT_FALSE(fs::exists(dir / "old-0.momiru-replay"));
  EXPECT_TRUE(fs::exists(dir / "old-1.momiru-replay"));
  ASSERT_TRUE(saveReplay(dir.path(), replayOn("2026-12-08T12:34:57Z"), &error)) << error;
  EXPECT_EQ(namesIn(dir.path()).size(), kKeptReplays);
  EXPECT_FALSE(fs::exists(dir / "old-1.momiru-replay"));
}

TEST(ReplayStore, AFailedSaveSaysWhyAndLeavesNothing) {
  const ScratchDir dir;
  const Replay r = replayOn("2026-12-08T12:34:56Z");
  std::string error;

  // A FIFO or a plain file where the folder should be: no one can make it, not even root.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(saveReplay(dir / "fifo", r, &error));
  EXPECT_NE(error.find("is not a folder"), std::string::npos) << error;
  writeFile(dir / "plain", "x");
  EXPECT_FALSE(saveReplay(dir / "plain" / "replays", r, &error));
  EXPECT_NE(error.find("cannot create the replay folder"), std::string::npos) << error;
  EXPECT_FALSE(saveReplay({}, r, &error));
  EXPECT_NE(error.find("no folder for replays"), std::string::npos);

  // A read-only folder (the superuser may write anyway).
  const fs::path locked = dir / "locked";
  fs::create_directory(locked);
  ::chmod(locked.c_str(), 0500);
  if (::geteuid() != 0) {
    EXPECT_FALSE(saveReplay(locked, r, &error));
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
  }
  ::chmod(locked.c_str(), 0700);

  // The disk fills up part-way: a file-size limit fails the write as a full disk would.
  const fs::path full = dir / "full";
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 512;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const auto saved = saveReplay(full, r, &error);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(saved);
  EXPECT_NE(error.find("File too large"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);
  EXPECT_TRUE(namesIn(full).empty()) << "the partial file was removed";

  // A copy the player asked for.
  EXPECT_TRUE(writeReplayFile(dir / "copy.momiru-replay", r, &error)) << error;
  EXPECT_TRUE(readReplayFile(dir / "copy.momiru-replay", &error)) << error;
  EXPECT_FALSE(writeReplayFile(dir / "fifo", r, &error));
  EXPECT_NE(error.find("is not a regular file"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
  EXPECT_FALSE(writeReplayFile("/dev/full", r, &error));
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

}  // namespace
}  // namespace momiru::battle
