// The tests' window into a battle screen: its timers, ticks, gauges, popup, move list and player,
// and the replay viewer's turns and speed.
#pragma once

#include <QCoreApplication>
#include <cstdint>
#include <optional>

#include "ui/battle_screen.h"

namespace momiru::ui {

class BattleScreenProbe {
 public:
  explicit BattleScreenProbe(BattleScreen& screen) : s_(screen) {}

  void gaugeTick() { s_.gaugeTick(); }
  void stepTick() { s_.stepTick(); }
  void popupTick() { s_.popupTick(); }
  void catchUpPopup(std::int64_t due) { s_.catchUpPopup(due); }
  bool gaugeTimerActive() const { return s_.gaugeTimer_.isActive(); }
  bool stepTimerActive() const { return s_.stepTimer_.isActive(); }
  bool popupTimerActive() const { return s_.popupTimer_.isActive(); }
  int stepInterval() const { return s_.stepInterval_; }

  // In twips, as the animation moves them.
  std::int32_t gaugeTop(int slot) const { return s_.gaugeTop_[slot == 1 ? 1 : 0]; }
  std::int32_t popupTop() const { return s_.bounce_.top(); }

  void portraitClicked(int slot) { s_.portraitClicked(slot); }
  std::optional<int> pendingMoveList() const { return s_.pendingMoveList_; }
  MoveListScreen* moveList() const { return s_.moveList_.data(); }
  const battle::BattlePlayer& player() const { return *s_.player_; }

  bool replayMode() const { return s_.replay_; }
  bool playing() const { return s_.playing_; }
  std::int32_t replayTurns() const { return s_.replayTurns_; }
  void seekToTurn(std::int32_t n) { s_.seekToTurn(n); }

 private:
  BattleScreen& s_;
};

}  // namespace momiru::ui

namespace momiru::uitest {

// One tick of whichever battle timer runs (with the events it posted delivered when `deliver`);
// false once neither runs.
inline bool tick(ui::BattleScreen& screen, bool deliver = false) {
  ui::BattleScreenProbe probe(screen);
  if (probe.stepTimerActive()) {
    probe.stepTick();
  } else if (probe.gaugeTimerActive()) {
    probe.gaugeTick();
  } else {
    return false;
  }
  // The narration tells its news from a zero-interval timer: deliver until that has run too,
  // which a slow (sanitized) build may leave for a second pass.
  if (deliver) {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  }
  return true;
}

}  // namespace momiru::uitest
