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
// The commitment to a hex secret: SHA-256 of its 32 bytes.
std::string commitmentOf(const std::string& secretHex);
// The compact JSON the entry's hash is taken of, and the entry's hash.
std::string entryCanonical(const Entry& e);
Entry makeEntry(const std::string& file, const Combatant& record);
// SHA-256 over the entries' hashes sorted, each followed by a line feed.
std::string entriesDigestOf(const std::vector<Entry>& entries);
// SHA-256(secret bytes ‖ digest bytes ‖ beacon's UTF-8 bytes).
std::string tournamentSeedOf(const std::string& secretHex, const std::string& digestHex,
                             const std::optional<std::string>& beacon);
// Battle `k` (from 1) of match `matchId`: the first 8 bytes, big-endian, of
// SHA-256(seed hex ‖ ":" ‖ match id ‖ ":" ‖ k).
std::uint64_t battleSeedOf(const std::string& seedHex, std::string_view matchId, int k);

// What this tournament guarantees, in plain Japanese.
std::string fairnessText(const Tournament& t);

}  // namespace momiru::report
