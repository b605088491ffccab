// Rounding ties to even and the 32-bit range checks.
#include "data/arith.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

namespace momiru {
namespace {

TEST(Nearest, TiesGoToEvenOthersToTheNearer) {
  const std::pair<double, double> cases[] = {
      {2.5, 2.0},    {3.5, 4.0},   {0.5, 0.0},          {1.5, 2.0}, {-0.5, 0.0},
      {-1.5, -2.0},  {-2.5, -2.0}, {6.5, 6.0},          {7.5, 8.0}, {2.4999, 2.0},
      {2.5001, 3.0}, {-2.6, -3.0}, {1e12 + 0.25, 1e12},
  };
  for (const auto& [x, want] : cases) EXPECT_EQ(nearest(x), want) << x;
}

TEST(Int32Range, ConversionsAndSums) {
  EXPECT_EQ(toInt32(2147483647.0), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(toInt32(-2147483648.0), std::numeric_limits<std::int32_t>::min());
  EXPECT_FALSE(toInt32(2147483648.0));
  EXPECT_FALSE(toInt32(-2147483649.0));
  EXPECT_FALSE(toInt32(1.5));
  EXPECT_EQ(saturate32(1e300), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(saturate32(-1e300), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(saturate32(-7.0), -7);
  EXPECT_EQ(checkedAdd(2147483640, 7), 2147483647);
  EXPECT_FALSE(checkedAdd(2147483640, 8));
  EXPECT_FALSE(checkedAdd(-2147483647 - 1, -1));
}

}  // namespace
}  // namespace momiru
