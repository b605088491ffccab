// When music plays and lets go of its sound: the rule the title and the battle's music keeper
// share, the wait before a piece played once is closed, and the music's start-up.
#include "media/sounds.h"

#include <algorithm>

#include "data/platform.h"
#include "media/sound_library.h"

namespace momiru::media {

void playUnlessPlaying(MediaPlayer& player, std::string_view fileName) {
  if (!player.isPlaying()) player.playFromStart(fileName);
}

int BattleSounds::keepMusicPlaying() {
  playUnlessPlaying(music, kBattleMusic);
  // Music that would not start (no sound device, the file missing or refused) stays silent;
  // looking again every tick would only reload it, so a silent battle is looked at as seldom as
  // one whose piece plays on.
  if (!music.isPlaying()) return kMusicKeeperLongestWaitMs;
  const double untilMargin = music.secondsLeft() * 1000.0 - kMusicEndMarginMs;
  if (untilMargin <= kMusicKeeperMs) return kMusicKeeperMs;
  return static_cast<int>(std::min<double>(untilMargin, kMusicKeeperLongestWaitMs));
}

int closeWhenFinished(MediaPlayer& player) {
  switch (player.state()) {
    case PlayerState::Closed:
      return 0;
    case PlayerState::Playing: {
      // A device that cannot tell the piece's length (or tells nonsense) is asked again every
      // so often.
      const double left = player.secondsLeft();
      if (!(left > 0)) return kRingOutMs;
      return static_cast<int>(std::min<double>(left * 1000.0, kRingOutMs * 60.0)) + kRingOutMs;
    }
    case PlayerState::Stopped:
      break;
  }
  player.close();
  return 0;
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
