// What a media player drives: one sound at a time from one file. The game's players use the
// sound library's device (sound_library.h); tests put a recording fake in its place.
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
  // Like play(), but the sound starts over at its end without a gap, and the device goes on
  // reporting it as playing, until it is stopped. A device that cannot repeat a sound plays it
  // once, and whoever keeps it going starts it again when it has ended.
  virtual void playRepeating() { play(); }
  virtual bool playing() const = 0;
  // How long the sound playing now has yet to play, in seconds: infinite while it repeats, 0
  // when not playing or when the device cannot tell.
  virtual double secondsLeft() const { return 0; }
};

// Tells `device` to play, repeating or once.
inline void playOn(MediaDevice& device, bool repeating) {
  if (repeating) {
    device.playRepeating();
  } else {
    device.play();
  }
}

// Players created with MediaPlayer() get their device from this factory; an empty factory means
// makeSoundDevice. Returns the previous factory, so that a test can put it back.
using DeviceFactory = std::function<std::unique_ptr<MediaDevice>()>;
DeviceFactory setDeviceFactory(DeviceFactory factory);

}  // namespace momiru::media
