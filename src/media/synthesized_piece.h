// A MIDI piece played through the mixer's own synthesizer, and the spare copy that lets the
// music keeper start it again without a gap.
#pragma once

#include <SDL_mixer.h>

#include <cstdint>
#include <vector>

#include "media/music_file.h"

namespace momiru::media {

// A MIDI file and the synthesizer the mixer made for it, which reads from the bytes while it
// plays, so they live as long as the piece.
class SynthesizedPiece {
 public:
  SynthesizedPiece() = default;
  SynthesizedPiece(const SynthesizedPiece&) = delete;
  SynthesizedPiece& operator=(const SynthesizedPiece&) = delete;
  ~SynthesizedPiece() { release(); }

  // Loads `midi`, `seconds` long; false when the mixer refuses it.
  bool load(std::vector<std::uint8_t> midi, double seconds);
  void release();
  void swap(SynthesizedPiece& other) noexcept;

  bool loaded() const { return music_ != nullptr; }
  Mix_Music* music() const { return music_; }
  double seconds() const { return seconds_; }  // the length from its tempo map
  const std::vector<std::uint8_t>& midi() const { return midi_; }

 private:
  std::vector<std::uint8_t> midi_;
  Mix_Music* music_ = nullptr;
  double seconds_ = 0;
};

// Loading a MIDI file takes some 20 ms (the mixer reads the SoundFont again for each), which at
// the keeper's restart would be a gap between the last bar and the first. So while a piece
// plays, a second copy is loaded here for the next start of the same file.
class SparePiece {
 public:
  // Loads a copy of `playing` (the file `file`) unless one is already waiting.
  void prepare(const SynthesizedPiece& playing, const FileStamp& file);
  // Hands the copy over when it is of `file`, and drops a copy of any other version.
  bool takeFor(const FileStamp& file, SynthesizedPiece& into);
  void release() { piece_.release(); }

 private:
  SynthesizedPiece piece_;
  FileStamp file_;
};

}  // namespace momiru::media
