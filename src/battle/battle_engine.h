// The battle engine: one automatic battle between slot 0 and slot 1 of the GameState, driven by
// two ticks that the screen's timers call.
//
// Using it on a screen (BattleEngine = BasicBattle<RandomUnit, BattleScreenPort, true>):
//   1. Both characters are registered in gs.combatant; gs.lineBreak is "\r\n".
//   2. Seed the one random source: gs.randomUnit.seed(seed), with clockSeed() for a battle
//      nobody asked to replay. A battle is its two records, OptSw(1) and this seed: the same
//      three give the same battle, tick for tick, here, in momiru-lab and on every platform.
//   3. Make the engine (it reads the move codes now, so after registration) and call load():
//      both TimeGauge entries 0 and their gauges redrawn, gaugeFull 2, `sts`.
//   4. Timer1 (running from the start) calls schedulerTick(); Timer2 (interval BattleSpeed,
//      stopped at first) calls stepTick(). The engine switches the two timers through the port.
//   5. The screen's Timer3 animates the damage popup with state().damVelocity.
//
// Runners without a screen instantiate the same template with a concrete screen type
// (battle/headless.h); batch runs of many battles use BatchBattles there, which plays the same
// battles with the formulas of battle/formulas.h.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "battle/formulas.h"
#include "battle/move_code.h"
#include "battle/rounding.h"
#include "battle/screen_port.h"
#include "data/arith.h"
#include "data/game_state.h"

namespace momiru::battle {

// The per-battle state of the battle screen; all zero when the screen loads.
struct BattleState {
  std::int32_t gaugeFull = 0;  // gauge level at which a side gets its turn (2)
  std::int32_t attacker = 0;
  std::int32_t defender = 0;  // always |attacker - 1|
  std::int32_t moveSlot = 0;
  std::int32_t attackPart = 0;  // also scratch for the end-of-turn judgement
  std::int32_t targetPart = 0;  // also scratch for the end-of-turn judgement
  std::int32_t hitCount = 0;
  std::int32_t damage = 0;
  std::int32_t step = 0;
  std::int32_t damVelocity = 0;  // the damage popup's speed; the screen's Timer3 changes it
};

// How the last end-of-turn judgement decided (rules a to e).
enum class Judgement : std::uint8_t {
  None,           // no judgement yet
  BothFell,       // a: both heads at 0 or below, a draw
  DefenderLost,   // b: the attacker wins
  AttackerLost,   // c: the defender wins
  NeitherCanAct,  // d: a draw
  Continue,       // e: the battle goes on
};

inline bool isOver(Judgement j) { return j != Judgement::None && j != Judgement::Continue; }

// The fixed texts of the battle.
namespace text {
inline constexpr std::string_view kNo = "の";
inline constexpr std::string_view kBang = "！！";
inline constexpr std::string_view kDamageMid = "は、";
inline constexpr std::string_view kDamageEnd = "のダメージ！！";
inline constexpr std::string_view kMissLine = "MISS！！ 攻撃は外れた！！";
inline constexpr std::string_view kHits = "回ヒットした！";
inline constexpr std::string_view kDrawA = "２匹とも力尽きてしまった。";
inline constexpr std::string_view kDrawB = "この勝負。 引き分け！！";
inline constexpr std::string_view kFell = "は力尽きた････";
inline constexpr std::string_view kStuck = "は技が出せない状態になった････";
inline constexpr std::string_view kVictory = "の勝利！！";
inline constexpr std::string_view kMissPopup = "MISS!!";
}  // namespace text

// Random: anything with float operator()() (next value) and float operator()(double a) (the
// argument modes of RandomUnit). Screen: anything with the member functions of
// BattleScreenPort; a concrete type with inline members costs nothing per request.
template <class Random, class Screen, bool kTexts = true>
class BasicBattle {
 public:
  static constexpr int kChoiceDraws = formula::kChoiceDraws;

  BasicBattle(GameState& gs, Screen& screen, Random& random)
      : gs_(gs), screen_(screen), random_(random) {
    for (int s = 0; s < kSlots; ++s) {
      for (int m = 0; m < kMoves; ++m) {
        codes_[idx(s)][idx(m)] = parseMoveCode(gs.combatant[idx(s)].moveNames[idx(m)]);
      }
    }
    if constexpr (kTexts) {
      panel_.reserve(512);
      gs_.battleLog.reserve(gs_.battleLog.size() + 8192);
    }
  }

  // The engine's part of the battle screen's load step. Also starts a new battle with the same
  // engine (batch runs): the per-battle state returns to zero first.
  void load() {
    st_ = BattleState{};
    judgement_ = Judgement::None;
    for (int s = 0; s < kSlots; ++s) {
      gs_.timeGauge[idx(s)] = 0;
      screen_.gaugeChanged(s);
    }
    st_.gaugeFull = 2;
    sts();
  }

  // Timer1: fill both gauges; a full one takes the turn (slot 1 last, so it wins a tie).
  void schedulerTick() {
    for (int s = 0; s < kSlots; ++s) {
      std::int32_t& g = gs_.timeGauge[idx(s)];
      if (g < std::numeric_limits<std::int32_t>::max()) ++g;
      if (g >= st_.gaugeFull) {
        g = st_.gaugeFull;
        st_.attacker = s;
        st_.defender = std::abs(s - 1);
        st_.step = 1;
        setPanel({});
        if (gs_.settings.showMessageBox == 1) screen_.showPanel(true);
        screen_.setTimer1(false);
        screen_.setTimer2(true);
      }
      screen_.gaugeChanged(s);
    }
  }

  // Timer2: the action of the current step, then the step moves on by one.
  void stepTick() {
    switch (st_.step) {
      case 1:
        KOU();
        break;
      case 2:
        STU();
        switch (code(st_.attacker, st_.moveSlot).kind) {
          case MoveKind::Repeat:
            st_.step = 9;
            break;
          case MoveKind::Special:
            st_.step = 19;
            break;
          case MoveKind::Normal:
            break;
        }
        break;
      case 3:
        normalBlow();
        break;
      case 10:
        logAndClearPanel();
        if (repeatBlow()) st_.step -= 3;
        break;
      case 20:
        specialBlow();
        break;
      case 4:
      case 11:
      case 21:
        hitCountLine();
        st_.step = 39;
        break;
      case 41:
        ZEN();
        break;
      case 57:
        ++st_.step;
        screen_.closeBattle();  // may destroy this engine: nothing may follow
        return;
      case 64:
        endTurn();
        break;
      default:
        break;  // the pauses of the battle
    }
    ++st_.step;
  }

  // Moves `step` over the idle steps to the next one with an action; a runner without a clock
  // uses it to drop the pauses, which change nothing.
  void skipPauses() {
    const std::int32_t s = st_.step;
    if (s <= 4) return;  // 1..4 all act; 0 never runs under Timer2
    if (s <= 10) {
      st_.step = 10;
    } else if (s <= 11) {
      st_.step = 11;
    } else if (s <= 20) {
      st_.step = 20;
    } else if (s <= 21) {
      st_.step = 21;
    } else if (s <= 41) {
      st_.step = 41;
    } else if (s <= 57) {
      st_.step = 57;
    } else if (s <= 64) {
      st_.step = 64;
    }
  }

  // Choose the move: up to 61 draws; the last one is used even when it is not affordable.
  void BAI() {
    const Combatant& a = gs_.combatant[idx(st_.attacker)];
    for (int draw = 0; draw < kChoiceDraws; ++draw) {
      st_.moveSlot = formula::moveOfDraw(random_());
      const MoveCode& c = code(st_.attacker, st_.moveSlot);
      if (c.part >= 0) st_.attackPart = c.part;
      if (!c.blank && a.movePower[idx(st_.moveSlot)] <= a.hp[idx(st_.attackPart)]) break;
    }
  }

  // Step 1: choose and announce the move.
  void KOU() {
    BAI();
    if constexpr (kTexts) {
      const Combatant& a = gs_.combatant[idx(st_.attacker)];
      panel_.clear();
      panel_ += a.name;
      panel_ += text::kNo;
      panel_ += code(st_.attacker, st_.moveSlot).displayName(a.moveNames[idx(st_.moveSlot)]);
      panel_ += text::kBang;
      panel_ += gs_.lineBreak;
      screen_.panelTextChanged(panel_);
    }
    st_.defender = std::abs(st_.attacker - 1);
    st_.hitCount = 0;
  }

  // Step 2: pick the first target and pay the move's power in HP of the performing part.
  void STU() {
    pickTarget();
    Combatant& a = gs_.combatant[idx(st_.attacker)];
    std::int32_t& hp = a.hp[idx(st_.attackPart)];
    hp = formula::costPaid(hp, a.movePower[idx(st_.moveSlot)], halving());
  }

  // Step 3. Each blow returns whether it hit.
  bool normalBlow() { return blow(MoveKind::Normal); }
  // Step 10, one repetition.
  bool repeatBlow() { return blow(MoveKind::Repeat); }
  // Step 20.
  bool specialBlow() { return blow(MoveKind::Special); }

  // Apply the hit in `damage` to the target part.
  void DAMI() {
    if (gs_.settings.showHitBackground == 1) screen_.setPanelBackground(st_.defender, true);
    st_.damage = std::max(st_.damage, 1);
    ++st_.hitCount;
    Combatant& d = gs_.combatant[idx(st_.defender)];
    std::int32_t& hp = d.hp[idx(st_.targetPart)];
    hp = formula::hitTaken(hp, st_.damage);
    if constexpr (kTexts) {
      panel_ += d.name;
      panel_ += text::kDamageMid;
      appendNumber(panel_, st_.damage);
      panel_ += text::kDamageEnd;
      panel_ += gs_.lineBreak;
      screen_.panelTextChanged(panel_);
    }
    sts();
    if constexpr (kTexts) {
      char buf[16];
      const auto r = std::to_chars(buf, buf + sizeof buf, st_.damage);
      showPopup(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
    } else {
      showPopup({});
    }
  }

  void MISS() { showPopup(text::kMissPopup); }

  // Step 41: log the turn and judge whether the battle is over.
  void ZEN() {
    if constexpr (kTexts) gs_.battleLog += panel_;
    const std::int32_t att = st_.attacker;
    const std::int32_t def = st_.defender;
    const bool defenderCan = canAct(def, st_.targetPart);
    const bool attackerCan = canAct(att, st_.attackPart);
    const std::int32_t headA = gs_.combatant[idx(att)].hp[0];
    const std::int32_t headD = gs_.combatant[idx(def)].hp[0];
    if (headA <= 0 && headD <= 0) {
      judge(Judgement::BothFell, 0, 0);
    } else if (headD <= 0 || (!defenderCan && attackerCan)) {
      judge(Judgement::DefenderLost, att, def);
    } else if (headA <= 0 || (!attackerCan && defenderCan)) {
      judge(Judgement::AttackerLost, def, att);
    } else if (!attackerCan && !defenderCan) {
      judge(Judgement::NeitherCanAct, 0, 0);
    } else {
      judgement_ = Judgement::Continue;
      st_.step = 59;
    }
    if constexpr (kTexts) {
      if (!defenderCan || !attackerCan) gs_.battleLog += panel_;
    }
  }

  // `sts` without its texts: every HP below 1 becomes 0, then the screen redraws the status.
  void sts() {
    for (Combatant& c : gs_.combatant) {
      for (std::int32_t& hp : c.hp) hp = std::max(hp, 0);  // below 1 means 0 or less
    }
    screen_.statusChanged();
  }

  BattleState& state() { return st_; }
  const BattleState& state() const { return st_; }
  Judgement judgement() const { return judgement_; }
  const std::string& panelText() const { return panel_; }
  const MoveCode& code(int slot, int move) const { return codes_[idx(slot)][idx(move)]; }

 private:
  static std::size_t idx(int i) { return static_cast<std::size_t>(i); }

  // Step 10 before its blow: the log takes the panel, which starts empty for the repetition.
  void logAndClearPanel() {
    if constexpr (kTexts) {
      gs_.battleLog += panel_;
      setPanel({});
    }
  }

  // Steps 4, 11 and 21.
  void hitCountLine() {
    if constexpr (kTexts) {
      appendNumber(panel_, st_.hitCount);
      panel_ += text::kHits;
      panel_ += gs_.lineBreak;
      screen_.panelTextChanged(panel_);
    }
  }

  // Step 64: back to the scheduler.
  void endTurn() {
    if (gs_.settings.showHitBackground == 1) screen_.setPanelBackground(st_.defender, false);
    gs_.timeGauge[idx(st_.attacker)] = 0;
    screen_.showPanel(false);
    screen_.setTimer2(false);
    screen_.setTimer1(true);
  }

  double halving() const { return formula::halving(gs_.settings.halveDamage); }

  // The defender is hit on the torso first, then the legs, the arms, and the head last.
  void pickTarget() { st_.targetPart = formula::targetOf(gs_.combatant[idx(st_.defender)].hp); }

  bool blow(MoveKind kind) {
    pickTarget();
    const Combatant& a = gs_.combatant[idx(st_.attacker)];
    const double h = halving();
    const double P = a.movePower[idx(st_.moveSlot)];
    if (kind == MoveKind::Special) {
      st_.damage = formula::specialDamage(P, random_(), h);
    } else {
      const double A = P + static_cast<double>(a.attack[idx(st_.attackPart)]);
      const double D = gs_.combatant[idx(st_.defender)].defence[idx(st_.targetPart)];
      const float u1 = random_(formula::attackArgument(A));
      const float u2 = random_(formula::defenceArgument(D));
      const double factor =
          kind == MoveKind::Repeat ? formula::kRepeatFactor : formula::kNormalFactor;
      st_.damage =
          formula::strikeDamage(formula::attackTerm(factor, A), formula::defenceTerm(D), u1, u2, h);
    }
    if (formula::missRoll(random_()) || st_.hitCount > 4) {
      if constexpr (kTexts) {
        panel_ += text::kMissLine;
        panel_ += gs_.lineBreak;
        screen_.panelTextChanged(panel_);
      }
      MISS();
      return false;
    }
    if (kind == MoveKind::Special) {
      screen_.snd2();
    } else {
      screen_.snd1();
    }
    DAMI();
    return true;
  }

  // Whether `slot` has a move whose part has strictly more HP than its power; `partVar` is left
  // at the part of the last recognised code letter, as the judgement leaves its scratch.
  bool canAct(std::int32_t slot, std::int32_t& partVar) const {
    const Combatant& c = gs_.combatant[idx(slot)];
    bool can = false;
    for (int m = 0; m < kMoves; ++m) {
      const int p = codes_[idx(slot)][idx(m)].part;
      if (p >= 0) partVar = p;
      can |= c.hp[idx(partVar)] > c.movePower[idx(m)];
    }
    return can;
  }

  void judge(Judgement j, std::int32_t win, std::int32_t lose) {
    judgement_ = j;
    gs_.winner = win;
    gs_.loser = lose;
    if constexpr (kTexts) {
      panel_.clear();
      if (j == Judgement::BothFell || j == Judgement::NeitherCanAct) {
        panel_ += text::kDrawA;
        panel_ += gs_.lineBreak;
        panel_ += text::kDrawB;
      } else {
        const std::string& loser = gs_.combatant[idx(lose)].name;
        const std::string& winner = gs_.combatant[idx(win)].name;
        panel_ += loser;
        panel_ += j == Judgement::DefenderLost ? text::kFell : text::kStuck;
        panel_ += gs_.lineBreak;
        panel_ += winner;
        panel_ += text::kVictory;
      }
      screen_.panelTextChanged(panel_);
    }
  }

  void showPopup(std::string_view popupText) {
    st_.damVelocity = kDamStartVelocity;
    const int d = st_.defender;
    screen_.showDamage(DamagePopup{popupText, d, kDamTop, kWakuLeft[idx(d)] + kDamLeftFromPanel});
  }

  void setPanel(std::string_view s) {
    if constexpr (kTexts) {
      panel_.assign(s);
      screen_.panelTextChanged(panel_);
    }
  }

  static void appendNumber(std::string& out, std::int32_t v) {
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
  }

  GameState& gs_;
  Screen& screen_;
  Random& random_;
  BattleState st_;
  Judgement judgement_ = Judgement::None;
  std::array<std::array<MoveCode, kMoves>, kSlots> codes_{};
  std::string panel_;  // the text of `bun`
};

using BattleEngine = BasicBattle<RandomUnit, BattleScreenPort, true>;
extern template class BasicBattle<RandomUnit, BattleScreenPort, true>;

}  // namespace momiru::battle
