// Fuzzes the replay index reader: any bytes must give an index or nothing, never a crash; an index
// read (its entries, its files by name and the time of its listing) must survive writing and a
// second reading unchanged, and each of its files must name bytes it holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "replay/replay_index.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace momiru::replay;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<ReplayIndex> index = parseReplayIndex(bytes);
  if (!index) return 0;
  for (const auto& [name, file] : index->files) {
    if (name.empty() || !index->contents.contains(file.sha256)) std::abort();
  }
  const std::optional<ReplayIndex> again = parseReplayIndex(replayIndexText(*index));
  if (!again || *again != *index) std::abort();
  return 0;
}
