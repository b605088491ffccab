// Fuzzes the replay index reader: any bytes must give entries or nothing, never a crash; entries
// read must survive writing and a second reading unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "replay/replay_index.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace momiru::battle;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<ReplayIndexEntries> entries = parseReplayIndex(bytes);
  if (!entries) return 0;
  const std::optional<ReplayIndexEntries> again = parseReplayIndex(replayIndexText(*entries));
  if (!again || *again != *entries) std::abort();
  return 0;
}
