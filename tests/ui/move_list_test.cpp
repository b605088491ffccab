// The move-list window: its listing, its size, its owner, and every way of closing it. The
// battle screen's own list is checked with the battle screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QWindow>

#include "support/records.h"
#include "ui/move_list_screen.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

class MoveListTest : public ::testing::Test {
 protected:
  Harness h;

  MoveListTest() {
    h.gs.combatant = momiru::testing::twoFighters().combatant;
    Combatant& c = h.gs.combatant[1];
    c.name = "b.datのぽこ(2)";
    c.moveNames[5] = "";
    c.movePower[5] = -3;
    c.hp = {1, 0, -4, 2};  // what the battle has left; the listing does not show it
  }

  // A fresh window, and a count of its closed() signals.
  QPointer<ui::MoveListScreen> open() {
    auto* list = new ui::MoveListScreen(h.ctx, slot);
    QObject::connect(list, &ui::Screen::closed, [this] { ++closed; });
    list->show();
    return list;
  }

  int closed = 0;
  int slot = 1;  // the slot whose moves are listed
};

TEST_F(MoveListTest, ListsTheNameAndTheMovesAsLoaded) {
  QPointer<ui::MoveListScreen> list = open();
  EXPECT_EQ(list->listing(),
            "b.datのぽこ(2)\r\n"
            "H-S念力／4\r\n\r\n"
            "HR-１００頭突き／3\r\n\r\n"
            "A--ジャブ／2\r\n\r\n"
            "L--キック／3\r\n\r\n"
            "B--体当たり／5\r\n\r\n"
            "／-3\r\n\r\n"
            "---NO DATA／0\r\n\r\n"
            "---NO DATA／0\r\n\r\n");
  auto* label = list->findChild<QLabel*>("Label1");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), ui::displayText(list->listing()));
  // The text keeps off the window's edges, and the whole listing, its last empty line
  // included, lies inside the window.
  EXPECT_GT(label->contentsMargins().left(), 0);
  EXPECT_GE(list->height(),
            label->heightForWidth(list->width()) + label->fontMetrics().lineSpacing());
  EXPECT_TRUE(list->rect().contains(label->geometry()));
  list->close();
  flushDeletes();
}

TEST_F(MoveListTest, NoSlotKeepsTheDesignText) {
  slot = 2;
  QPointer<ui::MoveListScreen> list = open();
  EXPECT_TRUE(list->listing().empty());
  EXPECT_EQ(list->findChild<QLabel*>("Label1")->text(), "Label1");
  list->close();
  flushDeletes();
}

TEST_F(MoveListTest, EveryWayOfClosingEndsTheWindowOnce) {
  const std::function<void(ui::MoveListScreen*)> ways[] = {
      [](ui::MoveListScreen* l) {
        QTest::mouseClick(l->findChild<QLabel*>("Label1"), Qt::LeftButton);
      },
      [](ui::MoveListScreen* l) { l->close(); },  // the window system's close
      [](ui::MoveListScreen* l) { QTest::keyClick(l, Qt::Key_Escape); },
      [](ui::MoveListScreen* l) { QTest::keyClick(l, Qt::Key_Return); },
  };
  int way = 0;
  for (const auto& closeIt : ways) {
    SCOPED_TRACE(way++);
    closed = 0;
    QPointer<ui::MoveListScreen> list = open();
    closeIt(list);
    flushDeletes();
    EXPECT_TRUE(list.isNull());
    EXPECT_EQ(closed, 1);
  }
  // A key that means nothing leaves it open.
  QPointer<ui::MoveListScreen> list = open();
  QTest::keyClick(list, Qt::Key_A);
  EXPECT_FALSE(list.isNull());
  EXPECT_EQ(closed, 1);
  list->close();
  flushDeletes();
}

// The list belongs to the window it is opened over: made transient for it before it shows, and
// brought back in front whenever that window is activated while the list is open.
TEST_F(MoveListTest, BelongsToItsOwnerAndComesBackToTheFrontWhenTheOwnerIsActivated) {
  QWidget owner;
  owner.resize(300, 300);
  owner.show();
  QPointer<ui::MoveListScreen> list = new ui::MoveListScreen(h.ctx, slot, &owner);
  list->show();
  ASSERT_NE(list->windowHandle(), nullptr);
  EXPECT_EQ(list->windowHandle()->transientParent(), owner.windowHandle());
  EXPECT_TRUE(list->parent() == nullptr);  // not a child: disabling the owner leaves it usable

  owner.activateWindow();
  QCoreApplication::processEvents();
  QEvent activated(QEvent::WindowActivate);
  QCoreApplication::sendEvent(&owner, &activated);
  QCoreApplication::processEvents();
  EXPECT_EQ(QApplication::activeWindow(), list.data());
  list->close();
  flushDeletes();
  // Once the list has gone, activating the owner touches nothing.
  QCoreApplication::sendEvent(&owner, &activated);
}

}  // namespace
}  // namespace momiru::uitest
