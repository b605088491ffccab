// The sound library's device: MIDI rendered once per file by FluidSynth and played from memory
// (through the mixer's music stream until the rendering is ready), WAV effects on a channel of
// their own per player. The audio output opens once per process, on first use.
#include <SDL.h>
#include <SDL_mixer.h>
#include <fluidsynth.h>
#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <system_error>
#include <thread>
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
// The mixer's FluidSynth player sets the synthesizer's gain to this times volume / MIX_MAX_VOLUME;
// a rendered piece is made at that gain and mixed at full volume, so it sounds as loud.
constexpr double kFluidGainAtFullVolume = 1.2;

std::atomic<std::uint64_t> g_framesMixed{0};

void countFrames(void* bytesPerFrame, Uint8*, int len) {
  g_framesMixed += static_cast<std::uint64_t>(len) /
                   static_cast<std::uint64_t>(*static_cast<int*>(bytesPerFrame));
}

using FileStamp = std::tuple<std::string, std::uintmax_t, fs::file_time_type>;

// A MIDI piece rendered to PCM at the output's format. The synthesizer costs some 3% of a core
// while it plays, every time the music loops; rendered once, a piece costs only the mixing.
struct Rendering {
  FileStamp stamp;
  std::vector<Sint16> pcm;    // interleaved stereo, exactly the piece's length
  std::atomic<int> state{0};  // kRendering, kRendered or kFailed; pcm is final once not rendering
  std::thread worker;

  static constexpr int kRendering = 0;
  static constexpr int kRendered = 1;
  static constexpr int kFailed = 2;
  bool ready() const { return state.load(std::memory_order_acquire) == kRendered; }
};

// Renders `midi` as the mixer's own FluidSynth player would sound it at `gain`, cut at
// `seconds` (the keeper starts the piece again there, so the synthesizer's ringing tail after
// the last bar is never heard). False when the synthesizer refuses or `stop` is set.
bool renderMidi(const std::vector<std::uint8_t>& midi, double seconds, const char* soundFont,
                int rate, float gain, const std::atomic<bool>& stop, std::vector<Sint16>& out) {
  fluid_settings_t* settings = new_fluid_settings();
  if (settings == nullptr) return false;
  fluid_settings_setnum(settings, "synth.sample-rate", rate);
  fluid_settings_setstr(settings, "player.timing-source", "sample");  // faster than real time
  fluid_synth_t* synth = new_fluid_synth(settings);
  fluid_player_t* player = nullptr;
  bool ok = synth != nullptr && fluid_synth_sfload(synth, soundFont, 1) != FLUID_FAILED;
  if (ok) {
    fluid_synth_set_gain(synth, gain);
    player = new_fluid_player(synth);
    ok = player != nullptr && fluid_player_add_mem(player, midi.data(), midi.size()) == FLUID_OK &&
         fluid_player_play(player) == FLUID_OK;
  }
  const auto frames = static_cast<std::size_t>(seconds * rate + 0.5);
  ok = ok && frames > 0;
  if (ok) {
    constexpr std::size_t kBlock = 4096;
    out.assign(frames * 2, 0);
    for (std::size_t done = 0; ok && done < frames; done += kBlock) {
      const std::size_t n = std::min(kBlock, frames - done);
      Sint16* at = out.data() + done * 2;
      ok = !stop.load(std::memory_order_relaxed) &&
           fluid_synth_write_s16(synth, static_cast<int>(n), at, 0, 2, at, 1, 2) == FLUID_OK;
    }
  }
  if (player != nullptr) {
    fluid_player_stop(player);
    delete_fluid_player(player);
  }
  if (synth != nullptr) delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  if (!ok) std::vector<Sint16>().swap(out);
  return ok;
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
  using FileStamp = media::FileStamp;
  bool refused(const FileStamp& f) const { return refused_.count(f) != 0; }
  void refuse(const FileStamp& f) { refused_.insert(f); }

  const void* musicOwner = nullptr;  // the device whose piece the music stream holds

  // The rendering of `midi` (the file `stamp`, `seconds` long): started in the background on the
  // first call for a file, shared by every player, kept for the rest of the process. Only the
  // newest version of each file is kept. Null when this output cannot take a rendering.
  std::shared_ptr<Rendering> rendering(const FileStamp& stamp,
                                       const std::vector<std::uint8_t>& midi, double seconds) {
    if (!open_ || !haveSoundFont_ || format_ != AUDIO_S16SYS || channels_ != 2) return nullptr;
    std::shared_ptr<Rendering>& slot = renderings_[std::get<0>(stamp)];
    if (slot && slot->stamp == stamp) return slot;
    if (slot && slot->state.load(std::memory_order_acquire) == Rendering::kRendering)
      return nullptr;  // the older version is still being rendered; the synthesizer plays this
    if (slot && slot->worker.joinable()) slot->worker.join();
    auto r = std::make_shared<Rendering>();
    r->stamp = stamp;
    const float gain = static_cast<float>(kMusicVolume * kFluidGainAtFullVolume / MIX_MAX_VOLUME);
    try {
      r->worker = std::thread([r = r.get(), midi, seconds, font = soundFont_, rate = rate_, gain,
                               stop = &stopRendering_] {
        const bool ok = renderMidi(midi, seconds, font, rate, gain, *stop, r->pcm);
        r->state.store(ok ? Rendering::kRendered : Rendering::kFailed, std::memory_order_release);
        // The synthesizer's copy of the SoundFont was freed in this thread's own heap, which
        // keeps the pages (some 20 MB) unless told to give them back.
        malloc_trim(0);
      });
    } catch (const std::exception&) {
      r->state = Rendering::kFailed;  // no thread to spare: the synthesizer goes on playing it
    }
    slot = std::move(r);
    return slot;
  }

  AudioSystem(const AudioSystem&) = delete;
  AudioSystem& operator=(const AudioSystem&) = delete;

  // The finished rendering of the file `stamp`, or null.
  std::shared_ptr<Rendering> rendered(const FileStamp& stamp) const {
    const auto it = renderings_.find(std::get<0>(stamp));
    if (it == renderings_.end() || it->second->stamp != stamp || !it->second->ready())
      return nullptr;
    return it->second;
  }

 private:
  AudioSystem() = default;

  // Stops the audio thread and any rendering before the rest of the program's statics go away.
  static void shutDown() {
    AudioSystem& audio = get();
    if (!audio.open_) return;
    audio.stopRendering_ = true;
    for (auto& [name, r] : audio.renderings_) {
      if (r->worker.joinable()) r->worker.join();
    }
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
      format_ = format;
      channels_ = channels;
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
        soundFont_ = font;
        break;
      }
    }
    // FluidSynth fills its shared tables when the first synthesizer is made and does not hold
    // back a second one made meanwhile on another thread, which then misses its default
    // modulators; so the first is made here, before any rendering or piece can start.
    if (fluid_settings_t* settings = new_fluid_settings()) {
      if (fluid_synth_t* synth = new_fluid_synth(settings)) delete_fluid_synth(synth);
      delete_fluid_settings(settings);
    }
    return true;
  }

  bool tried_ = false;
  bool open_ = false;
  bool initedSdlAudio_ = false;
  bool haveSoundFont_ = false;
  int rate_ = kRate;
  Uint16 format_ = AUDIO_S16SYS;
  int channels_ = 2;
  int bytesPerFrame_ = 4;
  const char* soundFont_ = nullptr;
  std::atomic<bool> stopRendering_{false};
  std::map<std::string, std::shared_ptr<Rendering>> renderings_;  // by file name
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
    if (auto rendered = audio.rendered(stamp)) {
      spare_.release();  // the synthesizer is not needed for this file any more
      return openRendered(audio, std::move(rendered));
    }
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
    rendered_.reset();  // after the halt: the mixer reads the rendering while it sounds
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
    if (!piece_.load()) return false;
    audio.rendering(stamp_, piece_.bytes, piece_.seconds);  // for the next start of this file
    return true;
  }

  bool openRendered(AudioSystem& audio, std::shared_ptr<Rendering> rendered) {
    chunk_ = Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(rendered->pcm.data()),
                               static_cast<Uint32>(rendered->pcm.size() * sizeof(Sint16)));
    if (chunk_ == nullptr) return false;
    rendered_ = std::move(rendered);
    if (channel_ < 0) channel_ = audio.takeChannel();
    Mix_Volume(channel_, MIX_MAX_VOLUME);  // the music's level is in the rendering
    return true;
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
    Mix_Volume(channel_, kEffectVolume);
    return true;
  }

  std::vector<std::uint8_t> bytes_;  // the file being opened
  Piece piece_;
  Piece spare_;
  AudioSystem::FileStamp stamp_;
  AudioSystem::FileStamp spareStamp_;
  Mix_Chunk* chunk_ = nullptr;           // an effect, or a rendered piece of music
  std::shared_ptr<Rendering> rendered_;  // the memory chunk_ plays when it is music
  int channel_ = -1;
  double startedAt_ = 0;  // audio time when the piece started
};

}  // namespace

void prepareMusic(const std::string& fileName) {
  AudioSystem& audio = AudioSystem::get();
  if (fileName.empty() || !audio.ready()) return;
  const fs::path path = utf8ToPath(fileName);
  std::error_code ec;
  const auto stamp = FileStamp{fileName, fs::file_size(path, ec), fs::last_write_time(path, ec)};
  if (ec) return;
  const std::vector<std::uint8_t> bytes = readSmallFile(path);
  if (bytes.size() < 4 || bytes[0] != 'M' || bytes[1] != 'T' || bytes[2] != 'h' || bytes[3] != 'd')
    return;
  if (const auto seconds = midiSeconds(bytes); seconds && *seconds > 0)
    audio.rendering(stamp, bytes, *seconds);
}

bool musicPrepared(const std::string& fileName) {
  AudioSystem& audio = AudioSystem::get();
  const fs::path path = utf8ToPath(fileName);
  std::error_code ec;
  const auto stamp = FileStamp{fileName, fs::file_size(path, ec), fs::last_write_time(path, ec)};
  return !ec && audio.isOpen() && audio.rendered(stamp) != nullptr;
}

std::unique_ptr<MediaDevice> makeSdlDevice() { return std::make_unique<SdlDevice>(); }

}  // namespace momiru::media
