// The circle of screens: every transition, fresh screens on each visit, and the end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <map>
#include <set>

#include "app/screen_flow.h"
#include "ui/battle_screen.h"
#include "ui/screen.h"
#include "ui/title_screen.h"
#include "ui/ui_support.h"

namespace momiru::uitest {
namespace {

// Where a screen opens: centred on the one it replaces, then onto the desktop with its frame.
TEST(ScreenPlacement, CentredThenKeptOnTheDesktopTopLeftFirst) {
  const QRect desktop(0, 0, 1280, 1024);
  const QMargins frame(1, 24, 1, 1);
  EXPECT_EQ(ui::placedScreen({400, 300}, {640, 512}, desktop, frame), QRect(441, 363, 400, 300));
  // Past the lower right corner, and past the upper left one.
  EXPECT_EQ(ui::placedScreen({400, 300}, {1270, 1020}, desktop, frame), QRect(879, 723, 400, 300));
  EXPECT_EQ(ui::placedScreen({400, 300}, {0, 0}, desktop, frame), QRect(1, 24, 400, 300));
  // Larger than the desktop: the title bar and the left edge stay on it.
  EXPECT_EQ(ui::placedScreen({2000, 1500}, {640, 512}, desktop, frame).topLeft(), QPoint(1, 24));
  // A second monitor to the right is a desktop of its own.
  EXPECT_EQ(ui::placedScreen({400, 300}, {1300, 100}, QRect(1280, 0, 1920, 1080), frame),
            QRect(1281, 24, 400, 300));
}

using Where = app::ScreenFlow::Where;

class FlowTest : public ::testing::Test {
 protected:
  Harness h;
  int ended = 0;
  app::ScreenFlow flow{h.ctx, [this] { ++ended; }};

  void click(const char* name) {
    ASSERT_NE(flow.current(), nullptr);
    auto* button = flow.current()->findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    button->click();
  }
  // Every control of the current screen can be reached with Tab and has a name for a reader.
  void checkControls() {
    SCOPED_TRACE(flow.current()->objectName().toStdString());
    for (QWidget* w : flow.current()->findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                           qobject_cast<QPlainTextEdit*>(w) ||
                           (qobject_cast<QScrollBar*>(w) && !w->objectName().isEmpty());
      if (!control) continue;
      EXPECT_NE(w->focusPolicy() & Qt::TabFocus, 0) << w->objectName().toStdString();
      EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
  }
  // The visible top-level screens, after the closed ones are gone.
  QStringList visibleScreens() {
    flushDeletes();
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) names << w->objectName();
    return names;
  }
  // The flow is at `where`, and its screen `form` is the only one shown, with its controls all
  // reachable.
  void expectOn(Where where, const char* form) {
    EXPECT_EQ(flow.where(), where);
    EXPECT_EQ(visibleScreens(), QStringList{form});
    checkControls();
  }
};

// Title → options → entry → two registrations → battle → result → a fresh title.
TEST_F(FlowTest, WalksTheWholeCircle) {
  flow.start();
  expectOn(Where::Title, "Form3");
  for (int i = 0; i < 60; ++i) static_cast<ui::TitleScreen*>(flow.current())->scrollTick();

  click("Command2");  // スタート
  expectOn(Where::Options, "Form4");

  click("Command4");  // ＶＳバトル
  expectOn(Where::Entry, "Form5");

  const auto file = h.dir.write("pair.dat", encode(testCharacter("ぽこ")));
  h.dialogs.answers = {file, file};
  click("Command1");
  click("Command2");
  EXPECT_EQ(flow.where(), Where::Entry);
  click("Command1");
  click("Command2");
  expectOn(Where::Battle, "Form1");

  emit static_cast<ui::BattleScreen*>(flow.current())->battleOver();
  expectOn(Where::Result, "Form7");

  click("Command1");  // タイトルに戻る
  expectOn(Where::Title, "Form3");
  auto* title = static_cast<ui::TitleScreen*>(flow.current());
  EXPECT_EQ(title->pictureTop(), 0);
  EXPECT_TRUE(title->scrolling());
  EXPECT_EQ(ended, 0);
}

// A cancelled visit leaves the file and the globals as they were; a change writes the file.
TEST_F(FlowTest, CancelAndChangeReturnToTheTitleAndOnlyChangeWrites) {
  const auto speed = [this] { return flow.current()->findChild<QScrollBar*>("HScroll1"); };
  h.dir.write("settei.sei", "1\r\n1\r\n1\r\n9\r\n");
  flow.start();
  click("Command2");
  speed()->setValue(200);
  click("Command1");  // 取り消し
  EXPECT_EQ(flow.where(), Where::Title);
  EXPECT_EQ(h.dir.read("settei.sei"), "1\r\n1\r\n1\r\n9\r\n");
  EXPECT_EQ(h.ctx.settings.battleSpeed, 9);
  click("Command2");
  speed()->setValue(150);
  click("Command2");  // 変更
  expectOn(Where::Title, "Form3");
  EXPECT_EQ(h.dir.read("settei.sei"), "1\r\n1\r\n1\r\n150\r\n");
}

TEST_F(FlowTest, ClosingTheVisibleScreenEndsTheProgram) {
  for (const int steps : {0, 1, 2}) {
    SCOPED_TRACE(steps);
    ended = 0;
    flow.start();
    if (steps >= 1) click("Command2");
    if (steps >= 2) click("Command4");
    flow.current()->close();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(flow.where(), Where::End);
    EXPECT_TRUE(visibleScreens().isEmpty());
  }
}

// The style keeps its drawings of buttons, check boxes, combo boxes and scroll bars under their
// palette: if a visit gave those controls a new palette, the game would grow with every battle.
TEST_F(FlowTest, EveryVisitDrawsItsControlsUnderTheKeysOfTheFirst) {
  const auto file = h.dir.write("pair.dat", encode(testCharacter("ぽこ")));
  std::map<QString, std::set<qint64>> firstVisit;
  const auto compareKeys = [&] {
    std::set<qint64> keys;
    for (QWidget* w : flow.current()->findChildren<QWidget*>()) {
      if (!w->isVisibleTo(flow.current())) continue;  // never drawn, as the message box's bars
      if (qobject_cast<QPushButton*>(w) || qobject_cast<QCheckBox*>(w) ||
          qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSlider*>(w))
        keys.insert(w->palette().cacheKey());
    }
    const QString screen = flow.current()->objectName();
    EXPECT_EQ(keys, firstVisit.try_emplace(screen, keys).first->second) << screen.toStdString();
  };
  flow.start();
  h.dialogs.answers = {file, file};
  // The second pass cancels both loads: the records kept from the first are registered again.
  for (int pass = 0; pass < 2; ++pass) {
    compareKeys();
    for (const char* button : {"Command2", "Command4", "Command1", "Command2", "Command1"}) {
      click(button);
      compareKeys();
    }
    click("Command2");
    ASSERT_EQ(flow.where(), Where::Battle);
    compareKeys();
    emit static_cast<ui::BattleScreen*>(flow.current())->battleOver();
    ASSERT_EQ(flow.where(), Where::Result);
    compareKeys();
    click("Command1");  // タイトルに戻る
  }
  EXPECT_EQ(firstVisit.size(), 5U);
}

}  // namespace
}  // namespace momiru::uitest
