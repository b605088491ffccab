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

// By MoveKind, looked up rather than chosen by a branch.
constexpr std::array<double, 3> kFactors = {formula::kNormalFactor, formula::kRepeatFactor, 0.0};

void appendNumber(std::string& out, std::int32_t v) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

}  // namespace

template <bool kTexts>
BatchBattles<kTexts>::BatchBattles(const GameState& start)
    : gs_(start), startHp_{}, halving_(formula::halving(start.OptSw[1])), sides_{}, texts_{} {
  for (std::size_t s = 0; s < kSlots; ++s) {
    const Combatant& c = gs_.combatant[s];
    Side& side = sides_[s];
    side.OFE = c.OFE;
    side.DEF = c.DEF;
    ActTest& act = side.act;
    act.beforeFirstLetter = std::numeric_limits<std::int32_t>::max();
    act.leastPower.fill(std::numeric_limits<std::int32_t>::max());
    act.lastPart = -1;
    for (std::size_t m = 0; m < kMoves; ++m) {
      const MoveCode code = parseMoveCode(c.WazaName[m]);
      const std::int32_t power = c.WazaPow[m];
      side.moves[m] = Move{code.blank ? kNoMove : power, power, code.part, code.kind};
      if (code.part >= 0) act.lastPart = code.part;
      std::int32_t& least = act.lastPart >= 0
                                ? act.leastPower[static_cast<std::size_t>(act.lastPart)]
                                : act.beforeFirstLetter;
      least = std::min(least, power);
      if constexpr (kTexts) {
        std::string& line = texts_.announce[s][m];
        line = c.CharName;
        line += text::kNo;
        line += code.displayName(c.WazaName[m]);
        line += text::kBang;
        line += gs_.CrLf;
      }
    }
  }
  for (std::size_t s = 0; s < kSlots; ++s) {
    for (std::size_t p = 0; p < kParts; ++p) startHp_[s][p] = std::max(gs_.combatant[s].HP[p], 0);
    startAble_[s] = ableParts(sides_[s].act, startHp_[s]);
  }
  if constexpr (kTexts) {
    const std::string& crlf = gs_.CrLf;
    for (std::size_t s = 0; s < kSlots; ++s) {
      const std::string& loser = gs_.combatant[s].CharName;
      const std::string& winner = gs_.combatant[1 - s].CharName;
      texts_.damagedName[s] = loser + std::string(text::kDamageMid);
      texts_.fellLoss[s] =
          loser + std::string(text::kFell) + crlf + winner + std::string(text::kVictory);
      texts_.stuckLoss[s] =
          loser + std::string(text::kStuck) + crlf + winner + std::string(text::kVictory);
    }
    texts_.missLine = std::string(text::kMissLine) + crlf;
    texts_.hitsEnd = std::string(text::kHits) + crlf;
    texts_.draw = std::string(text::kDrawA) + crlf + std::string(text::kDrawB);
    gs_.BattleLog.reserve(16384);
  }
}

template <bool kTexts>
bool BatchBattles<kTexts>::canAct(const ActTest& t, const std::array<std::int32_t, kParts>& hp,
                                  unsigned able, std::int32_t& partVar) {
  const bool can = able != 0 || hp[static_cast<std::size_t>(partVar)] > t.beforeFirstLetter;
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

// The turns of BasicBattle::runTurn with the scheduler folded in: slot 1 acts first and the two
// sides alternate, as the gauges hand out the turns. The panel's text goes straight to the log,
// which is where the engine's flushes put it, in the same order.
template <bool kTexts>
template <int kHalving>
Outcome BatchBattles<kTexts>::run(std::uint64_t seed, std::int32_t maxTurns) {
  const double h = kHalving == 0 ? halving_ : static_cast<double>(kHalving);
  RandomUnit rnd(seed);
  Hp hp = startHp_;
  std::string& log = gs_.BattleLog;
  if constexpr (kTexts) log.clear();
  std::int32_t attackPart = 0;  // the engine's attackPart and targetPart persist between turns
  std::int32_t targetPart = 0;
  bool belowZero = false;  // a cost took some HP below 0 and no hit has refreshed the status yet
  // Per side, the parts whose HP is above their least power (the judgement's test, kept up to
  // date with every change of HP instead of recomputed from the whole record).
  std::array<unsigned, kSlots> able = startAble_;
  Outcome out;
  Judgement j = Judgement::Continue;
  std::int32_t win = 0;
  std::int32_t lose = 0;

  for (std::int32_t att = 1;; att ^= 1) {
    if (out.turns >= maxTurns) break;
    ++out.turns;
    const auto a = static_cast<std::size_t>(att);
    const std::size_t d = 1 - a;
    const Side& side = sides_[a];

    // BAI
    std::size_t m = 0;
    for (int draw = 1;; ++draw) {
      m = static_cast<std::size_t>(formula::moveOfBits(rnd.nextBits()));
      const Move& c = side.moves[m];
      if (c.part >= 0) attackPart = c.part;
      if (c.choicePower <= hp[a][static_cast<std::size_t>(attackPart)] ||
          draw == formula::kChoiceDraws)
        break;
    }
    const Move& move = side.moves[m];
    if constexpr (kTexts) log += texts_.announce[a][m];

    // STU
    targetPart = formula::targetOf(hp[d]);
    const auto ap = static_cast<std::size_t>(attackPart);
    const std::int32_t paid = formula::costPaid(hp[a][ap], move.power, h);
    hp[a][ap] = paid;
    able[a] = (able[a] & ~(1u << ap)) | ableBit(side.act, ap, paid);
    belowZero |= paid < 0;

    // The blows, as BasicBattle's blow and DAMI make them.
    const double P = move.power;
    const double A = P + static_cast<double>(side.OFE[ap]);
    const double attackArg = formula::attackArgument(A);
    const double factor = kFactors[static_cast<std::size_t>(move.kind)];
    std::int32_t hits = 0;
    std::int32_t aim = targetPart;
    for (;;) {
      targetPart = aim;
      const auto t = static_cast<std::size_t>(aim);
      std::int32_t damage;
      if (move.kind == MoveKind::Special) {
        damage = formula::specialDamage(P, RandomUnit::unit(rnd.nextBits()), h);
      } else {
        const double D = sides_[d].DEF[t];
        const float u1 = RandomUnit::unit(rnd.bitsFor(attackArg));
        const float u2 = RandomUnit::unit(rnd.bitsFor(formula::defenceArgument(D)));
        damage = formula::strikeDamage(factor, A, D, u1, u2, h);
      }
      if (formula::missRollOfBits(rnd.nextBits()) || hits > 4) {
        if constexpr (kTexts) log += texts_.missLine;
        break;
      }
      damage = std::max(damage, 1);
      ++hits;
      // The status refresh after every hit: the target and any cost paid into the negative
      // since the last refresh are the only HP below 0.
      const std::int32_t left = std::max(formula::hitTaken(hp[d][t], damage), 0);
      hp[d][t] = left;
      // Each blow aims anew; only a part that falls moves the aim on. A branch the processor
      // guesses right almost always, instead of waiting for the damage before the next blow.
      if (left <= 0) [[unlikely]] {
        aim = formula::targetOf(hp[d]);
      }
      able[d] = (able[d] & ~(1u << t)) | ableBit(sides_[d].act, t, left);
      if (belowZero) {
        for (std::size_t s = 0; s < kSlots; ++s) {
          for (std::int32_t& v : hp[s]) v = std::max(v, 0);
          able[s] = ableParts(sides_[s].act, hp[s]);
        }
        belowZero = false;
      }
      if constexpr (kTexts) {
        log += texts_.damagedName[d];
        appendNumber(log, damage);
        log += text::kDamageEnd;
        log += gs_.CrLf;
      }
      if (move.kind != MoveKind::Repeat) break;
    }
    if constexpr (kTexts) {
      appendNumber(log, hits);
      log += texts_.hitsEnd;
    }

    // ZEN
    const bool defenderCan = canAct(sides_[d].act, hp[d], able[d], targetPart);
    const bool attackerCan = canAct(side.act, hp[a], able[a], attackPart);
    const std::int32_t headA = hp[a][0];
    const std::int32_t headD = hp[d][0];
    if (headA <= 0 && headD <= 0) {
      j = Judgement::BothFell;
    } else if (headD <= 0 || (!defenderCan && attackerCan)) {
      j = Judgement::DefenderLost;
      win = att;
      lose = 1 - att;
    } else if (headA <= 0 || (!attackerCan && defenderCan)) {
      j = Judgement::AttackerLost;
      win = 1 - att;
      lose = att;
    } else if (!attackerCan && !defenderCan) {
      j = Judgement::NeitherCanAct;
    } else {
      continue;
    }
    if constexpr (kTexts) {
      if (!defenderCan || !attackerCan) {
        const auto l = static_cast<std::size_t>(lose);
        log += j == Judgement::DefenderLost   ? texts_.fellLoss[l]
               : j == Judgement::AttackerLost ? texts_.stuckLoss[l]
                                              : texts_.draw;
      }
    }
    break;
  }
  for (std::size_t s = 0; s < kSlots; ++s) gs_.combatant[s].HP = hp[s];
  gs_.randomUnit = rnd;
  gs_.WinNo = win;
  gs_.LoseNo = lose;
  if (j == Judgement::Continue) return out;
  return finished(out, j, gs_);
}

template class BatchBattles<false>;
template class BatchBattles<true>;

}  // namespace momiru::battle
