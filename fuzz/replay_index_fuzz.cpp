// Fuzzes the replay index reader: any bytes must give verdicts or nothing, never a crash; verdicts
// read must survive writing and a second reading unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "battle/replay_index.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace momiru::battle;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<ReplayVerdicts> verdicts = parseReplayIndex(bytes);
  if (!verdicts) return 0;
  const std::optional<ReplayVerdicts> again = parseReplayIndex(replayIndexText(*verdicts));
  if (!again || *again != *verdicts) std::abort();
  return 0;
}
