// The battle screen `Form1`, the colosseum: two panels with status and portrait, the time gauges,
// the message box, the damage popup, and the timers that pace the battle on it.
#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "battle/battle_player.h"
#include "media/sounds.h"
#include "ui/move_list_screen.h"
#include "ui/screen.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace momiru::ui {

class BattleNarration;
class PictureView;
class PortraitButton;

class BattleScreen final : public Screen, public battle::BattleView {
  Q_OBJECT
 public:
  // Gives the seed of a battle. The clock's unless a test or the soak tool replays one.
  using SeedSource = std::function<std::uint64_t()>;
  static void setSeedSource(SeedSource source);  // an empty source means the clock

  // Replay mode: the battle of `seed` between the records in the context's state, played by the
  // same player, with a control bar under the colosseum that pauses, steps, seeks and speeds it.
  struct Replay {
    std::uint64_t seed = 0;
  };
  // The speeds of a replay, as factors of its recorded step interval.
  static constexpr std::array<int, 4> kReplaySpeeds = {1, 2, 4, 8};
  // The control bar's height; the colosseum above it keeps its geometry.
  static constexpr int kControlBarTwips = 600;

  explicit BattleScreen(ScreenContext& context, std::optional<Replay> replay = std::nullopt);
  ~BattleScreen() override;

  // The timer ticks, public so that tests can step the battle without waiting.
  void gaugeTick();  // fills the time gauges until a turn starts
  void stepTick();   // shows the turn, one step a tick
  void popupTick();  // moves the damage popup by one 10 ms tick
  // Plays the popup's ticks up to the `due`-th since it started, all at once. Its timer wakes
  // at most once a display frame while it flies, and once for the ticks it rests after landing,
  // which move nothing; each tick is still one tick of the bounce, at its own time.
  void catchUpPopup(std::int64_t due);
  void musicKeeperTick();  // keeps the battle music going
  bool gaugeTimerActive() const { return gaugeTimer_.isActive(); }
  bool stepTimerActive() const { return stepTimer_.isActive(); }
  bool popupTimerActive() const { return popupTimer_.isActive(); }
  int stepInterval() const { return stepInterval_; }

  // A click on portrait `slot` (0 or 1) opens that slot's move list between turns; a click
  // during a turn opens it when the turn has ended.
  void portraitClicked(int slot);
  std::optional<int> pendingMoveList() const { return pendingMoveList_; }

  std::uint64_t seed() const { return seed_; }
  const battle::BattlePlayer& player() const { return *player_; }
  // Positions in twips, as the animation moves them.
  std::int32_t gaugeTop(int slot) const { return gaugeTop_[slot == 1 ? 1 : 0]; }
  std::int32_t popupTop() const { return popupTop_; }
  std::int32_t popupLeft() const { return popupLeft_; }
  MoveListScreen* moveList() const { return moveList_.data(); }

  // Replay mode.
  bool replayMode() const { return replay_.has_value(); }
  bool playing() const { return playing_; }
  void setPlaying(bool play);
  // Goes to the end of turn n (0: the start), clamped to the battle's turns, and shows there what
  // playing up to it shows.
  void seekToTurn(std::int32_t n);
  void previousTurn();
  void nextTurn();
  std::int32_t replayTurns() const { return replayTurns_; }  // M of "ターン N / M"
  int speedFactor() const { return kReplaySpeeds[static_cast<std::size_t>(speedIndex_)]; }
  void setSpeedIndex(int index);  // into kReplaySpeeds, clamped

  // What the battle tells the screen.
  void gaugeChanged(int slot) override;
  void turnStarted(int attacker) override;
  void messageChanged(std::string_view text) override;
  void statusChanged() override;
  void blowLanded(int defender, std::int32_t damage, battle::MoveKind kind) override;
  void blowMissed(int defender) override;
  void turnEnded(int attacker, int defender) override;
  void battleOver() override;

 signals:
  // The outcome has been told: the flow closes this screen and shows the result screen.
  void battleFinished();

 protected:
  void timerEvent(QTimerEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void stopEverything() override;

 private:
  void startBattle();
  void openMoveList(int slot);
  void moveListClosed();
  void showPopup(const QString& text, int defender);
  void startPopupClock();  // the popup's tick 0 is now
  void placePopup();
  void setHitBackground(int slot, bool hit);
  void drawGauge(int slot, std::int32_t level);
  void showStatus(const GameState& state);
  void buildControlBar();
  bool replayKey(int key);  // a key of the control bar; true when it was one
  void showSeekedState();
  void resumeTimers();
  void showTurnLabel();

  static SeedSource& seedSource();

  std::uint64_t seed_ = 0;
  int stepInterval_ = 1;
  bool over_ = false;      // the battle has ended: nothing may restart it
  bool stopping_ = false;  // the screen is closing: the move list's close must not resume it
  std::optional<int> pendingMoveList_;  // a portrait clicked during a turn
  std::array<std::int32_t, kSlots> gaugeTop_{};
  std::int32_t popupTop_ = 0;
  std::int32_t popupLeft_ = 0;
  std::int32_t popupVelocity_ = 0;  // twips per tick; gravity adds to it
  QElapsedTimer popupClock_;        // since the popup started
  std::int64_t popupTicksPlayed_ = 0;
  int popupFrameMs_ = 10;  // the popup timer's interval while it flies

  std::array<QWidget*, kSlots> panels_{};
  std::array<QLabel*, kSlots> nameLabels_{};
  std::array<QString, kSlots> shownNameLines_{};  // what showNameLine was last given
  std::array<QLabel*, kSlots> statusLabels_{};
  std::array<QWidget*, kSlots> frames_{};
  std::array<PictureView*, kSlots> backgrounds_{};
  std::array<int, kSlots> backgroundShown_{-1, -1};  // 0 normal, 1 hit, -1 none yet
  std::array<PortraitButton*, kSlots> portraits_{};
  std::array<QWidget*, kSlots> gaugeTracks_{};
  std::array<QWidget*, kSlots> gaugeBars_{};
  QLabel* versusLabel_ = nullptr;
  QPlainTextEdit* messageBox_ = nullptr;
  QLineEdit* popup_ = nullptr;
  QPointer<MoveListScreen> moveList_;
  BattleNarration* narration_ = nullptr;  // the battle told to a screen reader

  QBasicTimer gaugeTimer_;
  QBasicTimer stepTimer_;
  QBasicTimer popupTimer_;
  QBasicTimer musicKeeperTimer_;
  int musicKeeperWait_ = 0;  // the keeper timer's interval now
  media::BattleSounds sounds_;

  std::optional<Replay> replay_;
  bool playing_ = true;
  int speedIndex_ = 0;
  int recordedInterval_ = 1;  // the step interval the battle was recorded at
  std::int32_t replayTurns_ = 0;
  bool replayFinished_ = true;  // the battle ends within replayTurns_
  QPushButton* startButton_ = nullptr;
  QPushButton* previousButton_ = nullptr;
  QPushButton* playButton_ = nullptr;
  QPushButton* nextButton_ = nullptr;
  QPushButton* endButton_ = nullptr;
  QComboBox* speedBox_ = nullptr;
  QLabel* turnLabel_ = nullptr;

  std::unique_ptr<battle::BattlePlayer> player_;  // made at the start, after both registrations
};

}  // namespace momiru::ui
