// Playing decided turns over the step ticks.
#include "battle/battle_player.h"

#include <limits>
#include <utility>

#include "data/text_safety.h"

namespace momiru::battle {

BattlePlayer::BattlePlayer(GameState& gs, BattleView& view)
    : gs_(gs),
      view_(&view),
      rules_(gs),
      texts_(gs),
      shownTexts_(gs, plainName),
      progress_(rules_.start()) {
  message_.reserve(512);
}

void BattlePlayer::load() {
  randomAtLoad_ = gs_.randomUnit;
  logAtLoad_ = gs_.battleLog;
  winnerAtLoad_ = gs_.winner;
  loserAtLoad_ = gs_.loser;
  restart();
}

void BattlePlayer::restart() {
  gs_.randomUnit = randomAtLoad_;
  gs_.battleLog = logAtLoad_;
  shownLog_.clear();
  gs_.winner = winnerAtLoad_;
  gs_.loser = loserAtLoad_;
  progress_ = rules_.start();
  nextAttacker_ = kFirstAttacker;
  turn_ = TurnRecord{};
  turnLog_.clear();
  shownTurnLog_.clear();
  message_.clear();
  inTurn_ = false;
  next_ = Step::Announce;
  idle_ = 0;
  blowsShown_ = 0;
  judgement_ = Judgement::None;
  turnsStarted_ = 0;
  for (int s = 0; s < kSlots; ++s) {
    gs_.timeGauge[static_cast<std::size_t>(s)] = 0;
    tellGauge(s);
  }
  setHp(progress_.hp);
  tellStatus();
}

void BattlePlayer::seekToTurn(std::int32_t n) {
  SilentView quiet;
  BattleView* const view = std::exchange(view_, &quiet);
  restart();
  while (turnsStarted_ < n && !isOver(judgement_)) {
    while (!inTurn_) schedulerTick();
    if (turnsStarted_ < n) {
      // A turn on the way: decided, judged and ended at once, by the steps' own code.
      decideTurn();
      blowsShown_ = turn_.blows.size();
      // The status as its last hit drew it.
      for (auto blow = turn_.blows.rbegin(); blow != turn_.blows.rend(); ++blow) {
        if (!blow->damage) continue;
        setHp(blow->hpAfter);
        tellStatus();
        break;
      }
      if (!judgeShownTurn()) endTurn();
    } else {
      // The last one step by step, for the message it leaves.
      while (inTurn_ && !isOver(judgement_)) stepTick();
    }
  }
  view_ = view;
}

Outcome BattlePlayer::battleLength(std::int32_t maxTurns) const {
  RandomUnit random = randomAtLoad_;
  BattleProgress p = rules_.start();
  IgnoreEvents none;
  return rules_.playBattle(p, random, none, maxTurns);
}

void BattlePlayer::tellGauge(int slot) {
  const auto s = static_cast<std::size_t>(slot);
  gaugeShown_[s] = gs_.timeGauge[s];
  view_->gaugeChanged(slot);
}

void BattlePlayer::schedulerTick() {
  if (inTurn_ || isOver(judgement_)) return;
  for (int s = 0; s < kSlots; ++s) {
    std::int32_t& g = gs_.timeGauge[static_cast<std::size_t>(s)];
    if (g < std::numeric_limits<std::int32_t>::max()) ++g;
    if (g >= kGaugeFull) g = kGaugeFull;
    tellGauge(s);
  }
  if (gs_.timeGauge[static_cast<std::size_t>(nextAttacker_)] >= kGaugeFull) {
    startTurn(nextAttacker_);
  }
}

void BattlePlayer::startTurn(int attacker) {
  inTurn_ = true;
  turn_ = TurnRecord{};
  turn_.attacker = attacker;
  next_ = Step::Announce;
  idle_ = 0;
  blowsShown_ = 0;
  ++turnsStarted_;
  setMessage({});
  view_->turnStarted(attacker);
}

void BattlePlayer::stepTick() {
  if (!inTurn_) return;
  if (idle_ > 0) {
    --idle_;
    return;
  }
  const Step step = next_;
  switch (step) {
    case Step::Announce:
      decideTurn();
      next_ = Step::PayCost;
      break;
    case Step::PayCost:
      setHp(turn_.hpAfterCost);
      next_ = Step::Blow;
      break;
    case Step::Blow:
      showBlow();
      if (blowsShown_ < turn_.blows.size()) {
        idle_ = kIdleBetweenRepetitions;
        return;
      }
      next_ = Step::HitCount;
      break;
    case Step::HitCount: {
      std::string text = message_;
      shownTexts_.appendHits(text, turn_.hits);
      setMessage(std::move(text));
      next_ = Step::Judge;
      break;
    }
    case Step::Judge:
      if (judgeShownTurn()) return;
      next_ = Step::EndTurn;
      break;
    case Step::EndTurn:
      endTurn();
      return;
    case Step::ShowResult:
      inTurn_ = false;
      view_->battleOver();  // may destroy this player: nothing may follow
      return;
  }
  idle_ = stepInfo(step).idleAfter;
}

void BattlePlayer::decideTurn() {
  // The whole turn is decided now; the steps that follow only show it.
  decided_.clear();
  turnLog_.clear();
  shownTurnLog_.clear();
  TurnRecorder recorder(rules_, decided_);
  LogWriter log(texts_, turnLog_);
  LogWriter shownLog(shownTexts_, shownTurnLog_);
  BothSinks<LogWriter, LogWriter> logs{log, shownLog};
  BothSinks<TurnRecorder, BothSinks<LogWriter, LogWriter>> sinks{recorder, logs};
  rules_.playTurn(turn_.attacker, progress_, gs_.randomUnit, sinks);
  turn_ = std::move(decided_.back());
  setMessage(shownTexts_.announcement(turn_.attacker, turn_.move));
}

bool BattlePlayer::judgeShownTurn() {
  gs_.battleLog += turnLog_;
  shownLog_ += shownTurnLog_;
  setHp(turn_.hp);
  judgement_ = turn_.judgement;
  if (!isOver(judgement_)) return false;
  gs_.winner = turn_.winner;
  gs_.loser = turn_.loser;
  setMessage(shownTexts_.judgement(judgement_, turn_.loser));
  next_ = Step::ShowResult;
  idle_ = kIdleBeforeResult;
  return true;
}

void BattlePlayer::endTurn() {
  inTurn_ = false;
  gs_.timeGauge[static_cast<std::size_t>(turn_.attacker)] = 0;
  nextAttacker_ = defender();
  view_->turnEnded(turn_.attacker, defender());
}

void BattlePlayer::showBlow() {
  const BlowRecord& blow = turn_.blows[blowsShown_++];
  std::string text;
  // A repetition shows its own line: the lines before it are in the log already.
  if (turn_.kind != MoveKind::Repeat) text = message_;
  if (!blow.damage) {
    text += shownTexts_.missLine();
    setMessage(std::move(text));
    view_->blowMissed(defender());
    return;
  }
  shownTexts_.appendDamage(text, defender(), *blow.damage);
  setMessage(std::move(text));
  setHp(blow.hpAfter);
  tellStatus();
  view_->blowLanded(defender(), *blow.damage, turn_.kind);
}

void BattlePlayer::tellStatus() {
  for (std::size_t s = 0; s < kSlots; ++s) hpShown_[s] = gs_.combatant[s].hp;
  view_->statusChanged();
}

void BattlePlayer::setHp(const Hp& hp) {
  for (std::size_t s = 0; s < kSlots; ++s) gs_.combatant[s].hp = hp[s];
}

void BattlePlayer::setMessage(std::string text) {
  message_ = std::move(text);
  view_->messageChanged(message_);
}

Outcome screenOutcome(const BattlePlayer& player) {
  Outcome out;
  out.turns = player.turnsStarted();
  if (!isOver(player.judgement())) return out;
  out.finished = true;
  out.judgement = player.judgement();
  if (out.judgement == Judgement::DefenderLost || out.judgement == Judgement::AttackerLost) {
    out.winner = player.turn().winner;
    out.loser = player.turn().loser;
  }
  return out;
}

}  // namespace momiru::battle
