// Whole battles without a screen.
#include "battle/headless.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>

#include "battle/formulas.h"

namespace momiru::battle {

Outcome playBattle(GameState& gs, std::uint64_t seed, std::int32_t maxTurns,
                   std::vector<TurnRecord>* record) {
  gs.randomUnit.seed(seed);
  QuietScreen screen;
  BasicBattle<RandomUnit, QuietScreen, true> engine(gs, screen, gs.randomUnit);
  engine.load();
  if (record == nullptr) return drive(engine, screen, gs, maxTurns);
  TurnRecorder recorder;
  const Outcome out = drive(engine, screen, gs, maxTurns, recorder);
  *record = std::move(recorder.turns);
  return out;
}

namespace {

constexpr std::int64_t kNoMove = std::numeric_limits<std::int64_t>::max();

void appendNumber(std::string& out, std::int32_t v) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

// The other argument modes, out of the way. The source goes in and comes out by value: were its
// address taken, the compiler would keep it in memory and every draw of a battle would wait for
// a store and a load.
struct Drawn {
  RandomUnit rnd;
  std::uint32_t bits;
};
[[gnu::noinline]] Drawn drawOtherwise(RandomUnit rnd, double a) {
  const std::uint32_t bits = rnd.bitsFor(a);
  return {rnd, bits};
}

// rnd.bitsFor(a), with the usual case, a positive argument, kept inline in the blow.
[[gnu::always_inline]] inline std::uint32_t drawFor(RandomUnit& rnd, double a) {
  if (a > 0.0) [[likely]] {
    return rnd.nextBits();
  }
  const Drawn d = drawOtherwise(rnd, a);
  rnd = d.rnd;
  return d.bits;
}

}  // namespace

template <bool kTexts>
BatchBattles<kTexts>::BatchBattles(const GameState& start)
    : gs_(start), startHp_{}, halving_(formula::halving(start.settings.halveDamage)), sides_{}, texts_{} {
  for (std::size_t s = 0; s < kSlots; ++s) {
    const Combatant& c = gs_.combatant[s];
    Side& side = sides_[s];
    side.attack = c.attack;
    for (std::size_t p = 0; p < kParts; ++p) {
      side.defenceTerm[p] = formula::defenceTerm(c.defence[p]);
      side.defenceArgument[p] = formula::defenceArgument(c.defence[p]);
    }
    side.lettered = true;
    ActTest& act = side.act;
    act.beforeFirstLetter = std::numeric_limits<std::int32_t>::max();
    act.leastPower.fill(std::numeric_limits<std::int32_t>::max());
    act.lastPart = -1;
    for (std::size_t m = 0; m < kMoves; ++m) {
      const MoveCode code = parseMoveCode(c.moveNames[m]);
      const std::int32_t power = c.movePower[m];
      side.moves[m] = Move{code.blank ? kNoMove : power, power, code.part, code.kind,
                           static_cast<std::uint8_t>(code.part >= 0 ? code.part : 0)};
      if (code.part >= 0) act.lastPart = code.part;
      if (code.part < 0 && !code.blank) side.lettered = false;
      std::int32_t& least = act.lastPart >= 0
                                ? act.leastPower[static_cast<std::size_t>(act.lastPart)]
                                : act.beforeFirstLetter;
      least = std::min(least, power);
      if constexpr (kTexts) {
        std::string& line = texts_.announce[s][m];
        line = c.name;
        line += text::kNo;
        line += code.displayName(c.moveNames[m]);
        line += text::kBang;
        line += gs_.lineBreak;
      }
    }
  }
  for (std::size_t s = 0; s < kSlots; ++s) {
    for (std::size_t p = 0; p < kParts; ++p) startHp_[s][p] = std::max(gs_.combatant[s].hp[p], 0);
    startAble_[s] = ableParts(sides_[s].act, startHp_[s]);
  }
  if constexpr (kTexts) {
    const std::string& crlf = gs_.lineBreak;
    for (std::size_t s = 0; s < kSlots; ++s) {
      const std::string& loser = gs_.combatant[s].name;
      const std::string& winner = gs_.combatant[1 - s].name;
      texts_.damagedName[s] = loser + std::string(text::kDamageMid);
      texts_.fellLoss[s] =
          loser + std::string(text::kFell) + crlf + winner + std::string(text::kVictory);
      texts_.stuckLoss[s] =
          loser + std::string(text::kStuck) + crlf + winner + std::string(text::kVictory);
    }
    texts_.missLine = std::string(text::kMissLine) + crlf;
    texts_.hitsEnd = std::string(text::kHits) + crlf;
    texts_.draw = std::string(text::kDrawA) + crlf + std::string(text::kDrawB);
    gs_.battleLog.reserve(16384);
  }
}

template <bool kTexts>
bool BatchBattles<kTexts>::canAct(const ActTest& t, const std::int32_t* hp, unsigned able,
                                  std::int32_t& partVar) {
  const bool can = able != 0 || hp[partVar] > t.beforeFirstLetter;
  if (t.lastPart >= 0) partVar = t.lastPart;
  return can;
}

template <bool kTexts>
unsigned BatchBattles<kTexts>::ableParts(const ActTest& t,
                                         const std::array<std::int32_t, kParts>& hp) {
  unsigned able = 0;
  for (std::size_t p = 0; p < kParts; ++p) able |= ableBit(t, p, hp[p]);
  return able;
}

template <bool kTexts>
Outcome BatchBattles<kTexts>::play(std::uint64_t seed, std::int32_t maxTurns) {
  if (halving_ == 1.0) return run<1>(seed, maxTurns);
  if (halving_ == 2.0) return run<2>(seed, maxTurns);
  return run<0>(seed, maxTurns);
}

// The engine's turns (KOU, STU, the blows, ZEN) with the scheduler folded in: slot 1 acts first and
// the two sides alternate, as the gauges hand out the turns. The panel's text goes straight to the
// log, which is where the engine's flushes put it, in the same order.
template <bool kTexts>
template <int kHalving>
Outcome BatchBattles<kTexts>::run(std::uint64_t seed, std::int32_t maxTurns) {
  const double h = kHalving == 0 ? halving_ : static_cast<double>(kHalving);
  RandomUnit rnd(seed);
  Hp hp = startHp_;
  std::string& log = gs_.battleLog;
  if constexpr (kTexts) log.clear();
  std::int32_t attackPart = 0;  // the engine's attackPart and targetPart persist between turns
  std::int32_t targetPart = 0;
  bool belowZero = false;  // a cost took some HP below 0 and no hit has refreshed the status yet
  // Per side, the parts whose HP is above their least power (the judgement's test, kept up to
  // date with every change of HP instead of recomputed from the whole record).
  std::array<unsigned, kSlots> able = startAble_;
  std::int32_t turns = 0;
  Judgement j = Judgement::Continue;
  std::size_t a = 1;  // the attacker of the last turn
  bool defenderCan = true;
  bool attackerCan = true;

  // One turn of attacker kA; returns whether the battle is over. A copy per attacker, so that
  // which side is which costs nothing.
  const auto turn = [&]<std::size_t kA>() __attribute__((always_inline)) {
    constexpr std::size_t d = 1 - kA;
    const Side* const sa = &sides_[kA];
    const Side* const sd = &sides_[d];
    std::int32_t* const hpA = hp[kA].data();
    std::int32_t* const hpD = hp[d].data();
    unsigned& ableA = able[kA];
    unsigned& ableD = able[d];
    a = kA;

    // BAI. With only lettered moves, a draw's test does not wait for the draws before it; the
    // draws are replayed the long way only when none is chosen.
    std::size_t m = 0;
    bool chosen = false;
    const RandomUnit beforeChoice = rnd;
    if (sa->lettered) [[likely]] {
      for (int draw = 1; draw <= formula::kChoiceDraws; ++draw) {
        m = static_cast<std::size_t>(formula::moveOfBits(rnd.nextBits()));
        const Move& c = sa->moves[m];
        if (c.choicePower <= hpA[c.hpPart]) {
          attackPart = c.part;
          chosen = true;
          break;
        }
      }
    }
    if (!chosen) [[unlikely]] {
      rnd = beforeChoice;
      for (int draw = 1;; ++draw) {
        m = static_cast<std::size_t>(formula::moveOfBits(rnd.nextBits()));
        const Move& c = sa->moves[m];
        if (c.part >= 0) attackPart = c.part;
        if (c.choicePower <= hpA[attackPart] || draw == formula::kChoiceDraws) break;
      }
    }
    const Move& move = sa->moves[m];
    if constexpr (kTexts) log += texts_.announce[kA][m];

    // STU
    targetPart = formula::targetOf(hp[d]);
    const auto ap = static_cast<std::size_t>(attackPart);
    const std::int32_t paid = formula::costPaid(hpA[ap], move.power, h);
    hpA[ap] = paid;
    ableA = (ableA & ~(1u << ap)) | ableBit(sa->act, ap, paid);
    belowZero |= paid < 0;

    // The blows, as BasicBattle's blow and DAMI make them; each kind with its own copy of the
    // code, so that nothing inside a blow asks for the kind again.
    const double P = move.power;
    const double A = P + static_cast<double>(sa->attack[ap]);
    std::int32_t hits = 0;
    std::int32_t aim = targetPart;
    const auto blows = [&]<MoveKind kKind>() __attribute__((always_inline)) {
      const double attackTerm = formula::attackTerm(
          kKind == MoveKind::Repeat ? formula::kRepeatFactor : formula::kNormalFactor, A);
      const double attackArgument = formula::attackArgument(A);
      for (;;) {
        targetPart = aim;
        const auto t = static_cast<std::size_t>(aim);
        // All draws first; the damage is only worked out for a hit.
        std::uint32_t u1 = 0;
        std::uint32_t u2 = 0;
        if constexpr (kKind == MoveKind::Special) {
          u1 = rnd.nextBits();
        } else {
          u1 = drawFor(rnd, attackArgument);
          u2 = drawFor(rnd, sd->defenceArgument[t]);
        }
        if (formula::missRollOfBits(rnd.nextBits()) || (kKind == MoveKind::Repeat && hits > 4)) {
          if constexpr (kTexts) log += texts_.missLine;
          return;
        }
        std::int32_t damage;
        if constexpr (kKind == MoveKind::Special) {
          damage = formula::specialDamage(P, formula::drawValue(u1), h);
        } else {
          damage = formula::strikeDamage(attackTerm, sd->defenceTerm[t], formula::drawValue(u1),
                                         formula::drawValue(u2), h);
        }
        damage = std::max(damage, 1);
        ++hits;
        // The status refresh after every hit: the target and any cost paid into the negative
        // since the last refresh are the only HP below 0.
        const std::int32_t left = std::max(formula::hitTaken(hpD[t], damage), 0);
        hpD[t] = left;
        ableD &= ~(static_cast<unsigned>(left <= sd->act.leastPower[t]) << t);  // HP only falls
        // Each blow aims anew; only a part that falls moves the aim on. A branch the processor
        // guesses right almost always, instead of waiting for the damage before the next blow.
        if (left <= 0) [[unlikely]] {
          aim = formula::targetOf(hp[d]);
        }
        if (belowZero) [[unlikely]] {
          for (std::int32_t& v : hp[0]) v = std::max(v, 0);
          for (std::int32_t& v : hp[1]) v = std::max(v, 0);
          ableA = ableParts(sa->act, hp[kA]);
          ableD = ableParts(sd->act, hp[d]);
          belowZero = false;
        }
        if constexpr (kTexts) {
          log += texts_.damagedName[d];
          appendNumber(log, damage);
          log += text::kDamageEnd;
          log += gs_.lineBreak;
        }
        if constexpr (kKind != MoveKind::Repeat) return;
      }
    };
    switch (move.kind) {
      case MoveKind::Normal:
        blows.template operator()<MoveKind::Normal>();
        break;
      case MoveKind::Repeat:
        blows.template operator()<MoveKind::Repeat>();
        break;
      case MoveKind::Special:
        blows.template operator()<MoveKind::Special>();
        break;
    }
    if constexpr (kTexts) {
      appendNumber(log, hits);
      log += texts_.hitsEnd;
    }

    // ZEN
    defenderCan = canAct(sd->act, hpD, ableD, targetPart);
    attackerCan = canAct(sa->act, hpA, ableA, attackPart);
    const std::int32_t headA = hpA[0];
    const std::int32_t headD = hpD[0];
    if ((headA > 0) & (headD > 0) & attackerCan & defenderCan) [[likely]] {
      return false;
    }
    if (headA <= 0 && headD <= 0) {
      j = Judgement::BothFell;
    } else if (headD <= 0 || (!defenderCan && attackerCan)) {
      j = Judgement::DefenderLost;
    } else if (headA <= 0 || (!attackerCan && defenderCan)) {
      j = Judgement::AttackerLost;
    } else {
      j = Judgement::NeitherCanAct;
    }
    return true;
  };
  for (;;) {
    if (turns >= maxTurns) break;
    ++turns;
    if (turn.template operator()<1>()) break;
    if (turns >= maxTurns) break;
    ++turns;
    if (turn.template operator()<0>()) break;
  }

  std::int32_t win = 0;
  std::int32_t lose = 0;
  if (j == Judgement::DefenderLost || j == Judgement::AttackerLost) {
    win = static_cast<std::int32_t>(j == Judgement::DefenderLost ? a : 1 - a);
    lose = 1 - win;
  }
  if constexpr (kTexts) {
    // The judgement's text is logged when a side could no longer act, as ZEN does.
    if (j != Judgement::Continue && (!defenderCan || !attackerCan)) {
      const auto l = static_cast<std::size_t>(lose);
      log += j == Judgement::DefenderLost   ? texts_.fellLoss[l]
             : j == Judgement::AttackerLost ? texts_.stuckLoss[l]
                                            : texts_.draw;
    }
  }
  for (std::size_t s = 0; s < kSlots; ++s) gs_.combatant[s].hp = hp[s];
  gs_.randomUnit = rnd;
  gs_.winner = win;
  gs_.loser = lose;
  Outcome out;
  out.turns = turns;
  if (j == Judgement::Continue) return out;
  return finished(out, j, gs_);
}

template class BatchBattles<false>;
template class BatchBattles<true>;

}  // namespace momiru::battle
