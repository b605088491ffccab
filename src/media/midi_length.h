// How long a Standard MIDI File plays, read from its tempo map. The sound library keeps a MIDI
// piece "playing" for seconds after its last note, so the players end a piece here instead.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace momiru::media {

// Seconds from the start to the last track's end; nothing for data that is not a well-formed
// Standard MIDI File.
std::optional<double> midiSeconds(std::span<const std::uint8_t> file);

}  // namespace momiru::media
