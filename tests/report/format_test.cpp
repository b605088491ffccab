// The one formatting helper of the pages gives the whole text, however long.
#include "report/format.h"

#include <gtest/gtest.h>

#include <string>

namespace momiru::report {
namespace {

TEST(Format, GivesTheWholeTextAtAnyLength) {
  EXPECT_EQ(format("%d ターン", 12), "12 ターン");
  EXPECT_EQ(format("%s", ""), "");
  for (const std::size_t size : {255u, 256u, 511u, 512u, 5000u}) {
    const std::string long_(size, 'x');
    EXPECT_EQ(format("<%s>%zu", long_.c_str(), size), "<" + long_ + ">" + std::to_string(size));
  }
}

}  // namespace
}  // namespace momiru::report
