// The keyboard on every screen: Enter and Space click the focused button, and the focus can be
// seen from the start, the speed scroll bar's included.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/screen_flow.h"
#include "ui/battle_screen.h"
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
      ui::EntryScreen entry(h.ctx);
      const int opened = h.dialogs.opened;
      press(entry, "Command1", key);
      EXPECT_EQ(h.dialogs.opened, opened + 1);
    }
    {
      ui::ResultScreen result(h.ctx, h.gs.battleLog);
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

// The whole circle walked with Enter alone: on each screen the focus already sits on the next
// natural step, and the Tab order goes down the screen and, along a row, from left to right.
TEST_F(KeyboardTest, TheCircleWalkedWithEnterAloneFindsTheFocusOnTheNextStep) {
  using Where = app::ScreenFlow::Where;
  app::ScreenFlow flow(h.ctx, [] {});
  const auto file = h.dir.write("pair.dat", encode(testCharacter("ぽこ")));
  h.dialogs.answers = {file, file};

  // The focused control of the current screen, once its window is active.
  const auto focused = [&]() -> QString {
    flushDeletes();
    ui::Screen* screen = flow.current();
    if (screen == nullptr) return QString();
    screen->activateWindow();
    if (!QTest::qWaitForWindowActive(screen)) return QStringLiteral("(not active)");
    QWidget* w = QApplication::focusWidget();
    return w != nullptr && w->window() == screen ? w->objectName() : QString();
  };
  const auto enter = [&] {
    if (QWidget* w = QApplication::focusWidget()) QTest::keyClick(w, Qt::Key_Return);
  };
  // The Tab chain from the focused control visits the shown controls top to bottom, and left
  // to right within a row.
  const auto tabOrderReadsTheScreen = [&] {
    ui::Screen* screen = flow.current();
    QWidget* first = QApplication::focusWidget();
    QList<QWidget*> chain{first};
    for (QWidget* w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain()) {
      if (w->window() == screen && w != screen && w->isVisibleTo(screen) && w->isEnabled() &&
          (w->focusPolicy() & Qt::TabFocus) != 0)
        chain.append(w);
    }
    // Start from the top left one, then each must not come before its predecessor.
    const auto place = [screen](QWidget* w) { return w->mapTo(screen, QPoint(0, 0)); };
    const auto topLeft = std::min_element(chain.begin(), chain.end(), [&](QWidget* a, QWidget* b) {
      return std::pair(place(a).y(), place(a).x()) < std::pair(place(b).y(), place(b).x());
    });
    std::rotate(chain.begin(), topLeft, chain.end());
    for (qsizetype i = 1; i < chain.size(); ++i) {
      const QPoint a = place(chain[i - 1]), b = place(chain[i]);
      EXPECT_TRUE(std::abs(a.y() - b.y()) < 12 ? a.x() < b.x() : a.y() < b.y())
          << screen->objectName().toStdString() << ": " << chain[i - 1]->objectName().toStdString()
          << " before " << chain[i]->objectName().toStdString();
    }
  };

  flow.start();
  EXPECT_EQ(focused(), "Command2");  // スタート
  enter();
  ASSERT_EQ(flow.where(), Where::Options);
  EXPECT_EQ(focused(), "Command4");  // ＶＳバトル
  tabOrderReadsTheScreen();
  enter();
  ASSERT_EQ(flow.where(), Where::Entry);
  for (int player = 0; player < 2; ++player) {
    SCOPED_TRACE(player);
    ASSERT_EQ(focused(), "Command1");  // 読み込み: the slot is empty
    tabOrderReadsTheScreen();
    enter();
    ASSERT_EQ(focused(), "Command2");  // 登録: the file has loaded
    enter();
  }
  ASSERT_EQ(flow.where(), Where::Battle);
  EXPECT_EQ(focused(), "iras_0");  // the left portrait, which opens its move list
  emit static_cast<ui::BattleScreen*>(flow.current())->battleOver();
  ASSERT_EQ(flow.where(), Where::Result);
  EXPECT_EQ(focused(), "Command1");  // タイトルに戻る
  tabOrderReadsTheScreen();
  enter();
  EXPECT_EQ(flow.where(), Where::Title);
  EXPECT_EQ(focused(), "Command2");
}

// A registration attempt on an empty slot and a cancelled load leave the focus on 読み込み.
TEST_F(KeyboardTest, AnEmptySlotKeepsTheFocusOnLoad) {
  ui::EntryScreen entry(h.ctx);
  entry.show();
  entry.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  auto* load = entry.findChild<QPushButton*>("Command1");
  entry.findChild<QPushButton*>("Command2")->click();  // データが登録されてません
  EXPECT_EQ(entry.focusWidget(), load);
  load->click();  // cancelled: the slot still holds nothing
  EXPECT_EQ(entry.focusWidget(), load);
  EXPECT_TRUE(entry.isActiveWindow());
}

}  // namespace
}  // namespace momiru::uitest
