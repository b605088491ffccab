// The picture bank: which numbers have a picture, missing files, HiDPI rendering, and the PNG
// renderings a build without an SVG renderer loads instead.
#include "ui/picture_bank.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>

#include "ui/title_screen.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

// A finder of the files under `root`.
ui::PictureBank::Finder filesIn(const std::filesystem::path& root) {
  return [root](const std::filesystem::path& rel) {
    const auto p = root / rel;
    return std::filesystem::exists(p) ? p : std::filesystem::path();
  };
}

class PictureBankTest : public ::testing::Test {
 protected:
  ScratchDir dir;
  ui::PictureBank bank{filesIn(dir.path())};

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

// The renderings of every drawn picture, made the way the build makes them (from the SVG bank), in
// `out`/pictures.
void prerender(const ui::PictureBank& svg, const std::filesystem::path& out,
               const std::vector<ui::DrawnPicture>& pictures) {
  std::filesystem::create_directories(out / "pictures");
  for (const auto& [name, size] : pictures) {
    for (int scale : {1, 2}) {
      const QString file = QString::fromStdString((out / "pictures").string()) + '/' +
                           ui::PictureBank::prerenderedName(name, size, scale);
      ASSERT_TRUE(svg.picture(name, size, scale).toImage().save(file, "PNG")) << file.toStdString();
    }
  }
}

TEST_F(PictureBankTest, RenderingsLoadAsTheSvgDrawsThemAtEveryRatio) {
  EXPECT_EQ(ui::PictureBank::prerenderedName(QStringLiteral("mae03.svg"), QSize(159, 183), 1),
            QStringLiteral("mae03-159x183.png"));
  EXPECT_EQ(ui::PictureBank::prerenderedName(QStringLiteral("logo.svg"), QSize(203, 88), 2),
            QStringLiteral("logo-203x88@2x.png"));
  ScratchDir out;
  prerender(bank, out.path(), {{QStringLiteral("mae00.svg"), ui::PictureBank::kPortraitSize}});
  const ui::PictureBank png(filesIn(out.path()), ui::PictureBank::Source::Prerendered);
  for (const qreal ratio : {1.0, 2.0}) {
    SCOPED_TRACE(ratio);
    const QPixmap loaded = png.portrait(0, ratio);
    EXPECT_EQ(loaded.devicePixelRatio(), ratio);
    EXPECT_EQ(loaded.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
              bank.portrait(0, ratio).toImage());
  }
  // 150 %: the 2x rendering scaled to the device's pixels, not the 1x one blown up.
  const QPixmap oneAndAHalf = png.portrait(0, 1.5);
  EXPECT_EQ(oneAndAHalf.size(), QSize(239, 275));
  EXPECT_DOUBLE_EQ(oneAndAHalf.devicePixelRatio(), 1.5);
  EXPECT_EQ(qAlpha(oneAndAHalf.toImage().pixel(5, 5)), 0);
  EXPECT_EQ(qGreen(oneAndAHalf.toImage().pixel(105, 120)), 255);

  // No rendering of a picture, or of its size: the empty picture, and the miss is told.
  EXPECT_TRUE(png.portrait(13).isNull());
  EXPECT_TRUE(png.picture(QStringLiteral("mae00.svg"), QSize(100, 100)).isNull());
  EXPECT_EQ(png.missedRenderings(), QStringList({QStringLiteral("mae13.svg 159x183"),
                                                 QStringLiteral("mae00.svg 100x100")}));
}

TEST_F(PictureBankTest, ARenderingThatIsNotAPictureOrNotAFileIsTheEmptyPicture) {
  ScratchDir out;
  std::filesystem::create_directories(out.path() / "pictures");
  out.write("pictures/mae00-159x183.png", "not a PNG");
  ASSERT_EQ(::mkfifo((out.path() / "pictures/mae13-159x183.png").c_str(), 0600), 0);
  const ui::PictureBank png(filesIn(out.path()), ui::PictureBank::Source::Prerendered);
  EXPECT_TRUE(png.portrait(0).isNull());
  EXPECT_TRUE(png.portrait(13).isNull());  // a FIFO is never waited on
}

// Every picture the game ships exists and draws, and the title screen asks for no size the build
// does not render: a screen drawing a picture at a new size must be named in drawnPictures().
TEST(DrawnPictures, EveryOneOfOursDrawsAndTheTitleAsksForNothingElse) {
  const std::filesystem::path source = std::filesystem::path(MOMIRU_SOURCE_DIR) / "assets";
  const ui::PictureBank svg(filesIn(source), ui::PictureBank::Source::Svg);
  const auto pictures = ui::drawnPictures();
  ASSERT_EQ(pictures.size(), 14u + 2u + 2u + std::size(ui::kWindowIconSides));
  ScratchDir out;
  prerender(svg, out.path(), pictures);

  Harness h;
  h.pictures = ui::PictureBank(filesIn(out.path()), ui::PictureBank::Source::Prerendered);
  ui::TitleScreen title(h.ctx);
  title.resize(title.sizeHint());
  title.grab();  // draws the picture
  for (int tick = 0; tick < 124; ++tick) title.scrollTick();
  title.grab();  // and the logo
  EXPECT_FALSE(h.pictures.windowIcon().isNull());
  EXPECT_TRUE(h.pictures.missedRenderings().isEmpty())
      << h.pictures.missedRenderings().join(", ").toStdString();
  EXPECT_EQ(ui::TitleScreen::pictureDrawnSize(), QSize(305, 515));
}

}  // namespace
}  // namespace momiru::uitest
