// Save-data files, one character per record: reading, decoding, checking, installing.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/game_state.h"

namespace momiru {

enum class LoadOutcome {
  Loaded,    // the record is in the slot
  Failed,    // silent failure: nothing changed; `reason` says why, for tools
  Tampered,  // integrity failure: the game shows its message and ends; nothing changed
};

// What one load found. The slot of the GameState changes only when the outcome is Loaded; the
// load values are here, never in the GameState; the decoded scratch copy is kept here for tools in
// every case it exists.
struct SaveDataResult {
  LoadOutcome outcome = LoadOutcome::Failed;
  std::string reason;                     // empty when Loaded
  bool recordRead = false;                // at least one whole record was read and decoded
  Combatant record;                       // the last record, as the game would hold it
  LoadValues values;                      // its load values (divided where whole)
  std::optional<std::int64_t> sum;        // the check sum, when it could be formed
  std::vector<std::string> notMultiples;  // field names such as "HP[2]", "SaveLv[1]", "SaveF"
};

// Reads `file` as the entry screen's "読み込み" does, into slot `slot` of `gs` (normally
// the slot the entry screen is entering). On success the record's name becomes the bare file name,
// "の" and the stored name.
SaveDataResult loadSaveData(GameState& gs, int slot, const std::filesystem::path& file);

// Reads bytes that came from a file named `fileName` without touching any GameState; the core of
// loadSaveData, also used by the inspector and the fuzzer.
SaveDataResult readSaveData(const std::string& bytes, const std::string& fileName);

// The same, pulling the bytes from a stream a chunk at a time, so that a file of any size costs
// bounded memory. `fileName` is UTF-8; only its last component goes into the name.
SaveDataResult readSaveData(std::istream& in, const std::string& fileName);

// One record has 45 fields: the first 34 are numbers, the last 11 are texts.
inline constexpr int kSaveDataFields = 45;
inline constexpr int kSaveDataNumbers = 34;
inline constexpr int kSaveDataTexts = kSaveDataFields - kSaveDataNumbers;

// The name of field `index` (0..44) of a record, as the load values and the record call it:
// "SaveKey", "SaveCheck", "HP[0]", "OFE[0]", ..., "SaveLv[1]", "WazaPow[7]", "SaveF", "SaveA",
// "SaveText", "SaveName[0]", "WazaName[7]". Empty for an index out of range.
std::string_view saveDataFieldName(int index);

// One record as the file stores it, in file order: numbers undivided (field i is numbers[i]),
// texts in UTF-8 (field kSaveDataNumbers + j is texts[j]). The reader fills one per record before
// decoding it; the writer produces them.
struct StoredRecord {
  std::array<std::int32_t, kSaveDataNumbers> numbers{};
  std::array<std::string, kSaveDataTexts> texts;

  bool operator==(const StoredRecord&) const = default;
};

// The check sum of a decoded record, added in this order (head HP, key, legs HP, arms OFE, SaveF,
// SaveG, SaveA), or nothing when an intermediate result leaves the 32-bit range.
std::optional<std::int32_t> SaveDataCheckSum(const Combatant& record, const LoadValues& values);

}  // namespace momiru
