// The committed sample characters: they match their definitions and load as intended.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "data/save_data.h"
#include "support/test_support.h"

namespace momiru {
namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(MOMIRU_SOURCE_DIR) / "samples";

std::set<std::string> datFiles(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".dat") names.insert(e.path().filename().string());
  return names;
}

bool altered(const std::string& name) { return name.starts_with("altered-"); }

#ifndef _WIN32  // the case needs what only Linux has
TEST(Samples, CommittedFilesMatchTheirDefinitions) {
  testing::ScratchDir out;
  const std::string command = std::string("\"") + MOMIRU_MAKE_SAMPLES + "\" \"" +
                              (kSamples / "characters.txt").string() + "\" \"" +
                              out.path().string() + "\" >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const auto made = datFiles(out.path());
  EXPECT_EQ(made, datFiles(kSamples)) << "regenerate the samples (see samples/characters.txt)";
  for (const std::string& name : made) {
    EXPECT_EQ(testing::readFile(out / name), testing::readFile(kSamples / name))
        << name << " differs from samples/characters.txt; regenerate the samples";
  }
}
#endif

TEST(Samples, GoodOnesLoadAndAlteredOnesAreRefused) {
  int good = 0, refused = 0;
  bool halfWidthKana = false, waveOrCircled = false, emptySlots = false;
  for (const std::string& name : datFiles(kSamples)) {
    GameState gs;
    const SaveDataResult r = loadSaveData(gs, 1, kSamples / name);
    if (altered(name)) {
      EXPECT_EQ(r.outcome, LoadOutcome::Tampered) << name << ": " << r.reason;
      ++refused;
      continue;
    }
    ASSERT_EQ(r.outcome, LoadOutcome::Loaded) << name << ": " << r.reason;
    ++good;
    const Combatant& c = gs.combatant[1];
    EXPECT_EQ(c.name, name + "の" + r.values.storedNames[0]);
    EXPECT_TRUE(r.values.key >= 5 && r.values.key <= 17) << name << " key " << r.values.key;
    EXPECT_TRUE(c.portrait >= 0 && c.portrait <= 13) << name << " portrait " << c.portrait;
    EXPECT_GT(c.level, 0) << name;
    for (std::size_t m = 0; m < kMoves; ++m) {
      const std::string& move = c.moveNames[m];
      ASSERT_GE(move.size(), 3u) << name;
      EXPECT_NE(std::string("HALB-").find(move[0]), std::string::npos) << name << " " << move;
      if (move[0] == '-') emptySlots = true;
    }
    const std::string& stored = r.values.storedNames[0];
    halfWidthKana |= stored.find("\xEF\xBD") != std::string::npos ||  // U+FF61..U+FF7F
                     stored.find("\xEF\xBE") != std::string::npos;    // U+FF80..U+FF9F
    waveOrCircled |=
        stored.find("～") != std::string::npos || stored.find("①") != std::string::npos;
  }
  EXPECT_GE(good, 8);
  EXPECT_EQ(refused, 2);
  EXPECT_TRUE(halfWidthKana);
  EXPECT_TRUE(waveOrCircled);
  EXPECT_TRUE(emptySlots);
}

}  // namespace
}  // namespace momiru
