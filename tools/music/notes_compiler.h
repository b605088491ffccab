// Compiles our note-list text (assets/music/*.notes) into a Standard MIDI File.
//
// The text, line by line ('#' starts a comment):
//   title "Name"            sequence name
//   tempo 152               quarter notes per minute
//   meter 4/4               bar length, checked at every '|'
//   ppq 480                 ticks per quarter note
//   pattern NAME ... end    a named run of notes, reused with @NAME
//   track NAME key=value... ... end
//     keys: channel (1-16, 10 = drums), program (1-128, the General MIDI list numbering),
//     volume, pan, reverb, chorus (0-127), velocity (1-127), gate (percent of a note's length
//     that sounds), transpose (semitones)
// Inside a pattern or a track:
//   c4 e5:8 f#3:4. bb2:8t g4:2+8   note, optional ':' length (1 2 4 8 16 32, '.' dotted,
//                                   't' triplet, '+' adds); a missing length repeats the last;
//                                   c4 is middle C (MIDI 60)
//   [c4 e4 g4]:2                    chord
//   r:4                             rest
//   kick snare hat ohat crash ...   drum names (see drumNote in the .cpp)
//   v96                             velocity for the notes that follow
//   |                               bar line: the notes since the last one fill whole bars
//                                   (more than one only under a note held across)
//   @NAME  @NAME*2  @NAME+5  @NAME-12*4   play a pattern (repeat, transpose)
// Every track must come out the same length; the file ends exactly there, so a piece that is
// played again from the start loops on the beat.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace momiru::music {

struct CompileResult {
  std::vector<std::uint8_t> midi;  // empty on error
  std::string error;               // "line N: what" on error
  double seconds = 0;              // length of the piece
};

CompileResult compileNotes(std::string_view source);

}  // namespace momiru::music
