// Options screen against the settings file: the three copies (file, globals, controls).
#include "ui/options_screen.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "ui_support.h"

namespace momiru::uitest {
namespace {

class OptionsScreenTest : public ::testing::Test {
 protected:
  Harness h;
  std::unique_ptr<ui::OptionsScreen> screen;

  void open() { screen = std::make_unique<ui::OptionsScreen>(h.ctx); }
  void writeSettings(const std::string& bytes) { h.dir.write("settei.sei", bytes); }
  std::string settingsFile() { return h.dir.read("settei.sei"); }

  QCheckBox* check(int i) {
    return screen->findChild<QCheckBox*>(QStringLiteral("Check1_%1").arg(i));
  }
  QScrollBar* speed() { return screen->findChild<QScrollBar*>("HScroll1"); }
  QString speedLabel() { return screen->findChild<QLabel*>("Label1_5")->text(); }
  void click(const char* name) { screen->findChild<QPushButton*>(name)->click(); }
  std::array<bool, 3> ticks() {
    return {check(0)->isChecked(), check(1)->isChecked(), check(2)->isChecked()};
  }
};

// The controls show the file, else the speed read earlier in this run, else the design values;
// hand-edited values are brought into range, and saving from the controls keeps them there.
TEST_F(OptionsScreenTest, LoadStepShowsTheFileThenTheMemoryThenTheDesignValues) {
  const struct {
    const char* file;  // nullptr: no settings file
    std::int32_t speedInMemory;
    std::array<bool, 3> ticks;
    int speed;
  } cases[] = {
      {"0\r\n1\r\n0\r\n20\r\n", 0, {false, true, false}, 20},
      {nullptr, 42, {false, false, false}, 42},  // read earlier in this run
      {nullptr, 0, {true, false, true}, 150},    // never read: the design values
      {"2\r\n-1\r\n0\r\n0\r\n", 0, {true, true, false}, 1},
      {"1\r\n0\r\n7\r\n301\r\n", 0, {true, false, true}, 300},
      {"0\r\n0\r\n0\r\n-2147483648\r\n", 0, {false, false, false}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file != nullptr ? c.file : "none");
    std::filesystem::remove(h.dir.path() / "settei.sei");
    if (c.file != nullptr) writeSettings(c.file);
    h.ctx.settings = {};
    h.ctx.settings.battleSpeed = c.speedInMemory;
    open();
    EXPECT_EQ(ticks(), c.ticks);
    EXPECT_EQ(speed()->value(), c.speed);
    EXPECT_EQ(speedLabel(), QStringLiteral("バトルスピード：%1").arg(c.speed));
    click("Command2");
    EXPECT_EQ(h.ctx.settings.battleSpeed, c.speed);
  }
}

TEST_F(OptionsScreenTest, ChangeAndVsBattleWriteTheControlsBeforeLeaving) {
  writeSettings("1\r\n0\r\n1\r\n150\r\n");
  for (const char* button : {"Command2", "Command4"}) {
    SCOPED_TRACE(button);
    open();
    check(0)->setChecked(false);
    check(1)->setChecked(true);
    speed()->setValue(77);
    std::string fileWhenLeaving;
    const auto grab = [&] { fileWhenLeaving = settingsFile(); };
    QObject::connect(screen.get(), &ui::OptionsScreen::changeClicked, grab);
    QObject::connect(screen.get(), &ui::OptionsScreen::vsBattleClicked, grab);
    QSignalSpy change(screen.get(), &ui::OptionsScreen::changeClicked);
    QSignalSpy vs(screen.get(), &ui::OptionsScreen::vsBattleClicked);
    click(button);
    EXPECT_EQ(fileWhenLeaving, "0\r\n1\r\n1\r\n77\r\n");
    EXPECT_EQ(h.ctx.settings, (Settings{0, 1, 1, 77}));
    EXPECT_EQ(change.count(), std::string(button) == "Command2" ? 1 : 0);
    EXPECT_EQ(vs.count(), std::string(button) == "Command4" ? 1 : 0);
    writeSettings("1\r\n0\r\n1\r\n150\r\n");
  }
}

TEST_F(OptionsScreenTest, LoadButtonPutsTheFileBackIntoTheControls) {
  writeSettings("0\r\n1\r\n0\r\n20\r\n");
  open();
  check(0)->setChecked(true);
  speed()->setValue(250);
  writeSettings("0\r\n1\r\n0\r\n20\r\n1\r\n1\r\n0\r\n30\r\n");  // two records: the last counts
  click("Command3");
  EXPECT_EQ(ticks(), (std::array<bool, 3>{true, true, false}));
  EXPECT_EQ(speed()->value(), 30);
  EXPECT_EQ(speedLabel(), QStringLiteral("バトルスピード：30"));
}

TEST_F(OptionsScreenTest, TheLabelFollowsTheScrollBarToBothEndsButNotWhileDragging) {
  open();
  QScrollBar* bar = speed();
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(speedLabel(), QStringLiteral("バトルスピード：300"));
  bar->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_EQ(speedLabel(), QStringLiteral("バトルスピード：1"));
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  QTest::keyClick(bar, Qt::Key_Right);
  EXPECT_EQ(speedLabel(), QStringLiteral("バトルスピード：3"));
  QTest::keyClick(bar, Qt::Key_Left);
  EXPECT_EQ(speedLabel(), QStringLiteral("バトルスピード：2"));

  bar->setSliderDown(true);
  bar->setSliderPosition(120);
  EXPECT_EQ(speedLabel(), QStringLiteral("バトルスピード：2"));
  bar->setSliderDown(false);
  EXPECT_EQ(speedLabel(), QStringLiteral("バトルスピード：120"));
}

}  // namespace
}  // namespace momiru::uitest
