// The program's one pseudo-random source, with a fixed algorithm so that a seed replays the same
// battle with every compiler and on every platform.
#pragma once

#include <bit>
#include <cstdint>

namespace momiru {

// randomUnit(a) returns a single-precision u with 0 <= u < 1:
//   a > 0 or no argument  the next value of the sequence;
//   a == 0                the value most recently returned, again;
//   a < 0                 restarts the sequence from a seed derived from a, then returns the next
//                         value, so the same negative argument always gives the same value.
//
// Algorithm (do not change it: seeds in bug reports and golden logs depend on it): PCG32 (XSH RR)
// with the 64-bit multiplier 6364136223846793005 and the fixed stream 0xda3e39cb94b95bdb. The
// state is initialised as PCG's reference srandom does. A value is the top 24 bits of an output
// times 2^-24, which a float holds exactly. A negative argument a seeds with
// splitMix64(bit pattern of the double a).
class RandomUnit {
 public:
  explicit RandomUnit(std::uint64_t seedValue = 0) { seed(seedValue); }

  void seed(std::uint64_t seedValue) {
    state_ = 0;
    step();
    state_ += seedValue;
    step();
    lastBits_ = 0;
  }

  float next() { return unit(nextBits()); }

  float operator()() { return next(); }

  float operator()(double a) { return unit(bitsFor(a)); }

  float last() const { return unit(lastBits_); }

  // The same draws as their 24 bits k (the value is k / 2^24), for integer arithmetic on them.
  std::uint32_t nextBits() {
    const std::uint64_t old = state_;
    step();
    const auto xorshifted = static_cast<std::uint32_t>(((old >> 18u) ^ old) >> 27u);
    const auto rot = static_cast<std::uint32_t>(old >> 59u);
    lastBits_ = std::rotr(xorshifted, static_cast<int>(rot)) >> 8;
    return lastBits_;
  }

  std::uint32_t bitsFor(double a) {
    if (a > 0.0) [[likely]] {
      return nextBits();
    }
    if (a != a) return nextBits();  // NaN cannot arise from integer sums: next
    if (a == 0.0) return lastBits_;
    seed(splitMix64(std::bit_cast<std::uint64_t>(a)));
    return nextBits();
  }

  static float unit(std::uint32_t bits) { return static_cast<float>(bits) * (1.0f / 16777216.0f); }

  static std::uint64_t splitMix64(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
  }

 private:
  void step() { state_ = state_ * 6364136223846793005ull + kIncrement; }

  static constexpr std::uint64_t kIncrement = (0xda3e39cb94b95bdbull << 1u) | 1u;
  std::uint64_t state_ = 0;
  std::uint32_t lastBits_ = 0;
};

// A seed taken from the clock, for the start of a battle on screen or an unseeded lab run.
std::uint64_t clockSeed();

}  // namespace momiru
