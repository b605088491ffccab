// A random source that returns the values a test lists and remembers every argument it got, so a
// test can pin each formula and each argument mode.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace momiru::testing {

class ScriptedRandom {
 public:
  ScriptedRandom() = default;
  explicit ScriptedRandom(std::vector<float> values) : values_(std::move(values)) {}

  void push(std::initializer_list<float> values) {
    values_.insert(values_.end(), values.begin(), values.end());
  }

  float operator()() {
    args.emplace_back(std::nullopt);
    return take();
  }
  // 0 repeats the last value as RandomUnit does; positive and negative arguments take the next
  // scripted value (a test scripts what a restart would give).
  float operator()(double a) {
    args.emplace_back(a);
    if (a == 0.0) return last_;
    return take();
  }

  // The same draws as RandomUnit's 24-bit integers, which the rules use.
  std::uint32_t nextBits() { return bitsOf((*this)()); }
  std::uint32_t bitsFor(double a) { return bitsOf((*this)(a)); }

  std::size_t remaining() const { return values_.size() - next_; }

  std::vector<std::optional<double>> args;  // nothing for a draw without argument

 private:
  static std::uint32_t bitsOf(float u) {
    return static_cast<std::uint32_t>(std::lround(static_cast<double>(u) * 16777216.0));
  }

  float take() {
    if (next_ >= values_.size()) {
      ADD_FAILURE() << "the rules drew more values than the test scripted";
      return last_ = 0.0f;
    }
    return last_ = values_[next_++];
  }

  std::vector<float> values_;
  std::size_t next_ = 0;
  float last_ = 0.0f;
};

// The value that makes floor(n * u) come out as k.
constexpr float pick(int k, int n) {
  return (static_cast<float>(k) + 0.5f) / static_cast<float>(n);
}

}  // namespace momiru::testing
