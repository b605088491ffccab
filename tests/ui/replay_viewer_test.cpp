// The replay viewer, the colosseum in replay mode: seeks show what playing shows, and the control
// bar's keys and buttons.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <variant>

#include "support/records.h"
#include "ui/battle_probe.h"
#include "ui/battle_screen.h"
#include "ui/picture_view.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

// What a player sees of the colosseum between turns (the popup aside, which flies on its own
// clock).
struct Shown {
  std::array<std::int32_t, kSlots> gaugeTops{};
  std::array<QString, kSlots> names, status;
  QString message;
  bool messageBoxShown = false;
  std::array<qint64, kSlots> backgrounds{};
  QString turnLabel;
  std::string log;
  bool operator==(const Shown&) const = default;
  friend void PrintTo(const Shown& s, std::ostream* os) {
    *os << "gauges " << s.gaugeTops[0] << "," << s.gaugeTops[1] << " [" << s.message.toStdString()
        << "] " << s.status[0].toStdString() << s.status[1].toStdString();
  }
};

class ViewerTest : public ::testing::Test {
 protected:
  Harness h;

  ViewerTest() {
    h.pictures = ui::PictureBank([](const std::filesystem::path& relative) {
      return std::filesystem::path(MOMIRU_SOURCE_DIR) / "assets" / relative;
    });
    h.gs.combatant = momiru::testing::sanePair().combatant;
    h.ctx.settings = {1, 0, 1, 40};
  }
  ~ViewerTest() override {
    delete screen;
    flushDeletes();
  }

  // A viewer starts from the records as registered, as the flow hands them over.
  ui::BattleScreen* open(std::uint64_t seed) {
    delete screen;
    h.gs = GameState();
    h.gs.combatant = momiru::testing::sanePair().combatant;
    screen = new ui::BattleScreen(h.ctx, ui::BattleScreen::Replay{seed});
    return screen;
  }
  template <class T>
  T* child(const char* name) const {
    auto* w = screen->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  Shown shown() const {
    Shown s;
    for (int i = 0; i < kSlots; ++i) {
      const auto at = static_cast<std::size_t>(i);
      s.gaugeTops[at] = probe().gaugeTop(i);
      s.names[at] = screen->findChild<QLabel*>(QStringLiteral("name12_%1").arg(i))->text();
      s.status[at] = screen->findChild<QLabel*>(QStringLiteral("stas_%1").arg(i))->text();
      const QImage bg = screen->findChild<ui::PictureView*>(QStringLiteral("hai_%1").arg(i))
                            ->currentPixmap()
                            .toImage();
      s.backgrounds[at] = bg.isNull() ? 0 : bg.pixel(80, 40);
    }
    s.message = child<QPlainTextEdit>("bun")->toPlainText();
    s.messageBoxShown = !child<QPlainTextEdit>("bun")->isHidden();
    s.turnLabel = child<QLabel>("replayTurn")->text();
    s.log = h.gs.battleLog;
    return s;
  }
  // Ticks whichever battle timer runs until turn n has ended or the outcome is told.
  void playToTurn(std::int32_t n) {
    for (int i = 0; i < 1000000; ++i) {
      const battle::BattlePlayer& p = probe().player();
      if (battle::isOver(p.judgement()) && p.nextStep() == battle::Step::ShowResult) return;
      if ((!p.turnInProgress() && p.turnsStarted() >= n) || !tick(*screen)) return;
    }
  }
  void key(int k) {
    QTest::keyClick(screen->focusWidget() ? screen->focusWidget() : screen,
                    static_cast<Qt::Key>(k));
  }

  ui::BattleScreenProbe probe() const { return ui::BattleScreenProbe(*screen); }

  ui::BattleScreen* screen = nullptr;
};

// For many seeds and turns, forwards and backwards, a seek leaves on screen what playing there
// leaves: gauges, names, status, the message and its box, the backgrounds, the log, the turn.
TEST_F(ViewerTest, ASeekShowsWhatPlayingToThatTurnShows) {
  for (std::uint64_t seed = 1; seed <= 12; ++seed) {
    h.ctx.settings.showMessageBox = static_cast<std::int32_t>(seed % 2);
    open(seed);
    const std::int32_t m = probe().replayTurns();
    ASSERT_GT(m, 2);
    for (const std::int32_t n : {m, 1, 0, m / 2, 2, m - 1}) {
      SCOPED_TRACE(::testing::Message() << "seed " << seed << " turn " << n);
      probe().seekToTurn(n);
      const Shown seeked = shown();
      open(seed);
      playToTurn(n);
      EXPECT_EQ(seeked, shown());
      EXPECT_EQ(child<QLabel>("replayTurn")->text(),
                QStringLiteral("ターン %1 / %2").arg(n).arg(m));
    }
  }
}

// The keys and the buttons of the bar: pause and play, a turn back and on, start and end, speed.
TEST_F(ViewerTest, TheBarsKeysAndButtonsPauseStepSeekAndSpeed) {
  h.ctx.settings.battleSpeed = 150;
  open(7);
  screen->show();
  const std::int32_t m = probe().replayTurns();
  const auto turn = [this] { return probe().player().turnsStarted(); };
  EXPECT_EQ(child<QComboBox>("replaySpeed")->accessibleName(), QStringLiteral("再生速度"));
  // The colosseum keeps its size; the bar lies under it.
  EXPECT_EQ(screen->height(), 415 + 40);
  EXPECT_EQ(child<QWidget>("replayBar")->geometry().top(), 415);

  EXPECT_TRUE(probe().playing());
  key(Qt::Key_Space);
  EXPECT_FALSE(probe().playing());
  EXPECT_FALSE(probe().gaugeTimerActive() || probe().stepTimerActive());
  EXPECT_EQ(child<QPushButton>("replayPlayPause")->accessibleName(), QStringLiteral("再生"));

  // Each key or button (a name) and the turn it leaves; the end goes nowhere further.
  const std::vector<std::pair<std::variant<int, const char*>, std::int32_t>> steps = {
      {Qt::Key_Right, 1},    {Qt::Key_Right, 2}, {"replayNext", 3},  {Qt::Key_Left, 2},
      {"replayPrevious", 1}, {Qt::Key_End, m},   {Qt::Key_Right, m}, {Qt::Key_Home, 0},
      {"replayEnd", m},      {"replayStart", 0}};
  for (const auto& [press, expected] : steps) {
    if (const int* k = std::get_if<int>(&press)) {
      key(*k);
    } else {
      child<QPushButton>(std::get<const char*>(press))->click();
    }
    EXPECT_EQ(turn(), expected);
    EXPECT_EQ(battle::isOver(probe().player().judgement()), expected == m);
    EXPECT_FALSE(probe().gaugeTimerActive() || probe().stepTimerActive());  // still paused
  }
  EXPECT_EQ(h.gs.battleLog, "");

  // Speed: ×1 ×2 ×4 ×8 of the recorded interval, + and - within them.
  EXPECT_EQ(probe().stepInterval(), 150);
  for (const int expected : {75, 37, 18, 18}) {
    key(Qt::Key_Plus);
    EXPECT_EQ(probe().stepInterval(), expected);
  }
  EXPECT_EQ(child<QComboBox>("replaySpeed")->currentText(), QStringLiteral("×8"));
  for (int i = 0; i < 5; ++i) key(Qt::Key_Minus);
  EXPECT_EQ(probe().stepInterval(), 150);

  // Playing again runs the turn on with the step timer at the chosen speed.
  key(Qt::Key_Plus);
  child<QPushButton>("replayPlayPause")->click();
  EXPECT_TRUE(probe().playing());
  EXPECT_TRUE(probe().gaugeTimerActive());
  probe().gaugeTick();
  probe().gaugeTick();
  EXPECT_TRUE(probe().stepTimerActive());
  EXPECT_EQ(probe().stepInterval(), 75);
  EXPECT_EQ(turn(), 1);
}

// End and → while playing stop at the judged last turn, paused, and leave the viewer open; only
// playing on from there reaches the result. The ⏯ button shows the state: held down with a pause
// symbol while playing, released with a play symbol when paused.
TEST_F(ViewerTest, TheEndIsShownPausedAndOnlyPlayingThroughLeaves) {
  open(5);
  screen->show();
  int finished = 0;
  QObject::connect(screen, &ui::BattleScreen::battleFinished, [&finished] { ++finished; });
  auto* play = child<QPushButton>("replayPlayPause");
  const QImage pauseIcon = play->icon().pixmap(16, 16).toImage();
  EXPECT_TRUE(play->isCheckable());
  EXPECT_TRUE(play->isChecked());
  EXPECT_EQ(play->accessibleName(), QStringLiteral("一時停止"));
  const std::int32_t m = probe().replayTurns();

  for (const int k : {int{Qt::Key_End}, int{Qt::Key_Right}}) {
    SCOPED_TRACE(k);
    probe().seekToTurn(k == Qt::Key_End ? 0 : m - 1);
    play->click();
    if (!probe().playing()) play->click();
    ASSERT_TRUE(probe().playing());
    key(k);
    EXPECT_EQ(probe().player().turnsStarted(), m);
    EXPECT_TRUE(battle::isOver(probe().player().judgement()));
    EXPECT_FALSE(probe().playing());
    EXPECT_FALSE(probe().gaugeTimerActive() || probe().stepTimerActive());
    EXPECT_FALSE(play->isChecked());
    EXPECT_EQ(play->accessibleName(), QStringLiteral("再生"));
    EXPECT_EQ(play->toolTip(), QStringLiteral("再生"));
    EXPECT_NE(play->icon().pixmap(16, 16).toImage(), pauseIcon);
    // Pressed again at the end, → stays there.
    key(Qt::Key_Right);
    EXPECT_FALSE(probe().stepTimerActive());
    EXPECT_EQ(finished, 0);
  }

  // Played on from the end: the outcome is told as in a live battle.
  key(Qt::Key_Space);
  EXPECT_TRUE(play->isChecked());
  EXPECT_EQ(play->icon().pixmap(16, 16).toImage(), pauseIcon);
  for (int i = 0; i < 100 && finished == 0 && tick(*screen); ++i) {
  }
  EXPECT_EQ(finished, 1);
}

// Escape closes the viewer from any of its controls, once for a held key.
TEST_F(ViewerTest, EscapeClosesTheViewer) {
  for (const char* focused : {"replaySpeed", "replayPlayPause", "bun"}) {
    SCOPED_TRACE(focused);
    open(3);
    screen->show();
    int closed = 0;
    QObject::connect(screen, &ui::Screen::closed, [&closed] { ++closed; });
    QTest::keyClick(child<QWidget>(focused), Qt::Key_Escape, Qt::NoModifier);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(screen->isVisible());
    screen = nullptr;  // deleted on its close
    flushDeletes();
  }
}

}  // namespace
}  // namespace momiru::uitest
