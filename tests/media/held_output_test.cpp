// Players opened while the audio output is held, as the game's title screen is before its
// window is drawn: they answer as if sounding, the output stays closed, and on release each
// starts what it was told, while a player closed meanwhile stays silent.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "media/sound_library.h"
#include "media/sounds.h"

namespace momiru::media {
namespace {

TEST(HeldOutput, PlayersStartWhatTheyWereToldWhenTheOutputIsReleased) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  const auto cache =
      std::filesystem::temp_directory_path() / ("momiru-held-" + std::to_string(::getpid()));
  ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);

  holdAudioOutput();
  BattleSounds sounds;
  sounds.playHit();
  sounds.playSpecialHit();
  MediaPlayer title;
  title.playFromStart(kTitleMusic);
  MediaPlayer missing;
  missing.playFromStart("nothing here.wav");
  EXPECT_EQ(sounds.hit.Mode(), kModePlaying);
  EXPECT_EQ(title.Mode(), kModePlaying);
  EXPECT_EQ(missing.Mode(), kModeNotReady) << "a missing file is told at once";
  sounds.specialHit.Command("Close");
  sounds.hit.Command("Prev");  // stopped before the output opened
  EXPECT_EQ(sounds.hit.Mode(), kModeStopped);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "the output is not opened while held";

  releaseAudioOutput();
  if (SDL_WasInit(SDL_INIT_AUDIO) == 0) GTEST_SKIP() << "no audio output here";
  EXPECT_EQ(title.Mode(), kModePlaying);
  EXPECT_EQ(sounds.hit.Mode(), kModeStopped);
  EXPECT_EQ(sounds.specialHit.Mode(), kModeNotReady);
  sounds.playHit();
  EXPECT_EQ(sounds.hit.Mode(), kModePlaying);
  std::error_code ec;
  std::filesystem::remove_all(cache, ec);
}

}  // namespace
}  // namespace momiru::media
