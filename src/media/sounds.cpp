// The one rule shared by the title music and the battle's music keeper, and the music's start-up.
#include "media/sounds.h"

#include <algorithm>

#include "data/platform.h"
#include "media/sound_library.h"

namespace momiru::media {

void playUnlessPlaying(MediaPlayer& player, std::string_view fileName) {
  if (player.Mode() != kModePlaying) player.playFromStart(fileName);
}

int BattleSounds::keepMusicPlaying() {
  playUnlessPlaying(music, kBattleMusic);
  const double untilMargin = music.secondsLeft() * 1000.0 - kMusicEndMarginMs;
  if (untilMargin <= kMusicKeeperMs) return kMusicKeeperMs;
  return static_cast<int>(std::min<double>(untilMargin, kMusicKeeperLongestWaitMs));
}

void prepareGameMusic() {
  const SoundLibrary* library = soundLibrary();
  if (library == nullptr) return;
  for (std::string_view piece : {kBattleMusic, kTitleMusic}) {
    const auto path = findDataFile(utf8ToPath(std::string(piece)));
    if (!path.empty()) library->prepareMusic(pathToUtf8(path));
  }
}

}  // namespace momiru::media
