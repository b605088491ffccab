// Loading MIDI pieces into the mixer, and keeping a spare one.
#include "media/synthesized_piece.h"

#include <utility>

#include "data/platform.h"
#include "media/audio_output.h"

namespace momiru::media {

bool SynthesizedPiece::load(std::vector<std::uint8_t> midi, double seconds) {
  release();
  midi_ = std::move(midi);
  seconds_ = seconds;
  SDL_RWops* rw = SDL_RWFromConstMem(midi_.data(), static_cast<int>(midi_.size()));
  music_ = rw == nullptr ? nullptr : Mix_LoadMUSType_RW(rw, MUS_MID, 1);
  if (music_ == nullptr) midi_.clear();
  return music_ != nullptr;
}

void SynthesizedPiece::release() {
  // After the output has shut down the mixer's objects are gone with the process.
  if (music_ != nullptr && AudioOutput::get().isOpen()) {
    Mix_FreeMusic(music_);
    // The mixer's synthesizer held a copy of the SoundFont of its own, which the heap would
    // otherwise keep for the rest of the run once the piece streams from the cache.
    returnFreedMemory();
  }
  music_ = nullptr;
  midi_.clear();
}

void SynthesizedPiece::swap(SynthesizedPiece& other) noexcept {
  std::swap(midi_, other.midi_);
  std::swap(music_, other.music_);
  std::swap(seconds_, other.seconds_);
}

void SparePiece::prepare(const SynthesizedPiece& playing, const FileStamp& file) {
  if (piece_.loaded()) return;
  piece_.load(playing.midi(), playing.seconds());
  file_ = file;
}

bool SparePiece::takeFor(const FileStamp& file, SynthesizedPiece& into) {
  if (!piece_.loaded()) return false;
  if (file_ != file) {
    piece_.release();
    return false;
  }
  into.swap(piece_);
  return true;
}

}  // namespace momiru::media
