// The renderings the Windows build ships of our music: momiru-prerender writes each piece, under
// the name the game looks it up by, with exactly the samples the game's own music cache holds of
// it here, so that the game sounds the same on both systems.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/platform.h"
#include "media/midi_length.h"
#include "media/midi_rendering.h"
#include "media/music_cache.h"
#include "media/music_file.h"

namespace momiru::media {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

std::vector<short> samplesOf(const fs::path& file, SF_INFO& info) {
  info = {};
  SNDFILE* in = sf_open(file.c_str(), SFM_READ, &info);
  if (in == nullptr) return {};
  std::vector<short> out(static_cast<std::size_t>(info.frames * info.channels));
  out.resize(static_cast<std::size_t>(sf_readf_short(in, out.data(), info.frames) * info.channels));
  sf_close(in);
  return out;
}

class PrerenderedMusic : public ::testing::Test {
 protected:
  PrerenderedMusic() {
    dir_ = fs::temp_directory_path() / ("momiru-prerender-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~PrerenderedMusic() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
};

TEST_F(PrerenderedMusic, ThePieceIsTheCachesRenderingLosslesslyUnderItsContentsName) {
  if (!fs::exists(kSoundFont)) GTEST_SKIP() << "no " << kSoundFont;
  const fs::path piece = findDataFile("music b.mid");
  ASSERT_FALSE(piece.empty());
  const std::string command = std::string(MOMIRU_PRERENDER) + " music " + kSoundFont + " '" +
                              dir_.string() + "' '" + piece.string() + "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);

  std::vector<std::uint8_t> midi = readSmallFile(piece);
  const fs::path shipped = dir_ / shippedRenderingName(midi);
  EXPECT_EQ(shipped.parent_path().filename(), "renderings");
  EXPECT_EQ(shipped.extension(), ".flac");
  EXPECT_EQ(shipped.stem().string().size(), 64u);  // the SHA-256 in hex
  SF_INFO flac;
  const std::vector<short> shippedSamples = samplesOf(shipped, flac);
  EXPECT_EQ(flac.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
  EXPECT_EQ(flac.samplerate, 44100);
  EXPECT_EQ(flac.channels, 2);
  // Cut at the piece's own length, so that it repeats on the beat.
  const double seconds = *midiSeconds(midi);
  EXPECT_EQ(flac.frames, static_cast<sf_count_t>(seconds * 44100 + 0.5));

  // What the game's cache holds for an output at 44100 Hz.
  auto plan = planRendering(std::move(midi), seconds, kSoundFont, 44100);
  ASSERT_TRUE(plan);
  const MusicCache cache(dir_ / "cache");
  {
    CacheWriter out(cache, "music b.mid", plan->key, plan->rate, plan->frames);
    const std::atomic<bool> stop{false};
    ASSERT_TRUE(renderMidi(*plan, stop, out));
  }
  SF_INFO wav;
  const std::vector<short> cached = samplesOf(cache.fileFor("music b.mid"), wav);
  ASSERT_FALSE(cached.empty());
  EXPECT_TRUE(shippedSamples == cached) << "the shipped rendering differs from the cache's";

  // A piece in place of ours is another file's content, so it never finds our rendering.
  std::vector<std::uint8_t> changed = readSmallFile(piece);
  changed.back() ^= 1;
  EXPECT_NE(shippedRenderingName(changed), shippedRenderingName(readSmallFile(piece)));
}

TEST_F(PrerenderedMusic, WhatIsNotAPieceIsRefusedAndNothingIsLeftBehind) {
  const fs::path notMidi = dir_ / "not.mid";
  { std::ofstream(notMidi) << "MThd but not really"; }
  const std::string command = std::string(MOMIRU_PRERENDER) + " music " + kSoundFont + " '" +
                              (dir_ / "out").string() + "' '" + notMidi.string() + "' 2>/dev/null";
  EXPECT_NE(std::system(command.c_str()), 0);
  EXPECT_FALSE(fs::exists(dir_ / "out" / "renderings"));
}

}  // namespace
}  // namespace momiru::media
