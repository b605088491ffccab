// The real players on the sound library's dummy output: pieces end with their last bar, effects
// keep to their own channels, bad files stay silent, and the music cache is used only when sound:
// a broken rendering is made again, a replaced piece is heard under a stale one.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <thread>

#include "data/platform.h"
#include "media/media_player.h"
#include "media/music_cache.h"
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
    player.close();
    player.open(file);
    player.rewind();
    player.play();
  }

  // Seconds from `start` until the player stops playing, or `limit`. Taken from before the piece
  // was started, a busy machine's slow start lengthens what is measured, never shortens it.
  static double secondsPlaying(const MediaPlayer& player, double limit,
                               Clock::time_point start = Clock::now()) {
    while (player.isPlaying()) {
      const std::chrono::duration<double> held = Clock::now() - start;
      if (held.count() > limit) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  static bool waitPrepared(const std::string& file) {
    for (int i = 0; i < 1000 && !musicPrepared(file); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return musicPrepared(file);
  }

  fs::path dir_;
};

TEST_F(SdlPlayers, APieceStopsPlayingAtItsLastBarNotWhenTheSynthesizerFallsSilent) {
  const auto piece = music::compileNotes(kOneBar);
  ASSERT_EQ(piece.error, "");
  MediaPlayer player;
  // The synthesizer does not repeat: the piece still ends, for the music keeper to start again.
  player.setRepeating(true);
  const std::string file = write("short.mid", piece.midi);
  // Timed from before the start for the shortest it may be, and from once it has started for
  // the longest, so that a busy machine's slow start can neither shorten nor lengthen the piece.
  const auto beforeStart = Clock::now();
  open(player, file);
  if (!player.isPlaying()) GTEST_SKIP() << "no audio output or SoundFont here";
  const auto started = Clock::now();
  const double held = secondsPlaying(player, 6, started);
  const double sinceAsked = std::chrono::duration<double>(Clock::now() - beforeStart).count();
  EXPECT_GT(sinceAsked, 0.8);
  EXPECT_LT(held, 1.4);
  EXPECT_EQ(player.state(), PlayerState::Stopped);

  // The next start of the same file plays it again from the beginning.
  open(player, write("short.mid", piece.midi));
  EXPECT_EQ(player.state(), PlayerState::Playing);
}

// A rendered piece keeps the player's meaning of playing, from the beginning each time it starts.
TEST_F(SdlPlayers, ARenderedPieceEndsAtItsLastBar) {
  const auto piece = music::compileNotes(kOneBar);
  ASSERT_EQ(piece.error, "");
  const std::string file = write("rendered.mid", piece.midi);
  prepareMusic(file);
  if (!waitPrepared(file)) GTEST_SKIP() << "no audio output or SoundFont here";
  MediaPlayer player;
  for (int round = 0; round < 2; ++round) {
    open(player, file);
    ASSERT_EQ(player.state(), PlayerState::Playing);
    // What the music keeper sleeps by: the whole piece is still to come.
    EXPECT_GT(player.secondsLeft(), 0.8);
    EXPECT_LE(player.secondsLeft(), 1.3);
    const double held = secondsPlaying(player, 6);
    EXPECT_EQ(player.secondsLeft(), 0);
    EXPECT_GT(held, 0.9);
    EXPECT_LT(held, 1.3);
    EXPECT_EQ(player.state(), PlayerState::Stopped);
  }
}

// The mixer starts a rendering over at its end, with no keeper to notice; it stops when told.
TEST_F(SdlPlayers, ARepeatedRenderingPlaysOnUntilStopped) {
  const std::string file = write("loop.mid", music::compileNotes(kOneBar).midi);
  prepareMusic(file);
  if (!waitPrepared(file)) GTEST_SKIP() << "no audio output or SoundFont here";
  MediaPlayer player;
  player.setRepeating(true);
  open(player, file);
  ASSERT_EQ(player.state(), PlayerState::Playing);
  EXPECT_EQ(player.secondsLeft(), std::numeric_limits<double>::infinity());
  EXPECT_GE(secondsPlaying(player, 2.6), 2.6) << "on past two ends of the one-bar piece";
  player.rewind();
  EXPECT_EQ(player.state(), PlayerState::Stopped);
  EXPECT_EQ(player.secondsLeft(), 0);
  player.play();
  EXPECT_EQ(player.state(), PlayerState::Playing);
}

TEST_F(SdlPlayers, EffectsCutOnlyTheirOwnSoundAndLeaveTheMusicPlaying) {
  BattleSounds sounds;
  sounds.keepMusicPlaying();
  sounds.playSpecialHit();
  sounds.playHit();
  if (!sounds.hit.isPlaying()) GTEST_SKIP() << "no audio output here";
  sounds.playHit();  // the second blow of a multi-hit move restarts the hit sound
  EXPECT_EQ(sounds.hit.state(), PlayerState::Playing);
  EXPECT_EQ(sounds.specialHit.state(), PlayerState::Playing) << "the special hit sounds on";
  if (sounds.music.fileName().empty() || sounds.music.state() == PlayerState::Closed)
    GTEST_SKIP() << "no SoundFont for the music";
  EXPECT_EQ(sounds.music.state(), PlayerState::Playing);

  // The hit sound is about a fifth of a second; the special one lasts longer.
  EXPECT_LT(secondsPlaying(sounds.hit, 2), 0.5);
  EXPECT_EQ(sounds.specialHit.state(), PlayerState::Playing);
  EXPECT_EQ(sounds.music.state(), PlayerState::Playing);
}

// A hit sound is opened again on every blow: the player keeps its decoding while the file stays
// as it was, and a file changed on disk is read again, a broken one refused.
TEST_F(SdlPlayers, AnEffectOpenedAgainIsReadAgainOnlyWhenItsFileChanged) {
  std::ifstream in(fs::path(MOMIRU_SOURCE_DIR) / "assets" / "sounds" / "snd01.wav",
                   std::ios::binary);
  const std::vector<std::uint8_t> wav((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
  ASSERT_GT(wav.size(), 44U);
  const std::string file = write("hit.wav", wav);
  MediaPlayer player;
  open(player, file);
  if (!player.isPlaying()) GTEST_SKIP() << "no audio output here";
  for (int i = 0; i < 3; ++i) {
    open(player, file);  // the next blow: the sound starts over
    EXPECT_EQ(player.state(), PlayerState::Playing);
  }
  write("hit.wav", {'R', 'I', 'F', 'F', 9, 9, 9});
  open(player, file);
  EXPECT_EQ(player.state(), PlayerState::Closed) << "the kept decoding of a file that has changed";
  write("hit.wav", wav);
  open(player, file);
  EXPECT_EQ(player.state(), PlayerState::Playing);
  player.close();
  EXPECT_EQ(player.state(), PlayerState::Closed);
}

TEST_F(SdlPlayers, MissingAndBrokenFilesAreSilent) {
  MediaPlayer player;
  for (const std::string& file :
       {pathToUtf8(dir_ / "nothing here.mid"),
        write("junk.mid", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 1}),
        write("junk.wav", {'R', 'I', 'F', 'F', 9, 9, 9}), write("empty.wav", {})}) {
    open(player, file);
    EXPECT_EQ(player.state(), PlayerState::Closed) << file;
  }

  // The keeper retries every 10 ms; a refused file is not handed to the library again.
  const auto start = Clock::now();
  for (int i = 0; i < 200; ++i) open(player, pathToUtf8(dir_ / "junk.mid"));
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.0);
}

TEST_F(SdlPlayers, ABrokenCacheFileIsRenderedAgain) {
  const std::string file = write("piece.mid", music::compileNotes(kOneBar).midi);
  const fs::path cached = MusicCache(MusicCache::defaultDirectory()).fileFor(file);
  fs::create_directories(cached.parent_path());
  std::ofstream(cached) << "RIFF broken";
  prepareMusic(file);
  if (!waitPrepared(file)) GTEST_SKIP() << "no audio output or SoundFont here";
  EXPECT_GT(fs::file_size(cached), 44100u * 4) << "a whole second of samples";
  EXPECT_EQ(std::distance(fs::directory_iterator(cached.parent_path()), {}), 1);
}

// Even when the new file keeps the old one's size and time stamp, as after an edit.
TEST_F(SdlPlayers, AReplacedPieceIsHeardNotItsStaleRendering) {
  const std::string file = write("piece.mid", music::compileNotes(kOneBar).midi);
  prepareMusic(file);
  if (!waitPrepared(file)) GTEST_SKIP() << "no audio output or SoundFont here";
  const auto stamp = fs::last_write_time(utf8ToPath(file));
  std::string slower = kOneBar;
  slower.replace(slower.find("240"), 3, "120");
  const auto size = fs::file_size(utf8ToPath(file));
  write("piece.mid", music::compileNotes(slower).midi);
  ASSERT_EQ(fs::file_size(utf8ToPath(file)), size);
  fs::last_write_time(utf8ToPath(file), stamp);

  EXPECT_FALSE(musicPrepared(file));
  MediaPlayer player;
  open(player, file);
  const double held = secondsPlaying(player, 6);
  EXPECT_GT(held, 1.9) << "the two-second piece, not the one-second rendering";
  EXPECT_LT(held, 2.3);
}

TEST_F(SdlPlayers, WithoutAWritableCacheTheMusicStillPlays) {
  std::ofstream(dir_ / "plain file") << "x";
  ::setenv("XDG_CACHE_HOME", (dir_ / "plain file").c_str(), 1);
  const std::string file = write("piece.mid", music::compileNotes(kOneBar).midi);
  MediaPlayer player;
  open(player, file);
  if (player.state() == PlayerState::Closed) GTEST_SKIP() << "no audio output or SoundFont here";
  prepareMusic(file);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(musicPrepared(file));
  EXPECT_EQ(player.state(), PlayerState::Playing) << "through the synthesizer";
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
