// The MIDI length reader: tempo maps, running status, and input that is not a MIDI file.
#include "media/midi_length.h"

#include <gtest/gtest.h>

#include <vector>

#include "notes_compiler.h"

namespace momiru::media {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes header(std::uint16_t tracks, std::uint16_t division) {
  Bytes h = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  for (const std::uint16_t v : {tracks, division}) {
    h.push_back(static_cast<std::uint8_t>(v >> 8));
    h.push_back(static_cast<std::uint8_t>(v));
  }
  return h;
}

void addTrack(Bytes& file, const Bytes& events) {
  const auto n = static_cast<std::uint32_t>(events.size());
  file.insert(file.end(), {'M', 'T', 'r', 'k', static_cast<std::uint8_t>(n >> 24),
                           static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
                           static_cast<std::uint8_t>(n)});
  file.insert(file.end(), events.begin(), events.end());
}

TEST(MidiSeconds, FollowsTheTempoMapAcrossTracks) {
  Bytes file = header(2, 480);
  // 120 bpm for one quarter, then 60 bpm; the track ends a quarter later: 0.5 s + 1 s.
  addTrack(file, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // 500000 us
                  0x83, 0x60, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // +480: 1000000 us
                  0x00, 0xFF, 0x2F, 0x00});
  // Notes with running status; the last note-off at tick 960 ends this, the longer track.
  addTrack(file, {0x00, 0x90, 60,   100, 0x83, 0x60, 60,   0,  // running status note-on as off
                  0x00, 0xC0, 5,                               // one data byte
                  0x83, 0x60, 0x80, 60,  0,    0x00, 0xFF, 0x2F, 0x00});
  auto seconds = midiSeconds(file);
  ASSERT_TRUE(seconds);
  EXPECT_DOUBLE_EQ(*seconds, 1.5);
}

TEST(MidiSeconds, SmpteDivisionCountsFrames) {
  Bytes file = header(1, static_cast<std::uint16_t>((256 - 25) << 8 | 40));  // 25 fps, 40 each
  addTrack(file, {0x87, 0x68, 0xFF, 0x2F, 0x00});                            // 1000 ticks
  EXPECT_DOUBLE_EQ(midiSeconds(file).value_or(-1), 1.0);
}

TEST(MidiSeconds, AgreesWithTheCompiler) {
  const auto piece = music::compileNotes(R"(
    tempo 90
    track a channel=1
      c4:4 d4:8 e4 f4:2 | [c4 e4 g4]:1 |
    end
    track b channel=10
      kick:4 r r r | r:1 |
    end)");
  ASSERT_EQ(piece.error, "");
  EXPECT_NEAR(piece.seconds, 2 * 4 * 60.0 / 90, 1e-5);
  EXPECT_NEAR(midiSeconds(piece.midi).value_or(-1), piece.seconds, 1e-9);
}

TEST(MidiSeconds, RejectsEveryTruncationAndJunkWithoutReadingPastTheEnd) {
  const auto piece = music::compileNotes("track a channel=1\n c4:4 e4 g4 c5 |\nend\n");
  ASSERT_EQ(piece.error, "");
  const Bytes& whole = piece.midi;
  ASSERT_TRUE(midiSeconds(whole));
  // A cut inside a track's declared length is always caught; a cut exactly between chunks
  // leaves a shorter, still well-formed file.
  for (std::size_t n = 0; n < whole.size(); ++n) {
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    const auto s = midiSeconds(cut);
    if (s) {
      EXPECT_LE(*s, *midiSeconds(whole)) << n;
    }
  }
  EXPECT_FALSE(midiSeconds(Bytes{}));
  EXPECT_FALSE(midiSeconds(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0}));
  Bytes noTracks = header(0, 480);
  EXPECT_FALSE(midiSeconds(noTracks));
  Bytes hugeLength = header(1, 480);
  hugeLength.insert(hugeLength.end(), {'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
  EXPECT_FALSE(midiSeconds(hugeLength));
  Bytes runningFirst = header(1, 480);
  addTrack(runningFirst, {0x00, 60, 100, 0x00, 0xFF, 0x2F, 0x00});
  EXPECT_FALSE(midiSeconds(runningFirst));
  Bytes endlessVarLen = header(1, 480);
  addTrack(endlessVarLen, {0xFF, 0xFF, 0xFF, 0xFF, 0x7F});
  EXPECT_FALSE(midiSeconds(endlessVarLen));
}

}  // namespace
}  // namespace momiru::media
