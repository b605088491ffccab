// Title screen: the tick interval, the tick counts and end positions of both phases, the
// inverting overlay, and when the title music lets go of its sound.
#include "ui/title_screen.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "../media/fake_device.h"
#include "media/sounds.h"
#include "ui/picture_view.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

// Our own stand-in for the title picture: coloured bands, so that inversion shows everywhere.
constexpr const char* kStripes =
    "<svg xmlns='http://www.w3.org/2000/svg' width='288' height='486'>"
    "<rect width='288' height='486' fill='#204080'/>"
    "<rect y='300' width='288' height='80' fill='#e0c020'/>"
    "<rect x='100' y='200' width='60' height='286' fill='#30a050'/></svg>";

class TitleScreenTest : public ::testing::Test {
 protected:
  Harness h;
  ScratchDir pics;
  ui::PictureBank bank{[this](const std::filesystem::path& rel) {
    const auto p = pics.path() / rel;
    return std::filesystem::exists(p) ? p : std::filesystem::path();
  }};
  ui::ScreenContext ctx{h.gs, bank, h.dialogs, h.dir.path()};

  TitleScreenTest() {
    std::filesystem::create_directories(pics.path() / "pictures");
    pics.write("pictures/title.svg", kStripes);
  }
};

TEST_F(TitleScreenTest, ScrollEndsOnTick124AndTheLogoStopsAt1530) {
  ui::TitleScreen title(ctx);
  EXPECT_EQ(title.dropStep(), 75);
  EXPECT_TRUE(title.scrolling());
  EXPECT_EQ(title.scrollIntervalMs(), ui::TitleScreen::kTickMs);
  auto* tomei = title.findChild<QWidget*>("tomei");
  auto* rogo = title.findChild<QWidget*>("rogo");
  for (int tick = 1; tick <= 123; ++tick) title.scrollTick();
  EXPECT_EQ(title.pictureTop(), -3690);
  EXPECT_TRUE(title.scrolling());
  EXPECT_FALSE(tomei->isVisibleTo(&title));

  title.scrollTick();  // the 124th: bottom at 3570, above the frame's 3585
  EXPECT_EQ(title.pictureTop(), -3720);
  EXPECT_FALSE(title.scrolling());
  EXPECT_TRUE(title.dropping());
  EXPECT_EQ(title.dropIntervalMs(), ui::TitleScreen::kTickMs);
  EXPECT_TRUE(tomei->isVisibleTo(&title));
  EXPECT_TRUE(rogo->isVisibleTo(&title));
  EXPECT_EQ(title.logoTop(), -1320);

  int ticks = 0;
  int lastTop = title.logoTop();
  while (title.dropping() && ticks < 1000) {
    title.dropTick();
    ++ticks;
    EXPECT_EQ(title.logoTop() - lastTop, 76 - ticks);
    lastTop = title.logoTop();
  }
  EXPECT_EQ(ticks, 75);
  EXPECT_EQ(title.logoTop(), 1530);
  EXPECT_EQ(title.dropStep(), 0);
  EXPECT_EQ(rogo->y(), 102);
}

TEST_F(TitleScreenTest, TheRunningTimersDriveTheSameAnimation) {
  ui::TitleScreen title(ctx);
  title.show();
  // 199 ticks of 16 ms; the deadline only guards against a timer that never fires.
  const QDeadlineTimer deadline(20000);
  while (title.dropStep() > 0 && !deadline.hasExpired()) QTest::qWait(10);
  EXPECT_EQ(title.dropStep(), 0);
  EXPECT_EQ(title.logoTop(), 1530);
  EXPECT_EQ(title.pictureTop(), -3720);
}

TEST_F(TitleScreenTest, OverlayShowsTheInversePictureBeneathIt) {
  ui::TitleScreen title(ctx);
  for (int tick = 0; tick < 123; ++tick) title.scrollTick();
  title.scrollTick();
  auto* tomei = title.findChild<QWidget*>("tomei");
  auto* rogo = title.findChild<QWidget*>("rogo");
  QWidget* inside = tomei->parentWidget();
  rogo->hide();
  inside->findChild<QLabel*>("Label1")->hide();

  tomei->hide();
  const QImage plain = inside->grab().toImage().convertToFormat(QImage::Format_RGB32);
  tomei->show();
  const QImage inverted = inside->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(plain.size(), inverted.size());

  const QRect area = tomei->geometry().intersected(inside->rect());
  ASSERT_GT(area.width() * area.height(), 9000);
  QImage expected = plain.copy(area);
  expected.invertPixels();
  EXPECT_EQ(inverted.copy(area), expected);
  // It covers the frame's inside from edge to edge.
  EXPECT_EQ(area, inside->rect());
}

// The picture fills its frame from edge to edge while it scrolls and once it has stopped: no band
// of the frame's black at either side.
TEST_F(TitleScreenTest, ThePictureFillsItsFrameFromEdgeToEdge) {
  ui::TitleScreen title(ctx);
  QWidget* inside = title.findChild<QWidget*>("gazo")->parentWidget();
  for (const int ticks : {0, 60, 124}) {
    SCOPED_TRACE(ticks);
    while (title.scrolling() && ticks > 0 && title.pictureTop() > -30 * ticks) title.scrollTick();
    title.findChild<QWidget*>("tomei")->hide();
    title.findChild<QWidget*>("rogo")->hide();
    title.findChild<QLabel*>("Label1")->hide();
    const QImage shot = inside->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect picture = title.findChild<QWidget*>("gazo")->geometry();
    EXPECT_EQ(picture.left(), 0);
    EXPECT_EQ(picture.width(), inside->width());
    for (int y = 0; y < shot.height(); y += 17) {
      for (const int x : {0, 1, shot.width() - 2, shot.width() - 1}) {
        EXPECT_NE(shot.pixel(x, y), qRgb(0, 0, 0)) << x << "," << y;
      }
    }
  }
  // The scroll's ticks stay those of the design.
  EXPECT_FALSE(title.scrolling());
  EXPECT_EQ(title.pictureTop(), -3720);
}

TEST_F(TitleScreenTest, StartLeavesAtAnyMomentAndClosingStopsTheTimers) {
  for (const int ticks : {0, 50, 124, 124 + 30}) {
    SCOPED_TRACE(ticks);
    auto* title = new ui::TitleScreen(ctx);
    QPointer<ui::TitleScreen> alive(title);
    for (int i = 0; i < ticks && i < 124; ++i) title->scrollTick();
    for (int i = 124; i < ticks; ++i) title->dropTick();
    QSignalSpy start(title, &ui::TitleScreen::startClicked);
    title->findChild<QPushButton*>("Command2")->click();
    EXPECT_EQ(start.count(), 1);
    title->close();
    EXPECT_FALSE(title->scrolling());
    EXPECT_FALSE(title->dropping());
    flushDeletes();
    EXPECT_TRUE(alive.isNull());
  }
}

// The title music plays once; the screen lets go of it after its end and its ringing, not
// before, so that a synthesized piece gives back its SoundFont while the title stays.
TEST_F(TitleScreenTest, TheMusicIsClosedOnlyAfterItHasEnded) {
  media::testing::FakeDevices fakes;
  ui::TitleScreen title(ctx);
  ASSERT_EQ(fakes.devices().size(), 1u);
  media::testing::FakeDevice& device = *fakes.devices()[0];
  EXPECT_EQ(fakes.takeCalls().back(), "1 play");
  EXPECT_EQ(title.musicEndWaitMs(), media::kRingOutMs);  // the fake told no length at first

  device.left = 3.0;
  title.musicEndTick();  // woken while it plays: it waits for the end and the ringing
  EXPECT_EQ(title.musicEndWaitMs(), 3000 + media::kRingOutMs);
  EXPECT_EQ(fakes.takeCalls(), std::vector<std::string>{});

  device.finish();
  title.musicEndTick();
  EXPECT_EQ(fakes.takeCalls(), std::vector<std::string>{"1 close"});
  EXPECT_EQ(title.musicEndWaitMs(), 0);
}

}  // namespace
}  // namespace momiru::uitest
