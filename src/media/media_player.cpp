// The player's operations over a MediaDevice.
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

MediaPlayer::~MediaPlayer() { close(); }

void MediaPlayer::close() {
  if (impl_->open) impl_->device->close();
  impl_->open = false;
}

bool MediaPlayer::open(const std::string& fullName) {
  close();
  impl_->fileName = fullName;
  impl_->open = !fullName.empty() && impl_->device->open(fullName);
  return impl_->open;
}

void MediaPlayer::rewind() {
  if (impl_->open) impl_->device->rewind();
}

void MediaPlayer::play() {
  if (impl_->open) playOn(*impl_->device, impl_->repeating);
}

void MediaPlayer::setRepeating(bool repeating) { impl_->repeating = repeating; }

const std::string& MediaPlayer::fileName() const { return impl_->fileName; }

PlayerState MediaPlayer::state() const {
  if (!impl_->open) return PlayerState::Closed;
  return impl_->device->playing() ? PlayerState::Playing : PlayerState::Stopped;
}

double MediaPlayer::secondsLeft() const { return impl_->open ? impl_->device->secondsLeft() : 0; }

void MediaPlayer::playFromStart(std::string_view fileName) {
  close();
  // A file found nowhere leaves the name empty, so the open fails and the player stays silent.
  open(pathToUtf8(findDataFile(utf8ToPath(std::string(fileName)))));
  rewind();
  play();
}

}  // namespace momiru::media
