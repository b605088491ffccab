// The settings file: reading what is there, stopping where it breaks, and writing atomically.
#include "data/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <sstream>

#include "data/platform.h"
#include "support/test_support.h"

namespace momiru {
namespace {

using testing::ScratchDir;

// The run's settings and its random source, which a save draws the key from.
struct RunState {
  Settings settings;
  RandomUnit randomUnit;
};

RunState stateWith(Settings s) { return RunState{s, RandomUnit()}; }

// Reads `text` over settings 7, 7, 7, 77: what they became and whether the read went to the end.
void expectRead(const std::string& text, Settings want, bool ok) {
  RunState run = stateWith({7, 7, 7, 77});
  std::istringstream in(text);
  EXPECT_EQ(readSettings(run.settings, in), ok) << text;
  EXPECT_EQ(run.settings, want) << text;
}

TEST(SettingsRead, CompleteRecordsAndReadsThatStopKeepingWhatTheyRead) {
  expectRead("", {7, 7, 7, 77}, true);
  expectRead("0\r\n1\r\n0\r\n20\r\n", {0, 1, 0, 20}, true);
  expectRead("1\r\n0\r\n1\r\n150\r\n0\r\n0\r\n0\r\n300\r\n", {0, 0, 0, 300}, true);
  // Leading blanks, commas, bare line feeds, no final line end, blank lines after the record.
  expectRead("  1,0 ,1\n  -5", {1, 0, 1, -5}, true);
  expectRead("1\r\n0\r\n1\r\n150\r\n\r\n  \r\n", {1, 0, 1, 150}, true);
  expectRead("0\r\n0\r\n0\r\n-2147483648\r\n", {0, 0, 0, std::numeric_limits<std::int32_t>::min()},
             true);

  // A read that stops keeps what it read.
  expectRead("1\r\n1\r\n", {1, 1, 7, 77}, false);
  expectRead("0\r\n0\r\nabc\r\n150\r\n", {0, 0, 7, 77}, false);
  for (const char* second : {"12x", "1.5", ""})
    expectRead("0\r\n" + std::string(second) + "\r\n1\r\n2\r\n", {0, 7, 7, 77}, false);
  expectRead("1\r\n1\r\n1\r\n2147483648\r\n", {1, 1, 1, 77}, false);
  expectRead("1\r\n1\r\n1\r\n" + std::string(5000, '9') + "\r\n", {1, 1, 1, 77}, false);
  // A second record that breaks off keeps the first one's values where it did not reach.
  expectRead("1\r\n1\r\n1\r\n100\r\n0\r\n", {0, 1, 1, 100}, false);

  // An editor's UTF-8 byte-order mark before the first line is skipped; only there, and only
  // whole.
  expectRead(
      "\xEF\xBB\xBF"
      "1\r\n0\r\n1\r\n40\r\n",
      {1, 0, 1, 40}, true);
  expectRead("\xEF\xBB\xBF", {7, 7, 7, 77}, true);
  expectRead(
      "\xEF\xBB"
      "1\r\n0\r\n1\r\n40\r\n",
      {7, 7, 7, 77}, false);
  expectRead(
      "1\r\n\xEF\xBB\xBF"
      "0\r\n1\r\n40\r\n",
      {1, 7, 7, 77}, false);
}

// No file, no folder, or no settings folder at all: nothing is read, and nothing is written
// where there is no folder.
TEST(SettingsFile, MissingFileOrFolderChangesNothing) {
  ScratchDir dir;
  RunState run = stateWith({1, 0, 1, 99});
  EXPECT_FALSE(loadSettings(run.settings, dir.path()));
  EXPECT_FALSE(loadSettings(run.settings, dir / "no-such-folder"));
  EXPECT_FALSE(loadSettings(run.settings, {}));
  EXPECT_FALSE(saveSettings(run.settings, run.randomUnit, {}));
  EXPECT_FALSE(std::filesystem::exists(kSettingsFileName));
  EXPECT_EQ(run.settings, (Settings{1, 0, 1, 99}));
}

// A battle that skips the options screen: the file's values within the screen's range, the
// values in memory when there is no file, the screen's first values when neither has any.
TEST(SettingsForBattle, FileOrMemoryOrFirstValuesBroughtIntoTheScreensRange) {
  ScratchDir dir;
  const struct {
    const char* file;  // nullptr: none
    Settings inMemory, want;
  } cases[] = {
      {nullptr, {}, {1, 0, 1, Settings::kDefaultSpeed}},
      {nullptr, {0, 1, 0, 40}, {0, 1, 0, 40}},
      {nullptr, {5, -3, 0, -9}, {1, 1, 0, Settings::kMinSpeed}},
      // A speed of 0 in memory is one never set: the switches beside it were never set either.
      {nullptr, {0, 1, 0, 0}, {1, 0, 1, Settings::kDefaultSpeed}},
      {"2\r\n-1\r\n0\r\n999\r\n", {}, {1, 1, 0, Settings::kMaxSpeed}},
      {"0\r\n0\r\n0\r\n-4\r\n", {1, 1, 1, 99}, {0, 0, 0, Settings::kMinSpeed}},
      // A read that stops keeps what it read over the values in memory.
      {"0\r\n1\r\n", {1, 0, 1, 70}, {0, 1, 1, 70}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file == nullptr ? "no file" : c.file);
    std::filesystem::remove(dir / kSettingsFileName);
    if (c.file != nullptr) testing::writeFile(dir / kSettingsFileName, c.file);
    RunState run = stateWith(c.inMemory);
    loadSettingsForBattle(run.settings, dir.path());
    EXPECT_EQ(run.settings, c.want);
  }
}

std::size_t entries(const std::filesystem::path& dir) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(SettingsFile, SaveWritesFourCrLfLinesAndDrawsAFreshKeyEachTime) {
  ScratchDir dir;
  RunState run = stateWith({1, 0, 1, 150});
  run.randomUnit.seed(42);
  RandomUnit copy = run.randomUnit;
  for (int i = 0; i < 30; ++i) {
    std::int32_t key = 0;
    ASSERT_TRUE(saveSettings(run.settings, run.randomUnit, dir.path(), &key));
    EXPECT_EQ(key, static_cast<std::int32_t>(std::floor(13.0 * copy())) + 5);
  }
  EXPECT_EQ(testing::readFile(dir / "settei.sei"), "1\r\n0\r\n1\r\n150\r\n");
}

// Fault mended: a failed write used to leave a torn or empty file; now the old one stays whole.
TEST(SettingsFile, WritesAtomicallyAndLeavesNoTemporaryFiles) {
  ScratchDir dir;
  testing::writeFile(dir / "settei.sei",
                     "0\r\n0\r\n0\r\n300\r\n0\r\n0\r\n0\r\n300\r\nold tail\r\n");
  RunState run = stateWith({1, 1, 1, 5});
  ASSERT_TRUE(saveSettings(run.settings, run.randomUnit, dir.path()));
  EXPECT_EQ(testing::readFile(dir / "settei.sei"), "1\r\n1\r\n1\r\n5\r\n");
  EXPECT_EQ(entries(dir.path()), 1u);

  // The settings path is taken by a folder: the rename fails after the temporary file is written.
  std::filesystem::remove(dir / "settei.sei");
  std::filesystem::create_directory(dir / "settei.sei");
  testing::writeFile(dir / "settei.sei" / "keep", "x");
  run = stateWith({1, 0, 0, 42});
  EXPECT_FALSE(saveSettings(run.settings, run.randomUnit, dir.path()));
  EXPECT_EQ(testing::readFile(dir / "settei.sei" / "keep"), "x");
  EXPECT_EQ(entries(dir.path()), 1u);
}

int modeOf(const std::filesystem::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

// Fault mended: a FIFO named settei.sei used to freeze the game in the open; saving renamed over
// it.
TEST(SettingsFile, AFifoIsNeitherWaitedForNorReplaced) {
  ScratchDir dir;
  ASSERT_EQ(::mkfifo((dir / "settei.sei").c_str(), 0644), 0);
  RunState run = stateWith({1, 0, 1, 99});
  bool loaded = true;
  EXPECT_TRUE(testing::returnsWithoutWriter(
      dir / "settei.sei", [&] { loaded = loadSettings(run.settings, dir.path()); }));
  EXPECT_FALSE(loaded);
  EXPECT_EQ(run.settings, (Settings{1, 0, 1, 99}));
  EXPECT_FALSE(saveSettings(run.settings, run.randomUnit, dir.path()));
  EXPECT_TRUE(std::filesystem::is_fifo(dir / "settei.sei"));
  EXPECT_EQ(entries(dir.path()), 1u);
}

// Fault mended: a read-only settei.sei used to be renamed over and come back 0644. Neither it nor
// a folder that is a regular file (where even root cannot create a file) is written to, and no
// key is drawn.
TEST(SettingsFile, AReadOnlyFileOrAPlainFileForAFolderFailsWithoutDrawingTheKey) {
  for (const bool readOnly : {true, false}) {
    SCOPED_TRACE(readOnly);
    ScratchDir dir;
    const std::filesystem::path kept = readOnly ? dir / "settei.sei" : dir / "plain";
    testing::writeFile(kept, "0\r\n0\r\n0\r\n300\r\n");
    if (readOnly) {
      ASSERT_EQ(::chmod(kept.c_str(), 0444), 0);
    }
    RunState run = stateWith({1, 1, 1, 5});
    std::int32_t key = 3;
    const RandomUnit before = run.randomUnit;
    EXPECT_FALSE(saveSettings(run.settings, run.randomUnit, readOnly ? dir.path() : kept, &key));
    EXPECT_EQ(testing::readFile(kept), "0\r\n0\r\n0\r\n300\r\n");
    if (readOnly) {
      EXPECT_EQ(modeOf(kept), 0444);
    }
    EXPECT_EQ(key, 3);
    EXPECT_EQ(run.randomUnit.last(), before.last());
    EXPECT_EQ(entries(dir.path()), 1u);
  }
}

// Fault mended: every killed save used to leave its temporary file for good.
TEST(SettingsFile, AKilledSaveLeavesAtMostOneTemporaryFileAndTheNextSaveRemovesIt) {
  ScratchDir dir;
  const std::filesystem::path target = dir / "settei.sei";
  testing::writeFile(dir / "settei.sei.backup", "not ours");  // not a temporary name
  for (int kill = 0; kill < 3; ++kill) {
    // A save that dies between creating its temporary file and renaming it.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      AtomicFile file(target);
      ::_exit(file.created() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(entries(dir.path()), 2u);  // settei.sei.backup and one temporary file
  }
  RunState run = stateWith({0, 1, 0, 7});
  ASSERT_TRUE(saveSettings(run.settings, run.randomUnit, dir.path()));
  EXPECT_EQ(entries(dir.path()), 2u);  // settei.sei and settei.sei.backup
  EXPECT_EQ(testing::readFile(dir / "settei.sei.backup"), "not ours");
  EXPECT_TRUE(isTemporaryName("settei.sei.saving-aZ09xy", "settei.sei"));
  for (const char* other : {"settei.sei.saving-aZ09x", "settei.sei.saving-aZ-09x",
                            "settei.sei.backup", "other.sei.saving-aZ09xy"})
    EXPECT_FALSE(isTemporaryName(other, "settei.sei")) << other;
}

// Fault mended: a saved file used to be 0644 whatever the umask.
TEST(SettingsFile, ANewFileFollowsTheUmaskAndAReplacedOneKeepsItsMode) {
  ScratchDir dir;
  RunState run = stateWith({0, 0, 0, 1});
  const mode_t before = ::umask(027);
  const bool saved = saveSettings(run.settings, run.randomUnit, dir.path());
  ::umask(before);
  ASSERT_TRUE(saved);
  EXPECT_EQ(modeOf(dir / "settei.sei"), 0640);
  ASSERT_EQ(::chmod((dir / "settei.sei").c_str(), 0600), 0);
  ASSERT_TRUE(saveSettings(run.settings, run.randomUnit, dir.path()));
  EXPECT_EQ(modeOf(dir / "settei.sei"), 0600);
}

// Fault mended: without a home folder, settings went to a fixed folder under /tmp that another
// user could create first.
TEST(SettingsFolder, TheLastResortFolderMustBeThisUsersOwn) {
  ScratchDir dir;
  Refusal why;
  const auto fresh = privateDirectory(dir / "fresh", &why);
  ASSERT_TRUE(fresh) << why;
  EXPECT_EQ(modeOf(*fresh), 0700);
  EXPECT_TRUE(privateDirectory(dir / "fresh"));  // used again next time

  std::filesystem::create_directory(dir / "open");
  ASSERT_EQ(::chmod((dir / "open").c_str(), 0777), 0);
  EXPECT_FALSE(privateDirectory(dir / "open", &why));
  EXPECT_NE(describe(why).find("open to other users"), std::string::npos) << why;

  std::filesystem::create_directory_symlink(dir / "fresh", dir / "link");
  EXPECT_FALSE(privateDirectory(dir / "link", &why));
  EXPECT_NE(describe(why).find("not a folder"), std::string::npos) << why;

  if (::geteuid() == 0) {
    std::filesystem::create_directory(dir / "theirs");
    ASSERT_EQ(::chmod((dir / "theirs").c_str(), 0700), 0);
    ASSERT_EQ(::chown((dir / "theirs").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(privateDirectory(dir / "theirs", &why));
    EXPECT_NE(describe(why).find("another user"), std::string::npos) << why;
  }
  // Without HOME and XDG_CONFIG_HOME the folder's name carries this user's id.
  std::vector<std::pair<const char*, std::optional<std::string>>> env;
  for (const char* var : {"HOME", "XDG_CONFIG_HOME"}) {
    const char* v = std::getenv(var);
    env.emplace_back(var, v == nullptr ? std::nullopt : std::optional<std::string>(v));
    ::unsetenv(var);
  }
  const std::string name = userConfigDirectory().filename().string();
  for (const auto& [var, v] : env)
    if (v) ::setenv(var, v->c_str(), 1);
  EXPECT_EQ(name, "momiru-battle-" + std::to_string(::geteuid()));
}

// The file dialogs' folders live in a file of their own: settei.sei stays four lines, a saved
// folder comes back, and what a hostile or broken file holds gives no folder rather than a
// wrong one.
TEST(DialogFolders, KeptBesideTheSettingsAndOnlyPlainAbsoluteFoldersComeBack) {
  ScratchDir dir;
  testing::writeFile(dir / "settei.sei", "1\r\n0\r\n1\r\n150\r\n");
  const std::map<std::string, std::filesystem::path> kept = {
      {"save *.html", "/home/someone/ページ"},
      {"entries", "/srv/dat files"},
      {"bad", "relative/folder"},
      {"worse", "/tmp/a\nb"}};
  ASSERT_TRUE(saveFolders(kept, dir.path()));
  EXPECT_EQ(testing::readFile(dir / "settei.sei"), "1\r\n0\r\n1\r\n150\r\n");
  RunState run = stateWith({});
  EXPECT_TRUE(loadSettings(run.settings, dir.path()));
  const auto back = loadFolders(dir.path());
  EXPECT_EQ(back, (std::map<std::string, std::filesystem::path>{
                      {"save *.html", "/home/someone/ページ"}, {"entries", "/srv/dat files"}}));

  for (const std::string& text :
       {std::string("[\"/a\"]"), std::string("{\"k\": 3, \"j\": {\"x\": \"/a\"}}"),
        std::string("{\"k\": \"/a\""), std::string("{\"k\": \"/a\u0007b\"}"),
        std::string(kMaxFoldersBytes + 10, ' ') + "{}"}) {
    testing::writeFile(dir / kFoldersFileName, text);
    EXPECT_TRUE(loadFolders(dir.path()).empty()) << text.substr(0, 40);
  }
  EXPECT_TRUE(loadFolders({}).empty());
  EXPECT_FALSE(saveFolders(kept, {}));
  // A FIFO in its place is not waited on.
  std::filesystem::remove(dir / kFoldersFileName);
  ASSERT_EQ(::mkfifo((dir / kFoldersFileName).c_str(), 0644), 0);
  std::map<std::string, std::filesystem::path> read = kept;
  EXPECT_TRUE(testing::returnsWithoutWriter(dir / kFoldersFileName,
                                            [&] { read = loadFolders(dir.path()); }));
  EXPECT_TRUE(read.empty());
}

}  // namespace
}  // namespace momiru
