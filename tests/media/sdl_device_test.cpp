// The real players on the sound library's dummy output: pieces end with their last bar, effects
// keep to their own channels, and bad files stay silent.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "data/platform.h"
#include "media/media_player.h"
#include "media/sdl_library.h"
#include "media/sounds.h"
#include "notes_compiler.h"

namespace momiru::media {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// One bar at 240 bpm with a long string chord whose release rings on past the bar.
constexpr const char* kOneBar =
    "tempo 240\ntrack s channel=1 program=49 gate=100\n [c4 e4 g4 c5]:1 |\nend\n";

class SdlPlayers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ::setenv("SDL_AUDIODRIVER", "dummy", 0); }

  SdlPlayers() {
    dir_ = fs::temp_directory_path() / ("momiru-media-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    ::setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
  }
  ~SdlPlayers() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return pathToUtf8(p);
  }

  static void open(MediaPlayer& player, const std::string& file) {
    player.Command("Close");
    player.setFileName(file);
    player.Command("Open");
    player.Command("Prev");
    player.Command("Play");
  }

  // Seconds until the player stops reporting 526, or `limit`.
  static double secondsPlaying(const MediaPlayer& player, double limit) {
    const auto start = Clock::now();
    while (player.Mode() == kModePlaying) {
      const std::chrono::duration<double> held = Clock::now() - start;
      if (held.count() > limit) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  fs::path dir_;
};

TEST_F(SdlPlayers, APieceStopsPlayingAtItsLastBarNotWhenTheSynthesizerFallsSilent) {
  const auto piece = music::compileNotes(kOneBar);
  ASSERT_EQ(piece.error, "");
  MediaPlayer player;
  open(player, write("short.mid", piece.midi));
  if (player.Mode() != kModePlaying) GTEST_SKIP() << "no audio output or SoundFont here";
  const double held = secondsPlaying(player, 6);
  EXPECT_GT(held, 0.8);
  EXPECT_LT(held, 1.4);
  EXPECT_EQ(player.Mode(), kModeStopped);

  // The next start of the same file plays it again from the beginning.
  open(player, write("short.mid", piece.midi));
  EXPECT_EQ(player.Mode(), kModePlaying);
}

// A rendered piece keeps the player's meaning of 526, and a file that changes is rendered again
// rather than played from the rendering of its old version.
TEST_F(SdlPlayers, ARenderedPieceEndsAtItsLastBarAndFollowsChangesToTheFile) {
  const auto oneBar = music::compileNotes(kOneBar);
  std::string twoBarNotes = kOneBar;
  twoBarNotes.replace(twoBarNotes.find('|'), 1, "| c4:1 |");
  const auto twoBars = music::compileNotes(twoBarNotes);
  ASSERT_EQ(oneBar.error, "");
  ASSERT_EQ(twoBars.error, "");
  const auto waitPrepared = [](const std::string& file) {
    for (int i = 0; i < 1000 && !musicPrepared(file); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return musicPrepared(file);
  };

  const std::string file = write("rendered.mid", oneBar.midi);
  prepareMusic(file);
  if (!waitPrepared(file)) GTEST_SKIP() << "no audio output or SoundFont here";
  MediaPlayer player;
  for (int round = 0; round < 2; ++round) {  // and again from the beginning
    open(player, file);
    ASSERT_EQ(player.Mode(), kModePlaying);
    // What the music keeper sleeps by: the whole piece is still to come.
    EXPECT_GT(player.secondsLeft(), 0.8);
    EXPECT_LE(player.secondsLeft(), 1.3);
    const double held = secondsPlaying(player, 6);
    EXPECT_EQ(player.secondsLeft(), 0);
    EXPECT_GT(held, 0.9);
    EXPECT_LT(held, 1.3);
    EXPECT_EQ(player.Mode(), kModeStopped);
  }

  write("rendered.mid", twoBars.midi);
  EXPECT_FALSE(musicPrepared(file)) << "the old rendering is not this file";
  open(player, file);  // through the synthesizer while the new version renders
  ASSERT_EQ(player.Mode(), kModePlaying);
  EXPECT_GT(player.secondsLeft(), 1.5);
  ASSERT_TRUE(waitPrepared(file));
  open(player, file);
  const double held = secondsPlaying(player, 6);
  EXPECT_GT(held, 1.9);
  EXPECT_LT(held, 2.3);
}

TEST_F(SdlPlayers, EffectsCutOnlyTheirOwnSoundAndLeaveTheMusicPlaying) {
  BattleSounds sounds;
  sounds.keepMusicPlaying();
  sounds.playSpecialHit();
  sounds.playHit();
  if (sounds.hit.Mode() != kModePlaying) GTEST_SKIP() << "no audio output here";
  sounds.playHit();  // the second blow of a multi-hit move restarts the hit sound
  EXPECT_EQ(sounds.hit.Mode(), kModePlaying);
  EXPECT_EQ(sounds.specialHit.Mode(), kModePlaying) << "the special hit sounds on";
  if (sounds.music.fileName().empty() || sounds.music.Mode() == kModeNotReady)
    GTEST_SKIP() << "no SoundFont for the music";
  EXPECT_EQ(sounds.music.Mode(), kModePlaying);

  // The hit sound is about a fifth of a second; the special one lasts longer.
  EXPECT_LT(secondsPlaying(sounds.hit, 2), 0.5);
  EXPECT_EQ(sounds.specialHit.Mode(), kModePlaying);
  EXPECT_EQ(sounds.music.Mode(), kModePlaying);
}

TEST_F(SdlPlayers, MissingAndBrokenFilesAreSilent) {
  MediaPlayer player;
  open(player, pathToUtf8(dir_ / "nothing here.mid"));
  EXPECT_EQ(player.Mode(), kModeNotReady);
  open(player, write("junk.mid", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 1}));
  EXPECT_EQ(player.Mode(), kModeNotReady);
  open(player, write("junk.wav", {'R', 'I', 'F', 'F', 9, 9, 9}));
  EXPECT_EQ(player.Mode(), kModeNotReady);
  open(player, write("empty.wav", {}));
  EXPECT_EQ(player.Mode(), kModeNotReady);

  // The keeper retries every 10 ms; a refused file is not handed to the library again.
  const auto start = Clock::now();
  for (int i = 0; i < 200; ++i) open(player, pathToUtf8(dir_ / "junk.mid"));
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.0);
}

// Opening the sound output must leave the termination signals alone: a game that ignores SIGTERM
// survives a logout until it is killed.
TEST_F(SdlPlayers, SoundOutputLeavesTerminationSignalsToTheProgram) {
  BattleSounds sounds;
  sounds.playHit();
  for (const int sig : {SIGTERM, SIGINT}) {
    struct sigaction action {};
    ASSERT_EQ(::sigaction(sig, nullptr, &action), 0);
    EXPECT_EQ(action.sa_handler, SIG_DFL) << "signal " << sig;
  }
}

}  // namespace
}  // namespace momiru::media
