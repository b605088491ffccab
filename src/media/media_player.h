// A media player: opens one file, rewinds it, plays it and closes it, and tells whether it is
// playing. Nothing else in the game knows the sound library; a player that cannot sound (no
// device, missing or broken file) stays silent.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "media/media_device.h"

namespace momiru::media {

enum class PlayerState {
  Closed,   // never opened, closed, or the file would not open
  Stopped,  // open, not sounding (before play(), or at the end)
  Playing,
};

class MediaPlayer {
 public:
  MediaPlayer();  // the device from setDeviceFactory, normally the sound library's
  explicit MediaPlayer(std::unique_ptr<MediaDevice> device);
  ~MediaPlayer();  // closes: the sound stops with the screen that owns the player
  MediaPlayer(const MediaPlayer&) = delete;
  MediaPlayer& operator=(const MediaPlayer&) = delete;

  void close();  // stops the sound and lets go of it
  // Opens `fullName`, closing what was open; false, and closed, when it would not open. An empty
  // name is not tried.
  bool open(const std::string& fullName);
  void rewind();  // back to the beginning, when open
  void play();    // starts the sound and returns at once, when open
  // From now on play() starts the sound over at its end without a gap, where the device can.
  void setRepeating(bool repeating);
  const std::string& fileName() const;  // what open() was last given
  PlayerState state() const;
  bool isPlaying() const { return state() == PlayerState::Playing; }
  // How long the open sound has yet to play, in seconds; 0 when closed or when nobody can tell.
  double secondsLeft() const;

  // The play-from-start sequence on this player: close, open where `fileName` (for example
  // "music a.mid") lies beside the program or in the installed data, rewind, play.
  void playFromStart(std::string_view fileName);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace momiru::media
