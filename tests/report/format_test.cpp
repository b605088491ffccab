// The one formatting helper of the pages gives the whole text, however long; padding counts the
// columns a terminal gives each character.
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

// Wide and full-width characters take two columns, half-width katakana and combining marks one
// and none; a text already too long is kept whole.
TEST(Format, PadsByTerminalColumns) {
  EXPECT_EQ(displayWidth("rank"), 4u);
  EXPECT_EQ(displayWidth("順位"), 4u);
  EXPECT_EQ(displayWidth("ﾚﾝﾀﾞｰ"), 5u);
  EXPECT_EQ(displayWidth("ＶＳ"), 4u);
  EXPECT_EQ(displayWidth("e\u0301"), 1u);
  EXPECT_EQ(padLeft("順位", 6), "  順位");
  EXPECT_EQ(padRight("技 1", 9), "技 1     ");
  EXPECT_EQ(padLeft("平均ターン数", 4), "平均ターン数");
  EXPECT_EQ(padRight("", 2), "  ");
}

}  // namespace
}  // namespace momiru::report
