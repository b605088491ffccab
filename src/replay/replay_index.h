// What the replay list shows of the folder of kept replays, and an index that keeps it, so that a
// folder of thousands of replays lists without parsing and playing each one every time.
//
// Every file is read at each listing (on every core), and what the index holds is used only for
// the very bytes it was worked out from: the index (index.json in the folder) keeps, by the
// SHA-256 of a file's bytes, the summary of the replay they hold or that they are not one to
// list, worked out by the rules of one version (kRulesVersion). Other bytes, or other rules, are
// read and played again; entries of bytes no longer in the folder are dropped, and the index is
// then written again, atomically. The index lies in a folder others may write: one that cannot
// be used is rebuilt, one that cannot be written only costs the next listing its time. It is a
// cache for listing only: whoever acts on a listed file reads the file itself first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "replay/replay.h"

namespace momiru::battle {

inline constexpr std::string_view kReplayIndexName = "index.json";

// One kept replay as the list shows it.
struct ReplaySummary {
  std::string file;  // its name in the folder
  std::string date;  // as the replay holds it (UTC, ISO 8601)
  std::array<std::string, kSlots> names;
  std::optional<std::int32_t> winner;  // nothing for a draw or an unfinished battle
  bool draw = false;
  bool finished = false;
  std::int32_t turns = 0;

  bool operator==(const ReplaySummary&) const = default;
};

// The summary of a replay that these rules play as it was recorded; nothing for a replay of
// other rules or an edited one.
std::optional<ReplaySummary> summarize(const Replay& replay, std::string file);

struct ReplayListing {
  std::vector<ReplaySummary> replays;  // newest first (by date, then by file name)
  std::size_t skipped = 0;  // files that are not replays to list (not regular, unreadable,
                            // broken, another program's, another version's or other rules')
  std::size_t played = 0;   // files worked out this time (parsed and played); the others' came
                            // from the index
};

// The replays of `dir`. The index is used and brought up to date unless `useIndex` is false.
// Files are never waited on: anything but a regular file is skipped unopened. A missing folder
// lists nothing. The files are read and played on every core; the listing is the same as read
// one by one.
ReplayListing listReplays(const std::filesystem::path& dir, bool useIndex = true);

// What the index keeps of the bytes with a SHA-256 (lower-case hex): the summary of the replay
// they hold (its file name empty), or nothing for bytes that are not a replay to list.
using ReplayIndexEntries = std::map<std::string, std::optional<ReplaySummary>>;

// The entries of an index's text, or nothing when it cannot be used: not an index, another
// version of the file or of the rules, too large or too deep, a value out of range, or the same
// bytes said to be two things.
std::optional<ReplayIndexEntries> parseReplayIndex(std::string_view text);

// An index's text holding `entries`.
std::string replayIndexText(const ReplayIndexEntries& entries);

// Drops what the index of `dir` says of the present bytes of `file` (in `dir`), so that they are
// worked out again at the next listing: for a listed file found not to be a replay when acted on.
void forgetInIndex(const std::filesystem::path& dir, const std::filesystem::path& file);

// A character's record among listed replays: every battle with `name` on a side (a name given
// with "(1)"/"(2)" by the entry screen counts without them), from that side's view. A battle of
// the name against itself counts from player 1's view.
struct CharacterRecord {
  std::size_t battles = 0;
  std::size_t wins = 0;
  std::size_t draws = 0;
  std::size_t losses = 0;
  std::size_t unfinished = 0;
  // The current streak, from the newest finished battle back: 'W' wins, 'D' draws, 'L' losses,
  // and how many in a row; unfinished battles neither lengthen nor break it. 0 with no battle.
  char streakKind = 0;
  std::size_t streak = 0;
};

// The name with the "(1)" or "(2)" that registration adds to equal names taken off.
std::string_view baseName(std::string_view name);

// True when `filter` is empty or is part of either name.
bool matchesName(const ReplaySummary& replay, std::string_view filter);

// The record of the name `name` (compared as baseName) in `replays`, newest first.
CharacterRecord recordOf(const std::vector<ReplaySummary>& replays, std::string_view name);

}  // namespace momiru::battle
