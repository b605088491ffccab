// Fuzzes the save-data reader: any bytes must give an outcome, never a crash, and whatever loads
// must survive the encoder and a second reading unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "data/save_data.h"
#include "data/save_data_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace momiru;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const SaveDataResult r = readSaveData(bytes, "fuzz.dat");
  if (r.outcome == LoadOutcome::Loaded) {
    if (!r.reason.empty() || !r.sum || r.record.name != "fuzz.datの" + r.values.storedNames[0])
      std::abort();
    const auto stored = storeSaveData(r.record, r.values);
    if (!stored) std::abort();
    const auto again = writeSaveData({*stored});
    if (!again) std::abort();
    const SaveDataResult second = readSaveData(*again, "fuzz.dat");
    if (second.outcome != LoadOutcome::Loaded || second.record != r.record ||
        second.values != r.values)
      std::abort();
  } else if (r.reason.empty()) {
    std::abort();
  }
  return 0;
}
