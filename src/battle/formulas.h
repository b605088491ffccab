// The battle's arithmetic, each formula defined once, for the rules in battle/rules.h.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>

#include "battle/rounding.h"
#include "data/game_state.h"

namespace momiru::battle::formula {

// Move-choice draws before a move is used regardless of what it costs.
inline constexpr int kChoiceDraws = 61;

// The move slot that a move-choice draw u (0 <= u < 1) picks. 8u is exact in single precision,
// and a non-negative value truncates as floor.
inline std::int32_t moveOfDraw(float u) { return static_cast<std::int32_t>(8.0f * u); }

// Whether the miss roll floor(7u) comes out as 1.
inline bool missRoll(float u) { return static_cast<int>(7.0 * static_cast<double>(u)) == 1; }

// The same two for RandomUnit's draws as their 24 bits k (u = k / 2^24): 8u = k / 2^21 and
// 7u = 7k / 2^24 are exact, so the shifts give the same integers (a test checks every k).
inline std::int32_t moveOfBits(std::uint32_t k) { return static_cast<std::int32_t>(k >> 21); }
inline bool missRollOfBits(std::uint32_t k) { return (7u * k) >> 24 == 1u; }
// The draw as the formulas use it, in double precision: k / 2^24 is exact in both precisions.
inline double drawValue(std::uint32_t k) { return static_cast<double>(k) * 0x1p-24; }

// The divisor of costs and damage: 1, or 2 with the halving switch on (1).
inline double halving(std::int32_t optSw1) { return static_cast<double>(optSw1) + 1.0; }

// A whole number brought into the 32-bit range.
inline std::int32_t clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// The performing part's HP after paying the move's power. Undivided, the difference is a whole
// number (exact in double), which nearest leaves as it is: integer arithmetic gives the same.
inline std::int32_t costPaid(std::int32_t hp, std::int32_t power, double h) {
  if (h == 1.0) return clamp32(std::int64_t{hp} - power);
  return nearest32(static_cast<double>(hp) - static_cast<double>(power) / h);
}

// The defender is hit on the torso first, then the legs, the arms, and the head last. Without
// branches: which part comes next is anybody's guess to the processor.
[[gnu::always_inline]] inline std::int32_t targetOf(const std::array<std::int32_t, kParts>& hp) {
  const unsigned standing = 1u | static_cast<unsigned>(hp[1] > 0) << 1 |
                            static_cast<unsigned>(hp[2] > 0) << 2 |
                            static_cast<unsigned>(hp[3] > 0) << 3;
  return static_cast<std::int32_t>(std::bit_width(standing)) - 1;
}

// The two draw arguments of a normal or repeat blow: randomUnit(0.1 × A) and randomUnit(0.2 × D).
inline double attackArgument(double A) { return 0.1 * A; }
inline double defenceArgument(double D) { return 0.2 * D; }

// A normal or repeat blow before the raise to 1, from its two terms: the attack term factor × A
// (A = power + attack of the performing part, an integer sum that a double holds exactly) and the
// defence term 0.8 × D (D = defence of the target part).
[[gnu::always_inline]] inline std::int32_t strikeDamage(double attackTerm, double defenceTerm,
                                                        double u1, double u2, double h) {
  return nearest32(((attackTerm + u1) - (defenceTerm + u2)) / h);
}
inline constexpr double kNormalFactor = 0.9;
inline constexpr double kRepeatFactor = 0.4;
inline double attackTerm(double factor, double A) { return factor * A; }
inline double defenceTerm(double D) { return 0.8 * D; }

// A special blow before the raise to 1.
[[gnu::always_inline]] inline std::int32_t specialDamage(double P, double u, double h) {
  return nearest32((u * P + 2.0 * P) / h);
}

// The target part's HP after a hit, saturated at the bottom of the range.
inline std::int32_t hitTaken(std::int32_t hp, std::int32_t damage) {
  return clamp32(std::int64_t{hp} - damage);
}

}  // namespace momiru::battle::formula
