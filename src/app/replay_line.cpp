// Building the replay command line.
#include "app/replay_line.h"

#include <cstdio>

namespace momiru::app {

std::string replayLine(std::uint64_t seed, const ReplaySource& first, const ReplaySource& second,
                       bool halveDamage) {
  std::string line = "momiru-lab battle";
  for (const ReplaySource* source : {&first, &second}) {
    line += ' ';
    line += source->file.empty() ? std::string("''") : shellQuote(source->file.string());
  }
  line += " --seed " + std::to_string(seed);
  if (halveDamage) line += " --halve";
  if (first.file.empty() || second.file.empty()) {
    line += "  # a character on screen was not loaded from a file";
  } else if (first.changedSinceLoad || second.changedSinceLoad) {
    line += "  # a character on screen keeps hit points from an earlier battle";
  }
  return line + "\n";
}

}  // namespace momiru::app
