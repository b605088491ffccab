// The settings file: reading what is there, stopping where it breaks, and writing atomically.
#include "data/settings_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

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

}  // namespace
}  // namespace momiru
