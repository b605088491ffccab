// Building the replay command line.
#include "app/replay_line.h"

#include <cstdio>

namespace momiru::app {

std::string shellQuote(const std::string& bytes) {
  bool control = false;
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) control = true;
  }
  if (!control) {
    std::string quoted = "'";
    for (const char c : bytes) {
      if (c == '\'') {
        quoted += "'\\''";
      } else {
        quoted += c;
      }
    }
    return quoted + "'";
  }
  std::string quoted = "$'";
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\'' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (u < 0x20 || u == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", u);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

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
