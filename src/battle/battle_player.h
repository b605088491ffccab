// The battle as the battle screen shows it: time gauges that hand out the turns, and each turn,
// decided whole by the rules when it starts, played out over the ticks of the step timer.
//
// Using it on a screen:
//   1. Both characters are registered in gs.combatant.
//   2. Seed the one random source, gs.randomUnit, with the battle's seed.
//   3. Make the player (it reads the records then) and call load(): both gauges empty, every HP
//      below 1 raised to 0, the status shown.
//   4. A gauge timer calls schedulerTick() until the view hears turnStarted; from then a step
//      timer calls stepTick() until it hears turnEnded (back to the gauges) or battleOver.
//
// seekToTurn(n) plays the battle again from the state load() found, without the view hearing
// anything, and stops where the ticks would have stopped at the end of turn n: a viewer goes to
// any turn, backwards too, and shows what playing up to there shows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "battle/headless.h"
#include "battle/rules.h"
#include "battle/steps.h"
#include "battle/texts.h"
#include "data/game_state.h"

namespace momiru::battle {

// What the player tells the screen, in game terms. Every call comes from inside a tick.
class BattleView {
 public:
  virtual ~BattleView() = default;

  virtual void gaugeChanged(int slot) = 0;  // gs.timeGauge[slot] out of kGaugeFull
  virtual void turnStarted(int attacker) = 0;
  virtual void messageChanged(std::string_view text) = 0;  // the turn's message so far
  virtual void statusChanged() = 0;  // the HP in gs changed and none is below 0
  virtual void blowLanded(int defender, std::int32_t damage, MoveKind kind) = 0;
  virtual void blowMissed(int defender) = 0;
  virtual void turnEnded(int attacker, int defender) = 0;
  // The battle is over and its result told; the last call of the battle, so the screen may
  // destroy the player from here.
  virtual void battleOver() = 0;
};

// A view that shows nothing: what a seek plays to (the screen redraws from the state once the
// seek has returned), and what a run without a screen plays to.
class SilentView final : public BattleView {
 public:
  void gaugeChanged(int) override {}
  void turnStarted(int) override {}
  void messageChanged(std::string_view) override {}
  void statusChanged() override {}
  void blowLanded(int, std::int32_t, MoveKind) override {}
  void blowMissed(int) override {}
  void turnEnded(int, int) override {}
  void battleOver() override {}
};

class BattlePlayer {
 public:
  // The gauge level at which a side's turn starts.
  static constexpr std::int32_t kGaugeFull = 2;

  BattlePlayer(GameState& gs, BattleView& view);

  void load();
  void schedulerTick();
  void stepTick();

  // Leaves the player and the game state as ticking from load() up to the end of turn n leaves
  // them: between turns, or, when the battle ends at turn n or before, with its outcome told and
  // the pause before the result to come. The view hears nothing; it redraws from the state.
  void seekToTurn(std::int32_t n);
  // How the battle of this start goes, played out by the rules up to maxTurns turns.
  Outcome battleLength(std::int32_t maxTurns = kDefaultMaxTurns) const;

  bool turnInProgress() const { return inTurn_; }
  int attacker() const { return turn_.attacker; }
  int defender() const { return 1 - turn_.attacker; }
  // The step the next step tick acts on, once idleTicks() idle ticks have passed.
  Step nextStep() const { return next_; }
  std::int32_t idleTicks() const { return idle_; }
  // The turn being shown, as the rules decided it; blowsShown() of its blows are on screen.
  const TurnRecord& turn() const { return turn_; }
  std::size_t blowsShown() const { return blowsShown_; }
  Judgement judgement() const { return judgement_; }
  // Turns started since load(): the turn being shown, or the last one shown between turns.
  std::int32_t turnsStarted() const { return turnsStarted_; }
  // The gauge level the view was last told for `slot` (a gauge emptied at the end of a turn is
  // told at the next scheduler tick).
  std::int32_t gaugeShown(int slot) const { return gaugeShown_[slot == 1 ? 1 : 0]; }
  // The HP the view was last told of (a cost paid shows with the next hit).
  const Hp& hpShown() const { return hpShown_; }
  const std::string& shownLog() const { return shownLog_; }  // since load()
  // The turn's message so far, its names as a screen shows them (plainName); between turns, the
  // last turn's.
  const std::string& message() const { return message_; }

 private:
  void restart();  // back to the state load() left
  void startTurn(int attacker);
  void decideTurn();
  bool judgeShownTurn();  // the Judge step; true when the battle is over
  void endTurn();
  void showBlow();
  void tellGauge(int slot);
  void tellStatus();
  void setHp(const Hp& hp);
  void setMessage(std::string text);

  GameState& gs_;
  BattleView* view_;  // a view that hears nothing while a seek plays
  Rules rules_;
  TurnTexts texts_;       // for the log, with the records' own names
  TurnTexts shownTexts_;  // for the messages and shownLog_, with the names as shown
  BattleProgress progress_;
  int nextAttacker_ = kFirstAttacker;

  std::vector<TurnRecord> decided_;  // the turn being shown, as the rules' sink wrote it
  TurnRecord turn_;
  std::string turnLog_;  // its lines for the log
  std::string shownTurnLog_;
  std::string message_;
  bool inTurn_ = false;
  Step next_ = Step::Announce;
  std::int32_t idle_ = 0;
  std::size_t blowsShown_ = 0;
  Judgement judgement_ = Judgement::None;
  std::int32_t turnsStarted_ = 0;
  std::array<std::int32_t, kSlots> gaugeShown_{};
  Hp hpShown_{};
  // The log as the screens show it, each name and move name one line with nothing in it acting
  // (plainName): written beside gs.battleLog from load(), shown by the result screen.
  std::string shownLog_;

  // What load() found, for a seek to start from again.
  RandomUnit randomAtLoad_;
  std::string logAtLoad_;
  std::int32_t winnerAtLoad_ = 0;
  std::int32_t loserAtLoad_ = 0;
};

// The battle shown so far as the rules' own run tells it (playBattle, BatchBattles): finished,
// with its judgement and winner, once a turn ended it; otherwise unfinished after the turns
// started, which is how a screen that stops at kDefaultMaxTurns turns has it.
Outcome screenOutcome(const BattlePlayer& player);

}  // namespace momiru::battle
