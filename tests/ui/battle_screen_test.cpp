// The colosseum on the offscreen platform: the battle as it is shown, the gauges, the popup and
// the move list. What the battle shows at each tick is pinned by the battle signatures; these
// tests check that the widgets follow it.
#include "ui/battle_screen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QWindow>

#include "battle/headless.h"
#include "battle/texts.h"
#include "support/records.h"
#include "ui/battle_probe.h"
#include "ui/move_list_screen.h"
#include "ui/picture_view.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

using ::testing::HasSubstr;

constexpr std::uint64_t kSeed = 20240601;

QImage image(const QPixmap& p) { return p.toImage().convertToFormat(QImage::Format_ARGB32); }

class BattleScreenTest : public ::testing::Test {
 protected:
  Harness h;

  BattleScreenTest() {
    h.pictures = ui::PictureBank([](const std::filesystem::path& relative) {
      return std::filesystem::path(MOMIRU_SOURCE_DIR) / "assets" / relative;
    });
    const GameState pair = momiru::testing::twoFighters();
    h.gs.combatant = pair.combatant;
    h.ctx.settings = {1, 0, 1, 150};
  }
  ~BattleScreenTest() override {
    delete screen;
    flushDeletes();
  }

  ui::BattleScreen* open() {
    delete screen;
    screen = new ui::BattleScreen(h.ctx, kSeed);
    return screen;
  }
  template <class T>
  T* child(const QString& name) const {
    auto* w = screen->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  QPixmap haiPicture(int slot) const {
    return child<ui::PictureView>(QStringLiteral("hai_%1").arg(slot))->currentPixmap();
  }
  std::pair<int, int> gauges() const { return {probe().gaugeTop(0), probe().gaugeTop(1)}; }
  bool damVisible() const { return !child<QLineEdit>("dam")->isHidden(); }
  bool bunVisible() const { return !child<QPlainTextEdit>("bun")->isHidden(); }
  bool tick() { return uitest::tick(*screen); }
  // Ticks until `done` holds (checked after each tick); false if the battle stopped first.
  template <class Done>
  bool tickUntil(Done done, int limit = 100000) {
    for (int i = 0; i < limit; ++i) {
      if (!tick()) return false;
      if (done()) return true;
    }
    return false;
  }
  // A blow of the turn on screen has hit.
  bool hitShown() const {
    const battle::TurnRecord& t = probe().player().turn();
    for (std::size_t b = 0; b < probe().player().blowsShown(); ++b)
      if (t.blows[b].damage) return true;
    return false;
  }
  std::int32_t lastDamage() const {
    const battle::TurnRecord& t = probe().player().turn();
    const std::size_t shown = probe().player().blowsShown();
    return shown == 0 ? 0 : t.blows[shown - 1].damage.value_or(0);
  }
  bool endOfTurn() {
    return tickUntil([this] { return probe().gaugeTimerActive(); });
  }

  ui::BattleScreenProbe probe() const { return ui::BattleScreenProbe(*screen); }

  ui::BattleScreen* screen = nullptr;
};

TEST_F(BattleScreenTest, AtLoadTheBoxesLieOverThePanelsAndThePicturesAndTextsShow) {
  h.gs.combatant[1].portrait = 5;
  h.gs.combatant[0].hp[2] = -7;
  h.gs.combatant[0].level = 0;
  h.gs.combatant[0].name = "a.datのぽこ";
  open();
  // The message box and the popup lie over the panels and gauges they cross.
  const QObjectList& order = screen->children();
  for (const char* top : {"bun", "dam"}) {
    for (const char* below : {"waku_0", "waku_1", "timeg_0", "timeg_1"}) {
      EXPECT_GT(order.indexOf(child<QWidget>(top)), order.indexOf(child<QWidget>(below)))
          << top << " over " << below;
    }
  }
  EXPECT_EQ(image(child<QAbstractButton>("iras_1")->grab().copy(0, 0, 159, 183)).pixel(80, 90),
            image(h.pictures.portrait(5)).pixel(80, 90));
  EXPECT_EQ(image(haiPicture(0)), image(h.pictures.background(0)));
  EXPECT_TRUE(probe().gaugeTimerActive());
  EXPECT_FALSE(probe().stepTimerActive());

  EXPECT_EQ(child<QLabel>("name12_0")->text(), QStringLiteral("Lv.0　a.datのぽこ"));
  // The name line, of one line or two, never lies on a corner of the frame around it.
  for (int i = 0; i < kSlots; ++i) {
    const QRect frame = child<QWidget>(QStringLiteral("Shape1_%1").arg(i))->geometry();
    const QRect name = child<QLabel>(QStringLiteral("name12_%1").arg(i))->geometry();
    const QSize corner(14, 14);  // the 12-pixel radius, drawn 1.5 pixels in
    EXPECT_FALSE(name.intersects(QRect(frame.topLeft(), corner))) << i;
    EXPECT_FALSE(name.intersects(QRect(frame.topRight() - QPoint(corner.width() - 1, 0), corner)))
        << i;
  }
  // The load clamped the negative HP before the texts were made.
  EXPECT_THAT(child<QLabel>("stas_0")->text().toStdString(), HasSubstr("両脚\nHP:0 OFE:7"));
  EXPECT_EQ(h.gs.combatant[0].hp[2], 0);
  // Every hit redraws the defender's status.
  ASSERT_TRUE(tickUntil([this] { return hitShown(); }));
  EXPECT_EQ(child<QLabel>("stas_0")->text(),
            ui::displayText(battle::statusTexts(h.gs, 0).statusBlock));
}

TEST_F(BattleScreenTest, LoadSeedsTheRandomSourceAndClampsTheSpeed) {
  for (const auto& [speed, interval] : {std::pair{0, 1}, {1, 1}, {300, 300}, {5000, 300}}) {
    h.ctx.settings.battleSpeed = speed;
    h.gs.randomUnit.seed(1);
    open();
    EXPECT_EQ(probe().stepInterval(), interval) << speed;
    EXPECT_EQ(screen->seed(), kSeed);
    EXPECT_EQ(h.gs.randomUnit.next(), RandomUnit(kSeed).next());
  }
}

TEST_F(BattleScreenTest, GaugesFillHalfThenFullAndSlot1ActsFirst) {
  open();
  EXPECT_EQ(gauges(), std::pair(6210, 6210));
  probe().gaugeTick();
  EXPECT_EQ(gauges(), std::pair(3105, 3105));
  probe().gaugeTick();
  EXPECT_EQ(gauges(), std::pair(0, 0));
  EXPECT_EQ(probe().player().attacker(), 1);
  EXPECT_TRUE(probe().stepTimerActive());

  // The side that has acted keeps a full gauge until the next tick draws it half.
  ASSERT_TRUE(endOfTurn());
  EXPECT_EQ(gauges(), std::pair(0, 0));
  probe().gaugeTick();
  EXPECT_EQ(gauges(), std::pair(0, 3105));
  EXPECT_EQ(probe().player().attacker(), 0);
}

// The popup bounces over the defender for 24 ticks; a new hit or miss restarts it, and a miss says
// so.
TEST_F(BattleScreenTest, PopupBouncesOverTheDefenderAndEachBlowRestartsIt) {
  open();
  // The run at load starts from a velocity of 0: it only drops the hidden box, then stops.
  for (int i = 0; i < 17; ++i) probe().popupTick();
  EXPECT_FALSE(probe().popupTimerActive());
  EXPECT_FALSE(damVisible());
  EXPECT_EQ(probe().popupTop(), 5670 + 1050);

  const int tops[24] = {5370, 5120, 4920, 4770, 4670, 4620, 4620, 4670, 4770, 4920, 5120, 5370,
                        5670, 5670, 5670, 5670, 5670, 5670, 5670, 5670, 5670, 5670, 5670, 5670};
  for (const int defender : {0, 1}) {
    SCOPED_TRACE(defender);
    ASSERT_TRUE(tickUntil([this] { return probe().popupTimerActive(); }));
    EXPECT_EQ(probe().player().defender(), defender);  // slot 1 attacks first
    EXPECT_TRUE(damVisible());
    EXPECT_EQ(probe().popupTop(), 5670);
    EXPECT_EQ(child<QLineEdit>("dam")->x(), defender == 0 ? 42 : 322);
    // The timer's way: the ticks due at a display frame at once, then the rest in one wait.
    for (const int due : {2, 5, 13, 23, 24}) {
      probe().catchUpPopup(due);
      EXPECT_EQ(probe().popupTop(), tops[due - 1]) << "tick " << due;
      EXPECT_EQ(damVisible(), due < 24) << "tick " << due;
      EXPECT_EQ(probe().popupTimerActive(), due < 24) << "tick " << due;
    }
    EXPECT_FALSE(probe().popupTimerActive());
    ASSERT_TRUE(endOfTurn());
  }

  ASSERT_TRUE(tickUntil([this] { return damVisible(); }));
  bool sawMiss = false;
  bool sawNumber = false;
  for (int n = 0; n < 300 && !(sawMiss && sawNumber); ++n) {
    EXPECT_EQ(probe().popupTop(), 5670);
    const QString text = child<QLineEdit>("dam")->text();
    if (text == "MISS!!") {
      sawMiss = true;
    } else {
      sawNumber = true;
      EXPECT_EQ(text, QString::number(lastDamage()));
    }
    // Caught mid-air, then the next hit or miss starts it again from the beginning.
    for (int i = 0; i < 5; ++i) probe().popupTick();
    EXPECT_EQ(probe().popupTop(), 4670);
    ASSERT_TRUE(tickUntil([this] { return probe().popupTop() == 5670; }));
    EXPECT_TRUE(damVisible());
    EXPECT_TRUE(probe().popupTimerActive());
  }
  EXPECT_TRUE(sawMiss);
  EXPECT_TRUE(sawNumber);
}

// The hit background lasts from the first hit to the end of the turn; the message box shows during
// turns only.
TEST_F(BattleScreenTest, HitBackgroundAndMessageBoxFollowTheSwitches) {
  for (const int sw : {1, 0}) {
    SCOPED_TRACE(sw);
    h.gs.combatant = momiru::testing::twoFighters().combatant;
    h.gs.battleLog.clear();
    h.ctx.settings.showHitBackground = h.ctx.settings.showMessageBox = sw;
    open();
    const QImage normal = image(h.pictures.background(0));
    const QImage hit = image(h.pictures.background(1));
    ASSERT_NE(normal, hit);
    ASSERT_TRUE(tickUntil([this] { return hitShown(); }));
    const int d = probe().player().defender();
    EXPECT_EQ(image(haiPicture(d)), sw == 1 ? hit : normal);
    EXPECT_EQ(image(haiPicture(1 - d)), normal);
    ASSERT_TRUE(endOfTurn());
    EXPECT_EQ(image(haiPicture(d)), normal);

    bool shown = false;
    bool wrote = false;
    while (tick()) {
      shown |= bunVisible();
      wrote |= child<QPlainTextEdit>("bun")->toPlainText().contains(QStringLiteral("ダメージ"));
      if (probe().gaugeTimerActive()) {
        EXPECT_FALSE(bunVisible()) << "between turns";
      }
    }
    EXPECT_EQ(shown, sw == 1);
    EXPECT_TRUE(wrote);  // written even while hidden
  }
}

// A click on a portrait during a turn opens that list over the clicked panel when the turn ends,
// never during it; a second click changes nothing. The battle waits for the list however long it
// stays, then goes on as it would have; after its closing step nothing restarts it.
TEST_F(BattleScreenTest, AClickDuringATurnOpensTheListAtTheEndOfThatTurn) {
  open();
  int over = 0;
  QObject::connect(screen, &ui::BattleScreen::battleFinished, [&over] { ++over; });
  screen->move(100, 50);
  screen->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(screen));
  GameState untouched = h.gs;
  ASSERT_TRUE(tickUntil([this] { return probe().stepTimerActive(); }));
  ASSERT_TRUE(tick());
  QTest::mouseClick(child<QAbstractButton>("iras_1"), Qt::LeftButton);
  probe().portraitClicked(0);
  EXPECT_EQ(probe().pendingMoveList(), 1);
  while (probe().stepTimerActive()) {
    EXPECT_EQ(probe().moveList(), nullptr) << "mid-turn";
    ASSERT_TRUE(tick());
  }
  ui::MoveListScreen* list = probe().moveList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->slot(), 1);
  EXPECT_FALSE(probe().pendingMoveList());
  EXPECT_TRUE(list->isVisible());
  EXPECT_EQ(list->windowHandle()->transientParent(), screen->windowHandle());
  EXPECT_EQ(list->pos(), screen->frameGeometry().topLeft() + QPoint(280, 210));
  EXPECT_TRUE(list->listing().starts_with("乙\r\nH-S念力／4\r\n\r\n"));
  EXPECT_FALSE(screen->isEnabled());
  EXPECT_FALSE(probe().gaugeTimerActive());
  const auto before = gauges();
  QTest::qWait(50);  // real time passes; the gauges stand still
  EXPECT_EQ(gauges(), before);

  // A click on the text lets the battle go on.
  QTest::mouseClick(list->findChild<QLabel*>("Label1"), Qt::LeftButton);
  flushDeletes();
  EXPECT_EQ(probe().moveList(), nullptr);
  EXPECT_TRUE(screen->isEnabled());
  EXPECT_TRUE(probe().gaugeTimerActive());
  while (tick()) {
  }
  // The same battle as one nobody clicked in.
  ASSERT_TRUE(battle::playBattle(untouched, kSeed).finished);
  EXPECT_EQ(h.gs.battleLog, untouched.battleLog);
  EXPECT_EQ(h.gs.combatant, untouched.combatant);

  EXPECT_EQ(over, 1);
  probe().stepTick();
  probe().gaugeTick();
  probe().portraitClicked(1);
  EXPECT_EQ(probe().moveList(), nullptr);
  EXPECT_FALSE(probe().gaugeTimerActive());
  EXPECT_FALSE(probe().stepTimerActive());
  EXPECT_EQ(over, 1);
}

// Between turns a portrait opens its list at once, by keyboard too; closing the battle closes the
// list with it.
TEST_F(BattleScreenTest, BetweenTurnsTheListOpensAtOnceAndClosesWithTheBattle) {
  open();
  screen->move(100, 50);
  screen->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(screen));
  ASSERT_TRUE(tickUntil([this] { return probe().stepTimerActive(); }));
  ASSERT_TRUE(endOfTurn());
  auto* iras0 = child<QAbstractButton>("iras_0");
  iras0->setFocus();
  QTest::keyClick(iras0, Qt::Key_Space);
  QPointer<ui::MoveListScreen> left = probe().moveList();
  ASSERT_FALSE(left.isNull());
  EXPECT_TRUE(left->listing().starts_with("甲\r\n"));
  EXPECT_EQ(left->pos(), screen->frameGeometry().topLeft() + QPoint(0, 210));

  screen->close();
  screen = nullptr;
  flushDeletes();
  EXPECT_TRUE(left.isNull());
}

// A tournament's battle stops where a battle without a screen stops: at the turn limit, once,
// unfinished, with nothing running after it; one that ends before says how it ended.
TEST_F(BattleScreenTest, ALiveBattleStopsAtItsTurnLimitUnfinishedAndOnce) {
  const GameState endless = momiru::testing::endlessPair();
  h.gs.combatant = endless.combatant;
  int finished = 0;
  open()->setTurnLimit(3);
  QObject::connect(screen, &ui::BattleScreen::battleFinished, [&] { ++finished; });
  for (int i = 0; i < 100000 && tick(); ++i) {
  }
  EXPECT_EQ(finished, 1);
  EXPECT_FALSE(probe().gaugeTimerActive());
  EXPECT_FALSE(probe().stepTimerActive());
  const battle::Outcome stopped = screen->outcome();
  EXPECT_FALSE(stopped.finished);
  EXPECT_EQ(stopped.turns, 3);
  EXPECT_EQ(stopped.winner, -1);

  h.gs.combatant = momiru::testing::twoFighters().combatant;
  finished = 0;
  open()->setTurnLimit(battle::kDefaultMaxTurns);
  QObject::connect(screen, &ui::BattleScreen::battleFinished, [&] { ++finished; });
  for (int i = 0; i < 1000000 && tick(); ++i) {
  }
  EXPECT_EQ(finished, 1);
  GameState headless = momiru::testing::twoFighters();
  headless.halveDamage = h.ctx.settings.halveDamage;
  const battle::Outcome want = battle::playBattle(headless, kSeed, battle::kDefaultMaxTurns);
  const battle::Outcome got = screen->outcome();
  EXPECT_TRUE(got.finished);
  EXPECT_EQ(got.turns, want.turns);
  EXPECT_EQ(got.winner, want.winner);
  EXPECT_EQ(got.loser, want.loser);
  EXPECT_EQ(got.judgement, want.judgement);
}

}  // namespace
}  // namespace momiru::uitest
