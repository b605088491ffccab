// Silent player: keeps the command sequence and the mode, plays nothing.
#include "media/media_player.h"

#include "data/platform.h"

namespace momiru::media {

struct MediaPlayer::Impl {
  std::string fileName;
  bool open = false;
};

MediaPlayer::MediaPlayer() : impl_(std::make_unique<Impl>()) {}
MediaPlayer::~MediaPlayer() = default;

void MediaPlayer::Command(std::string_view command) {
  if (command == "Close") impl_->open = false;
  if (command == "Open") impl_->open = !impl_->fileName.empty();
}

void MediaPlayer::setFileName(const std::string& fullName) { impl_->fileName = fullName; }

int MediaPlayer::Mode() const { return 0; }

void MediaPlayer::playFromStart(std::string_view fileName) {
  Command("Close");
  setFileName(pathToUtf8(findDataFile(std::string(fileName))));
  Command("Open");
  Command("Prev");
  Command("Play");
}

}  // namespace momiru::media
