// The save-data encoder, the reader's inverse: writes characters as save-data files. Used by the
// sample generator and the tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/game_state.h"
#include "data/save_data.h"

namespace momiru {

// The stored form of one character: every number of groups 2 to 6 is the decoded value times
// values.key. The level, picture and name pairs are taken from values.storedLevels,
// storedPortraits and storedNames (a record's level, portrait and name are only derived from
// them when reading); SaveCheck is stored as values.checkSum holds it. Fails when a product leaves
// the 32-bit range.
std::optional<StoredRecord> storeSaveData(const Combatant& record, const LoadValues& values,
                                          std::string* error = nullptr);

// The bytes of a file holding `records` one after another, each on 28 lines: one line per group,
// commas between fields, texts quoted, code page 932, CR LF. Fails when a text holds a quote, a
// line break or a character that code page 932 lacks.
std::optional<std::string> writeSaveData(const std::vector<StoredRecord>& records,
                                         std::string* error = nullptr);

// One character with a correct check value, or with `check` instead when one is given (to make
// an altered file).
std::optional<std::string> encodeSaveData(const Combatant& record, const LoadValues& values,
                                          std::optional<std::int32_t> check = std::nullopt,
                                          std::string* error = nullptr);

}  // namespace momiru
