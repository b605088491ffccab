// The draw and what it rests on: the secret and its commitment, each entry's hash and the
// entries' digest, the tournament seed and each battle's seed derived from them, and the text
// that says what the draw guarantees.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/game_state.h"
#include "report/tournament.h"

namespace momiru::report {

// The bytes of lower-case or upper-case hex text, or nothing when it is not hex of even length.
std::optional<std::string> hexBytes(std::string_view hex);

// 32 bytes from the system's random source (getrandom(2)); nothing when it fails.
std::optional<std::string> randomSecret();
// "numbers" and "hex", as the file and momiru-lab's --beacon-kind name them.
std::string_view beaconKindName(BeaconKind k);
std::optional<BeaconKind> beaconKindFromName(std::string_view name);

// The one form a beacon enters the seed in, so that every spelling of one value gives one draw.
// Numbers: the runs of decimal digits it holds (ASCII or full-width), in order, each without its
// leading zeros, joined by one space: "lottery 2026-12-08: 04 18 27" gives "2026 12 8 4 18 27".
// Hex: its hex digits (ASCII or full-width) in lower case, white space and one leading "0x"
// dropped. Nothing, with `problem` set, for a value not of the kind.
std::optional<std::string> canonicalBeacon(std::string_view beacon, BeaconKind kind,
                                           BeaconProblem* problem = nullptr);
// The English of a problem, for the lab and the log.
std::string beaconProblemText(BeaconProblem p, BeaconKind kind);

// What the host declares when the tournament is made, as the commitment and the seed take it:
// the compact JSON of {"name", "rules" (as the file writes them), "beacon_kind",
// "beacon_source"}. Empty for a tournament without a declaration (an older file).
std::string declarationText(const Tournament& t);

// The commitment to a hex secret: SHA-256 of its 32 bytes (a tournament without a declaration).
std::string commitmentOf(const std::string& secretHex);
// The commitment tournament `t` makes to a hex secret: with a declaration, SHA-256(secret's 32
// bytes ‖ declarationText), so that the name, the rules and the beacon's kind and source are
// fixed when it is published; without one, commitmentOf(secretHex).
std::string commitmentOf(const Tournament& t, const std::string& secretHex);
// The compact JSON the entry's hash is taken of, and the entry's hash.
std::string entryCanonical(const Entry& e);
Entry makeEntry(const std::string& file, const Combatant& record);
// SHA-256 over the entries' hashes sorted, each followed by a line feed.
std::string entriesDigestOf(const std::vector<Entry>& entries);
// SHA-256(secret bytes ‖ digest bytes ‖ beacon's UTF-8 bytes): the seed of a tournament without
// a declaration, which takes the beacon as it was typed.
std::string tournamentSeedOf(const std::string& secretHex, const std::string& digestHex,
                             const std::optional<std::string>& beacon);
// The seed of `t` from its secret, its entries digest and its beacon: with a declaration,
// SHA-256(secret bytes ‖ digest bytes ‖ SHA-256 of declarationText ‖ canonical beacon's UTF-8
// bytes); without one, as above. A beacon not of its kind (which no reader or session lets in)
// enters as it was typed.
std::string tournamentSeedOf(const Tournament& t, const std::string& secretHex,
                             const std::string& digestHex);
// The beacon as it enters `t`'s seed: the canonical form with a declaration, the text itself
// without one; nothing without a beacon.
std::optional<std::string> seedBeacon(const Tournament& t);
// Battle `k` (from 1) of match `matchId`: the first 8 bytes, big-endian, of
// SHA-256(seed hex ‖ ":" ‖ match id ‖ ":" ‖ k).
std::uint64_t battleSeedOf(const std::string& seedHex, std::string_view matchId, int k);

// What this tournament guarantees and on what condition, in plain Japanese.
std::string fairnessText(const Tournament& t);

}  // namespace momiru::report
