// The picture bank: which numbers have a picture, missing files, and HiDPI rendering.
#include "ui/picture_bank.h"

#include <gtest/gtest.h>

#include <QImage>

#include "ui_support.h"

namespace momiru::uitest {
namespace {

class PictureBankTest : public ::testing::Test {
 protected:
  ScratchDir dir;
  ui::PictureBank bank{[this](const std::filesystem::path& rel) {
    const auto p = dir.path() / rel;
    return std::filesystem::exists(p) ? p : std::filesystem::path();
  }};

  PictureBankTest() {
    std::filesystem::create_directories(dir.path() / "pictures");
    // A square in the middle, edges on half pixels at 100 % but whole pixels at 200 %.
    const std::string svg =
        "<svg xmlns='http://www.w3.org/2000/svg' width='159' height='183'>"
        "<rect x='40.5' y='50' width='60' height='60' fill='#00ff00'/></svg>";
    for (const char* name : {"mae00.svg", "mae13.svg", "haikei0.svg", "haikei1.svg"})
      dir.write(std::string("pictures/") + name, svg);
    dir.write("pictures/mae01.svg", "this is not a picture");
  }
};

TEST_F(PictureBankTest, OnlyPortraitsZeroToThirteenWithAReadableFileHaveAPicture) {
  EXPECT_FALSE(bank.portrait(0).isNull());
  EXPECT_FALSE(bank.portrait(13).isNull());
  for (const int n : {1, 2, 14, 15, -1, -2147483647 - 1, 2147483647}) {
    SCOPED_TRACE(n);
    EXPECT_TRUE(bank.portrait(n).isNull());
  }
  EXPECT_FALSE(bank.background(0).isNull());
  EXPECT_FALSE(bank.background(1).isNull());
  EXPECT_TRUE(bank.background(2).isNull());
  EXPECT_TRUE(bank.picture(QStringLiteral("nothing.svg"), QSize(10, 10)).isNull());
}

TEST_F(PictureBankTest, RendersAtTheDevicePixelRatio) {
  const QPixmap one = bank.portrait(0, 1.0);
  const QPixmap two = bank.portrait(0, 2.0);
  EXPECT_EQ(one.deviceIndependentSize().toSize(), QSize(159, 183));
  EXPECT_EQ(two.size(), QSize(318, 366));
  EXPECT_DOUBLE_EQ(two.devicePixelRatio(), 2.0);
  // At 200 % the square's left edge falls on a whole device pixel: no blurred column.
  const QImage image = two.toImage();
  EXPECT_EQ(qAlpha(image.pixel(80, 150)), 0);
  EXPECT_EQ(qAlpha(image.pixel(81, 150)), 255);
  EXPECT_EQ(qGreen(image.pixel(81, 150)), 255);
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);  // transparent background
}

}  // namespace
}  // namespace momiru::uitest
