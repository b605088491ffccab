// A media player with the command vocabulary the screens use: "Close", "Open", "Prev", "Play",
// a file name, and a mode in which 526 means playing. Nothing else in the game knows the sound
// library; a player that cannot sound (no device, missing or broken file) stays silent.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace momiru::media {

inline constexpr int kModePlaying = 526;

class MediaPlayer {
 public:
  MediaPlayer();
  ~MediaPlayer();
  MediaPlayer(const MediaPlayer&) = delete;
  MediaPlayer& operator=(const MediaPlayer&) = delete;

  void Command(std::string_view command);  // "Close", "Open", "Prev" or "Play"; others ignored
  void setFileName(const std::string& fullName);
  int Mode() const;  // kModePlaying while playing

  // The play-from-start sequence on this player: Close; FileName = where `fileName` (for example
  // "music a.mid") lies beside the program or in the installed data; Open; Prev; Play.
  void playFromStart(std::string_view fileName);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace momiru::media
