// Loading the sound library when the game first sounds, and the players' devices until then.
#include "media/sound_library.h"

#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "data/platform.h"

namespace momiru::media {

namespace {

struct LibraryState {
  const SoundLibrary* library = nullptr;
  bool tried = false;  // loaded, or found missing: final either way
  bool held = false;
};

LibraryState& state() {
  static LibraryState s;
  return s;
}

const SoundLibrary* loadSoundLibrary() {
  for (const std::filesystem::path& dir : libraryDirectories()) {
    if (const void* entry = loadLibraryEntry(dir / kSoundLibraryFile, kSoundLibraryEntry))
      return static_cast<const SoundLibrary*>(entry);
  }
  return nullptr;
}

class DeferredDevice;
std::set<DeferredDevice*>& waitingForLibrary() {
  static std::set<DeferredDevice*> devices;
  return devices;
}

// The sound library's device once the library is loaded. While the output is held it only
// remembers the file it was given and whether it was told to play.
class DeferredDevice final : public MediaDevice {
 public:
  ~DeferredDevice() override { forgetWaitingFile(); }

  bool open(const std::string& fileName) override {
    close();
    if (state().held) return waitForLibrary(fileName);
    MediaDevice* device = realDevice();
    return device != nullptr && device->open(fileName);
  }

  void close() override {
    forgetWaitingFile();
    if (real_) real_->close();
  }

  void rewind() override {
    playWhenLoaded_ = false;
    if (real_) real_->rewind();
  }

  void play() override { play(false); }
  void playRepeating() override { play(true); }

  bool playing() const override {
    if (waiting_) return playWhenLoaded_;
    return real_ && real_->playing();
  }

  double secondsLeft() const override { return waiting_ || !real_ ? 0 : real_->secondsLeft(); }

  // The library is loaded: opens the file this player was given meanwhile, and plays it when it
  // was told to. A file that does not sound leaves the player silent, as at any open.
  void openWaitingFile() {
    const bool play = playWhenLoaded_;
    const std::string fileName = std::move(waitingFile_);
    forgetWaitingFile();
    if (open(fileName) && play) this->play(repeatWhenLoaded_);
  }

 private:
  void play(bool repeating) {
    if (waiting_) {
      playWhenLoaded_ = true;
      repeatWhenLoaded_ = repeating;
    } else if (real_) {
      playOn(*real_, repeating);
    }
  }

  MediaDevice* realDevice() {
    if (!real_) {
      if (const SoundLibrary* library = soundLibrary()) real_ = library->makeDevice();
    }
    return real_.get();
  }

  // A missing file is still told at once.
  bool waitForLibrary(const std::string& fileName) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(utf8ToPath(fileName), ec)) return false;
    waiting_ = true;
    playWhenLoaded_ = false;
    waitingFile_ = fileName;
    waitingForLibrary().insert(this);
    return true;
  }

  void forgetWaitingFile() {
    waiting_ = false;
    waitingFile_.clear();
    waitingForLibrary().erase(this);
  }

  std::unique_ptr<MediaDevice> real_;
  bool waiting_ = false;  // opened while the output was held
  bool playWhenLoaded_ = false;
  bool repeatWhenLoaded_ = false;
  std::string waitingFile_;
};

}  // namespace

void useSoundLibrary(const SoundLibrary* library) { state().library = library; }

const SoundLibrary* soundLibrary() {
  LibraryState& s = state();
  if (s.held) return nullptr;
  if (!s.tried) {
    s.tried = true;
    if (s.library == nullptr) s.library = loadSoundLibrary();
  }
  return s.library;
}

std::unique_ptr<MediaDevice> makeSoundDevice() { return std::make_unique<DeferredDevice>(); }

void holdAudioOutput() {
  if (!state().tried) state().held = true;
}

void releaseAudioOutput() {
  state().held = false;
  soundLibrary();
  // Opening one player may not close another, but copy the set all the same.
  const std::set<DeferredDevice*> waiting = waitingForLibrary();
  for (DeferredDevice* device : waiting) {
    if (waitingForLibrary().count(device) != 0) device->openWaitingFile();
  }
}

}  // namespace momiru::media
