// nearest() brought into the 32-bit range, without data-dependent branches: the battle rounds a
// fresh random fraction several times a turn, and a mispredicted branch each time was a large
// share of a batch battle.
#pragma once

#include <cstdint>

#include "data/arith.h"

namespace momiru::battle {

// Equal to saturate32(nearest(x)) for every x, NaN included (the tests compare the two).
[[gnu::always_inline]] inline std::int32_t nearest32(double x) {
  if (!(x > -2147483648.5 && x < 2147483647.5)) [[unlikely]] {
    return saturate32(x);
  }
  // Truncate, then move one step away from zero past a half, or at a half when that makes the
  // result even. The fraction r = x - t is exact for every double. An odd t means |x| >= 1, where
  // r is a multiple of 2^-52: no r lies strictly between 0.5 - 2^-53 and 0.5, so "r > that"
  // is "r >= 0.5" there, and one comparison per side covers the tie.
  static constexpr double kPast[2] = {0.5, 0.5 - 0x1p-53};  // by t & 1
  const auto t = static_cast<std::int64_t>(x);
  const double r = x - static_cast<double>(t);
  const double past = kPast[t & 1];
  return static_cast<std::int32_t>(t + static_cast<std::int64_t>(r > past) -
                                   static_cast<std::int64_t>(r < -past));
}

}  // namespace momiru::battle
