// Clock seeding for the random source; kept out of the header so the engine never sees a clock.
#include "data/random_unit.h"

#include <chrono>

namespace momiru {

std::uint64_t clockSeed() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return RandomUnit::splitMix64(static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

}  // namespace momiru
