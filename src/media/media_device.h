// What a media player drives: one sound at a time from one file. The game's players use the
// sound library's device (sdl_device.cpp); tests put a recording fake in its place.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace momiru::media {

class MediaDevice {
 public:
  virtual ~MediaDevice() = default;
  // Loads `fileName` (UTF-8); false when it cannot sound (no device, missing or broken file).
  virtual bool open(const std::string& fileName) = 0;
  virtual void close() = 0;   // stops and releases the loaded file
  virtual void rewind() = 0;  // stops and goes back to the beginning
  virtual void play() = 0;    // starts from the current position and returns at once
  virtual bool playing() const = 0;
};

// The sound library's device. Opening the audio output is left to the first open().
std::unique_ptr<MediaDevice> makeSdlDevice();

// Starts rendering the MIDI file `fileName` (UTF-8) in the background, so that its first start
// plays from memory instead of through the synthesizer. Opens the audio output; does nothing for
// a file that cannot sound.
void prepareMusic(const std::string& fileName);
// True once the rendering of `fileName` that prepareMusic or a first start began is ready.
bool musicPrepared(const std::string& fileName);

// Players created with MediaPlayer() get their device from this factory; an empty factory means
// makeSdlDevice. Returns the previous factory, so that a test can put it back.
using DeviceFactory = std::function<std::unique_ptr<MediaDevice>()>;
DeviceFactory setDeviceFactory(DeviceFactory factory);

}  // namespace momiru::media
