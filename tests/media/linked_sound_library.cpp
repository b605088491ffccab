// The media tests link the sound library in and look into it, so their players use that copy
// rather than load momiru-sound.so as the game does.
#include "media/sdl_library.h"

namespace {
const bool linked = (momiru::media::useSoundLibrary(&momiru::media::sdlSoundLibrary()), true);
}  // namespace
