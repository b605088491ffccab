// A media player with the command vocabulary the screens use: "Close", "Open", "Prev", "Play",
// a file name, and a mode in which 526 means playing. Nothing else in the game knows the sound
// library; a player that cannot sound (no device, missing or broken file) stays silent.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "media/media_device.h"

namespace momiru::media {

inline constexpr int kModeNotReady = 524;  // closed, never opened, or the file would not open
inline constexpr int kModeStopped = 525;   // open, not sounding (before Play, or at the end)
inline constexpr int kModePlaying = 526;

class MediaPlayer {
 public:
  MediaPlayer();  // the device from setDeviceFactory, normally the sound library's
  explicit MediaPlayer(std::unique_ptr<MediaDevice> device);
  ~MediaPlayer();  // closes: the sound stops with the screen that owns the player
  MediaPlayer(const MediaPlayer&) = delete;
  MediaPlayer& operator=(const MediaPlayer&) = delete;

  void Command(std::string_view command);  // "Close", "Open", "Prev" or "Play"; others ignored
  // From now on "Play" starts the sound over at its end without a gap, where the device can.
  void setRepeating(bool repeating);
  void setFileName(const std::string& fullName);
  const std::string& fileName() const;
  int Mode() const;  // kModePlaying while playing
  // How long the open sound has yet to play, in seconds; 0 when closed or when nobody can tell.
  double secondsLeft() const;

  // The play-from-start sequence on this player: Close; FileName = where `fileName` (for example
  // "music a.mid") lies beside the program or in the installed data; Open; Prev; Play.
  void playFromStart(std::string_view fileName);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace momiru::media
