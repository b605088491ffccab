// The sound library's device: MIDI through the mixer's music stream and FluidSynth, WAV effects
// on a channel of their own per player. The audio output opens once per process, on first use.
#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>
#include <tuple>
#include <vector>

#include "data/platform.h"
#include "media/media_device.h"
#include "media/midi_length.h"

namespace momiru::media {

namespace {

namespace fs = std::filesystem;

// General MIDI SoundFonts, best first. The small one loads in some 20 ms, which matters because
// the mixer loads the SoundFont again for every MIDI file it opens (each battle-music restart);
// the large ones take half a second and 150 MB, so they only stand in when it is missing.
constexpr const char* kSoundFonts[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
};

constexpr int kRate = 44100;
constexpr std::uintmax_t kLargestFile = 16u << 20;  // nothing of ours comes near this
// Levels measured through the output: the battle music peaks at -8 dBFS and the effects, which
// are made to peak near full scale, at -6 dBFS, so a hit on the loudest bar still cannot clip
// and the hits stand out over the music.
constexpr int kMusicVolume = MIX_MAX_VOLUME * 9 / 32;
constexpr int kEffectVolume = MIX_MAX_VOLUME / 2;

std::atomic<std::uint64_t> g_framesMixed{0};

void countFrames(void* bytesPerFrame, Uint8*, int len) {
  g_framesMixed += static_cast<std::uint64_t>(len) /
                   static_cast<std::uint64_t>(*static_cast<int*>(bytesPerFrame));
}

// The process's audio output, shared by every player.
class AudioSystem {
 public:
  // Never destroyed: a player that outlives main() still finds it, closed by then.
  static AudioSystem& get() {
    static AudioSystem* audio = new AudioSystem;
    return *audio;
  }

  bool isOpen() const { return open_; }

  // Opens the output on the first call; a failure is final, so a player with no device to play
  // on does not try again on every keeper tick.
  bool ready() {
    if (!tried_) {
      tried_ = true;
      open_ = openOutput();
    }
    return open_;
  }

  bool haveSoundFont() const { return haveSoundFont_; }

  double secondsMixed() const {
    return static_cast<double>(g_framesMixed.load()) / static_cast<double>(rate_);
  }

  // A dedicated mixer channel, so that starting one player's sound cuts only that player's.
  int takeChannel() {
    std::size_t i = 0;
    while (i < channelTaken_.size() && channelTaken_[i]) ++i;
    if (i == channelTaken_.size()) {
      channelTaken_.push_back(false);
      Mix_AllocateChannels(static_cast<int>(channelTaken_.size()));
    }
    channelTaken_[i] = true;
    Mix_Volume(static_cast<int>(i), kEffectVolume);
    return static_cast<int>(i);
  }

  void giveBackChannel(int channel) {
    if (!open_) return;
    Mix_HaltChannel(channel);
    channelTaken_[static_cast<std::size_t>(channel)] = false;
  }

  // Files that opened but that the mixer refused; not tried again until they change, because the
  // music keeper would otherwise reload a broken piece every 10 ms.
  using FileStamp = std::tuple<std::string, std::uintmax_t, fs::file_time_type>;
  bool refused(const FileStamp& f) const { return refused_.count(f) != 0; }
  void refuse(const FileStamp& f) { refused_.insert(f); }

  const void* musicOwner = nullptr;  // the device whose piece the music stream holds

  AudioSystem(const AudioSystem&) = delete;
  AudioSystem& operator=(const AudioSystem&) = delete;

 private:
  AudioSystem() = default;

  // Stops the audio thread before the rest of the program's statics go away.
  static void shutDown() {
    AudioSystem& audio = get();
    if (!audio.open_) return;
    audio.open_ = false;
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    Mix_SetPostMix(nullptr, nullptr);
    Mix_CloseAudio();
    Mix_Quit();
    if (audio.initedSdlAudio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  bool openOutput() {
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0) {
      // SDL would otherwise catch SIGINT and SIGTERM for an event loop we never run, and the game
      // would ignore a logout or a kill.
      SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
      if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
      initedSdlAudio_ = true;
    }
    Mix_Init(MIX_INIT_MID);  // MIDI may be missing; the WAV effects still work
    if (Mix_OpenAudio(kRate, AUDIO_S16SYS, 2, 1024) != 0) {
      if (initedSdlAudio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
      initedSdlAudio_ = false;
      return false;
    }
    int rate = 0;
    Uint16 format = 0;
    int channels = 0;
    if (Mix_QuerySpec(&rate, &format, &channels) != 0 && rate > 0 && channels > 0) {
      rate_ = rate;
      bytesPerFrame_ = channels * static_cast<int>(SDL_AUDIO_BITSIZE(format) / 8);
    }
    Mix_SetPostMix(countFrames, &bytesPerFrame_);
    std::atexit(shutDown);
    Mix_AllocateChannels(0);
    Mix_VolumeMusic(kMusicVolume);
    // A MIDI piece with no SoundFont plays silence without an error, so only a file that exists
    // is handed over, and MIDI stays off without one.
    std::error_code ec;
    for (const char* font : kSoundFonts) {
      if (fs::is_regular_file(font, ec)) {
        haveSoundFont_ = Mix_SetSoundFonts(font) != 0;
        break;
      }
    }
    return true;
  }

  bool tried_ = false;
  bool open_ = false;
  bool initedSdlAudio_ = false;
  bool haveSoundFont_ = false;
  int rate_ = kRate;
  int bytesPerFrame_ = 4;
  std::vector<bool> channelTaken_;
  std::set<FileStamp> refused_;
};

std::vector<std::uint8_t> readSmallFile(const fs::path& path) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size == 0 || size > kLargestFile) return {};
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
    return {};
  return bytes;
}

// A MIDI file and the synthesizer the mixer made for it, which reads from `bytes` while it plays.
struct Piece {
  std::vector<std::uint8_t> bytes;
  Mix_Music* music = nullptr;
  double seconds = 0;  // the length from its tempo map

  bool load() {
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    music = rw == nullptr ? nullptr : Mix_LoadMUSType_RW(rw, MUS_MID, 1);
    return music != nullptr;
  }
  void release() {
    if (music != nullptr && AudioSystem::get().isOpen()) Mix_FreeMusic(music);
    music = nullptr;
    bytes.clear();
  }
};

class SdlDevice final : public MediaDevice {
 public:
  ~SdlDevice() override {
    close();
    spare_.release();
    if (channel_ >= 0) AudioSystem::get().giveBackChannel(channel_);
  }

  bool open(const std::string& fileName) override {
    close();
    AudioSystem& audio = AudioSystem::get();
    if (!audio.ready()) return false;
    const fs::path path = utf8ToPath(fileName);
    std::error_code ec;
    const auto stamp =
        AudioSystem::FileStamp{fileName, fs::file_size(path, ec), fs::last_write_time(path, ec)};
    if (ec || audio.refused(stamp)) return false;
    stamp_ = stamp;
    if (spare_.music != nullptr) {
      if (spareStamp_ == stamp) {
        std::swap(piece_, spare_);
        return true;
      }
      spare_.release();
    }
    bytes_ = readSmallFile(path);
    if (bytes_.size() < 4) return false;
    const bool ok = isMidi() ? openMusic(audio) : openEffect(audio);
    if (!ok) {
      audio.refuse(stamp);
      bytes_.clear();
    }
    return ok;
  }

  void close() override {
    AudioSystem& audio = AudioSystem::get();
    if (!audio.isOpen()) {  // after shutdown the mixer's objects are gone with the process
      piece_.music = nullptr;
      chunk_ = nullptr;
      return;
    }
    if (piece_.music != nullptr) {
      if (audio.musicOwner == this) {
        Mix_HaltMusic();
        audio.musicOwner = nullptr;
      }
      piece_.release();
    }
    if (chunk_ != nullptr) {
      Mix_HaltChannel(channel_);
      Mix_FreeChunk(chunk_);
      chunk_ = nullptr;
    }
    bytes_.clear();
  }

  void rewind() override {
    if (!AudioSystem::get().isOpen()) return;
    if (piece_.music != nullptr && AudioSystem::get().musicOwner == this) {
      Mix_HaltMusic();
      AudioSystem::get().musicOwner = nullptr;
    }
    if (chunk_ != nullptr) Mix_HaltChannel(channel_);
  }

  void play() override {
    AudioSystem& audio = AudioSystem::get();
    if (!audio.isOpen()) return;
    if (piece_.music != nullptr) {
      if (Mix_PlayMusic(piece_.music, 0) == 0) {
        audio.musicOwner = this;
        startedAt_ = audio.secondsMixed();
        prepareSpare();
      }
    } else if (chunk_ != nullptr) {
      Mix_PlayChannel(channel_, chunk_, 0);
    }
  }

  bool playing() const override {
    AudioSystem& audio = AudioSystem::get();
    if (!audio.isOpen()) return false;
    if (piece_.music != nullptr) {
      // The synthesizer reports playing until its voices have died away, seconds after the
      // last bar; the piece has ended when its own length has been mixed.
      return audio.musicOwner == this && Mix_PlayingMusic() != 0 &&
             audio.secondsMixed() - startedAt_ < piece_.seconds;
    }
    return chunk_ != nullptr && Mix_Playing(channel_) != 0;
  }

 private:
  bool isMidi() const {
    return bytes_[0] == 'M' && bytes_[1] == 'T' && bytes_[2] == 'h' && bytes_[3] == 'd';
  }

  bool openMusic(AudioSystem& audio) {
    if (!audio.haveSoundFont()) return false;
    const auto seconds = midiSeconds(bytes_);
    if (!seconds || *seconds <= 0) return false;
    piece_.bytes = std::move(bytes_);
    piece_.seconds = *seconds;
    return piece_.load();
  }

  // Loading a MIDI file takes some 20 ms (the mixer reads the SoundFont again for each), which
  // at the keeper's restart would be a gap between the last bar and the first. So while a piece
  // plays, a second copy is loaded for the next "Open" of the same file.
  void prepareSpare() {
    if (spare_.music != nullptr) return;
    spare_.bytes = piece_.bytes;
    spare_.seconds = piece_.seconds;
    if (!spare_.load()) spare_.release();
    spareStamp_ = stamp_;
  }

  bool openEffect(AudioSystem& audio) {
    SDL_RWops* rw = SDL_RWFromConstMem(bytes_.data(), static_cast<int>(bytes_.size()));
    if (rw == nullptr) return false;
    chunk_ = Mix_LoadWAV_RW(rw, 1);  // decodes into a buffer of its own
    bytes_.clear();
    if (chunk_ == nullptr) return false;
    if (channel_ < 0) channel_ = audio.takeChannel();
    return true;
  }

  std::vector<std::uint8_t> bytes_;  // the file being opened
  Piece piece_;
  Piece spare_;
  AudioSystem::FileStamp stamp_;
  AudioSystem::FileStamp spareStamp_;
  Mix_Chunk* chunk_ = nullptr;
  int channel_ = -1;
  double startedAt_ = 0;  // audio time when the piece started
};

}  // namespace

std::unique_ptr<MediaDevice> makeSdlDevice() { return std::make_unique<SdlDevice>(); }

}  // namespace momiru::media
