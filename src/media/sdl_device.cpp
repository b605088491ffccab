// The sound library's device: a MIDI piece plays from its rendering once that is ready, and
// through the mixer's synthesizer until then; a WAV effect plays on a channel of the player's
// own, so that it cuts only that player's sound.
#include <SDL.h>
#include <SDL_mixer.h>

#include <memory>
#include <utility>

#include "data/platform.h"
#include "media/audio_output.h"
#include "media/media_device.h"
#include "media/midi_length.h"
#include "media/midi_rendering.h"
#include "media/music_file.h"
#include "media/synthesized_piece.h"

namespace momiru::media {

namespace {

class SdlDevice final : public MediaDevice {
 public:
  ~SdlDevice() override {
    close();
    spare_.release();
    if (channel_ >= 0) AudioOutput::get().giveBackChannel(channel_);
  }

  bool open(const std::string& fileName) override {
    close();
    AudioOutput& output = AudioOutput::get();
    if (!output.ready()) return false;
    const auto file = stampFile(fileName);
    if (!file || output.refused(*file)) return false;
    file_ = *file;
    if (auto rendered = Renderings::get().finished(file_)) {
      spare_.release();  // the synthesizer is not needed for this file any more
      return openRendered(output, std::move(rendered));
    }
    if (spare_.takeFor(file_, piece_)) return true;
    std::vector<std::uint8_t> bytes = readSmallFile(utf8ToPath(fileName));
    if (bytes.size() < 4) return false;
    const bool ok =
        looksLikeMidi(bytes) ? openMusic(output, std::move(bytes)) : openEffect(output, bytes);
    if (!ok) output.refuse(file_);
    return ok;
  }

  void close() override {
    AudioOutput& output = AudioOutput::get();
    if (!output.isOpen()) {  // after shutdown the mixer's objects are gone with the process
      chunk_ = nullptr;
      return;
    }
    if (piece_.loaded()) {
      if (output.musicOwner == this) {
        Mix_HaltMusic();
        output.musicOwner = nullptr;
      }
      piece_.release();
    }
    if (chunk_ != nullptr) {
      Mix_HaltChannel(channel_);
      Mix_FreeChunk(chunk_);
      chunk_ = nullptr;
    }
    rendered_.reset();  // after the halt: the mixer reads the rendering while it sounds
  }

  void rewind() override {
    AudioOutput& output = AudioOutput::get();
    if (!output.isOpen()) return;
    if (piece_.loaded() && output.musicOwner == this) {
      Mix_HaltMusic();
      output.musicOwner = nullptr;
    }
    if (chunk_ != nullptr) Mix_HaltChannel(channel_);
  }

  void play() override {
    AudioOutput& output = AudioOutput::get();
    if (!output.isOpen()) return;
    if (piece_.loaded()) {
      if (Mix_PlayMusic(piece_.music(), 0) == 0) {
        output.musicOwner = this;
        startedAt_ = output.secondsMixed();
        spare_.prepare(piece_, file_);
      }
    } else if (chunk_ != nullptr) {
      Mix_PlayChannel(channel_, chunk_, 0);
    }
  }

  bool playing() const override {
    const AudioOutput& output = AudioOutput::get();
    if (!output.isOpen()) return false;
    if (piece_.loaded()) {
      // The synthesizer reports playing until its voices have died away, seconds after the
      // last bar; the piece has ended when its own length has been mixed.
      return output.musicOwner == this && Mix_PlayingMusic() != 0 &&
             output.secondsMixed() - startedAt_ < piece_.seconds();
    }
    return chunk_ != nullptr && Mix_Playing(channel_) != 0;
  }

 private:
  bool openMusic(AudioOutput& output, std::vector<std::uint8_t> midi) {
    if (output.soundFont() == nullptr) return false;
    const auto seconds = midiSeconds(midi);
    if (!seconds || *seconds <= 0) return false;
    if (!piece_.load(std::move(midi), *seconds)) return false;
    Renderings::get().start(file_, piece_.midi(), piece_.seconds());  // for the next start
    return true;
  }

  bool openRendered(AudioOutput& output, std::shared_ptr<Rendering> rendered) {
    chunk_ = Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(rendered->pcm.data()),
                               static_cast<Uint32>(rendered->pcm.size() * sizeof(Sint16)));
    if (chunk_ == nullptr) return false;
    rendered_ = std::move(rendered);
    if (channel_ < 0) channel_ = output.takeChannel();
    Mix_Volume(channel_, MIX_MAX_VOLUME);  // the music's level is in the rendering
    return true;
  }

  bool openEffect(AudioOutput& output, const std::vector<std::uint8_t>& wav) {
    SDL_RWops* rw = SDL_RWFromConstMem(wav.data(), static_cast<int>(wav.size()));
    if (rw == nullptr) return false;
    chunk_ = Mix_LoadWAV_RW(rw, 1);  // decodes into a buffer of its own
    if (chunk_ == nullptr) return false;
    if (channel_ < 0) channel_ = output.takeChannel();
    Mix_Volume(channel_, kEffectVolume);
    return true;
  }

  FileStamp file_;  // the file last opened
  SynthesizedPiece piece_;
  SparePiece spare_;
  Mix_Chunk* chunk_ = nullptr;           // an effect, or a rendered piece of music
  std::shared_ptr<Rendering> rendered_;  // the memory chunk_ plays when it is music
  int channel_ = -1;
  double startedAt_ = 0;  // audio time when the piece started
};

}  // namespace

void prepareMusic(const std::string& fileName) {
  if (fileName.empty() || !AudioOutput::get().ready()) return;
  const auto file = stampFile(fileName);
  if (!file) return;
  const std::vector<std::uint8_t> midi = readSmallFile(utf8ToPath(fileName));
  if (!looksLikeMidi(midi)) return;
  if (const auto seconds = midiSeconds(midi); seconds && *seconds > 0)
    Renderings::get().start(*file, midi, *seconds);
}

bool musicPrepared(const std::string& fileName) {
  const auto file = stampFile(fileName);
  return file && AudioOutput::get().isOpen() && Renderings::get().finished(*file) != nullptr;
}

std::unique_ptr<MediaDevice> makeSdlDevice() { return std::make_unique<SdlDevice>(); }

}  // namespace momiru::media
