// momiru-sound.so (momiru-sound.dll on Windows): the sound library as the game loads it, through
// this one entry point.
#include "media/sdl_library.h"

#ifdef _WIN32
#define MOMIRU_SOUND_EXPORT __declspec(dllexport)
#else
#define MOMIRU_SOUND_EXPORT __attribute__((visibility("default")))
#endif

extern "C" MOMIRU_SOUND_EXPORT const momiru::media::SoundLibrary momiru_sound_library{
    momiru::media::makeSdlDevice, momiru::media::prepareMusic, momiru::media::musicPrepared};
