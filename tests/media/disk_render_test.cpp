// The battle music through the real output path, written to a file by the disk audio driver:
// it must be sound, not silence, and must not clip.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>
#include <vector>

#include "media/sounds.h"

namespace momiru::media {
namespace {

namespace fs = std::filesystem;

TEST(DiskRender, BattleMusicIsSoundNotSilence) {
  if (!fs::exists("/usr/share/sounds/sf2/TimGM6mb.sf2"))
    GTEST_SKIP() << "timgm6mb-soundfont is not installed";
  const fs::path dir = fs::temp_directory_path() / ("momiru-disk-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path raw = dir / "out.raw";
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);

  {
    BattleSounds sounds;
    for (int tick = 0; tick < 250; ++tick) {  // 2.5 s of Timer4
      sounds.Timer4_Timer();
      if (tick == 100) sounds.snd1();
      if (tick == 150) sounds.snd2();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(sounds.MMControl1.Mode(), kModePlaying);
  }

  // 44.1 kHz, 16-bit, stereo, as the players open the output.
  std::ifstream in(raw, std::ios::binary);
  std::vector<std::int16_t> samples;
  std::int16_t s = 0;
  while (in.read(reinterpret_cast<char*>(&s), sizeof s)) samples.push_back(s);
  fs::remove_all(dir);
  ASSERT_GT(samples.size(), 44100u * 2) << "at least a second was written";

  double sum = 0;
  int peak = 0;
  int fullScale = 0;
  for (std::int16_t v : samples) {
    sum += static_cast<double>(v) * v;
    peak = std::max(peak, std::abs(int{v}));
    if (v == 32767 || v == -32768) ++fullScale;
  }
  const double rms = std::sqrt(sum / static_cast<double>(samples.size()));
  std::cout << "battle music through the disk driver: " << samples.size() / 2 << " frames, RMS "
            << 20 * std::log10(rms / 32768) << " dBFS, peak " << 20 * std::log10(peak / 32768.0)
            << " dBFS\n";
  EXPECT_GT(rms, 300.0) << "louder than -40 dBFS";
  EXPECT_LT(fullScale, 10) << "not clipped";
}

}  // namespace
}  // namespace momiru::media
