// The keyboard on every screen: Enter and Space click the focused button, and the focus can be
// seen from the start, the speed scroll bar's included.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "ui/entry_screen.h"
#include "ui/options_screen.h"
#include "ui/result_screen.h"
#include "ui/title_screen.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

// Presses `key` on `name`, focused, of `screen`.
void press(QWidget& screen, const char* name, Qt::Key key) {
  auto* widget = screen.findChild<QWidget*>(name);
  ASSERT_NE(widget, nullptr) << name;
  if (!screen.isActiveWindow()) {
    screen.show();
    screen.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&screen));
  }
  widget->setFocus();
  ASSERT_TRUE(widget->hasFocus()) << name;
  QTest::keyClick(widget, key);
}

class KeyboardTest : public ::testing::Test {
 protected:
  Harness h;
};

TEST_F(KeyboardTest, EnterAndSpaceClickTheFocusedButtonOfEachScreen) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
    SCOPED_TRACE(key);
    {
      ui::TitleScreen title(h.ctx);
      QSignalSpy start(&title, &ui::TitleScreen::startClicked);
      press(title, "Command2", key);
      EXPECT_EQ(start.count(), 1);
    }
    {
      ui::OptionsScreen options(h.ctx);
      QSignalSpy vs(&options, &ui::OptionsScreen::vsBattleClicked);
      press(options, "Command4", key);
      EXPECT_EQ(vs.count(), 1);
      auto* halve = options.findChild<QCheckBox*>("Check1_1");
      const bool before = halve->isChecked();
      press(options, "Check1_1", key);  // a check box is a button too
      EXPECT_NE(halve->isChecked(), before);
    }
    {
      h.gs.currentSlot = 0;
      ui::EntryScreen entry(h.ctx);
      const int opened = h.dialogs.opened;
      press(entry, "Command1", key);
      EXPECT_EQ(h.dialogs.opened, opened + 1);
    }
    {
      ui::ResultScreen result(h.ctx);
      QSignalSpy back(&result, &ui::ResultScreen::backToTitleClicked);
      press(result, "Command1", key);
      EXPECT_EQ(back.count(), 1);
    }
  }
}

TEST_F(KeyboardTest, TheFocusIsDrawnFromTheStartAndOnTheSpeedScrollBar) {
  ui::OptionsScreen options(h.ctx);
  options.show();
  options.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&options));
  QCoreApplication::processEvents();
  // Without a keyboard focus change the styles draw no focus frame at all.
  EXPECT_TRUE(options.testAttribute(Qt::WA_KeyboardFocusChange));
  EXPECT_EQ(options.focusWidget(), options.findChild<QPushButton*>("Command4"));

  auto* bar = options.findChild<QScrollBar*>("HScroll1");
  auto* other = options.findChild<QPushButton*>("Command2");
  other->setFocus();
  const QImage without = bar->grab().toImage();
  bar->setFocus();
  ASSERT_TRUE(bar->hasFocus());
  const QImage with = bar->grab().toImage();
  EXPECT_NE(with, without);
}

}  // namespace
}  // namespace momiru::uitest
