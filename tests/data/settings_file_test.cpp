// The settings file: reading what is there, stopping where it breaks, and writing atomically.
#include "data/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <sstream>

#include "data/platform.h"
#include "data/test_support.h"

namespace momiru {
namespace {

using testing::ScratchDir;

Settings settingsOf(const GameState& gs) { return gs.settings; }

GameState stateWith(Settings s) {
  GameState gs;
  gs.settings = s;
  return gs;
}

// Reads `text` over settings 7, 7, 7, 77 and returns what they became and the result.
std::pair<Settings, bool> readOver(const std::string& text) {
  GameState gs = stateWith({7, 7, 7, 77});
  std::istringstream in(text);
  const bool ok = ReadSettings(gs, in);
  return {settingsOf(gs), ok};
}

TEST(SettingsRead, CompleteRecords) {
  EXPECT_EQ(readOver("0\r\n1\r\n0\r\n20\r\n"), std::make_pair(Settings{0, 1, 0, 20}, true));
  EXPECT_EQ(readOver("1\r\n0\r\n1\r\n150\r\n0\r\n0\r\n0\r\n300\r\n"),
            std::make_pair(Settings{0, 0, 0, 300}, true));  // the last record wins
  // Leading blanks, commas, bare line feeds, no final line end, blank lines after the record.
  EXPECT_EQ(readOver("  1,0 ,1\n  -5"), std::make_pair(Settings{1, 0, 1, -5}, true));
  EXPECT_EQ(readOver("1\r\n0\r\n1\r\n150\r\n\r\n  \r\n"),
            std::make_pair(Settings{1, 0, 1, 150}, true));
  EXPECT_EQ(readOver("0\r\n0\r\n0\r\n-2147483648\r\n"),
            std::make_pair(Settings{0, 0, 0, std::numeric_limits<std::int32_t>::min()}, true));
}

TEST(SettingsRead, AStoppedReadKeepsWhatItRead) {
  EXPECT_EQ(readOver(""), std::make_pair(Settings{7, 7, 7, 77}, true));
  EXPECT_EQ(readOver("1\r\n1\r\n"), std::make_pair(Settings{1, 1, 7, 77}, false));
  EXPECT_EQ(readOver("0\r\n0\r\nabc\r\n150\r\n"), std::make_pair(Settings{0, 0, 7, 77}, false));
  EXPECT_EQ(readOver("0\r\n12x\r\n"), std::make_pair(Settings{0, 7, 7, 77}, false));
  EXPECT_EQ(readOver("0\r\n1.5\r\n"), std::make_pair(Settings{0, 7, 7, 77}, false));
  EXPECT_EQ(readOver("0\r\n\r\n1\r\n2\r\n"), std::make_pair(Settings{0, 7, 7, 77}, false));
  EXPECT_EQ(readOver("1\r\n1\r\n1\r\n2147483648\r\n"),
            std::make_pair(Settings{1, 1, 1, 77}, false));
  EXPECT_EQ(readOver("1\r\n1\r\n1\r\n" + std::string(5000, '9') + "\r\n"),
            std::make_pair(Settings{1, 1, 1, 77}, false));
  // A second record that breaks off keeps the first one's values where it did not reach.
  EXPECT_EQ(readOver("1\r\n1\r\n1\r\n100\r\n0\r\n"), std::make_pair(Settings{0, 1, 1, 100}, false));
}

TEST(SettingsFile, MissingFileChangesNothing) {
  ScratchDir dir;
  GameState gs = stateWith({1, 0, 1, 99});
  EXPECT_FALSE(LoadSettings(gs, dir.path()));
  EXPECT_FALSE(LoadSettings(gs, dir / "no-such-folder"));
  EXPECT_EQ(settingsOf(gs), (Settings{1, 0, 1, 99}));
}

std::size_t entries(const std::filesystem::path& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

TEST(SettingsFile, SaveWritesFourCrLfLinesAndDrawsAFreshKeyEachTime) {
  ScratchDir dir;
  GameState gs = stateWith({1, 0, 1, 150});
  gs.randomUnit.seed(42);
  RandomUnit copy = gs.randomUnit;
  for (int i = 0; i < 30; ++i) {
    ASSERT_TRUE(SaveSettings(gs, dir.path()));
    EXPECT_EQ(gs.load.key, static_cast<std::int32_t>(std::floor(13.0 * copy())) + 5);
    EXPECT_GE(gs.load.key, 5);
    EXPECT_LE(gs.load.key, 17);
  }
  EXPECT_EQ(testing::readFile(dir / "settei.sei"), "1\r\n0\r\n1\r\n150\r\n");
  EXPECT_EQ(settingsOf(gs), (Settings{1, 0, 1, 150}));
  GameState other;
  EXPECT_TRUE(LoadSettings(other, dir.path()));
  EXPECT_EQ(settingsOf(other), settingsOf(gs));
}

// Fault mended: a failed write used to leave a torn or empty file; now the old one stays whole.
TEST(SettingsFile, WritesAtomicallyAndLeavesNoTemporaryFiles) {
  ScratchDir dir;
  testing::writeFile(dir / "settei.sei",
                     "0\r\n0\r\n0\r\n300\r\n0\r\n0\r\n0\r\n300\r\nold tail\r\n");
  GameState gs = stateWith({1, 1, 1, 5});
  ASSERT_TRUE(SaveSettings(gs, dir.path()));
  EXPECT_EQ(testing::readFile(dir / "settei.sei"), "1\r\n1\r\n1\r\n5\r\n");
  EXPECT_EQ(entries(dir.path()), 1u);

  // The settings path is taken by a folder: the rename fails after the temporary file is written.
  std::filesystem::remove(dir / "settei.sei");
  std::filesystem::create_directory(dir / "settei.sei");
  testing::writeFile(dir / "settei.sei" / "keep", "x");
  gs = stateWith({1, 0, 0, 42});
  EXPECT_FALSE(SaveSettings(gs, dir.path()));
  EXPECT_EQ(settingsOf(gs), (Settings{1, 0, 0, 42}));
  EXPECT_EQ(testing::readFile(dir / "settei.sei" / "keep"), "x");
  EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(SettingsFile, UnwritableDirectoryFailsWithoutDrawingTheKey) {
  ScratchDir dir;
  // Even root cannot create a file under a regular file.
  testing::writeFile(dir / "plain", "not a folder");
  GameState gs = stateWith({0, 1, 0, 10});
  gs.load.key = 3;
  const RandomUnit before = gs.randomUnit;
  EXPECT_FALSE(SaveSettings(gs, dir / "plain"));
  EXPECT_EQ(gs.load.key, 3);
  EXPECT_EQ(gs.randomUnit.last(), before.last());
  EXPECT_EQ(settingsOf(gs), (Settings{0, 1, 0, 10}));
  EXPECT_EQ(testing::readFile(dir / "plain"), "not a folder");
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
  GameState gs = stateWith({1, 0, 1, 99});
  bool loaded = true;
  EXPECT_TRUE(testing::returnsWithoutWriter(dir / "settei.sei",
                                            [&] { loaded = LoadSettings(gs, dir.path()); }));
  EXPECT_FALSE(loaded);
  EXPECT_EQ(settingsOf(gs), (Settings{1, 0, 1, 99}));
  EXPECT_FALSE(SaveSettings(gs, dir.path()));
  EXPECT_TRUE(std::filesystem::is_fifo(dir / "settei.sei"));
  EXPECT_EQ(entries(dir.path()), 1u);
}

// Fault mended: a read-only settei.sei used to be renamed over and come back 0644.
TEST(SettingsFile, AReadOnlyFileStaysAsItWas) {
  ScratchDir dir;
  testing::writeFile(dir / "settei.sei", "0\r\n0\r\n0\r\n300\r\n");
  ASSERT_EQ(::chmod((dir / "settei.sei").c_str(), 0444), 0);
  GameState gs = stateWith({1, 1, 1, 5});
  gs.load.key = 3;
  EXPECT_FALSE(SaveSettings(gs, dir.path()));
  EXPECT_EQ(testing::readFile(dir / "settei.sei"), "0\r\n0\r\n0\r\n300\r\n");
  EXPECT_EQ(modeOf(dir / "settei.sei"), 0444);
  EXPECT_EQ(gs.load.key, 3);
  EXPECT_EQ(settingsOf(gs), (Settings{1, 1, 1, 5}));
  EXPECT_EQ(entries(dir.path()), 1u);
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
    std::size_t leftovers = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      leftovers += isTemporaryName(e.path().filename().string(), "settei.sei") ? 1u : 0u;
    EXPECT_EQ(leftovers, 1u);
  }
  GameState gs = stateWith({0, 1, 0, 7});
  ASSERT_TRUE(SaveSettings(gs, dir.path()));
  EXPECT_EQ(entries(dir.path()), 2u);  // settei.sei and settei.sei.backup
  EXPECT_EQ(testing::readFile(dir / "settei.sei.backup"), "not ours");
  EXPECT_TRUE(isTemporaryName("settei.sei.saving-aZ09xy", "settei.sei"));
  EXPECT_FALSE(isTemporaryName("settei.sei.saving-aZ09x", "settei.sei"));
  EXPECT_FALSE(isTemporaryName("settei.sei.saving-aZ-09x", "settei.sei"));
  EXPECT_FALSE(isTemporaryName("settei.sei.backup", "settei.sei"));
  EXPECT_FALSE(isTemporaryName("other.sei.saving-aZ09xy", "settei.sei"));
}

// Fault mended: a saved file used to be 0644 whatever the umask.
TEST(SettingsFile, ANewFileFollowsTheUmaskAndAReplacedOneKeepsItsMode) {
  ScratchDir dir;
  GameState gs = stateWith({0, 0, 0, 1});
  const mode_t before = ::umask(027);
  const bool saved = SaveSettings(gs, dir.path());
  ::umask(before);
  ASSERT_TRUE(saved);
  EXPECT_EQ(modeOf(dir / "settei.sei"), 0640);
  ASSERT_EQ(::chmod((dir / "settei.sei").c_str(), 0600), 0);
  ASSERT_TRUE(SaveSettings(gs, dir.path()));
  EXPECT_EQ(modeOf(dir / "settei.sei"), 0600);
}

TEST(SettingsFile, NoSettingsFolderReadsAndWritesNothing) {
  GameState gs = stateWith({1, 0, 1, 99});
  EXPECT_FALSE(LoadSettings(gs, {}));
  EXPECT_FALSE(SaveSettings(gs, {}));
  EXPECT_FALSE(std::filesystem::exists(kSettingsFileName));
}

// Fault mended: without a home folder, settings went to a fixed folder under /tmp that another
// user could create first.
TEST(SettingsFolder, TheLastResortFolderMustBeThisUsersOwn) {
  ScratchDir dir;
  std::string why;
  const auto fresh = privateDirectory(dir / "fresh", &why);
  ASSERT_TRUE(fresh) << why;
  EXPECT_EQ(modeOf(*fresh), 0700);
  EXPECT_TRUE(privateDirectory(dir / "fresh"));  // used again next time

  std::filesystem::create_directory(dir / "open");
  ASSERT_EQ(::chmod((dir / "open").c_str(), 0777), 0);
  EXPECT_FALSE(privateDirectory(dir / "open", &why));
  EXPECT_NE(why.find("open to other users"), std::string::npos) << why;

  std::filesystem::create_directory_symlink(dir / "fresh", dir / "link");
  EXPECT_FALSE(privateDirectory(dir / "link", &why));
  EXPECT_NE(why.find("not a folder"), std::string::npos) << why;

  testing::writeFile(dir / "plain", "x");
  EXPECT_FALSE(privateDirectory(dir / "plain", &why));

  if (::geteuid() == 0) {
    std::filesystem::create_directory(dir / "theirs");
    ASSERT_EQ(::chmod((dir / "theirs").c_str(), 0700), 0);
    ASSERT_EQ(::chown((dir / "theirs").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(privateDirectory(dir / "theirs", &why));
    EXPECT_NE(why.find("another user"), std::string::npos) << why;
  }
  // Without HOME and XDG_CONFIG_HOME the folder's name carries this user's id.
  const auto saved = [](const char* name) -> std::optional<std::string> {
    const char* v = std::getenv(name);
    return v == nullptr ? std::nullopt : std::optional<std::string>(v);
  };
  const auto home = saved("HOME");
  const auto xdg = saved("XDG_CONFIG_HOME");
  ::unsetenv("HOME");
  ::unsetenv("XDG_CONFIG_HOME");
  const std::string name = userConfigDirectory().filename().string();
  if (home) ::setenv("HOME", home->c_str(), 1);
  if (xdg) ::setenv("XDG_CONFIG_HOME", xdg->c_str(), 1);
  EXPECT_EQ(name, "momiru-battle-" + std::to_string(::geteuid()));
}

}  // namespace
}  // namespace momiru
