// The rules against scripted draws: move codes, move choice, costs, the three kinds of blow, the
// miss rule, the status refresh and the judgement; and the formulas and their integer forms.
#include "battle/rules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "battle/formulas.h"
#include "battle/headless.h"
#include "battle/move_code.h"
#include "battle/rounding.h"
#include "battle/texts.h"
#include "support/records.h"
#include "support/scripted_random.h"

namespace momiru::battle {
namespace {

using momiru::testing::Parts;
using momiru::testing::pick;
using momiru::testing::ScriptedRandom;
using ::testing::HasSubstr;

// One turn of `attacker` over gs's records as they stand, with the given draws.
struct Turn {
  TurnRecord record;
  std::string log;
  BattleProgress progress;
  bool over = false;
};
Turn playTurn(const GameState& gs, int attacker, ScriptedRandom& rnd) {
  const Rules rules(gs);
  const TurnTexts texts(gs);
  Turn t;
  t.progress = rules.start();
  std::vector<TurnRecord> turns;
  TurnRecorder recorder(rules, turns);
  LogWriter log(texts, t.log);
  BothSinks<TurnRecorder, LogWriter> sinks{recorder, log};
  t.over = rules.playTurn(attacker, t.progress, rnd, sinks);
  t.record = turns.at(0);
  return t;
}

TEST(MoveCode, ReadsPartKindAndDisplayNameByCharacter) {
  const std::tuple<std::string, int, MoveKind, bool, std::string> cases[] = {
      {"H-S念力", 0, MoveKind::Special, false, "念力"},
      {"LR-連続キック", 2, MoveKind::Repeat, false, "連続キック"},
      {"---NO DATA", -1, MoveKind::Normal, true, "NO DATA"},
      {"B-", 3, MoveKind::Normal, false, ""},
      // A full-width first character is one character: "R-" after it still marks a repeat move.
      {"頭R-x", -1, MoveKind::Repeat, false, "x"},
      // A truncated multi-byte character at the end does not read past the text.
      {"A--\xE5", 1, MoveKind::Normal, false, "\xE5"},
  };
  for (const auto& [text, part, kind, blank, display] : cases) {
    const MoveCode code = parseMoveCode(text);
    EXPECT_EQ(code.part, part) << text;
    EXPECT_EQ(code.kind, kind) << text;
    EXPECT_EQ(code.blank, blank) << text;
    EXPECT_EQ(code.displayName(text), display) << text;
  }
  // At most 999 characters of display name.
  EXPECT_EQ(parseMoveCode("A--" + std::string(1200, 'x')).displayLength, 999u);
}

TEST(MoveChoice, SkipsEmptyAndUnaffordableMovesAndAcceptsEqualHp) {
  GameState gs = momiru::testing::twoFighters();
  gs.combatant[0].hp[1] = 1;  // the arms cannot pay the jab (power 2)
  ScriptedRandom rnd({pick(5, 8), pick(2, 8), pick(3, 8), 0.5f, 0.25f, pick(1, 7)});
  Turn t = playTurn(gs, 0, rnd);
  EXPECT_EQ(t.record.move, 3);
  EXPECT_EQ(t.record.part, 2);
  EXPECT_EQ(rnd.remaining(), 0u);

  gs.combatant[0].hp[1] = 2;  // exactly the power: affordable, and paid down to 0
  rnd = ScriptedRandom({pick(2, 8), 0.5f, 0.25f, pick(1, 7)});
  t = playTurn(gs, 0, rnd);
  EXPECT_EQ(t.record.move, 2);
  EXPECT_EQ(t.record.costHpBefore, 2);
  EXPECT_EQ(t.record.costHpAfter, 0);
}

TEST(MoveChoice, UnaffordableEverywhereUsesThe61stDrawWithTheLastPartLetter) {
  GameState gs = momiru::testing::twoFighters();
  gs.combatant[0].hp = {0, 0, 0, 0};
  ScriptedRandom rnd;
  for (int i = 0; i < 60; ++i) rnd.push({pick(1, 8)});  // the head's repeat move
  rnd.push({pick(6, 8), 0.5f, 0.25f, pick(1, 7)});      // an empty slot, then a missed blow
  const Turn t = playTurn(gs, 0, rnd);
  EXPECT_EQ(t.record.move, 6);
  EXPECT_EQ(t.record.part, 0);
  EXPECT_EQ(rnd.remaining(), 0u);
  // 甲 can no longer act: the judgement ends the battle.
  EXPECT_EQ(t.log,
            "甲のNO DATA！！\r\nMISS！！ 攻撃は外れた！！\r\n0回ヒットした！\r\n"
            "甲は技が出せない状態になった････\r\n乙の勝利！！");
}

// A move without a part letter is performed by the part the draws before it named.
TEST(MoveChoice, LetterlessMoveTakesThePartOfTheDrawsBefore) {
  GameState gs = momiru::testing::twoFighters();
  gs.combatant[0].moveNames[5] = "X--謎";
  gs.combatant[0].movePower[5] = 1;
  gs.combatant[0].hp[2] = 0;  // the legs can pay neither the kick (3) nor 謎 (1)
  ScriptedRandom rnd({pick(3, 8), pick(5, 8), pick(2, 8), 0.5f, 0.25f, pick(1, 7)});
  EXPECT_EQ(playTurn(gs, 0, rnd).record.move, 2);
  gs.combatant[0].movePower[4] = 999;  // the torso cannot pay the body blow, but 謎
  rnd = ScriptedRandom({pick(4, 8), pick(5, 8), 0.5f, 0.25f, pick(1, 7)});
  const Turn t = playTurn(gs, 0, rnd);
  EXPECT_EQ(t.record.move, 5);
  EXPECT_EQ(t.record.part, 3);
  EXPECT_EQ(t.record.costHpAfter, 29);
}

TEST(Formulas, CostHalvedWithTiesToEvenAndNotClampedUntilTheNextRefresh) {
  EXPECT_EQ(formula::costPaid(10, 7, 2.0), 6);  // 6.5
  EXPECT_EQ(formula::costPaid(10, 5, 2.0), 8);  // 7.5
  EXPECT_EQ(formula::costPaid(2, 1, 2.0), 2);   // 1.5
  EXPECT_EQ(formula::costPaid(1, 9, 2.0), -4);
  EXPECT_EQ(formula::costPaid(10, 7, 1.0), 3);
  EXPECT_EQ(formula::costPaid(5, -3, 1.0), 8);  // a negative power heals the payer
  EXPECT_EQ(formula::costPaid(INT32_MAX, -5, 1.0), INT32_MAX);
}

// The target is the torso, then the legs, the arms, the head; one miss roll in seven.
TEST(Formulas, TargetOrderAndMissRoll) {
  const std::pair<Parts, int> targets[] = {{{9, 9, 9, 9}, 3},
                                           {{9, 9, 9, 0}, 2},
                                           {{9, 9, -1, 0}, 1},
                                           {{9, 0, 0, 0}, 0},
                                           {{0, 0, 0, 0}, 0}};
  for (const auto& [hp, want] : targets) EXPECT_EQ(formula::targetOf(hp), want);
  for (const float u : {0.0f, 0.1428f, 0.2858f, 0.9999f}) EXPECT_FALSE(formula::missRoll(u)) << u;
  for (const float u : {0.1429f, 0.2857f}) EXPECT_TRUE(formula::missRoll(u)) << u;
}

TEST(Blow, NormalBlowFormulaArgumentModesAndTexts) {
  GameState gs = momiru::testing::twoFighters();
  // 乙's jab: A = 2 + 6 = 8 against 甲's torso, D = 4; (0.9*8 + 0.5) - (0.8*4 + 0.25) = 4.25
  ScriptedRandom rnd({pick(2, 8), 0.5f, 0.25f, 0.0f});
  const Turn t = playTurn(gs, 1, rnd);
  ASSERT_EQ(t.record.blows.size(), 1u);
  EXPECT_EQ(t.record.blows[0].damage, 4);
  EXPECT_EQ(t.record.blows[0].target, 3);
  EXPECT_EQ(t.progress.hp[0][3], 26);
  EXPECT_EQ(rnd.remaining(), 0u);  // positive arguments (0.8 and 0.8) draw the next values
  EXPECT_EQ(t.log, "乙のジャブ！！\r\n甲は、4のダメージ！！\r\n1回ヒットした！\r\n");

  // A miss changes no HP but the cost.
  rnd = ScriptedRandom({pick(2, 8), 0.5f, 0.25f, pick(1, 7)});
  const Turn miss = playTurn(gs, 1, rnd);
  EXPECT_EQ(miss.progress.hp[0], gs.combatant[0].hp);
  EXPECT_EQ(miss.progress.hp[1][1], 28);
  EXPECT_EQ(miss.record.hits, 0);
}

// Each row pins one formula, rounding tie or argument mode; 乙 (slot 1) hits 甲's torso.
TEST(Blow, FormulasRoundingAndArgumentModes) {
  enum Kind { Normal, Repeat, Special };
  const struct {
    Kind kind;
    std::int32_t halve, attack, power, defence;
    std::vector<float> draws;  // after the move's draw, up to the first blow's miss roll
    std::int32_t damage;
    int zeroArg = -1;  // the draw whose argument must be 0 (repeat the last value)
  } cases[] = {
      {Normal, 0, 0, 5, 0, {0.75f, 0.0f}, 4, 2},        // D = 0: 4.5 -> 4
      {Normal, 0, 0, 15, 0, {0.75f, 0.0f}, 14, 2},      // 13.5 -> 14
      {Normal, 0, 0, 0, 5, {0.0f, 0.0f}, 1, 1},         // A = 0 repeats the move's draw: -> 1
      {Normal, 1, 0, 5, 5, {0.5f, 0.5f, 0.0f}, 1},      // 0.5 halved 0.25 -> 0 -> 1
      {Normal, 1, 0, 15, 5, {0.5f, 0.5f, 0.0f}, 5},     // 9.5 halved 4.75 -> 5
      {Normal, 1, 0, 15, 10, {0.25f, 0.25f, 0.0f}, 3},  // 5.5 halved 2.75 -> 3
      {Repeat, 0, 5, 3, 0, {0.5f, 0.0f}, 3},            // 0.4 * 8 = 3.2
      {Special, 0, 5, 4, 0, {0.5f, 0.0f}, 10},          // 2 + 2 * 4
      {Special, 0, 5, 1, 0, {0.5f, 0.0f}, 2},           // 2.5 -> 2
      {Special, 1, 5, 1, 0, {0.0f, 0.0f}, 1},           // (0 + 2) / 2
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "kind " << c.kind << " power " << c.power);
    GameState gs = momiru::testing::twoFighters();
    gs.halveDamage = c.halve;
    gs.combatant[0].defence[3] = c.defence;
    const int slot = c.kind == Normal ? 2 : c.kind == Repeat ? 1 : 0;
    const int part = c.kind == Normal ? 1 : 0;
    gs.combatant[1].attack[static_cast<std::size_t>(part)] = c.attack;
    gs.combatant[1].movePower[static_cast<std::size_t>(slot)] = c.power;
    ScriptedRandom rnd({pick(slot, 8)});
    for (const float u : c.draws) rnd.push({u});
    if (c.kind == Repeat) rnd.push({0.5f, pick(1, 7)});  // the next repetition misses
    const Turn t = playTurn(gs, 1, rnd);
    EXPECT_EQ(t.record.blows.at(0).damage, c.damage);
    EXPECT_EQ(rnd.remaining(), 0u);
    if (c.zeroArg >= 0) {
      EXPECT_EQ(rnd.args.at(static_cast<std::size_t>(c.zeroArg)), 0.0);
    }
    EXPECT_FALSE(rnd.args.back().has_value());  // the miss roll
  }
}

TEST(Blow, RepeatMoveHitsAtMostFiveTimesThenMisses) {
  GameState gs = momiru::testing::twoFighters();
  gs.combatant[0].defence[3] = 0;
  gs.combatant[0].hp[3] = 100;
  ScriptedRandom rnd({pick(1, 8)});
  for (int i = 0; i < 6; ++i) rnd.push({0.5f, 0.0f});  // every roll would hit
  const Turn t = playTurn(gs, 1, rnd);
  std::string log = "乙の１００頭突き！！\r\n";
  for (int i = 0; i < 5; ++i) log += "甲は、3のダメージ！！\r\n";
  log += "MISS！！ 攻撃は外れた！！\r\n5回ヒットした！\r\n";
  EXPECT_EQ(t.log, log);
  EXPECT_EQ(t.record.blows.size(), 6u);
  EXPECT_EQ(t.progress.hp[0][3], 85);
  EXPECT_EQ(t.progress.hp[1][0], 37);
}

TEST(Blow, RepeatMoveAimsAnewWhenThePartFalls) {
  GameState gs = momiru::testing::twoFighters();
  gs.combatant[0].defence = {0, 0, 0, 0};
  gs.combatant[0].hp = {40, 30, 30, 1};
  ScriptedRandom rnd({pick(1, 8), 0.5f, 0.0f, 0.5f, 0.0f, 0.5f, pick(1, 7)});
  const Turn t = playTurn(gs, 1, rnd);
  EXPECT_EQ(t.progress.hp[0], (Parts{40, 30, 27, 0}));
  EXPECT_THAT(t.log, HasSubstr("2回ヒットした！"));
  EXPECT_EQ(t.record.blows[1].target, 2);
  EXPECT_EQ(t.record.blows[2].target, 2);
}

// A cost paid into the negative stays there until a hit refreshes the status, which raises every
// HP below 1 to 0; the start of a battle does the same.
TEST(StatusRefresh, RaisesEveryPartBelowOneAtAHitAndAtTheStart) {
  GameState gs = momiru::testing::twoFighters();
  gs.combatant[1].hp[1] = 1;
  gs.combatant[1].movePower[2] = 9;
  const auto unaffordable = [](float missRoll) {  // the 61st draw is used
    ScriptedRandom rnd;
    for (int i = 0; i < 61; ++i) rnd.push({pick(2, 8)});
    rnd.push({0.5f, 0.25f, missRoll});
    return rnd;
  };
  ScriptedRandom rnd = unaffordable(pick(1, 7));
  EXPECT_EQ(playTurn(gs, 1, rnd).progress.hp[1][1], -8);  // a miss: no refresh
  rnd = unaffordable(0.0f);
  EXPECT_EQ(playTurn(gs, 1, rnd).progress.hp[1][1], 0);  // a hit refreshes
  gs.combatant[0].hp = {-7, 0, 1, std::numeric_limits<std::int32_t>::min()};
  EXPECT_EQ(Rules(gs).start().hp[0], (Parts{0, 0, 1, 0}));
}

TEST(Judgement, OutcomeRules) {
  const std::string draw = "２匹とも力尽きてしまった。\r\nこの勝負。 引き分け！！";
  const std::string koOtsu = "甲は力尽きた････\r\n乙の勝利！！";
  const std::string koKou = "乙は力尽きた････\r\n甲の勝利！！";
  const std::string stuck = "乙は技が出せない状態になった････\r\n甲の勝利！！";
  using J = Judgement;
  const struct {
    int attacker;
    Parts attackerHp, defenderHp;
    Judgement want;
    std::int32_t winner, loser;
    std::string log;  // what the judgement adds to the log
  } cases[] = {
      {0, {0, 9, 9, 9}, {0, 9, 9, 9}, J::BothFell, 0, 0, ""},  // both heads: a draw not logged
      // A fallen defender loses even when the attacker cannot act.
      {1, {2, 0, 0, 0}, {0, 9, 9, 9}, J::DefenderLost, 1, 0, koOtsu},
      // Head 2 cannot pay the head moves (4, 3) strictly; the empty slots take the torso's 0.
      {0, {40, 9, 9, 9}, {2, 0, 0, 0}, J::DefenderLost, 0, 1, koKou},
      // The empty slots ("-", power 0) take the torso: 1 HP > 0 keeps the side in the game.
      {0, {40, 9, 9, 9}, {2, 0, 0, 1}, J::Continue, 0, 0, ""},
      // A fallen or stuck attacker loses; only the stuck one is logged.
      {0, {0, 9, 9, 9}, {5, 9, 9, 9}, J::AttackerLost, 1, 0, ""},
      {1, {2, 0, 0, 0}, {5, 9, 9, 9}, J::AttackerLost, 0, 1, stuck},
      {0, {2, 0, 0, 0}, {1, 0, 0, 0}, J::NeitherCanAct, 0, 0, draw},  // a draw that is logged
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log);
    GameState gs = momiru::testing::twoFighters();
    gs.combatant[static_cast<std::size_t>(c.attacker)].hp = c.attackerHp;
    gs.combatant[static_cast<std::size_t>(1 - c.attacker)].hp = c.defenderHp;
    const Rules rules(gs);
    const TurnTexts texts(gs);
    BattleProgress p = rules.start();
    std::string log;
    LogWriter writer(texts, log);
    EXPECT_EQ(rules.judgeTurn(c.attacker, p, writer), c.want != Judgement::Continue);
    EXPECT_EQ(p.judgement, c.want);
    EXPECT_EQ(p.winner, c.winner);
    EXPECT_EQ(p.loser, c.loser);
    EXPECT_EQ(log, c.log);
    if (c.log == koKou) {  // a side without a usable move leaves each side's last part letter
      EXPECT_EQ(p.targetPart, 3);
      EXPECT_EQ(p.attackPart, 3);
    }
  }
}

TEST(DrawBits, IntegerRulesEqualTheFloatRulesForEveryDraw) {
  for (std::uint32_t k = 0; k < (1u << 24); ++k) {
    const float u = RandomUnit::unit(k);
    ASSERT_EQ(formula::moveOfBits(k), formula::moveOfDraw(u)) << k;
    ASSERT_EQ(formula::missRollOfBits(k), formula::missRoll(u)) << k;
    ASSERT_EQ(formula::drawValue(k), static_cast<double>(u)) << k;
  }
}

TEST(DrawBits, BitsAndValuesAreTheSameSequenceInEveryArgumentMode) {
  RandomUnit values(77);
  RandomUnit bits(77);
  const double args[] = {1.5, 0.0, -4.0, 0.0, 2.0, -4.0, 0.0};
  for (int round = 0; round < 50; ++round) {
    for (const double a : args) {
      ASSERT_EQ(values(a), RandomUnit::unit(bits.bitsFor(a)));
      ASSERT_EQ(values(), RandomUnit::unit(bits.nextBits()));
      ASSERT_EQ(values.last(), bits.last());
    }
  }
}

// The rounding's one comparison per side stands in for a tie test: check it right at and one
// step either side of every kind of half at every scale, at the ends of the range and beyond,
// and on random values.
TEST(Rounding, Nearest32IsNearestSaturated) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  std::vector<double> xs = {0.5 - 0x1p-54, 0.5 - 0x1p-53, 0x1p-1074, 2147483646.5, 2147483647.5};
  for (double k = 0; k < 40; ++k) {
    for (const double scale : {1.0, 1024.0, 1048576.0, 1073741824.0}) {
      xs.push_back(k * scale + 0.5);
      xs.push_back(k * scale + 1.5);
    }
  }
  const std::size_t halves = xs.size();
  for (std::size_t i = 0; i < halves; ++i) {
    for (const double x : {xs[i], -xs[i]}) {
      xs.push_back(std::nextafter(x, 0.0));
      xs.push_back(std::nextafter(x, x * 2));
      xs.push_back(x);
    }
  }
  xs.insert(xs.end(), {1e300, -1e300, 2147483647.0, 2147483647.4, -2147483648.0, 2147483648.0,
                       -2147483648.4, -2147483648.5, -2147483649.0, kInf, -kInf, std::nan("")});
  RandomUnit r(5);
  for (int i = 0; i < 100000; ++i) {
    const double scale = i % 3 == 0 ? 10.0 : i % 3 == 1 ? 1e6 : 5e9;
    xs.push_back((static_cast<double>(r()) - 0.5) * scale);
    xs.push_back(std::round(xs.back()) + 0.5);
  }
  for (const double x : xs) EXPECT_EQ(nearest32(x), saturate32(nearest(x))) << std::hexfloat << x;
}

}  // namespace
}  // namespace momiru::battle
