// Fuzzes the replay reader: any bytes must give a replay or one line saying why, never a crash;
// a replay read must survive writing and a second reading unchanged, and play to its end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "replay/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace momiru::replay;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  momiru::Refusal refusal;
  const std::optional<Replay> r = parseReplay(bytes, &refusal);
  if (!r) {
    if (const std::string said = describe(refusal);
        said.empty() || said.find('\n') != std::string::npos)
      std::abort();
    return 0;
  }
  const std::optional<Replay> again = parseReplay(replayJson(*r), &refusal);
  if (!again || again->seed != r->seed || again->date != r->date || again->speed != r->speed ||
      again->result != r->result)
    std::abort();
  for (std::size_t s = 0; s < momiru::kSlots; ++s) {
    if (again->characters[s].record != r->characters[s].record ||
        again->characters[s].file != r->characters[s].file)
      std::abort();
  }
  const ReplayResult played = playReplay(*r);
  if (played.logSha256.size() != 64) std::abort();
  return 0;
}
