// Our two battle sounds, synthesized from scratch: a hit and a heavier special hit, as 16-bit
// PCM mono WAV files. The same build always makes the same bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace momiru::sfx {

inline constexpr int kRate = 44100;

std::vector<std::uint8_t> hitWav();         // snd01.wav
std::vector<std::uint8_t> specialHitWav();  // snd02.wav

// The bytes of a WAV file holding `samples` (-1..1, clipped) as 16-bit mono at kRate.
std::vector<std::uint8_t> wavFile(const std::vector<double>& samples);

}  // namespace momiru::sfx
