// The battle screen `Form1`, the colosseum: two panels with status and portrait, the time gauges,
// the message box, the damage popup, and the timers that pace the battle on it.
#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "battle/battle_player.h"
#include "media/sounds.h"
#include "ui/match_caption.h"
#include "ui/move_list_screen.h"
#include "ui/popup_bounce.h"
#include "ui/screen.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace momiru::ui {

class BattleNarration;
class BattleScreenProbe;
class NameLineLabel;
class PictureView;
class PortraitButton;
class ReplayControls;

class BattleScreen final : public Screen, public battle::BattleView {
  Q_OBJECT
 public:
  // Replay mode: the battle of `seed` between the records in the context's state, played by the
  // same player, with a control bar under the colosseum that pauses, steps, seeks and speeds it.
  struct Replay {
    std::uint64_t seed = 0;
  };

  // The battle of `seed` between the registered records; without a seed, of one drawn from the
  // clock as the battle starts.
  explicit BattleScreen(ScreenContext& context, std::optional<std::uint64_t> seed = std::nullopt);
  BattleScreen(ScreenContext& context, Replay replay);
  ~BattleScreen() override;

  std::uint64_t seed() const { return seed_; }

  // A battle of a tournament match: the column between the time gauges, under ＶＳ, says the
  // match, the battle of it, its rule and the score so far, and the window's title the match and
  // the battle. A battle outside a tournament shows none of it.
  void showMatch(const MatchCaption& caption);

  // A live battle that has not ended after `turns` turns stops there, unfinished, as a battle
  // without a screen stops: a tournament's battle must end where the recorded one ended.
  void setTurnLimit(std::int32_t turns) { turnLimit_ = turns; }
  // How the battle went: once battleFinished has been sent, finished with its judgement and
  // winner, or unfinished after the turn limit.
  battle::Outcome outcome() const;
  // The battle's log as this screen showed it, for the result screen.
  std::string shownLog() const;

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
  void stopEverything() override;

 private:
  friend class BattleScreenProbe;  // the tests' window on the timers and the player

  BattleScreen(ScreenContext& context, std::optional<std::uint64_t> seed, bool replay);
  void startBattle(std::optional<std::uint64_t> seed);

  // The timer ticks.
  void gaugeTick();  // fills the time gauges until a turn starts
  void stepTick();   // shows the turn, one step a tick
  void popupTick();  // moves the damage popup by one tick
  // Plays the popup's ticks up to the `due`-th since it started, all at once. Its timer wakes
  // at most once a display frame while it flies, and once for the ticks it rests after landing,
  // which move nothing; each tick is still one tick of the bounce, at its own time.
  void catchUpPopup(std::int64_t due);
  void musicKeeperTick();  // keeps the battle music going

  // A click on portrait `slot` (0 or 1) opens that slot's move list between turns; a click
  // during a turn opens it when the turn has ended.
  void portraitClicked(int slot);
  void openMoveList(int slot);
  void moveListClosed();
  void showMessage(const QString& text);  // into the message box, broken between words
  void showPopup(const QString& text, int defender);
  void startPopupClock();  // the popup's tick 0 is now
  void placePopup();
  void setHitBackground(int slot, bool hit);
  void drawGauge(int slot, std::int32_t level);
  void showStatus(const GameState& state);

  // Replay mode.
  void buildControlBar();
  void setPlaying(bool play);
  // Goes to the end of turn n (0: the start), clamped to the battle's turns, and shows there what
  // playing up to it shows.
  void seekToTurn(std::int32_t n);
  void previousTurn();
  void nextTurn();
  void setSpeedIndex(int index);  // into ReplayControls::kSpeeds, clamped
  void showSeekedState();
  void resumeTimers();
  void showTurnLabel();

  std::uint64_t seed_ = 0;
  int stepInterval_ = 1;
  bool over_ = false;      // the battle has ended: nothing may restart it
  bool stopping_ = false;  // the screen is closing: the move list's close must not resume it
  int listedSlot_ = 0;     // the slot whose moves the list shows
  std::optional<int> pendingMoveList_;           // a portrait clicked during a turn
  std::array<std::int32_t, kSlots> gaugeTop_{};  // in twips, as the animation moves them
  PopupBounce bounce_;
  QElapsedTimer popupClock_;                 // since the popup started
  int popupFrameMs_ = PopupBounce::kTickMs;  // the popup timer's interval while it flies

  std::array<QWidget*, kSlots> panels_{};
  std::array<NameLineLabel*, kSlots> nameLabels_{};
  std::array<QString, kSlots> shownNameLines_{};  // what the name labels were last given
  std::array<QLabel*, kSlots> statusLabels_{};
  std::array<QWidget*, kSlots> frames_{};
  std::array<PictureView*, kSlots> backgrounds_{};
  std::array<int, kSlots> backgroundShown_{-1, -1};  // 0 normal, 1 hit, -1 none yet
  std::array<PortraitButton*, kSlots> portraits_{};
  std::array<QWidget*, kSlots> gaugeTracks_{};
  std::array<QWidget*, kSlots> gaugeBars_{};
  QLabel* versusLabel_ = nullptr;
  QLabel* matchLabel_ = nullptr;  // only in a tournament match
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

  std::optional<std::int32_t> turnLimit_;
  bool stoppedAtLimit_ = false;

  bool replay_ = false;
  bool playing_ = true;
  int speedIndex_ = 0;
  int recordedInterval_ = 1;  // the step interval the battle was recorded at
  std::int32_t replayTurns_ = 0;
  bool replayFinished_ = true;  // the battle ends within replayTurns_
  ReplayControls* controls_ = nullptr;

  std::unique_ptr<battle::BattlePlayer> player_;  // made at the start, after both registrations
};

}  // namespace momiru::ui
