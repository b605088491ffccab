// Rounding and 32-bit arithmetic that reports leaving the range instead of wrapping.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace momiru {

// The integer nearest to x, a tie going to the even integer, as a double (it may not fit 32 bits).
// Written out rather than left to the floating-point rounding mode, which a library may change.
inline double nearest(double x) {
  const double r = std::floor(x);
  const double d = x - r;
  if (d > 0.5) return r + 1.0;
  if (d < 0.5) return r;
  return std::fmod(r, 2.0) == 0.0 ? r : r + 1.0;
}

// x as a 32-bit integer, or nothing when it is not a whole number inside the range.
inline std::optional<std::int32_t> toInt32(double x) {
  if (!(x >= -2147483648.0 && x <= 2147483647.0) || std::floor(x) != x) return std::nullopt;
  return static_cast<std::int32_t>(x);
}

// x brought into the 32-bit range (NaN gives 0). Used where a result must stay a valid number.
inline std::int32_t saturate32(double x) {
  if (x != x) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);
}

inline std::optional<std::int32_t> checkedAdd(std::int32_t a, std::int32_t b) {
  std::int32_t r = 0;
  if (__builtin_add_overflow(a, b, &r)) return std::nullopt;
  return r;
}

// Plain decimal: no leading zeros or spaces, a minus sign for negatives.
inline std::string decimal(std::int64_t v) { return std::to_string(v); }

}  // namespace momiru
