// nearest() brought into the 32-bit range, without data-dependent branches: the battle rounds a
// fresh random fraction several times a turn, and a mispredicted branch each time was a large
// share of a batch battle.
#pragma once

#include <cstdint>

#include "data/arith.h"

namespace momiru::battle {

// Equal to saturate32(nearest(x)) for every x, NaN included (the tests compare the two).
inline std::int32_t nearest32(double x) {
  if (!(x > -2147483648.5 && x < 2147483647.5)) return saturate32(x);
  const auto t = static_cast<std::int64_t>(x);                                       // toward zero
  const std::int64_t f = t - static_cast<std::int64_t>(x < static_cast<double>(t));  // floor
  const double d = x - static_cast<double>(f);  // exact: |x| < 2^31 leaves 21 fraction bits
  const std::int64_t up =
      static_cast<std::int64_t>(d > 0.5) | (static_cast<std::int64_t>(d == 0.5) & (f & 1));
  return static_cast<std::int32_t>(f + up);
}

}  // namespace momiru::battle
