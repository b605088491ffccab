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
  // How long the sound playing now has yet to play, in seconds; 0 when not playing or when the
  // device cannot tell.
  virtual double secondsLeft() const { return 0; }
};

// The sound library's device. Opening the audio output is left to the first open().
std::unique_ptr<MediaDevice> makeSdlDevice();

// Keeps the audio output closed until releaseAudioOutput(); the sound library's players opened
// meanwhile report what they were told (a file that exists opens, "Play" plays) and start
// sounding on release. The game holds the output until its first window is on screen, so that
// neither the audio device nor the synthesizer delays the window. Does nothing once the output
// has been opened.
void holdAudioOutput();
// Opens the output and starts what the players were told while it was held.
void releaseAudioOutput();

// Starts rendering the MIDI file `fileName` (UTF-8) into the music cache in the background,
// unless the cache holds it already, so that its starts stream from disk instead of playing
// through the synthesizer. Opens the audio output; does nothing for a file that cannot sound.
void prepareMusic(const std::string& fileName);
// True when the music cache holds a whole rendering of `fileName` as it is now.
bool musicPrepared(const std::string& fileName);

// Players created with MediaPlayer() get their device from this factory; an empty factory means
// makeSdlDevice. Returns the previous factory, so that a test can put it back.
using DeviceFactory = std::function<std::unique_ptr<MediaDevice>()>;
DeviceFactory setDeviceFactory(DeviceFactory factory);

}  // namespace momiru::media
