// The battle's formulas, each defined once: the engine that the screen drives and the batch
// runner both call these, so the two cannot drift apart.
#pragma once

#include <array>
#include <cstdint>

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

// The divisor of costs and damage: 1, or 2 with OptSw(1) = 1.
inline double halving(std::int32_t optSw1) { return static_cast<double>(optSw1) + 1.0; }

// The performing part's HP after paying the move's power.
inline std::int32_t costPaid(std::int32_t hp, std::int32_t power, double h) {
  return nearest32(static_cast<double>(hp) - static_cast<double>(power) / h);
}

// The defender is hit on the torso first, then the legs, the arms, and the head last.
inline std::int32_t targetOf(const std::array<std::int32_t, kParts>& hp) {
  for (std::int32_t p = kParts - 1; p > 0; --p) {
    if (hp[static_cast<std::size_t>(p)] > 0) return p;
  }
  return 0;
}

// The two draw arguments of a normal or repeat blow: randomUnit(0.1 × A) and randomUnit(0.2 × D).
inline double attackArgument(double A) { return 0.1 * A; }
inline double defenceArgument(double D) { return 0.2 * D; }

// A normal (factor 0.9) or repeat (factor 0.4) blow before the raise to 1. A = power + OFE of the
// performing part, an integer sum that a double holds exactly; D = DEF of the target part.
inline std::int32_t strikeDamage(double factor, double A, double D, float u1, float u2, double h) {
  return nearest32(((factor * A + static_cast<double>(u1)) - (0.8 * D + static_cast<double>(u2))) /
                   h);
}
inline constexpr double kNormalFactor = 0.9;
inline constexpr double kRepeatFactor = 0.4;

// A special blow before the raise to 1.
inline std::int32_t specialDamage(double P, float u, double h) {
  return nearest32((static_cast<double>(u) * P + 2.0 * P) / h);
}

// The target part's HP after a hit (the damage is at least 1 by then).
inline std::int32_t hitTaken(std::int32_t hp, std::int32_t damage) {
  return saturate32(static_cast<double>(hp) - static_cast<double>(damage));
}

}  // namespace momiru::battle::formula
