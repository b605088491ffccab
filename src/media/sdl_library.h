// The sound library's own side, over the mixer and its synthesizer: what momiru-sound.so is made
// of, and what the media tests link in.
#pragma once

#include <memory>
#include <string>

#include "media/media_device.h"
#include "media/sound_library.h"

namespace momiru::media {

// The device, the music's preparation, and both as the game is given them.
const SoundLibrary& sdlSoundLibrary();

// The mixer's device. Opening the audio output is left to the first open().
std::unique_ptr<MediaDevice> makeSdlDevice();

// Starts rendering the MIDI file `fileName` (UTF-8) into the music cache in the background,
// unless the cache holds it already, so that its starts stream from disk instead of playing
// through the synthesizer. Opens the audio output; does nothing for a file that cannot sound.
void prepareMusic(const std::string& fileName);
// True when the music cache holds a whole rendering of `fileName` as it is now.
bool musicPrepared(const std::string& fileName);

}  // namespace momiru::media
