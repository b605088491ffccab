// nearest() brought into the 32-bit range, without data-dependent branches: the battle rounds a
// fresh random fraction several times a turn, and a mispredicted branch each time was a large
// share of a batch battle.
#pragma once

#include <cstdint>

#include "data/arith.h"

namespace momiru::battle {

// Equal to saturate32(nearest(x)) for every x, NaN included (the tests compare the two).
inline std::int32_t nearest32(double x) {
  if (!(x > -2147483648.5 && x < 2147483647.5)) [[unlikely]] {
    return saturate32(x);
  }
  // Truncate, then move one step away from zero past a half, or at a half when that makes the
  // result even. The fraction x - t is exact for every double.
  const auto t = static_cast<std::int64_t>(x);
  const double r = x - static_cast<double>(t);
  const std::int64_t odd = t & 1;
  const std::int64_t up =
      static_cast<std::int64_t>(r > 0.5) | (static_cast<std::int64_t>(r == 0.5) & odd);
  const std::int64_t down =
      static_cast<std::int64_t>(r < -0.5) | (static_cast<std::int64_t>(r == -0.5) & odd);
  return static_cast<std::int32_t>(t + up - down);
}

}  // namespace momiru::battle
