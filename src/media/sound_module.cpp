// momiru-sound.so: the sound library as the game loads it, through this one entry point.
#include "media/sdl_library.h"

extern "C" __attribute__((visibility("default")))
const momiru::media::SoundLibrary momiru_sound_library{
    momiru::media::makeSdlDevice, momiru::media::prepareMusic, momiru::media::musicPrepared};
