// The tournament file, *.momiru-tournament: one UTF-8 JSON object, which anyone can check battle
// by battle, written whole and read back, alone or from the page that carries it.
//
// A tournament file is a stranger's file: reading one caps its size, never blocks, bounds nesting,
// lengths and counts, and range-checks every value before anything is built from it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "data/platform.h"
#include "data/refusal.h"
#include "report/tournament.h"

namespace momiru::report {

std::string tournamentJson(const Tournament& t);
// The JSON as it may stand in a <script> element of a page that is also XML.
std::string tournamentJsonForPage(const Tournament& t);
// A tournament from its JSON, or from a page's <script type="application/json"
// id="momiru-tournament"> element (one only, and not inside a comment).
// `refusal` says why not.
std::optional<Tournament> parseTournament(std::string_view text, Refusal* refusal);
std::optional<Tournament> readTournamentFile(const std::filesystem::path& file, Refusal* refusal);

// A kept tournament file as this program last read or wrote it: what a save checks the file still
// is, so that what another writer put there is never replaced unseen.
struct KeptVersion {
  bool exists = false;                   // a file was there
  std::optional<FileIdentity> identity;  // empty when it could not be told for sure
  std::string sha256;                    // of its bytes (sha256Bytes)
};

// The version of `file` whose bytes, just read, are `bytes`; `before` is its identity taken just
// before they were read, which must still be its identity for a save to trust it unread.
KeptVersion keptVersion(const std::filesystem::path& file, std::string_view bytes,
                        const std::optional<FileIdentity>& before);

// Why `file` is no longer `kept` (ChangedSince: written, replaced or removed by another), or
// nothing. A file of the same identity is the same; one of another is read, and the same when
// its bytes are.
std::optional<Refusal> changedSince(const std::filesystem::path& file, const KeptVersion& kept);

// Writes `t` over `file` atomically, only while the file is still `kept` (checked once the new
// file is whole on the disk, just before the replace); `kept` is then the file written.
// Otherwise false with `refusal` ChangedSince (the file left as the other writer made it) or
// CannotWrite, and `kept` as it was.
bool saveTournamentFile(const std::filesystem::path& file, const Tournament& t, KeptVersion& kept,
                        Refusal* refusal);
// Writes `t` as the new file `file`, refused (Exists) when anything has that name; `kept` is
// then the file written.
bool saveNewTournamentFile(const std::filesystem::path& file, const Tournament& t,
                           KeptVersion& kept, Refusal* refusal);

}  // namespace momiru::report
