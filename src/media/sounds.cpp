// The one rule shared by the title music and the battle's music keeper.
#include "media/sounds.h"

namespace momiru::media {

void playUnlessPlaying(MediaPlayer& player, std::string_view fileName) {
  if (player.Mode() != kModePlaying) player.playFromStart(fileName);
}

}  // namespace momiru::media
