// Players opened while the audio output is held, as the game's title screen is before its
// window is drawn: they answer as if sounding, the output stays closed, and on release each
// starts what it was told, while a player closed meanwhile stays silent.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "media/sdl_library.h"
#include "media/sound_library.h"
#include "media/sounds.h"

namespace momiru::media {
namespace {

// How each file was told to play once the library was loaded: "<file> play" or "<file> repeat".
std::set<std::string>& plays() {
  static std::set<std::string> p;
  return p;
}

// The sound library's device, noting how it is told to play.
class NotingDevice final : public MediaDevice {
 public:
  bool open(const std::string& fileName) override {
    file_ = std::filesystem::path(fileName).filename().string();
    return real_->open(fileName);
  }
  void close() override { real_->close(); }
  void rewind() override { real_->rewind(); }
  void play() override {
    plays().insert(file_ + " play");
    real_->play();
  }
  void playRepeating() override {
    plays().insert(file_ + " repeat");
    real_->playRepeating();
  }
  bool playing() const override { return real_->playing(); }

 private:
  std::unique_ptr<MediaDevice> real_ = sdlSoundLibrary().makeDevice();
  std::string file_;
};

const SoundLibrary kNotingLibrary{
    []() -> std::unique_ptr<MediaDevice> { return std::make_unique<NotingDevice>(); }, prepareMusic,
    musicPrepared};

TEST(HeldOutput, PlayersStartWhatTheyWereToldWhenTheOutputIsReleased) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  const auto cache =
      std::filesystem::temp_directory_path() / ("momiru-held-" + std::to_string(::getpid()));
  ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);

  useSoundLibrary(&kNotingLibrary);
  holdAudioOutput();
  BattleSounds sounds;  // a battle started from the command line is the first window
  sounds.keepMusicPlaying();
  sounds.playHit();
  sounds.playSpecialHit();
  MediaPlayer title;
  title.playFromStart(kTitleMusic);
  MediaPlayer missing;
  missing.playFromStart("nothing here.wav");
  EXPECT_EQ(sounds.hit.state(), PlayerState::Playing);
  EXPECT_EQ(title.state(), PlayerState::Playing);
  EXPECT_EQ(missing.state(), PlayerState::Closed) << "a missing file is told at once";
  sounds.specialHit.close();
  sounds.hit.rewind();  // stopped before the output opened
  EXPECT_EQ(sounds.hit.state(), PlayerState::Stopped);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "the output is not opened while held";

  releaseAudioOutput();
  if (SDL_WasInit(SDL_INIT_AUDIO) == 0) GTEST_SKIP() << "no audio output here";
  EXPECT_EQ(title.state(), PlayerState::Playing);
  EXPECT_EQ(plays(), (std::set<std::string>{"music a.mid repeat", "music b.mid play"}))
      << "each piece as it was told, and nothing that was stopped or closed meanwhile";
  EXPECT_EQ(sounds.hit.state(), PlayerState::Stopped);
  EXPECT_EQ(sounds.specialHit.state(), PlayerState::Closed);
  sounds.playHit();
  EXPECT_EQ(sounds.hit.state(), PlayerState::Playing);
  std::error_code ec;
  std::filesystem::remove_all(cache, ec);
}

}  // namespace
}  // namespace momiru::media
