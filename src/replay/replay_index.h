// What the replay list shows of the folder of kept replays, and an index that keeps it, so that a
// folder of thousands of replays lists without reading, parsing and playing each one every time.
//
// The index (index.json in the folder) keeps, by the SHA-256 of a file's bytes, the summary of the
// replay they hold or that they are not one to list, worked out by the rules of one version
// (kRulesVersion); and, by file name, the size and modification time the file had when those
// bytes were read. A listing takes a file from the index without opening it only when its name,
// size and time are those the index keeps, and its time is safely older than the moment the
// listing that wrote the index began (kept in the index too): a file changed within the same tick
// of the clock as it was read keeps its time, and is read again. Every other file is read and
// hashed (on every core), and bytes the index does not know, or knows by other rules, are parsed
// and played again; entries of files and bytes no longer in the folder are dropped, and the index
// is then written again, atomically. The index lies in a folder others may write: one that cannot
// be used is rebuilt (an index of the version before still gives its summaries by SHA-256), one
// that cannot be written only costs the next listing its time. It is a cache for listing only:
// whoever acts on a listed file reads the file itself first.
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

namespace momiru::replay {

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
  std::size_t trusted = 0;  // files taken from the index by name, size and time, unopened
  std::size_t hashed = 0;   // files read and hashed this time (the others were trusted, or refused
                            // unopened: too large, not regular, gone)
  std::size_t played = 0;   // of those, files whose bytes the index did not know, parsed and
                            // played this time
};

// The replays of `dir`. The index is used and brought up to date unless `useIndex` is false.
// Files are never waited on: anything but a regular file is skipped unopened. A missing folder
// lists nothing. The files are read and played on every core; the listing is the same as read
// one by one.
ReplayListing listReplays(const std::filesystem::path& dir, bool useIndex = true);

// What the index keeps of one file by its name: the size and modification time it had when its
// bytes were read, and their SHA-256.
struct IndexedFile {
  std::uint64_t size = 0;
  std::int64_t time = 0;  // nanoseconds since 1970-01-01 UTC
  std::string sha256;

  bool operator==(const IndexedFile&) const = default;
};

struct ReplayIndex {
  // By SHA-256 (lower-case hex): the summary of the replay those bytes hold (its file name empty),
  // or nothing for bytes that are not a replay to list.
  std::map<std::string, std::optional<ReplaySummary>> contents;
  // By file name (UTF-8): each names bytes in `contents`.
  std::map<std::string, IndexedFile> files;
  // When the listing that wrote the index began, in nanoseconds since 1970-01-01 UTC: a file is
  // trusted only when its time is more than kIndexTickMargin older. 0 for an index of the version
  // before, which knows no files.
  std::int64_t listed = 0;

  bool operator==(const ReplayIndex&) const = default;
};

// How much older than the index's `listed` a file's time must be for the file to be trusted: more
// than the coarsest file times (two seconds) and the lag of the clock that stamps them.
inline constexpr std::int64_t kIndexTickMargin = 3'000'000'000;

// The index's text read, or nothing when it cannot be used: not an index, a version of the file
// other than this one and the one before, other rules, too large or too deep, a value out of
// range, the same bytes said to be two things, a file named twice, or a file naming bytes the
// index does not hold.
std::optional<ReplayIndex> parseReplayIndex(std::string_view text);

// An index's text holding `index`.
std::string replayIndexText(const ReplayIndex& index);

// Drops what the index of `dir` says of `file` (in `dir`) and of its present bytes, so that it is
// read and worked out again at the next listing: for a listed file found not to be a replay when
// acted on.
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

}  // namespace momiru::replay
