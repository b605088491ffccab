// The player's command vocabulary over a MediaDevice.
#include "media/media_player.h"

#include "data/platform.h"
#include "media/sound_library.h"

namespace momiru::media {

namespace {

DeviceFactory& factory() {
  static DeviceFactory f;
  return f;
}

std::unique_ptr<MediaDevice> newDevice() {
  if (factory()) {
    if (auto device = factory()()) return device;
  }
  return makeSoundDevice();
}

}  // namespace

DeviceFactory setDeviceFactory(DeviceFactory f) {
  DeviceFactory previous = std::move(factory());
  factory() = std::move(f);
  return previous;
}

struct MediaPlayer::Impl {
  std::unique_ptr<MediaDevice> device;
  std::string fileName;
  bool open = false;
  bool repeating = false;
};

MediaPlayer::MediaPlayer() : MediaPlayer(newDevice()) {}

MediaPlayer::MediaPlayer(std::unique_ptr<MediaDevice> device) : impl_(std::make_unique<Impl>()) {
  impl_->device = device ? std::move(device) : makeSoundDevice();
}

MediaPlayer::~MediaPlayer() { Command("Close"); }

void MediaPlayer::Command(std::string_view command) {
  MediaDevice& device = *impl_->device;
  if (command == "Close") {
    if (impl_->open) device.close();
    impl_->open = false;
  } else if (command == "Open") {
    if (impl_->open) device.close();
    impl_->open = !impl_->fileName.empty() && device.open(impl_->fileName);
  } else if (command == "Prev") {
    if (impl_->open) device.rewind();
  } else if (command == "Play") {
    if (impl_->open) playOn(device, impl_->repeating);
  }
}

void MediaPlayer::setRepeating(bool repeating) { impl_->repeating = repeating; }

void MediaPlayer::setFileName(const std::string& fullName) { impl_->fileName = fullName; }

const std::string& MediaPlayer::fileName() const { return impl_->fileName; }

int MediaPlayer::Mode() const {
  if (!impl_->open) return kModeNotReady;
  return impl_->device->playing() ? kModePlaying : kModeStopped;
}

double MediaPlayer::secondsLeft() const { return impl_->open ? impl_->device->secondsLeft() : 0; }

void MediaPlayer::playFromStart(std::string_view fileName) {
  Command("Close");
  // A file found nowhere leaves the name empty, so "Open" fails and the player stays silent.
  setFileName(pathToUtf8(findDataFile(utf8ToPath(std::string(fileName)))));
  Command("Open");
  Command("Prev");
  Command("Play");
}

}  // namespace momiru::media
