// Battles without a screen: for momiru-lab, the tests and the benchmarks. A headless battle runs
// the same engine and draws the same random values as the colosseum screen; it only drops the
// idle steps (which change nothing) and stops a battle that passes a turn limit, since crafted
// records with negative powers can fight for ever.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "battle/battle_engine.h"
#include "battle/screen_port.h"
#include "data/game_state.h"

namespace momiru::battle {

// Turns a headless battle plays before it gives up and reports the battle unfinished.
inline constexpr std::int32_t kDefaultMaxTurns = 10000;

// A screen that only keeps what a runner needs: which timer runs and whether the battle closed.
// Concrete and inline, so a runner pays nothing for the requests.
struct QuietScreen {
  bool timer1 = true;  // the scheduler runs from the start, as on the screen
  bool timer2 = false;
  bool closed = false;

  void panelTextChanged(std::string_view) {}
  void showPanel(bool) {}
  void setPanelBackground(int, bool) {}
  void statusChanged() {}
  void showDamage(const DamagePopup&) {}
  void gaugeChanged(int) {}
  void snd1() {}
  void snd2() {}
  void setTimer1(bool enabled) { timer1 = enabled; }
  void setTimer2(bool enabled) { timer2 = enabled; }
  void closeBattle() {
    closed = true;
    timer1 = timer2 = false;
  }
};

// The same through the screen interface, for running a BattleEngine (virtual requests) without a
// screen.
class HeadlessScreen : public BattleScreenPort {
 public:
  void panelTextChanged(std::string_view) override {}
  void showPanel(bool) override {}
  void setPanelBackground(int, bool) override {}
  void statusChanged() override {}
  void showDamage(const DamagePopup&) override {}
  void gaugeChanged(int) override {}
  void snd1() override {}
  void snd2() override {}
  void setTimer1(bool enabled) override { timer1 = enabled; }
  void setTimer2(bool enabled) override { timer2 = enabled; }
  void closeBattle() override {
    closed = true;
    timer1 = timer2 = false;
  }

  bool timer1 = true;
  bool timer2 = false;
  bool closed = false;
};

struct Outcome {
  bool finished = false;
  std::int32_t turns = 0;
  Judgement judgement = Judgement::None;
  std::int32_t winner = -1;  // slot; -1 for a draw or an unfinished battle
  std::int32_t loser = -1;
};

// One blow of a recorded turn.
struct BlowRecord {
  MoveKind kind = MoveKind::Normal;
  std::int32_t target = 0;
  std::optional<std::int32_t> damage;  // nothing for a miss
};

// One recorded turn: the move, its cost on the performing part, its blows, and both sides' HP
// after the judgement.
struct TurnRecord {
  std::int32_t attacker = 0;
  std::int32_t move = 0;
  std::int32_t part = 0;
  std::int32_t costHpBefore = 0;
  std::int32_t costHpAfter = 0;
  std::vector<BlowRecord> blows;
  std::array<std::array<std::int32_t, kParts>, kSlots> hp{};
};

// Observers see every acting step just before and after it runs.
struct NoObserver {
  template <class Engine>
  void before(std::int32_t, const Engine&, const GameState&) {}
  template <class Engine>
  void after(std::int32_t, const Engine&, const GameState&) {}
};

class TurnRecorder {
 public:
  template <class Engine>
  void before(std::int32_t step, const Engine& e, const GameState& gs) {
    const BattleState& s = e.state();
    if (step == 2) costBefore_ = hpOf(gs, s.attacker, s.attackPart);
    hitsBefore_ = s.hitCount;
  }
  template <class Engine>
  void after(std::int32_t step, const Engine& e, const GameState& gs) {
    const BattleState& s = e.state();
    switch (step) {
      case 1:
        turns.push_back(TurnRecord{s.attacker, s.moveSlot, s.attackPart, 0, 0, {}, {}});
        break;
      case 2:
        turns.back().costHpBefore = costBefore_;
        turns.back().costHpAfter = hpOf(gs, s.attacker, s.attackPart);
        break;
      case 3:
      case 10:
      case 20: {
        BlowRecord b;
        b.kind = step == 3 ? MoveKind::Normal : step == 10 ? MoveKind::Repeat : MoveKind::Special;
        b.target = s.targetPart;
        if (s.hitCount > hitsBefore_) b.damage = s.damage;
        turns.back().blows.push_back(b);
        break;
      }
      case 41:
        for (std::size_t slot = 0; slot < kSlots; ++slot)
          turns.back().hp[slot] = gs.combatant[slot].hp;
        break;
      default:
        break;
    }
  }

  std::vector<TurnRecord> turns;

 private:
  static std::int32_t hpOf(const GameState& gs, std::int32_t slot, std::int32_t part) {
    return gs.combatant[static_cast<std::size_t>(slot)].hp[static_cast<std::size_t>(part)];
  }
  std::int32_t costBefore_ = 0;
  std::int32_t hitsBefore_ = 0;
};

inline Outcome finished(Outcome out, Judgement j, const GameState& gs) {
  out.finished = true;
  out.judgement = j;
  if (j == Judgement::DefenderLost || j == Judgement::AttackerLost) {
    out.winner = gs.winner;
    out.loser = gs.loser;
  }
  return out;
}

// Plays the battle of `engine` (already loaded) to its end or to `maxTurns` turns. `timers` is
// the screen the engine talks to (QuietScreen or HeadlessScreen).
template <class Engine, class Timers, class Observer = NoObserver>
Outcome drive(Engine& engine, const Timers& timers, const GameState& gs, std::int32_t maxTurns,
              Observer&& observer = {}) {
  Outcome out;
  for (;;) {
    if (timers.closed) break;
    if (timers.timer2) {
      engine.skipPauses();
      const std::int32_t step = engine.state().step;
      if (step > 64) return out;  // only a corrupted state gets here: nothing would ever act
      observer.before(step, engine, gs);
      engine.stepTick();
      observer.after(step, engine, gs);
    } else if (timers.timer1) {
      engine.schedulerTick();
      if (timers.timer2) {
        if (out.turns >= maxTurns) return out;
        ++out.turns;
      }
    } else {
      return out;
    }
  }
  return finished(out, engine.judgement(), gs);
}

// Plays one whole battle of gs's two records with texts, as the screen would show it: gs.randomUnit
// is seeded with `seed`, BattleLog, WinNo and LoseNo are left as the result screen reads them.
// gs.lineBreak must be set. Turns are recorded when `record` is given.
Outcome playBattle(GameState& gs, std::uint64_t seed, std::int32_t maxTurns = kDefaultMaxTurns,
                   std::vector<TurnRecord>* record = nullptr);

// Many battles of one pairing, each from the records as they were given (HP restored before each
// battle): the same battles, draw for draw, as playBattle, for batch simulations and replays.
// Everything that cannot change during a battle (move codes, powers, the judgement's thresholds,
// the texts) is worked out once here, so a battle only restores eight HP and allocates nothing.
// With kTexts the log is built too (into the runner's own GameState, emptied before each battle).
// state() holds the records' HP, WinNo, LoseNo and BattleLog as the last battle left them.
template <bool kTexts>
class BatchBattles {
 public:
  explicit BatchBattles(const GameState& start);
  Outcome play(std::uint64_t seed, std::int32_t maxTurns = kDefaultMaxTurns);
  const GameState& state() const { return gs_; }

 private:
  using Hp = std::array<std::array<std::int32_t, kParts>, kSlots>;

  struct Move {
    std::int64_t choicePower;  // the power, or above every HP for an empty slot ("-")
    std::int32_t power;
    std::int8_t part;  // -1 when the code letter names no part
    MoveKind kind;
    std::uint8_t hpPart;  // the part whose HP the choice compares: part, or 0 for an empty slot
  };

  // The judgement's "can act" test of one side, reduced to thresholds: a move counts for the
  // part of the last code letter at or before it, or, before the first letter, for the part the
  // judgement's scratch held.
  struct ActTest {
    // Least powers, or the largest value when no move counts there (no HP is above it).
    std::int32_t beforeFirstLetter;               // the moves before any letter
    std::array<std::int32_t, kParts> leastPower;  // the moves counted per part
    std::int32_t lastPart;                        // the scratch's part afterwards, -1: unchanged
  };

  struct Side {
    std::array<Move, kMoves> moves;
    std::array<std::int32_t, kParts> attack;
    std::array<double, kParts> defenceTerm;      // by target part
    std::array<double, kParts> defenceArgument;  // by target part
    ActTest act;
    // Every slot empty or with a part letter: whether a move is chosen then depends on that
    // move alone, not on the part a letterless move would inherit from the draws before it.
    bool lettered;
  };

  // The log's pieces that only depend on the records.
  struct Texts {
    std::array<std::array<std::string, kMoves>, kSlots> announce;  // "<name>の<move>！！"
    std::array<std::string, kSlots> damagedName;                   // "<name>は、"
    std::string missLine;
    std::string hitsEnd;
    std::array<std::string, kSlots> fellLoss;   // by loser slot
    std::array<std::string, kSlots> stuckLoss;  // by loser slot
    std::string draw;
  };

  static unsigned ableBit(const ActTest& t, std::size_t part, std::int32_t hp) {
    return static_cast<unsigned>(hp > t.leastPower[part]) << part;
  }
  static unsigned ableParts(const ActTest& t, const std::array<std::int32_t, kParts>& hp);
  static bool canAct(const ActTest& t, const std::int32_t* hp, unsigned able,
                     std::int32_t& partVar);
  // kHalving: 1 or 2 when OptSw(1) makes the divisor exactly that (the division then costs
  // nothing), 0 for any other divisor.
  template <int kHalving>
  Outcome run(std::uint64_t seed, std::int32_t maxTurns);

  GameState gs_;
  Hp startHp_;  // as the battle screen's load leaves them: below 1 is 0
  std::array<unsigned, kSlots> startAble_{};
  double halving_;
  std::array<Side, kSlots> sides_;
  Texts texts_;
};

extern template class BatchBattles<false>;
extern template class BatchBattles<true>;

}  // namespace momiru::battle
