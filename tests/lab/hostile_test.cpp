// momiru-lab against hostile or unlucky surroundings: output that cannot be written, threads that
// cannot start, file names that are not UTF-8 or hold control characters, characters the entry
// screen refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "lab/lab_support.h"

namespace {

using namespace momiru::testing;
namespace fs = std::filesystem;

const std::string kPair = sample("pochimaru.dat") + " " + sample("rendaa.dat");

// True when `text` is well-formed UTF-8.
bool isUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t n = lead < 0x80                   ? 1
                          : lead >= 0xC2 && lead < 0xE0 ? 2
                          : lead >= 0xE0 && lead < 0xF0 ? 3
                          : lead >= 0xF0 && lead < 0xF5 ? 4
                                                        : 0;
    if (n == 0 || i + n > text.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

// A scratch folder with copies of samples under names of the test's choosing.
class Scratch {
 public:
  Scratch() : dir_(fs::path(::testing::TempDir()) / ("lab-" + testName())) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // Copies sample `from` to `name` (any bytes but '/' and NUL) and returns its quoted path.
  std::string copy(const char* from, const std::string& name) {
    fs::copy_file(fs::path(MOMIRU_SOURCE_DIR) / "samples" / from, dir_ / name);
    return quoted(name);
  }
  // Makes a FIFO named `name` and returns its quoted path.
  std::string fifo(const std::string& name) {
    EXPECT_EQ(::mkfifo((dir_ / name).c_str(), 0600), 0);
    return quoted(name);
  }
  // Writes `bytes` to `name` and returns its quoted path.
  std::string write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return quoted(name);
  }

 private:
  static std::string testName() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  // Single quotes keep every byte but the quote itself as it is in the shell.
  std::string quoted(const std::string& name) const { return "'" + (dir_ / name).string() + "'"; }
  fs::path dir_;
};

// Fault mended: a write to a full disk used to end with status 0.
TEST(LabOutput, AFailedWriteIsAnErrorForEveryCommandAndForm) {
  for (const std::string& args : std::vector<std::string>{
           "inspect " + sample("pochimaru.dat"), "inspect --json " + sample("pochimaru.dat"),
           "battle " + kPair + " --seed 1", "battle " + kPair + " --seed 1 --json",
           "simulate " + kPair + " --battles 100 --seed 1",
           "simulate " + kPair + " --battles 100 --seed 1 --json", "--help", "battle --help"}) {
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
  Scratch dir;
  const std::string fifo = dir.fifo("x.dat");
  // `timeout` ends a run that blocks, with status 124.
  const LabRun run = labWith("timeout 20", "inspect " + fifo + " " + sample("pochimaru.dat"), "");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(
      run.out.find("x.dat: unreadable (the file cannot be opened: it is not a regular file)\n"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("pochimaru.dat: ok\n"), std::string::npos) << run.out;
  EXPECT_EQ(labWith("timeout 20", "battle " + fifo + " " + sample("pochimaru.dat"), "").status, 1);
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
  Scratch dir;
  const std::string latin = dir.copy("pochimaru.dat", "latin\xE9.dat");
  for (const std::string& args :
       {"inspect --json " + latin, "battle --json --seed 1 " + latin + " " + sample("rendaa.dat"),
        "simulate --json --battles 50 --seed 1 " + latin + " " + sample("rendaa.dat")}) {
    const LabRun run = lab(args);
    ASSERT_EQ(run.status, 0) << args << ": " << run.err;
    EXPECT_TRUE(isUtf8(run.out)) << args;
    EXPECT_NO_THROW(parseJson(run.out)) << run.out;
    EXPECT_NE(run.out.find("latin\xEF\xBF\xBD.dat"), std::string::npos) << args;
  }
}

// Fault mended: names went to the terminal raw, so a file could forge a line or send escapes.
TEST(LabText, ControlCharactersInNamesAreShownEscaped) {
  Scratch dir;
  const std::string forged = "x\nfake.dat: ok\x1B[2J\xE2\x80\xAE\xC2\x9B.dat";
  const std::string file = dir.copy("pochimaru.dat", forged);
  const std::string shown = "x\\nfake.dat: ok\\x1B[2J\\u202E\\u009B.dat";
  const LabRun inspect = lab("inspect " + file);
  EXPECT_EQ(inspect.status, 0);
  EXPECT_EQ(inspect.out.find("fake.dat: ok\n"), std::string::npos) << inspect.out;
  EXPECT_NE(inspect.out.find(shown + ": ok\n"), std::string::npos) << inspect.out;

  for (const std::string& args :
       {"battle --seed 4 " + file + " " + sample("rendaa.dat"),
        "simulate --battles 50 --seed 1 " + file + " " + sample("rendaa.dat")}) {
    const LabRun run = lab(args);
    ASSERT_EQ(run.status, 0) << args << ": " << run.err;
    EXPECT_EQ(run.out.find('\x1B'), std::string::npos) << args;
    EXPECT_EQ(run.out.find("\xE2\x80\xAE"), std::string::npos) << args;
    EXPECT_EQ(run.out.find("\xC2\x9B"), std::string::npos) << args;
    EXPECT_NE(run.out.find(shown + "のポチまる"), std::string::npos) << run.out;
  }
  // The battle is the same battle: only the printed names differ.
  const LabRun plain = lab("battle --seed 4 " + kPair);
  const LabRun escaped = lab("battle --seed 4 " + file + " " + sample("rendaa.dat"));
  std::string renamed = escaped.out;
  for (std::size_t at; (at = renamed.find(shown)) != std::string::npos;)
    renamed.replace(at, shown.size(), "pochimaru.dat");
  EXPECT_EQ(renamed, plain.out);

  // Error lines name the file escaped too.
  const LabRun missing = lab("battle " + sample("rendaa.dat") + " 'gone\x1B[31m.dat'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.find('\x1B'), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("gone\\x1B[31m.dat"), std::string::npos) << missing.err;
}

// The sample with its SaveLv[0] (the first number of the sixth line) set to 0: it loads and
// passes the integrity check, since the level takes no part in the check sum.
std::string levelZero() {
  std::ifstream in(fs::path(MOMIRU_SOURCE_DIR) / "samples" / "rendaa.dat", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  std::string text = bytes.str();
  std::size_t line = 0;
  for (int n = 0; n < 5; ++n) line = text.find("\r\n", line) + 2;
  text.replace(line, text.find(',', line) - line, "0");
  return text;
}

// Fault mended: battle and simulate used to play a character the entry screen refuses.
TEST(LabBattle, ACharacterOfLevelZeroIsRefusedAsTheEntryScreenDoes) {
  Scratch dir;
  const std::string empty = dir.write("empty.dat", levelZero());
  const LabRun inspect = lab("inspect " + empty);
  ASSERT_EQ(inspect.status, 0) << inspect.out;
  EXPECT_NE(inspect.out.find("level     0\n"), std::string::npos) << inspect.out;
  for (const std::string& args :
       {"battle --seed 1 " + sample("pochimaru.dat") + " " + empty,
        "simulate --battles 10 --seed 1 " + empty + " " + sample("pochimaru.dat"),
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
  Scratch dir;
  const std::string odd = dir.copy("pochimaru.dat", "-odd.dat");
  // The file name starts with '-': after "--" it is a file, before it an unknown option.
  const std::string path = odd.substr(1, odd.size() - 2);
  const fs::path folder = fs::path(path).parent_path();
  const LabRun asFile = labWith("cd '" + folder.string() + "' &&", "inspect -- -odd.dat", "");
  EXPECT_EQ(asFile.status, 0) << asFile.err;
  EXPECT_EQ(asFile.out.rfind("-odd.dat: ok\n", 0), 0u) << asFile.out;
  const LabRun asOption = labWith("cd '" + folder.string() + "' &&", "inspect -odd.dat", "");
  EXPECT_EQ(asOption.status, 64);
  EXPECT_EQ(asOption.err,
            "momiru-lab inspect: unknown option '-odd.dat' (try 'momiru-lab inspect --help')\n");
  EXPECT_EQ(lab("battle --seed=5 " + kPair + " -- ").status, 0);
}

}  // namespace
