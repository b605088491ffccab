// The battle music through the real output path, written to a file by the disk audio driver:
// it must be sound, not silence, must not clip, and must sound the same through the synthesizer
// as from its rendering in the music cache.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>
#include <vector>

#include "data/platform.h"
#include "media/sdl_library.h"
#include "media/sounds.h"

namespace momiru::media {
namespace {

namespace fs = std::filesystem;

void keep(BattleSounds& sounds, int ticks) {
  for (int tick = 0; tick < ticks; ++tick) {
    sounds.keepMusicPlaying();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

double dbfs(double level) { return 20 * std::log10(level / 32768); }

double rms(const std::vector<std::int16_t>& s, std::size_t from, std::size_t count) {
  double sum = 0;
  for (std::size_t i = from; i < from + count; ++i) sum += static_cast<double>(s[i]) * s[i];
  return std::sqrt(sum / static_cast<double>(count));
}

// The sample index where sound starts at or after `from`, after at least `gap` silent samples.
std::size_t soundAfterSilence(const std::vector<std::int16_t>& s, std::size_t from,
                              std::size_t gap) {
  std::size_t quiet = 0;
  for (std::size_t i = from; i < s.size(); ++i) {
    if (std::abs(int{s[i]}) > 8) {
      if (quiet >= gap) return i;
      quiet = 0;
    } else {
      ++quiet;
    }
  }
  return s.size();
}

TEST(DiskRender, BattleMusicIsSoundAndTheSameFromItsRendering) {
  if (!fs::exists("/usr/share/sounds/sf2/TimGM6mb.sf2"))
    GTEST_SKIP() << "timgm6mb-soundfont is not installed";
  const fs::path dir = fs::temp_directory_path() / ("momiru-disk-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path raw = dir / "out.raw";
  ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  const std::string music = pathToUtf8(findDataFile(utf8ToPath(std::string(kBattleMusic))));
  ASSERT_FALSE(music.empty());

  {
    BattleSounds sounds;
    keep(sounds, 150);  // 1.5 s through the synthesizer, which starts the rendering
    sounds.playHit();
    keep(sounds, 50);
    sounds.playSpecialHit();
    keep(sounds, 50);
    ASSERT_EQ(sounds.music.Mode(), kModePlaying);
  }
  for (int i = 0; i < 3000 && !musicPrepared(music); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(musicPrepared(music)) << "rendered within 30 s";
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // a silence between the two
  {
    BattleSounds sounds;
    keep(sounds, 150);
    ASSERT_EQ(sounds.music.Mode(), kModePlaying);
  }

  // 44.1 kHz, 16-bit, stereo, as the players open the output.
  std::ifstream in(raw, std::ios::binary);
  std::vector<std::int16_t> samples;
  std::int16_t s = 0;
  while (in.read(reinterpret_cast<char*>(&s), sizeof s)) samples.push_back(s);
  fs::remove_all(dir);

  constexpr std::size_t kSecond = 44100 * 2;
  const std::size_t first = soundAfterSilence(samples, 0, 0);
  const std::size_t second = soundAfterSilence(samples, first, kSecond / 2);
  ASSERT_LE(second + kSecond, samples.size()) << "both starts were written";

  const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
  const int peak = std::max(-int{*low}, int{*high});
  const auto fullScale = std::count_if(samples.begin(), samples.end(),
                                       [](std::int16_t v) { return v == 32767 || v == -32768; });
  const double synthesized = rms(samples, first, kSecond);
  const double rendered = rms(samples, second, kSecond);
  std::cout << "battle music through the disk driver: first second " << dbfs(synthesized)
            << " dBFS RMS through the synthesizer, " << dbfs(rendered)
            << " dBFS from the rendering; peak " << dbfs(peak) << " dBFS\n";
  EXPECT_GT(synthesized, 300.0) << "louder than -40 dBFS";
  EXPECT_NEAR(dbfs(rendered), dbfs(synthesized), 0.5) << "the rendering sounds as loud";
  EXPECT_LT(fullScale, 10) << "not clipped";
}

}  // namespace
}  // namespace momiru::media
