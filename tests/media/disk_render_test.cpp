// The battle music through the real output path, written to a file by the disk audio driver:
// it must be sound, not silence, must not clip, and must sound the same through the synthesizer
// as from its rendering in the music cache; and a repeated rendering joins its end to its
// beginning with no gap.
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
#include "notes_compiler.h"

namespace momiru::media {
namespace {

namespace fs = std::filesystem;

void keep(BattleSounds& sounds, int ticks) {
  for (int tick = 0; tick < ticks; ++tick) {
    sounds.keepMusicPlaying();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Waits up to `seconds` for the music cache to hold `file`'s whole rendering.
bool waitPrepared(const std::string& file, int seconds) {
  for (int i = 0; i < seconds * 100 && !musicPrepared(file); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return musicPrepared(file);
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
    ASSERT_EQ(sounds.music.state(), PlayerState::Playing);
  }
  ASSERT_TRUE(waitPrepared(music, 30)) << "rendered within 30 s";
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // a silence between the two
  {
    BattleSounds sounds;
    keep(sounds, 150);
    ASSERT_EQ(sounds.music.state(), PlayerState::Playing);
  }

  // A one-bar chord held to the bar's end, repeated for more than two bars.
  const fs::path bar = dir / "bar.mid";
  const auto piece = music::compileNotes(
      "tempo 240\ntrack p channel=1 program=1 gate=100\n [c4 e4 g4 c5]:1 |\nend\n");
  ASSERT_EQ(piece.error, "");
  std::ofstream(bar, std::ios::binary)
      .write(reinterpret_cast<const char*>(piece.midi.data()),
             static_cast<std::streamsize>(piece.midi.size()));
  prepareMusic(pathToUtf8(bar));
  ASSERT_TRUE(waitPrepared(pathToUtf8(bar), 10));
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  {
    MediaPlayer player;
    player.setRepeating(true);
    player.open(pathToUtf8(bar));
    player.play();
    std::this_thread::sleep_for(std::chrono::milliseconds(2600));  // no keeper looks meanwhile
    ASSERT_EQ(player.state(), PlayerState::Playing);
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
  const std::size_t repeated = soundAfterSilence(samples, second, kSecond / 2);
  ASSERT_LE(repeated + kSecond * 5 / 2, samples.size()) << "the repeated bar was written";
  // At 240 bpm the bar is a second long. Each pass is the one before it, sample for sample,
  // exactly a second later: a gap or a seam at the join would shift or change it.
  EXPECT_TRUE(std::equal(samples.begin() + static_cast<std::ptrdiff_t>(repeated),
                         samples.begin() + static_cast<std::ptrdiff_t>(repeated + kSecond),
                         samples.begin() + static_cast<std::ptrdiff_t>(repeated + kSecond)));

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
