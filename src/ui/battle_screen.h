// The battle screen `Form1`, the colosseum: two panels with status and portrait, the time gauges,
// the message box, the damage popup, and the four timers that run the battle engine on it.
#pragma once

#include <QBasicTimer>
#include <QPointer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "battle/battle_engine.h"
#include "battle/screen_port.h"
#include "media/sounds.h"
#include "ui/move_list_screen.h"
#include "ui/screen.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace momiru::ui {

class PictureView;
class PortraitButton;

class BattleScreen final : public Screen, public battle::BattleScreenPort {
  Q_OBJECT
 public:
  // Gives the seed of a battle. The clock's unless a test or the soak tool replays one.
  using SeedSource = std::function<std::uint64_t()>;
  static void setSeedSource(SeedSource source);  // an empty source means the clock

  explicit BattleScreen(ScreenContext& context);
  ~BattleScreen() override;

  // The timer ticks, public so that tests can step the battle without waiting.
  void Timer1_Timer();  // turn scheduler
  void Timer2_Timer();  // battle steps
  void Timer3_Timer();  // damage popup bounce
  void Timer4_Timer();  // music keeper
  bool Timer1Enabled() const { return Timer1_.isActive(); }
  bool Timer2Enabled() const { return Timer2_.isActive(); }
  bool Timer3Enabled() const { return Timer3_.isActive(); }
  int Timer2Interval() const { return timer2Interval_; }

  // A click on portrait `index` (0 or 1): between turns it opens that slot's move list.
  void iras_Click(int index);

  std::uint64_t seed() const { return seed_; }
  const battle::BattleEngine& engine() const { return *engine_; }
  // Positions in twips, as the animation moves them.
  std::int32_t gageTop(int slot) const { return gageTop_[slot == 1 ? 1 : 0]; }
  std::int32_t damTop() const { return damTop_; }
  std::int32_t damLeft() const { return damLeft_; }
  MoveListScreen* moveList() const { return Form6_.data(); }

  // What the engine asks of the screen.
  void panelTextChanged(std::string_view text) override;
  void showPanel(bool visible) override;
  void setPanelBackground(int slot, bool hit) override;
  void statusChanged() override;
  void showDamage(const battle::DamagePopup& popup) override;
  void gaugeChanged(int slot) override;
  void snd1() override;
  void snd2() override;
  void setTimer1(bool enabled) override;
  void setTimer2(bool enabled) override;
  void closeBattle() override;

 signals:
  // The outcome has been told: the flow closes this screen and shows the result screen.
  void battleOver();

 protected:
  void timerEvent(QTimerEvent* event) override;
  void stopEverything() override;

 private:
  void Form_Load();
  void moveListClosed();
  void placeDam();

  static SeedSource& seedSource();

  std::uint64_t seed_ = 0;
  int timer2Interval_ = 1;
  bool over_ = false;      // the closing step has run: nothing may restart the battle
  bool stopping_ = false;  // the screen is closing: the move list's close must not resume it
  std::array<std::int32_t, kSlots> gageTop_{};
  std::int32_t damTop_ = battle::kDamTop;
  std::int32_t damLeft_ = battle::kDamLeftFromPanel;

  std::array<QWidget*, kSlots> waku{};
  std::array<QLabel*, kSlots> name12{};
  std::array<QLabel*, kSlots> stas{};
  std::array<QWidget*, kSlots> Shape1{};
  std::array<PictureView*, kSlots> hai{};
  std::array<PortraitButton*, kSlots> iras{};
  std::array<QWidget*, kSlots> timeg{};
  std::array<QWidget*, kSlots> gage{};
  QLabel* Label1 = nullptr;
  QPlainTextEdit* bun = nullptr;
  QLineEdit* dam = nullptr;
  QPointer<MoveListScreen> Form6_;

  QBasicTimer Timer1_;
  QBasicTimer Timer2_;
  QBasicTimer Timer3_;
  QBasicTimer Timer4_;
  media::BattleSounds sounds_;  // MMControl1 to MMControl3

  std::unique_ptr<battle::BattleEngine> engine_;  // made at load, after both registrations
};

}  // namespace momiru::ui
