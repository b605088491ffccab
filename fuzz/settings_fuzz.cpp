// Fuzzes the settings reader: any bytes must leave it with settings, never a crash.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "data/game_state.h"
#include "data/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  momiru::Settings settings;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  momiru::readSettings(settings, in);
  return 0;
}
