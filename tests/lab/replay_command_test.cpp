// momiru-lab battle with replays, run as a program: a battle saved with --save-replay prints
// again exactly as from its save-data files; replays that cannot be read, that record another
// battle, and saves that cannot be written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "support/lab_support.h"
#include "support/test_support.h"

namespace {

using namespace momiru::testing;
namespace fs = std::filesystem;

std::size_t lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::size_t filesIn(const fs::path& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
}

// Saves the battle of `pair` (two quoted save-data files and options) as
// `dir`/battle.momiru-replay.
fs::path saveReplay(const ScratchDir& dir, const std::string& pair) {
  const fs::path file = dir / "battle.momiru-replay";
  const LabRun run = lab("battle " + pair + " --save-replay " + quoted(file));
  EXPECT_EQ(run.status, 0) << run.err;
  return file;
}

TEST(LabReplay, ASavedBattlePrintsAgainAsFromItsSaveDataFiles) {
  ScratchDir dir;
  // File names with control characters make names that the plain output shows escaped.
  const fs::path odd = dir / "x\nfake.dat: ok\x1B[2J\xE2\x80\xAE.dat";
  writeFile(odd, readFile(samplePath("pochimaru.dat")));
  const std::string cases[] = {
      sample("pochimaru.dat") + " " + sample("rendaa.dat") + " --seed 7",
      sample("rendaa.dat") + " " + sample("rendaa.dat") + " --seed 9 --halve",  // equal names
      quoted(odd) + " " + sample("zutsukiya.dat") + " --seed 18446744073709551615",
  };
  for (const std::string& pair : cases) {
    SCOPED_TRACE(pair);
    const fs::path replay = saveReplay(dir, pair);
    for (const char* output : {"", " --json", " --crlf"}) {
      const LabRun fromDat = lab("battle " + pair + output);
      const LabRun fromReplay = lab("battle " + quoted(replay) + output);
      ASSERT_EQ(fromReplay.status, 0) << fromReplay.err;
      EXPECT_EQ(fromReplay.err, "");
      EXPECT_EQ(fromReplay.out, fromDat.out) << output;
    }
    // Given a replay, --save-replay writes it again as it was read.
    const fs::path copy = dir / "copy.momiru-replay";
    EXPECT_EQ(lab("battle " + quoted(replay) + " --save-replay " + quoted(copy)).status, 0);
    EXPECT_EQ(readFile(copy), readFile(replay));
  }
  const std::string shown = lab("battle " + quoted(saveReplay(dir, cases[2]))).out;
  EXPECT_EQ(shown.find('\x1B'), std::string::npos);
  EXPECT_NE(shown.find("x\\nfake.dat: ok\\x1B[2J\\u202E.datのポチまる"), std::string::npos);
  // The replays, their copy and the odd save-data file: no temporary file is left behind.
  EXPECT_EQ(filesIn(dir.path()), 3u);
}

TEST(LabReplay, AReplayThatCannotBeReadIsOneLineAndStatus2) {
  ScratchDir dir;
  const std::string good =
      readFile(saveReplay(dir, sample("pochimaru.dat") + " " + sample("rendaa.dat") + " --seed 3"));
  const auto edited = [&good](auto change) {
    Json j = parseJson(good);
    change(j);
    return j.dump();
  };
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  fs::create_directory(dir / "folder");
  const std::pair<std::string, std::string> files[] = {
      {"not-json", "hello\n"},
      {"cut", good.substr(0, good.size() / 2)},
      {"huge", std::string(3 << 20, ' ')},
      {"three-parts", edited([](Json& j) { j["characters"][0]["parts"].erase(0); })},
      {"big-level", edited([](Json& j) { j["characters"][1]["level"] = 4294967296LL; })},
      {"other-format", edited([](Json& j) { j["format"] = "something-else"; })},
      {"fifo", ""},
      {"folder", ""},
  };
  for (const auto& [name, bytes] : files) {
    if (!bytes.empty()) writeFile(dir / name, bytes);
    // `timeout` ends a run that blocks (on the FIFO), with status 124.
    const LabRun run = labWith("timeout 20", "battle --json " + quoted(dir / name), "");
    EXPECT_EQ(run.status, 2) << name;
    EXPECT_EQ(run.out, "") << name;
    EXPECT_EQ(lines(run.err), 1u) << name << ": " << run.err;
    EXPECT_EQ(run.err.rfind("momiru-lab battle: " + (dir / name).string() + ": ", 0), 0u)
        << run.err;
  }
  // The file's name is shown escaped in that line.
  writeFile(dir / "bad\x1B[31m", "{");
  const LabRun escaped = lab("battle " + quoted(dir / "bad\x1B[31m"));
  EXPECT_EQ(escaped.status, 2);
  EXPECT_EQ(escaped.err.find('\x1B'), std::string::npos) << escaped.err;
  EXPECT_NE(escaped.err.find("bad\\x1B[31m"), std::string::npos) << escaped.err;
}

TEST(LabReplay, AReplayWhoseBattleDiffersIsPrintedThenNamedWithStatus1) {
  ScratchDir dir;
  const std::string pair = sample("pochimaru.dat") + " " + sample("rendaa.dat") + " --seed 5";
  const Json good = parseJson(readFile(saveReplay(dir, pair)));
  for (const std::string key : {"turns", "log_sha256"}) {
    Json j = good;
    j["result"][key] = key == "turns" ? Json(999) : Json(std::string(64, '0'));
    const fs::path file = dir / (key + ".momiru-replay");
    writeFile(file, j.dump());
    for (const char* output : {"", " --json"}) {
      const LabRun run = lab("battle " + quoted(file) + output);
      EXPECT_EQ(run.status, 1) << key;
      EXPECT_EQ(run.out, lab("battle " + pair + output).out) << key;
      EXPECT_EQ(lines(run.err), 1u) << run.err;
      EXPECT_NE(run.err.find("(" + key + " differ"), std::string::npos) << run.err;
    }
  }
}

TEST(LabReplay, ASaveThatCannotBeWrittenIsOneLineStatus1AndNoFile) {
  ScratchDir dir;
  const std::string pair = sample("pochimaru.dat") + " " + sample("rendaa.dat") + " --seed 2";
  const std::string printed = lab("battle " + pair).out;
  fs::create_directory(dir / "folder");
  fs::create_directory(dir / "read-only");
  ::chmod((dir / "read-only").c_str(), 0555);
  writeFile(dir / "plain", "x");
  std::vector<fs::path> targets = {"/dev/full", dir / "folder", dir / "missing" / "x",
                                   dir / "plain" / "x"};
  // The superuser writes into a read-only folder all the same.
  if (::access((dir / "read-only").c_str(), W_OK) != 0) targets.push_back(dir / "read-only" / "x");
  for (const fs::path& target : targets) {
    const LabRun run = lab("battle " + pair + " --save-replay " + quoted(target));
    EXPECT_EQ(run.status, 1) << target;
    EXPECT_EQ(run.out, printed) << target;
    EXPECT_EQ(lines(run.err), 1u) << target << ": " << run.err;
  }
  EXPECT_EQ(filesIn(dir / "folder"), 0u);
  EXPECT_EQ(filesIn(dir / "read-only"), 0u);
  EXPECT_EQ(filesIn(dir.path()), 3u);  // folder, read-only, plain
  EXPECT_EQ(readFile(dir / "plain"), "x");

  // A save-data file given as the target is refused before anything is played.
  writeFile(dir / "a.dat", readFile(samplePath("pochimaru.dat")));
  const LabRun over = lab("battle " + quoted(dir / "a.dat") + " " + sample("rendaa.dat") +
                          " --save-replay " + quoted(dir / "." / "a.dat"));
  EXPECT_EQ(over.status, 64);
  EXPECT_EQ(over.out, "");
  EXPECT_EQ(readFile(dir / "a.dat"), readFile(samplePath("pochimaru.dat")));
  ::chmod((dir / "read-only").c_str(), 0755);
}

}  // namespace
