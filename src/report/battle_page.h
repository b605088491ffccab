// The battle page: one self-contained HTML page in Japanese that shows a replay to someone
// without the game (both characters with their portraits, the outcome, a chart of each side's
// hit points, the log turn by turn, the pairing's odds) and carries the replay itself, so that
// the game and momiru-lab open the page as the replay inside it.
//
// The page needs no network and no script to be read: pictures are data: URIs, charts are inline
// SVG, and the one <script> holds data, not code. It is written as well-formed XML too.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "replay/replay.h"

namespace momiru::report {

struct BattlePageOptions {
  // The page's file name, for the command that replays it; "PAGE.html" when empty.
  std::string pageName;
  // Battles of the pairing played for its odds, with seeds derived from the replay's seed as
  // `momiru-lab simulate --seed` derives them; 0 leaves the odds out.
  std::uint64_t oddsBattles = 100000;
  // The odds stop early once their battles have played this many turns, and the page says so:
  // a pairing of ordinary length (a few dozen turns) still gets all its battles, and one whose
  // battles never end gets a few hundred, in a fraction of a second, the same on every machine.
  std::uint64_t oddsTurns = 5000000;
  // Threads for the odds; 0 for all cores.
  unsigned jobs = 0;
  // Finds a data file ("pictures/mae03.svg"); findDataFile when not set.
  std::function<std::filesystem::path(const std::filesystem::path&)> findFile;
};

// Portrait number `portrait` as a data: URI, or nothing when it is the empty one or its file
// cannot be read.
std::string portraitUri(std::int32_t portrait, const BattlePageOptions& options = {});

// The page of `replay`'s battle as these rules play it.
std::string battlePage(const replay::Replay& replay, const BattlePageOptions& options = {});

// Writes the page atomically to `file`, after reading it back as a replay: a page that would not
// open again as the same battle is not written. False, with `refusal` set, when it cannot.
bool writeBattlePage(const std::filesystem::path& file, const replay::Replay& replay,
                     Refusal* refusal, BattlePageOptions options = {});

}  // namespace momiru::report
