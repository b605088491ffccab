// The sound library's device. A MIDI piece streams from its rendering in the music cache once
// that is there, and plays through the mixer's synthesizer until then; a WAV effect plays on a
// channel of the player's own, so that it cuts only that player's sound.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <utility>

#include "data/platform.h"
#include "media/audio_output.h"
#include "media/media_device.h"
#include "media/midi_length.h"
#include "media/midi_rendering.h"
#include "media/music_cache.h"
#include "media/music_file.h"
#include "media/sdl_library.h"
#include "media/synthesized_piece.h"

namespace momiru::media {

namespace {

// The mixer's reading of the C stream `stream`, which it closes when done. SDL's own SDL_RWFromFP
// is left out of its Windows build, so the stream is read through these calls on every system.
// Our files are far below the 2 GiB that a long offset reaches on Windows.
SDL_RWops* readingOps(std::FILE* stream) {
  SDL_RWops* rw = SDL_AllocRW();
  if (rw == nullptr) return nullptr;
  rw->type = SDL_RWOPS_UNKNOWN;
  rw->hidden.unknown.data1 = stream;
  rw->size = [](SDL_RWops* ops) -> Sint64 {
    std::FILE* f = static_cast<std::FILE*>(ops->hidden.unknown.data1);
    const long here = std::ftell(f);
    if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(f);
    return std::fseek(f, here, SEEK_SET) == 0 ? end : -1;
  };
  rw->seek = [](SDL_RWops* ops, Sint64 offset, int whence) -> Sint64 {
    std::FILE* f = static_cast<std::FILE*>(ops->hidden.unknown.data1);
    const int from = whence == RW_SEEK_CUR ? SEEK_CUR : whence == RW_SEEK_END ? SEEK_END : SEEK_SET;
    if (offset < std::numeric_limits<long>::min() || offset > std::numeric_limits<long>::max() ||
        std::fseek(f, static_cast<long>(offset), from) != 0)
      return SDL_SetError("cannot seek");
    return std::ftell(f);
  };
  rw->read = [](SDL_RWops* ops, void* data, std::size_t size, std::size_t count) -> std::size_t {
    return std::fread(data, size, count, static_cast<std::FILE*>(ops->hidden.unknown.data1));
  };
  rw->write = [](SDL_RWops*, const void*, std::size_t, std::size_t) -> std::size_t { return 0; };
  rw->close = [](SDL_RWops* ops) -> int {
    const int closed = std::fclose(static_cast<std::FILE*>(ops->hidden.unknown.data1));
    SDL_FreeRW(ops);
    return closed == 0 ? 0 : -1;
  };
  return rw;
}

// A music stream of `type` that reads `file` from disk while it plays; null when the mixer
// refuses it.
Mix_Music* streamFrom(OpenFile file, Mix_MusicType type) {
  if (!file) return nullptr;
  std::FILE* stream = std::move(file).intoReadingStream();
  if (stream == nullptr) return nullptr;
  // The mixer reads one output buffer (4 KiB) at a time; a larger buffer here makes the audio
  // thread read the file some three times a second instead of forty.
  std::setvbuf(stream, nullptr, _IOFBF, 64 * 1024);
  SDL_RWops* rw = readingOps(stream);
  if (rw == nullptr) {
    std::fclose(stream);
    return nullptr;
  }
  return Mix_LoadMUSType_RW(rw, type, 1);  // closes the file when freed, or on failure
}

// The cached rendering of the MIDI file `file` as a music stream, or null when the cache has no
// whole rendering of this version for this output.
Mix_Music* openCachedRendering(const MusicCache& cache, const FileStamp& file,
                               const PlannedRendering& plan) {
  return streamFrom(cache.open(file.name, plan.key, plan.rate, plan.frames), MUS_WAV);
}

class SdlDevice final : public MediaDevice {
 public:
  ~SdlDevice() override {
    close();
    spare_.release();
    if (decoded_ != nullptr && AudioOutput::get().isOpen()) Mix_FreeChunk(decoded_);
    if (channel_ >= 0) AudioOutput::get().giveBackChannel(channel_);
  }

  bool open(const std::string& fileName) override {
    close();
    AudioOutput& output = AudioOutput::get();
    if (!output.ready()) return false;
    const auto file = stampFile(fileName);
    if (!file || output.refused(*file)) return false;
    file_ = *file;
    // The effect this device decoded last, unchanged on disk: it plays again as it is. A hit
    // sound is opened anew on every hit, and decoding and resampling it each time was most of
    // what a battle asked of the processor.
    if (decoded_ != nullptr && decodedFile_ == file_) {
      chunk_ = decoded_;
      return true;
    }
    std::vector<std::uint8_t> bytes = readSmallFile(utf8ToPath(fileName));
    if (bytes.size() < 4) return false;
    const bool ok =
        looksLikeMidi(bytes) ? openMusic(output, std::move(bytes)) : openEffect(output, bytes);
    if (!ok) output.refuse(file_);
    return ok;
  }

  void close() override {
    repeating_ = false;
    AudioOutput& output = AudioOutput::get();
    if (!output.isOpen()) {  // after shutdown the mixer's objects are gone with the process
      streamed_ = nullptr;
      chunk_ = nullptr;
      decoded_ = nullptr;
      return;
    }
    if (output.musicOwner == this) {
      Mix_HaltMusic();
      output.musicOwner = nullptr;
    }
    piece_.release();
    if (streamed_ != nullptr) {
      Mix_FreeMusic(streamed_);
      streamed_ = nullptr;
    }
    if (chunk_ != nullptr) {
      // Only the sound stops; its decoding is kept for the next open of the same file.
      Mix_HaltChannel(channel_);
      chunk_ = nullptr;
    }
  }

  void rewind() override {
    AudioOutput& output = AudioOutput::get();
    if (!output.isOpen()) return;
    if (output.musicOwner == this) {
      Mix_HaltMusic();
      output.musicOwner = nullptr;
    }
    if (chunk_ != nullptr) Mix_HaltChannel(channel_);
  }

  void play() override { start(false); }
  void playRepeating() override { start(true); }

  bool playing() const override {
    const AudioOutput& output = AudioOutput::get();
    if (!output.isOpen()) return false;
    if (streamed_ != nullptr) return output.musicOwner == this && Mix_PlayingMusic() != 0;
    if (piece_.loaded()) {
      // The synthesizer reports playing until its voices have died away, seconds after the
      // last bar; the piece has ended when its own length has been mixed.
      return output.musicOwner == this && Mix_PlayingMusic() != 0 &&
             output.secondsMixed() - startedAt_ < piece_.seconds();
    }
    return chunk_ != nullptr && Mix_Playing(channel_) != 0;
  }

  // From the audio mixed since the start and the piece's own length; an effect is not asked.
  double secondsLeft() const override {
    if (!playing()) return 0;
    if (repeating_) return std::numeric_limits<double>::infinity();
    const double length = streamed_ != nullptr ? streamedSeconds_
                          : piece_.loaded()    ? piece_.seconds()
                                               : 0;
    return std::max(0.0, length - (AudioOutput::get().secondsMixed() - startedAt_));
  }

 private:
  void start(bool repeating) {
    AudioOutput& output = AudioOutput::get();
    if (!output.isOpen()) return;
    if (Mix_Music* music = streamed_ != nullptr ? streamed_ : piece_.music()) {
      // A rendering carries the music's level in its samples; the synthesizer is given it here.
      Mix_VolumeMusic(streamed_ != nullptr ? MIX_MAX_VOLUME : kMusicVolume);
      // Only a rendering repeats inside the mixer, seamlessly. The synthesizer rings on for
      // seconds past the last bar, so a synthesized piece is started again by the keeper once
      // its own length has been mixed.
      repeating_ = repeating && streamed_ != nullptr;
      if (Mix_PlayMusic(music, repeating_ ? -1 : 0) == 0) {
        output.musicOwner = this;
        startedAt_ = output.secondsMixed();
        // The spare copy is for the keeper's restart; a piece played once never needs it.
        if (piece_.loaded() && repeating) spare_.prepare(piece_, file_);
      }
    } else if (chunk_ != nullptr) {
      Mix_PlayChannel(channel_, chunk_, 0);
    }
  }

  bool openMusic(AudioOutput& output, std::vector<std::uint8_t> midi) {
    const auto seconds = midiSeconds(midi);
    if (!seconds || *seconds <= 0) return false;
    if (output.soundFont() == nullptr) return openWithoutSoundFont(std::move(midi), *seconds);
    auto plan = planRendering(output, midi, *seconds);
    const MusicCache cache(MusicCache::defaultDirectory());
    if (plan) {
      streamed_ = openCachedRendering(cache, file_, *plan);
      if (streamed_ != nullptr) {
        streamedSeconds_ = static_cast<double>(plan->frames) / static_cast<double>(plan->rate);
        spare_.release();  // the synthesizer is not needed for this file any more
        return true;
      }
    }
    if (!spare_.takeFor(file_, piece_) && !piece_.load(std::move(midi), *seconds)) return false;
    if (plan) Renderings::get().start(file_, cache, std::move(*plan));  // for the next start
    return true;
  }

  // Without a SoundFont (the Windows game, which has no FluidSynth): a piece of ours plays from
  // the rendering its build made with the same synthesizer and SoundFont as the game elsewhere,
  // so it sounds the same and repeats seamlessly; any other MIDI file plays through the system's
  // own synthesizer, and is refused where there is none.
  bool openWithoutSoundFont(std::vector<std::uint8_t> midi, double seconds) {
    const std::filesystem::path shipped = findDataFile(shippedRenderingName(midi));
    if (!shipped.empty()) {
      streamed_ = streamFrom(openRegularFileNoFollow(shipped), MUS_FLAC);
      if (streamed_ != nullptr) {
        const double length = Mix_MusicDuration(streamed_);
        streamedSeconds_ = length > 0 ? length : seconds;
        return true;
      }
    }
    if (!haveSystemMidiOutput()) return false;
    return spare_.takeFor(file_, piece_) || piece_.load(std::move(midi), seconds);
  }

  bool openEffect(AudioOutput& output, const std::vector<std::uint8_t>& wav) {
    SDL_RWops* rw = SDL_RWFromConstMem(wav.data(), static_cast<int>(wav.size()));
    if (rw == nullptr) return false;
    Mix_Chunk* chunk = Mix_LoadWAV_RW(rw, 1);  // decodes into a buffer of its own
    if (chunk == nullptr) return false;
    if (decoded_ != nullptr) Mix_FreeChunk(decoded_);  // a different file, or changed
    decoded_ = chunk_ = chunk;
    decodedFile_ = file_;
    if (channel_ < 0) channel_ = output.takeChannel();
    Mix_Volume(channel_, kEffectVolume);
    return true;
  }

  FileStamp file_;  // the file last opened
  SynthesizedPiece piece_;
  SparePiece spare_;
  Mix_Music* streamed_ = nullptr;  // a rendered piece, read from the cache as it plays
  double streamedSeconds_ = 0;     // its length
  bool repeating_ = false;         // the rendering starts over at its end inside the mixer
  Mix_Chunk* chunk_ = nullptr;     // an effect, while open: decoded_ then
  Mix_Chunk* decoded_ = nullptr;   // the last effect decoded, kept until another replaces it
  FileStamp decodedFile_;          // the file it was decoded from
  int channel_ = -1;
  double startedAt_ = 0;  // audio time when the piece started
};

// The plan for the MIDI file `fileName` on the open output, or nothing.
std::optional<std::pair<FileStamp, PlannedRendering>> planFor(const std::string& fileName) {
  const AudioOutput& output = AudioOutput::get();
  if (fileName.empty() || !output.isOpen()) return std::nullopt;
  const auto file = stampFile(fileName);
  if (!file) return std::nullopt;
  std::vector<std::uint8_t> midi = readSmallFile(utf8ToPath(fileName));
  if (!looksLikeMidi(midi)) return std::nullopt;
  const auto seconds = midiSeconds(midi);
  if (!seconds) return std::nullopt;
  auto plan = planRendering(output, std::move(midi), *seconds);
  if (!plan) return std::nullopt;
  return std::pair{*file, std::move(*plan)};
}

}  // namespace

void prepareMusic(const std::string& fileName) {
  if (!AudioOutput::get().ready()) return;
  auto planned = planFor(fileName);
  if (!planned) return;
  auto& [file, plan] = *planned;
  const MusicCache cache(MusicCache::defaultDirectory());
  if (cache.open(file.name, plan.key, plan.rate, plan.frames)) return;
  Renderings::get().start(file, cache, std::move(plan));
}

bool musicPrepared(const std::string& fileName) {
  const auto planned = planFor(fileName);
  if (!planned) return false;
  const auto& [file, plan] = *planned;
  return MusicCache(MusicCache::defaultDirectory())
      .open(file.name, plan.key, plan.rate, plan.frames)
      .isOpen();
}

std::unique_ptr<MediaDevice> makeSdlDevice() { return std::make_unique<SdlDevice>(); }

const SoundLibrary& sdlSoundLibrary() {
  static constexpr SoundLibrary library{makeSdlDevice, prepareMusic, musicPrepared};
  return library;
}

}  // namespace momiru::media
