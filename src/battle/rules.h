// The rules of a battle, written once: who acts, which move, what it costs, each blow, the status
// refresh and the judgement of the turn. Every consumer plays the turns decided here: the batch
// runs (outcome only, or with the log), `momiru-lab battle` and its JSON, and the battle screen,
// which shows a decided turn over its step ticks.
//
// A battle is its two records, the halving switch and a seed: the same three give the same
// battle everywhere. Randomness comes from outside (anything with nextBits() and bitsFor(a) as
// RandomUnit has them); what happens is reported to a sink in game terms (a move announced, its
// cost paid, a blow landed or missed, the hits counted, the turn judged).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <utility>

#include "battle/formulas.h"
#include "battle/move_code.h"
#include "data/game_state.h"

namespace momiru::battle {

using SideHp = std::array<std::int32_t, kParts>;
using Hp = std::array<SideHp, kSlots>;

// How a turn was judged.
enum class Judgement : std::uint8_t {
  None,           // no turn judged yet
  BothFell,       // both heads at 0 or below: a draw
  DefenderLost,   // the defender's head fell, or only the defender can no longer act
  AttackerLost,   // the attacker's head fell, or only the attacker can no longer act
  NeitherCanAct,  // a draw
  Continue,       // the battle goes on
};

inline bool isOver(Judgement j) { return j != Judgement::None && j != Judgement::Continue; }

// Slot 1 (player 2) acts first; then the two sides take turns. (On screen both time gauges fill
// at the same pace, a full gauge empties when its side has acted, and slot 1 wins the first tie.)
inline constexpr int kFirstAttacker = 1;

// Everything the rules change while a battle runs.
struct BattleProgress {
  Hp hp{};
  // Per side, a bit for each part whose HP is above the least power of the moves that part
  // performs: the judgement's "can still act" test, kept up to date with every change of HP.
  std::array<unsigned, kSlots> ableParts{};
  // The part that performs the attacker's move. A move without a part letter is performed by
  // whichever part this names: the last lettered move drawn, or what the last judgement left.
  std::int32_t attackPart = 0;
  // The defender's part under attack. The judgement leaves here the part of the defender's last
  // lettered move; the next blow aims anew.
  std::int32_t targetPart = 0;
  // A cost took some HP below 0 and no status refresh has raised it to 0 yet.
  bool belowZero = false;
  Judgement judgement = Judgement::None;
  std::int32_t winner = 0;  // slots once the battle is over; both 0 for a draw
  std::int32_t loser = 0;
};

// What a sink hears, in order, for one turn:
//   announced(attacker, move)
//   costPaid(attacker, hpBefore, progress)     the performing part has paid the move's power
//   landed(defender, target, damage, progress) once per blow that hits, after the status refresh
//   missed(defender, target)                   once per blow that misses
//   hitsCounted(hits)
//   judged(progress, logged)                   `logged`: the judgement's text goes into the log
struct IgnoreEvents {
  void announced(int, int) {}
  void costPaid(int, std::int32_t, const BattleProgress&) {}
  void landed(int, int, std::int32_t, const BattleProgress&) {}
  void missed(int, int) {}
  void hitsCounted(std::int32_t) {}
  void judged(const BattleProgress&, bool) {}
};

// Two sinks hearing the same events.
template <class First, class Second>
struct BothSinks {
  First& first;
  Second& second;
  void announced(int a, int m) {
    first.announced(a, m);
    second.announced(a, m);
  }
  void costPaid(int a, std::int32_t hpBefore, const BattleProgress& p) {
    first.costPaid(a, hpBefore, p);
    second.costPaid(a, hpBefore, p);
  }
  void landed(int d, int t, std::int32_t damage, const BattleProgress& p) {
    first.landed(d, t, damage, p);
    second.landed(d, t, damage, p);
  }
  void missed(int d, int t) {
    first.missed(d, t);
    second.missed(d, t);
  }
  void hitsCounted(std::int32_t hits) {
    first.hitsCounted(hits);
    second.hitsCounted(hits);
  }
  void judged(const BattleProgress& p, bool logged) {
    first.judged(p, logged);
    second.judged(p, logged);
  }
};

struct Outcome {
  bool finished = false;
  std::int32_t turns = 0;
  Judgement judgement = Judgement::None;
  std::int32_t winner = -1;  // slot; -1 for a draw or an unfinished battle
  std::int32_t loser = -1;
};

// The rules' version: it goes up with any change that makes a seed give another battle (the
// battle signatures change with it), so that what was worked out by older rules and kept, such
// as whether a replay plays as it was recorded, is worked out again.
inline constexpr std::int32_t kRulesVersion = 1;

// Turns a battle without a screen plays before it gives up and reports the battle unfinished:
// crafted records with negative powers can fight for ever.
inline constexpr std::int32_t kDefaultMaxTurns = 10000;

// The rules for one pairing: what cannot change during a battle (move codes, powers, the
// judgement's thresholds, the defence terms) is worked out once, when the rules are made, so a
// battle only restores eight HP and allocates nothing.
class Rules {
 public:
  // Reads both records and the halving switch of `gs`.
  explicit Rules(const GameState& gs);

  // The progress at the start of a battle: every HP below 1 raised to 0, as the first status
  // refresh leaves them.
  BattleProgress start() const;

  // Plays one turn of `attacker`; returns whether the battle is over.
  template <class Random, class Sink>
  bool playTurn(int attacker, BattleProgress& p, Random& random, Sink& sink) const {
    if (halving_ == 1.0) return dispatch<1>(attacker, p, random, sink);
    if (halving_ == 2.0) return dispatch<2>(attacker, p, random, sink);
    return dispatch<0>(attacker, p, random, sink);
  }

  // The judgement at the end of a turn of `attacker` (playTurn ends with it); returns whether
  // the battle is over.
  template <class Sink>
  bool judgeTurn(int attacker, BattleProgress& p, Sink& sink) const {
    if (attacker == 1) return judge<1>(p, sink);
    return judge<0>(p, sink);
  }

  // Plays a whole battle from start() up to `maxTurns` turns.
  template <class Random, class Sink>
  Outcome playBattle(BattleProgress& p, Random& random, Sink& sink, std::int32_t maxTurns) const {
    if (halving_ == 1.0) return battle<1>(p, random, sink, maxTurns);
    if (halving_ == 2.0) return battle<2>(p, random, sink, maxTurns);
    return battle<0>(p, random, sink, maxTurns);
  }

  const MoveCode& code(int slot, int move) const {
    return codes_[static_cast<std::size_t>(slot)][static_cast<std::size_t>(move)];
  }

 private:
  static constexpr std::int64_t kNeverChosen = std::numeric_limits<std::int64_t>::max();

  struct Move {
    std::int64_t choicePower;  // the power, or above every HP for an empty slot ("-")
    std::int32_t power;
    std::int8_t part;  // -1 when the code letter names no part
    MoveKind kind;
    std::uint8_t hpPart;  // the part whose HP the choice compares: part, or 0 for an empty slot
  };

  // The judgement's "can act" test of one side: a side can act while some move's part has more
  // HP than the move's power. A move counts for the part of the last code letter at or before it;
  // moves before the first letter count for the part the judgement's scratch holds.
  struct ActTest {
    // Least powers, or the largest value when no move counts there (no HP is above it).
    std::int32_t beforeFirstLetter;
    std::array<std::int32_t, kParts> leastPower;
    std::int32_t lastPart;  // the scratch's part after the test, -1: unchanged
  };

  struct Side {
    std::array<Move, kMoves> moves;
    std::array<std::int32_t, kParts> attack;
    std::array<double, kParts> defenceTerm;      // by target part
    std::array<double, kParts> defenceArgument;  // by target part
    ActTest act;
    // Every slot empty or with a part letter: whether a draw's move is chosen then depends on
    // that move alone, not on the part a letterless move would inherit from the draws before it.
    bool lettered;
  };

  static unsigned ableBit(const ActTest& t, std::size_t part, std::int32_t hp) {
    return static_cast<unsigned>(hp > t.leastPower[part]) << part;
  }
  static unsigned ablePartsOf(const ActTest& t, const SideHp& hp) {
    unsigned able = 0;
    for (std::size_t part = 0; part < kParts; ++part) able |= ableBit(t, part, hp[part]);
    return able;
  }
  // The test of a side, given its able parts; moves the scratch `partVar` to the side's last
  // part letter.
  static bool canAct(const ActTest& t, const SideHp& hp, unsigned able, std::int32_t& partVar) {
    const bool can = able != 0 || hp[static_cast<std::size_t>(partVar)] > t.beforeFirstLetter;
    if (t.lastPart >= 0) partVar = t.lastPart;
    return can;
  }

  // The draw for a blow's attack or defence argument. A positive argument, by far the usual
  // case, is the next value and stays inline; the source goes out and comes back by value for
  // the other modes, since taking its address would keep it in memory for the whole battle.
  template <class Random>
  [[gnu::noinline]] static std::pair<Random, std::uint32_t> drawOtherwise(Random random, double a) {
    const std::uint32_t bits = random.bitsFor(a);
    return {std::move(random), bits};
  }
  template <class Random>
  [[gnu::always_inline]] static std::uint32_t drawFor(Random& random, double a) {
    if (a > 0.0) [[likely]] {
      return random.nextBits();
    }
    auto drawn = drawOtherwise(std::move(random), a);
    random = std::move(drawn.first);
    return drawn.second;
  }

  template <int kHalving, class Random, class Sink>
  bool dispatch(int attacker, BattleProgress& p, Random& random, Sink& sink) const {
    if (attacker == 1) return turn<1, kHalving>(p, random, sink);
    return turn<0, kHalving>(p, random, sink);
  }

  template <int kHalving, class Random, class Sink>
  Outcome battle(BattleProgress& p, Random& random, Sink& sink, std::int32_t maxTurns) const {
    static_assert(kFirstAttacker == 1);
    Outcome out;
    for (;;) {
      if (out.turns >= maxTurns) return out;
      ++out.turns;
      if (turn<1, kHalving>(p, random, sink)) break;
      if (out.turns >= maxTurns) return out;
      ++out.turns;
      if (turn<0, kHalving>(p, random, sink)) break;
    }
    out.finished = true;
    out.judgement = p.judgement;
    if (p.judgement == Judgement::DefenderLost || p.judgement == Judgement::AttackerLost) {
      out.winner = p.winner;
      out.loser = p.loser;
    }
    return out;
  }

  // One turn of kAttacker. kHalving: 1 or 2 when the halving switch makes the divisor exactly
  // that (the division then costs nothing), 0 for any other divisor. One copy per attacker, so
  // that which side is which costs nothing.
  template <int kAttacker, int kHalving, class Random, class Sink>
  [[gnu::always_inline]] bool turn(BattleProgress& p, Random& random, Sink& sink) const {
    constexpr int kDefender = 1 - kAttacker;
    constexpr auto a = static_cast<std::size_t>(kAttacker);
    constexpr auto d = static_cast<std::size_t>(kDefender);
    const double h = kHalving == 0 ? halving_ : static_cast<double>(kHalving);
    const Side& sa = sides_[a];
    SideHp& hpA = p.hp[a];
    const SideHp& hpD = p.hp[d];

    const std::size_t m = chooseMove(sa, hpA, p.attackPart, random);
    const Move& move = sa.moves[m];
    sink.announced(kAttacker, static_cast<int>(m));

    // The performing part pays the move's power; HP may go below 0 until the next refresh.
    p.targetPart = formula::targetOf(hpD);
    const auto ap = static_cast<std::size_t>(p.attackPart);
    const std::int32_t before = hpA[ap];
    const std::int32_t paid = formula::costPaid(before, move.power, h);
    hpA[ap] = paid;
    p.ableParts[a] = (p.ableParts[a] & ~(1u << ap)) | ableBit(sa.act, ap, paid);
    p.belowZero |= paid < 0;
    sink.costPaid(kAttacker, before, p);

    std::int32_t hits = 0;
    switch (move.kind) {
      case MoveKind::Normal:
        hits = strike<MoveKind::Normal, kAttacker>(p, move, h, random, sink);
        break;
      case MoveKind::Repeat:
        hits = strike<MoveKind::Repeat, kAttacker>(p, move, h, random, sink);
        break;
      case MoveKind::Special:
        hits = strike<MoveKind::Special, kAttacker>(p, move, h, random, sink);
        break;
    }
    sink.hitsCounted(hits);

    return judge<kAttacker>(p, sink);
  }

  // Up to kChoiceDraws draws of a move slot; the first move that is not empty and whose part can
  // pay its power (HP equal to the power will do) is chosen, and the last draw is used even when
  // it is empty or too dear. A lettered move names its part as it is drawn.
  template <class Random>
  [[gnu::always_inline]] static std::size_t chooseMove(const Side& side, const SideHp& hp,
                                                       std::int32_t& attackPart, Random& random) {
    // With only lettered moves, each draw is tested on its own (no draw waits for the part the
    // draws before it named); only when no draw qualifies are the draws replayed the long way.
    // Measured: about a fifth of an outcome-only battle.
    const Random beforeChoice = random;
    if (side.lettered) [[likely]] {
      for (int draw = 1; draw <= formula::kChoiceDraws; ++draw) {
        const auto m = static_cast<std::size_t>(formula::moveOfBits(random.nextBits()));
        const Move& c = side.moves[m];
        if (c.choicePower <= hp[c.hpPart]) {
          attackPart = c.part;
          return m;
        }
      }
      random = beforeChoice;
    }
    for (int draw = 1;; ++draw) {
      const auto m = static_cast<std::size_t>(formula::moveOfBits(random.nextBits()));
      const Move& c = side.moves[m];
      if (c.part >= 0) attackPart = c.part;
      if (c.choicePower <= hp[static_cast<std::size_t>(attackPart)] ||
          draw == formula::kChoiceDraws) {
        return m;
      }
    }
  }

  // The blows of one move; returns the hits. A normal or special move strikes once. A repeat
  // move strikes until a blow misses, and a blow after five hits always misses. Each blow aims
  // at the defender's torso, then legs, then arms, then head, whichever first still stands.
  template <MoveKind kKind, int kAttacker, class Random, class Sink>
  [[gnu::always_inline]] std::int32_t strike(BattleProgress& p, const Move& move, double h,
                                             Random& random, Sink& sink) const {
    constexpr int kDefender = 1 - kAttacker;
    constexpr auto a = static_cast<std::size_t>(kAttacker);
    constexpr auto d = static_cast<std::size_t>(kDefender);
    const Side& sa = sides_[a];
    const Side& sd = sides_[d];
    SideHp& hpD = p.hp[d];
    const double P = move.power;
    const double A = P + static_cast<double>(sa.attack[static_cast<std::size_t>(p.attackPart)]);
    const double attackTerm = formula::attackTerm(
        kKind == MoveKind::Repeat ? formula::kRepeatFactor : formula::kNormalFactor, A);
    const double attackArgument = formula::attackArgument(A);
    std::int32_t hits = 0;
    std::int32_t aim = p.targetPart;
    for (;;) {
      p.targetPart = aim;
      const auto t = static_cast<std::size_t>(aim);
      // All draws first; the damage is only worked out for a hit.
      std::uint32_t u1 = 0;
      std::uint32_t u2 = 0;
      if constexpr (kKind == MoveKind::Special) {
        u1 = random.nextBits();
      } else {
        u1 = drawFor(random, attackArgument);
        u2 = drawFor(random, sd.defenceArgument[t]);
      }
      if (formula::missRollOfBits(random.nextBits()) || (kKind == MoveKind::Repeat && hits > 4)) {
        sink.missed(kDefender, aim);
        return hits;
      }
      std::int32_t damage;
      if constexpr (kKind == MoveKind::Special) {
        damage = formula::specialDamage(P, formula::drawValue(u1), h);
      } else {
        damage = formula::strikeDamage(attackTerm, sd.defenceTerm[t], formula::drawValue(u1),
                                       formula::drawValue(u2), h);
      }
      damage = std::max(damage, 1);
      ++hits;
      const std::int32_t left = std::max(formula::hitTaken(hpD[t], damage), 0);
      hpD[t] = left;
      p.ableParts[d] &=
          ~(static_cast<unsigned>(left <= sd.act.leastPower[t]) << t);  // HP only falls
      // Only a part that falls moves the aim on: a branch the processor almost always guesses,
      // instead of waiting for the damage before the next blow.
      if (left <= 0) [[unlikely]] {
        aim = formula::targetOf(hpD);
      }
      refreshStatus(p);
      sink.landed(kDefender, static_cast<int>(t), damage, p);
      if constexpr (kKind != MoveKind::Repeat) return hits;
    }
  }

  // Every hit refreshes the status display, which raises every HP below 1 to 0. Only the target
  // (raised above already) and a cost paid into the negative since the last refresh can be below.
  [[gnu::always_inline]] void refreshStatus(BattleProgress& p) const {
    if (p.belowZero) [[unlikely]] {
      for (std::size_t s = 0; s < kSlots; ++s) {
        for (std::int32_t& v : p.hp[s]) v = std::max(v, 0);
        p.ableParts[s] = ablePartsOf(sides_[s].act, p.hp[s]);
      }
      p.belowZero = false;
    }
  }

  // The end of a turn: a fallen head or a side left without a usable move ends the battle.
  template <int kAttacker, class Sink>
  [[gnu::always_inline]] bool judge(BattleProgress& p, Sink& sink) const {
    constexpr int kDefender = 1 - kAttacker;
    constexpr auto a = static_cast<std::size_t>(kAttacker);
    constexpr auto d = static_cast<std::size_t>(kDefender);
    const bool defenderCan = canAct(sides_[d].act, p.hp[d], p.ableParts[d], p.targetPart);
    const bool attackerCan = canAct(sides_[a].act, p.hp[a], p.ableParts[a], p.attackPart);
    const std::int32_t headA = p.hp[a][0];
    const std::int32_t headD = p.hp[d][0];
    if ((headA > 0) & (headD > 0) & attackerCan & defenderCan) [[likely]] {
      p.judgement = Judgement::Continue;
      sink.judged(p, false);
      return false;
    }
    p.winner = p.loser = 0;
    if (headA <= 0 && headD <= 0) {
      p.judgement = Judgement::BothFell;
    } else if (headD <= 0 || (!defenderCan && attackerCan)) {
      p.judgement = Judgement::DefenderLost;
      p.winner = kAttacker;
      p.loser = kDefender;
    } else if (headA <= 0 || (!attackerCan && defenderCan)) {
      p.judgement = Judgement::AttackerLost;
      p.winner = kDefender;
      p.loser = kAttacker;
    } else {
      p.judgement = Judgement::NeitherCanAct;
    }
    // The judgement's text reaches the log only when a side can no longer act.
    sink.judged(p, !defenderCan || !attackerCan);
    return true;
  }

  double halving_;
  Hp startHp_{};
  std::array<Side, kSlots> sides_{};
  std::array<std::array<MoveCode, kMoves>, kSlots> codes_{};
};

}  // namespace momiru::battle
