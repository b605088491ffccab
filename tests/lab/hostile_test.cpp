// momiru-lab against hostile or unlucky surroundings: output that cannot be written, threads that
// cannot start, file names that are not UTF-8 or hold control characters, characters the entry
// screen refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "data/text_safety.h"
#include "support/lab_support.h"
#include "support/test_support.h"

namespace {

using namespace momiru::testing;

const std::string kPair = sample("pochimaru.dat") + " " + sample("rendaa.dat");

// Copies sample `from` into `dir` as `name` (any bytes but '/' and NUL); returns its quoted path.
std::string copySample(const ScratchDir& dir, const char* from, const std::string& name) {
  writeFile(dir / name, readFile(samplePath(from)));
  return quoted(dir / name);
}

// Fault mended: a write to a full disk used to end with status 0. Every command's output is
// flushed and checked in one place, so one command per form stands for all.
TEST(LabOutput, AFailedWriteIsAnError) {
  for (const std::string& args :
       std::vector<std::string>{"inspect " + sample("pochimaru.dat"),
                                "simulate " + kPair + " --battles 100 --seed 1 --json", "--help"}) {
    const LabRun run = labWith("", args, ">/dev/full");
    EXPECT_EQ(run.status, 1) << args;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << args << ": " << run.err;
    EXPECT_NE(run.err.find("cannot write the output"), std::string::npos) << run.err;
  }
  // A reader that stops early still ends the program quietly.
  const LabRun closed =
      labWith("", "simulate " + kPair + " --battles 20000 --seed 1 --mirror", "| head -c 1");
  EXPECT_EQ(closed.err, "");
}

// Fault mended: inspect used to wait for ever for a writer to a FIFO.
TEST(LabInspect, AFifoIsUnreadableAtOnce) {
  ScratchDir dir;
  ASSERT_EQ(::mkfifo((dir / "x.dat").c_str(), 0600), 0);
  // `timeout` ends a run that blocks, with status 124.
  const LabRun run =
      labWith("timeout 20", "inspect " + quoted(dir / "x.dat") + " " + sample("pochimaru.dat"), "");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(
      run.out.find("x.dat: unreadable (the file cannot be opened: it is not a regular file)\n"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("pochimaru.dat: ok\n"), std::string::npos) << run.out;
}

// Fault mended: a thread that could not start used to abort the program (std::system_error).
TEST(LabSimulate, RunsOnTheThreadsThatCouldStart) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#else
  const std::string args = "simulate " + kPair + " --battles 3000 --seed 3 --mirror --json";
  const LabRun one = lab(args + " --jobs 1");
  ASSERT_EQ(one.status, 0) << one.err;
  // 200 thread stacks do not fit in 150 MB of address space; the first few do.
  const LabRun many = labWith("ulimit -v 150000;", args + " --jobs 200", "");
  EXPECT_EQ(many.status, 0) << many.err;
  EXPECT_EQ(many.out, one.out);
#endif
}

// Fault mended: a file name in another encoding used to be copied into the JSON as it was.
TEST(LabJson, NamesThatAreNotUtf8BecomeValidJson) {
  ScratchDir dir;
  const std::string latin = copySample(dir, "pochimaru.dat", "latin\xE9.dat");
  // A cut-off sequence: each of its bytes becomes U+FFFD, as the plain output shows each byte.
  const std::string cut = copySample(dir, "rendaa.dat", "cut\xE3\x81z.dat");
  for (const std::string& args :
       {"inspect --json " + latin + " " + cut, "battle --json --seed 1 " + latin + " " + cut}) {
    const LabRun run = lab(args);
    ASSERT_EQ(run.status, 0) << args << ": " << run.err;
    EXPECT_EQ(momiru::validUtf8(run.out), run.out) << args;
    EXPECT_NE(run.out.find("latin\xEF\xBF\xBD.dat"), std::string::npos) << args;
    EXPECT_NE(run.out.find("cut\xEF\xBF\xBD\xEF\xBF\xBDz.dat"), std::string::npos) << args;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) EXPECT_NO_THROW(parseJson(line)) << line;
  }
}

// Fault mended: names went to the terminal raw, so a file could forge a line or send escapes.
TEST(LabText, ControlCharactersInNamesAreShownEscaped) {
  ScratchDir dir;
  const std::string file =
      copySample(dir, "pochimaru.dat", "x\nfake.dat: ok\x1B[2J\xE2\x80\xAE\xC2\x9B.dat");
  const std::string shown = "x\\nfake.dat: ok\\x1B[2J\\u202E\\u009B.dat";
  const LabRun inspect = lab("inspect " + file);
  EXPECT_EQ(inspect.out.find("fake.dat: ok\n"), std::string::npos) << inspect.out;
  EXPECT_NE(inspect.out.find(shown + ": ok\n"), std::string::npos) << inspect.out;

  for (const std::string& args :
       {"battle --seed 4 " + file + " " + sample("rendaa.dat"),
        "simulate --battles 50 --seed 1 " + file + " " + sample("rendaa.dat")}) {
    const LabRun run = lab(args);
    ASSERT_EQ(run.status, 0) << args << ": " << run.err;
    for (const char* raw : {"\x1B", "\xE2\x80\xAE", "\xC2\x9B"})
      EXPECT_EQ(run.out.find(raw), std::string::npos) << args;
    EXPECT_NE(run.out.find(shown + "のポチまる"), std::string::npos) << run.out;
  }
  // The battle is the same battle: only the printed names differ.
  std::string renamed = lab("battle --seed 4 " + file + " " + sample("rendaa.dat")).out;
  for (std::size_t at; (at = renamed.find(shown)) != std::string::npos;)
    renamed.replace(at, shown.size(), "pochimaru.dat");
  EXPECT_EQ(renamed, lab("battle --seed 4 " + kPair).out);

  // Error lines name the file escaped too.
  const LabRun missing = lab("battle " + sample("rendaa.dat") + " 'gone\x1B[31m.dat'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.find('\x1B'), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("gone\\x1B[31m.dat"), std::string::npos) << missing.err;
}

// Fault mended: battle and simulate used to play a character the entry screen refuses. A level
// of 0 takes no part in the check sum, so the file loads and passes the integrity check.
TEST(LabBattle, ACharacterOfLevelZeroIsRefusedAsTheEntryScreenDoes) {
  ScratchDir dir;
  Character zero = testCharacter();
  zero.values.storedLevels = {0, 0};
  writeFile(dir / "empty.dat", encode(zero));
  const std::string empty = quoted(dir / "empty.dat");
  for (const std::string& args :
       {"battle --seed 1 " + sample("pochimaru.dat") + " " + empty,
        "simulate --battles 10 --seed 1 --mirror " + sample("pochimaru.dat") + " " + empty}) {
    const LabRun run = lab(args);
    EXPECT_EQ(run.status, 1) << args;
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find("empty.dat: cannot be used: no character has been entered (level 0)"),
              std::string::npos)
        << run.err;
  }
}

TEST(LabOptions, DoubleDashEndsTheOptions) {
  ScratchDir dir;
  copySample(dir, "pochimaru.dat", "-odd.dat");
  // The file name starts with '-': after "--" it is a file, before it an unknown option.
  const std::string cd = "cd " + quoted(dir.path()) + " &&";
  const LabRun asFile = labWith(cd, "inspect -- -odd.dat", "");
  EXPECT_EQ(asFile.status, 0) << asFile.err;
  EXPECT_EQ(asFile.out.rfind("-odd.dat: ok\n", 0), 0u) << asFile.out;
  const LabRun asOption = labWith(cd, "inspect -odd.dat", "");
  EXPECT_EQ(asOption.status, 64);
  EXPECT_NE(asOption.err.find("unknown option '-odd.dat'"), std::string::npos) << asOption.err;
  EXPECT_EQ(lab("battle --seed=5 " + kPair + " -- ").status, 0);
}

}  // namespace
