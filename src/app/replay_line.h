// The line on stderr that every battle on screen leaves: the momiru-lab command that replays it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "data/text_safety.h"

namespace momiru::app {

// One shell word for a file name: the quoting momiru-lab uses, so that every command printed
// reads alike.
using momiru::shellQuote;

struct ReplaySource {
  std::filesystem::path file;     // empty when the slot's record did not come from a file
  bool changedSinceLoad = false;  // an earlier battle left other hit points than the file's
};

// "momiru-lab battle 'A.dat' 'B.dat' --seed N" (with --halve when the damage is halved) and a
// newline. A slot whose record came from no file, or has changed since, is said in a comment
// after the command: the command then replays the battle of the files, not this one.
std::string replayLine(std::uint64_t seed, const ReplaySource& first, const ReplaySource& second,
                       bool halveDamage);

}  // namespace momiru::app
