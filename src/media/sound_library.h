// The sound library (the mixer, its synthesizer and the music cache, in momiru-sound.so) is
// loaded only when the game first sounds, after its first window is on screen: the mixer and
// the many libraries it brings would otherwise be loaded and linked before that window, and
// would double the time a start takes. Players made before then are handed their device on
// load. Without the library the game is silent, as without a sound device.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "data/platform.h"
#include "media/media_device.h"

namespace momiru::media {

// What the sound library gives the game; momiru-sound.so hands it out from its one entry point,
// kSoundLibraryEntry.
struct SoundLibrary {
  std::unique_ptr<MediaDevice> (*makeDevice)();
  // Renders a MIDI file into the music cache in the background, and tells whether the cache
  // holds it whole (see sdl_library.h).
  void (*prepareMusic)(const std::string& fileName);
  bool (*musicPrepared)(const std::string& fileName);
};
inline constexpr const char* kSoundLibraryEntry = "momiru_sound_library";
inline const std::filesystem::path kSoundLibraryFile = soundModuleFileName();

// A program that links the sound library in (the media tests) names it here, before any player
// sounds, and nothing is loaded; the game leaves it unset.
void useSoundLibrary(const SoundLibrary* library);

// The sound library, loaded on the first call unless the output is held; null while held and
// when it cannot be loaded, which is final.
const SoundLibrary* soundLibrary();

// The device of the game's players: the sound library's, once it is loaded.
std::unique_ptr<MediaDevice> makeSoundDevice();

// Keeps the sound library unloaded, and so the audio output closed, until releaseAudioOutput().
// Players opened meanwhile report what they were told (a file that exists opens, "Play" plays)
// and start sounding on release. The game holds the output until its first window is on screen.
// Does nothing once the library has been loaded.
void holdAudioOutput();
// Loads the library and starts what the players were told while it was held.
void releaseAudioOutput();

}  // namespace momiru::media
