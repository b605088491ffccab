// The save-data file written by the raising program: reading, decoding, checking, installing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "data/game_state.h"

namespace momiru {

enum class LoadOutcome {
  Loaded,    // the record is in the slot and the load values are replaced
  Failed,    // silent failure: nothing changed; `reason` says why, for tools
  Tampered,  // integrity failure: the game shows its message and ends; nothing changed
};

// What one load found. The slot and the load values of the GameState change only when the
// outcome is Loaded; the decoded scratch copy is kept here for tools in every case it exists.
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
// gs.PlayerNo). On success CharName becomes the bare file name, "の" and the stored name.
SaveDataResult LoadSaveData(GameState& gs, int slot, const std::filesystem::path& file);

// Reads bytes that came from a file named `fileName` without touching any GameState; the core of
// LoadSaveData, also used by the inspector and the fuzzer.
SaveDataResult ReadSaveData(const std::string& bytes, const std::string& fileName);

}  // namespace momiru
