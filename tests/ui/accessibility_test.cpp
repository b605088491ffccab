// What a screen reader gets: a Japanese name on every control of every screen, the time gauges
// as progress bars, a quiet damage popup, and the battle's news on the focused control.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "app/screen_flow.h"
#include "battle/texts.h"
#include "support/records.h"
#include "ui/battle_narration.h"
#include "ui/battle_probe.h"
#include "ui/battle_screen.h"
#include "ui/move_list_screen.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

bool japanese(const QString& text) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if ((u >= 0x3000 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF)) return true;
  }
  return false;
}

// `window` is a frame named by its caption, and every shown button, check box, combo box, scroll
// bar and progress bar in it, as the accessibility bridge sees it, has a Japanese name.
void expectNamed(QWidget& window) {
  SCOPED_TRACE(window.objectName().toStdString());
  QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(&window);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->role(), QAccessible::Window);
  EXPECT_EQ(frame->text(QAccessible::Name), window.windowTitle());
  int controls = 0;
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window)) continue;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    ASSERT_NE(face, nullptr);
    switch (face->role()) {
      case QAccessible::ComboBox:
        // On Linux a combo box is read by its current entry; its own name is the widget's.
        ++controls;
        EXPECT_TRUE(japanese(w->accessibleName())) << w->objectName().toStdString();
        break;
      case QAccessible::Button:
      case QAccessible::CheckBox:
      case QAccessible::ScrollBar:
      case QAccessible::ProgressBar:
        ++controls;
        EXPECT_TRUE(japanese(face->text(QAccessible::Name)))
            << w->metaObject()->className() << " " << w->objectName().toStdString();
        break;
      default:
        break;
    }
  }
  EXPECT_GT(controls, 0);
}

TEST(AccessibilityTest, EveryControlOfEveryScreenHasAJapaneseName) {
  Harness h;
  app::ScreenFlow flow(h.ctx, [] {});
  const auto file = h.dir.write("pair.dat", encode(testCharacter("ぽこ")));
  h.dialogs.answers = {file, file};
  const auto click = [&](const char* name) {
    flow.current()->findChild<QPushButton*>(name)->click();
  };

  flow.start();
  expectNamed(*flow.current());
  click("Command2");
  expectNamed(*flow.current());
  click("Command4");
  expectNamed(*flow.current());
  click("Command1");  // a character shown: the move list box has its entries
  expectNamed(*flow.current());
  click("Command2");
  click("Command1");
  click("Command2");
  auto* battle = static_cast<ui::BattleScreen*>(flow.current());
  ASSERT_NE(battle, nullptr);
  expectNamed(*battle);
  ui::BattleScreenProbe probe(*battle);
  probe.portraitClicked(0);
  ASSERT_NE(probe.moveList(), nullptr);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(probe.moveList())->text(QAccessible::Name),
            QStringLiteral("持ち技"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(probe.moveList())->role(), QAccessible::Window);
  probe.moveList()->close();
  flushDeletes();
  emit battle->battleOver();
  flushDeletes();
  expectNamed(*flow.current());

  // The replay viewer's control bar too.
  h.gs.combatant = momiru::testing::twoFighters().combatant;
  ui::BattleScreen viewer(h.ctx, ui::BattleScreen::Replay{7});
  viewer.show();
  expectNamed(viewer);
}

class NarrationTest : public ::testing::Test {
 protected:
  Harness h;
  ui::BattleScreen* screen = nullptr;

  NarrationTest() {
    h.gs.combatant = momiru::testing::twoFighters().combatant;
    h.ctx.settings = {0, 0, 1, 150};
    screen = new ui::BattleScreen(h.ctx, 20240601);
    screen->show();
    screen->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(screen));
  }
  ~NarrationTest() override {
    delete screen;
    flushDeletes();
  }
  ui::BattleScreenProbe probe() const { return ui::BattleScreenProbe(*screen); }
  ui::BattleNarration* narration() const { return screen->findChild<ui::BattleNarration*>(); }
  QAccessibleInterface* gauge(int slot) const {
    return QAccessible::queryAccessibleInterface(
        screen->findChild<QWidget*>(QStringLiteral("timeg_%1").arg(slot)));
  }
};

TEST_F(NarrationTest, TheGaugesAreProgressBarsWithTheirLevelAndThePopupIsHidden) {
  for (int slot = 0; slot < 2; ++slot) {
    QAccessibleInterface* face = gauge(slot);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::ProgressBar);
    EXPECT_TRUE(face->text(QAccessible::Name).endsWith(QStringLiteral("の時間ゲージ")));
    ASSERT_NE(face->valueInterface(), nullptr);
    EXPECT_EQ(face->valueInterface()->maximumValue().toInt(), 100);
  }
  // The value is what the bar shows: empty, half or full (the timers may have run already).
  const auto shown = [this](int slot) { return 100 - probe().gaugeTop(slot) * 100 / 6210; };
  for (int i = 0; i < 3; ++i) {
    for (int slot = 0; slot < 2; ++slot) {
      EXPECT_EQ(gauge(slot)->valueInterface()->currentValue().toInt(), shown(slot));
    }
    probe().gaugeTick();
  }

  QAccessibleInterface* popup =
      QAccessible::queryAccessibleInterface(screen->findChild<QLineEdit*>(QStringLiteral("dam")));
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(popup->state().invisible);
  EXPECT_FALSE(popup->state().focusable);
  ASSERT_NE(popup->textInterface(), nullptr);
}

// Each tick's news is heard on the focused portrait, which stays the one focused object: every
// line of the log in its order, each blow in words right after its line, and the outcome last;
// the screen's texts are those of a battle without a reader.
TEST_F(NarrationTest, TheBattleIsHeardInOrderOnTheFocusedPortrait) {
  auto* portrait = screen->findChild<QWidget*>(QStringLiteral("iras_0"));
  ASSERT_EQ(QApplication::focusWidget(), portrait);
  std::size_t blowsSeen = 0;  // of the turn on screen
  int blowsTold = 0;
  [[maybe_unused]] QStringList announced;  // with announcements: the news of each tick
  for (int i = 0; i < 200000 && tick(*screen, true); ++i) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (const QString& news = narration()->lastNews();
        !news.isEmpty() && (announced.isEmpty() || announced.back() != news)) {
      announced.append(news);
    }
#endif
    const std::size_t shown = probe().player().blowsShown();
    if (probe().player().turnInProgress() && shown != blowsSeen && shown > 0) {
      const battle::BlowRecord& blow = probe().player().turn().blows[shown - 1];
      const QString words = ui::BattleNarration::blowWords(
          h.gs, probe().player().defender(), blow.target, blow.damage ? &*blow.damage : nullptr);
      EXPECT_TRUE(narration()->lastNews().trimmed().endsWith(words))
          << narration()->lastNews().toStdString() << " / " << words.toStdString();
      ++blowsTold;
    }
    blowsSeen = probe().player().turnInProgress() ? shown : 0;
    if (narration()->carrier() != nullptr) {
      EXPECT_EQ(narration()->carrier(), portrait);
    }
  }
  EXPECT_GT(blowsTold, 0);
  // The portrait is still the button that opens its list, for the reader's action too, and the
  // one focused object: nothing inside it takes the reader's focus away.
  QAccessibleInterface* button = QAccessible::queryAccessibleInterface(portrait);
  EXPECT_EQ(button->role(), QAccessible::Button);
  EXPECT_TRUE(button->state().focused);
  EXPECT_EQ(button->childCount(), 0);
  EXPECT_TRUE(
      button->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
  // What the reader was told is the portrait's text, a line a tick.
  QAccessibleTextInterface* text = button->textInterface();
  ASSERT_NE(text, nullptr);
  const QStringList heard =
      text->text(0, text->characterCount()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  EXPECT_TRUE(portrait->accessibleDescription().isEmpty());
#else
  const QStringList& heard = announced;
#endif
  ASSERT_FALSE(heard.isEmpty());

  // The log's lines, in order, each heard once.
  const QString all = heard.join(QLatin1Char('\n'));
  qsizetype at = 0;
  for (const QString& line :
       ui::displayText(h.gs.battleLog).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    const qsizetype found = all.indexOf(line, at);
    ASSERT_GE(found, 0) << "not heard in order: " << line.toStdString();
    at = found + line.size();
  }
  EXPECT_EQ(all.count(QStringLiteral("回ヒットした！")),
            ui::displayText(h.gs.battleLog).count(QStringLiteral("回ヒットした！")));
  // The outcome, as the result screen shows it, came last.
  const QString outcome =
      ui::displayText(battle::resultTexts(h.gs).outcome).split(QLatin1Char('\n')).last();
  EXPECT_TRUE(heard.back().trimmed().endsWith(outcome)) << heard.back().toStdString();
}

}  // namespace
}  // namespace momiru::uitest
