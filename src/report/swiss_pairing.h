// The Swiss pairing: one round's pairs, by a maximum-weight matching of each score group.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace momiru::report {

// One Swiss round's pairs, first player first, and the entry given the bye. `ranked` lists the
// entries in standing order; `met` tells whether two entries have met; `hadBye` whether an entry
// has had a bye; `firsts` how often an entry has been a match's first player; `halfPoints` each
// entry's points, counted in halves. Nothing when no pairing without a repeat exists.
struct SwissRound {
  std::vector<std::array<int, 2>> pairs;
  std::optional<int> bye;
};
std::optional<SwissRound> pairSwissRound(const std::vector<int>& ranked,
                                         const std::vector<int>& halfPoints,
                                         const std::function<bool(int, int)>& met,
                                         const std::vector<bool>& hadBye,
                                         const std::vector<int>& firsts);

// Plays the whole tournament from t.seed: fills seeds, matches and standings. Throws
// std::runtime_error when it cannot (a Swiss round that cannot be paired), std::bad_alloc when

}  // namespace momiru::report
