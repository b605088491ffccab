// The replay folder: names that are safe and unique, retention by the dates the replays hold,
// and saves that fail leaving nothing behind.
#include "replay/replay_store.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "data/utf8.h"
#include "support/records.h"
#include "support/test_support.h"

namespace momiru::replay {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;
using testing::writeFile;

Replay replayOn(const std::string& date, std::string name1 = "kuma.datのクマ",
                std::string name2 = "tori.datのトリ") {
  GameState gs = testing::sanePair();
  gs.combatant[0].name = std::move(name1);
  gs.combatant[1].name = std::move(name2);
  return makeReplay(battle::startOf(gs, 99), {"kuma.dat", "tori.dat"}, date, "test");
}

std::vector<std::string> namesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
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

#ifndef _WIN32  // the case needs what only Linux has
TEST(ReplayStore, SavesInTheSameSecondTakeNamesOfTheirOwn) {
  const ScratchDir dir;
  const fs::path folder = dir / "share" / "momiru-battle" / "replays";
  const auto nth = [&](int n) {
    return folder / ("20261208-123456-kuma.datのクマ-vs-tori.datのトリ-" + std::to_string(n) +
                     ".momiru-replay");
  };
  const Replay r = replayOn("2026-12-08T12:34:56Z");
  Refusal error;
  const auto first = saveReplay(folder, r, &error);
  ASSERT_TRUE(first) << error;
  const auto second = saveReplay(folder, r, &error);
  ASSERT_TRUE(second) << error;
  EXPECT_EQ(first->filename(), replayFileName(r));
  EXPECT_EQ(*second, nth(2));
  const auto back = readReplayFile(*second, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->result, r.result);

  // Something else in the way of a name takes it too: it is left alone.
  ASSERT_EQ(::mkfifo(nth(3).c_str(), 0600), 0);
  fs::create_directory(nth(4));
  EXPECT_EQ(saveReplay(folder, r, &error), nth(5)) << error;
  EXPECT_TRUE(fs::is_fifo(nth(3)));
}
#endif

TEST(ReplayStore, SavesAtOnceNeverShareAName) {
  const ScratchDir dir;
  const Replay r = replayOn("2026-12-08T12:34:56Z");
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      Refusal error;
      for (int i = 0; i < 10; ++i) failures += !saveReplay(dir.path(), r, &error);
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, 0);
  const std::vector<std::string> names = namesIn(dir.path());
  EXPECT_EQ(names.size(), 40u) << "no temporary file left";
  for (const std::string& n : names) EXPECT_TRUE(n.ends_with(".momiru-replay")) << n;
}

TEST(ReplayStore, FiveHundredAreKept) {
  const ScratchDir dir;
  // Names that sort the other way from the dates: only the dates count.
  for (std::size_t i = 0; i < kKeptReplays; ++i) {
    char date[32];
    std::snprintf(date, sizeof date, "2026-01-01T00:%02zu:%02zuZ", i / 60, i % 60);
    writeFile(dir / (std::to_string(1000 - i) + ".momiru-replay"), replayJson(replayOn(date)));
  }
  writeFile(dir / "notes.momiru-replay", "not a replay");
  Refusal error;
  const auto saved = saveReplay(dir.path(), replayOn("2026-12-08T12:34:56Z"), &error);
  ASSERT_TRUE(saved) << error;
  EXPECT_EQ(namesIn(dir.path()).size(), kKeptReplays + 1);
  EXPECT_FALSE(fs::exists(dir / "1000.momiru-replay"));
  EXPECT_TRUE(fs::exists(dir / "999.momiru-replay"));
  EXPECT_TRUE(fs::exists(dir / "notes.momiru-replay"));
  EXPECT_TRUE(fs::exists(*saved));
}

#ifndef _WIN32  // the case needs what only Linux has
TEST(ReplayStore, AFailedSaveSaysWhyAndLeavesNothing) {
  const ScratchDir dir;
  const Replay r = replayOn("2026-12-08T12:34:56Z");
  Refusal error;
  // A FIFO or a plain file where the folder should be: no one can make it, not even root.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(saveReplay(dir / "fifo", r, &error));
  EXPECT_NE(describe(error).find("is not a folder"), std::string::npos) << error;
  writeFile(dir / "plain", "x");
  EXPECT_FALSE(saveReplay(dir / "plain" / "replays", r, &error));
  EXPECT_NE(describe(error).find("cannot create the replay folder"), std::string::npos) << error;

  // A read-only folder (the superuser may write anyway).
  const fs::path locked = dir / "locked";
  fs::create_directory(locked);
  ::chmod(locked.c_str(), 0500);
  if (::geteuid() != 0) {
    EXPECT_FALSE(saveReplay(locked, r, &error));
    EXPECT_NE(describe(error).find("Permission denied"), std::string::npos) << error;
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
  EXPECT_NE(describe(error).find("File too large"), std::string::npos) << error;
  EXPECT_EQ(describe(error).find('\n'), std::string::npos);
  EXPECT_TRUE(namesIn(full).empty()) << "the partial file was removed";

  // A copy the player asked for.
  EXPECT_FALSE(writeReplayFile(dir / "fifo", r, &error));
  EXPECT_NE(describe(error).find("is not a regular file"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
  EXPECT_FALSE(writeReplayFile("/dev/full", r, &error));
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}
#endif

}  // namespace
}  // namespace momiru::replay
