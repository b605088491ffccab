// The engine against scripted draws: move choice, costs, the three blows, the miss rule, the
// steps of a turn, the scheduler and the judgement.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "battle/battle_engine.h"
#include "battle/move_code.h"
#include "battle/rounding.h"
#include "battle_fixture.h"
#include "scripted_random.h"

namespace momiru::battle {
namespace {

using momiru::testing::Parts;
using momiru::testing::pick;
using momiru::testing::RecordingScreen;
using momiru::testing::ScriptedRandom;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

using ScriptedEngine = BasicBattle<ScriptedRandom, BattleScreenPort, true>;

class Engine : public ::testing::Test {
 protected:
  void SetUp() override { make(); }

  // (Re)makes the engine after a test changed move names.
  void make() { engine = std::make_unique<ScriptedEngine>(gs, screen, rnd); }

  // Sets up the middle of a turn: `attacker` uses `move`, performed by `part`.
  void turn(int attacker, int move, int part) {
    BattleState& s = engine->state();
    s.attacker = attacker;
    s.defender = 1 - attacker;
    s.moveSlot = move;
    s.attackPart = part;
  }

  GameState gs = momiru::testing::twoFighters();
  RecordingScreen screen{gs};
  ScriptedRandom rnd;
  std::unique_ptr<ScriptedEngine> engine;
};

TEST(MoveCode, ReadsPartKindAndDisplayNameByCharacter) {
  const MoveCode special = parseMoveCode("H-S念力");
  EXPECT_EQ(special.part, 0);
  EXPECT_EQ(special.kind, MoveKind::Special);
  EXPECT_EQ(special.displayName("H-S念力"), "念力");
  const MoveCode repeat = parseMoveCode("LR-連続キック");
  EXPECT_EQ(repeat.part, 2);
  EXPECT_EQ(repeat.kind, MoveKind::Repeat);
  const MoveCode blank = parseMoveCode("---NO DATA");
  EXPECT_TRUE(blank.blank);
  EXPECT_EQ(blank.part, -1);
  EXPECT_EQ(blank.kind, MoveKind::Normal);
  EXPECT_EQ(parseMoveCode("B-").displayName("B-"), "");
  // A full-width first character is one character: "R-" after it still marks a repeat move.
  const MoveCode wide = parseMoveCode("頭R-x");
  EXPECT_EQ(wide.part, -1);
  EXPECT_FALSE(wide.blank);
  EXPECT_EQ(wide.kind, MoveKind::Repeat);
  EXPECT_EQ(wide.displayName("頭R-x"), "x");
  // At most 999 characters of display name.
  const std::string longName = "A--" + std::string(1200, 'x');
  EXPECT_EQ(parseMoveCode(longName).displayLength, 999u);
  // A truncated multi-byte character at the end does not read past the text.
  EXPECT_EQ(parseMoveCode("A--\xE5").displayName("A--\xE5"), "\xE5");
}

TEST_F(Engine, MoveChoiceSkipsEmptyAndUnaffordableAndAcceptsEqualHp) {
  gs.combatant[0].hp[1] = 1;  // arms cannot pay the jab (power 2)
  rnd.push({pick(5, 8), pick(2, 8), pick(3, 8)});
  turn(0, 0, 0);
  engine->BAI();
  EXPECT_EQ(engine->state().moveSlot, 3);
  EXPECT_EQ(engine->state().attackPart, 2);
  EXPECT_EQ(rnd.remaining(), 0u);

  gs.combatant[0].hp[1] = 2;  // exactly the power: affordable, and paid down to 0
  rnd.push({pick(2, 8)});
  engine->BAI();
  EXPECT_EQ(engine->state().moveSlot, 2);
  engine->STU();
  EXPECT_EQ(gs.combatant[0].hp[1], 0);
}

TEST_F(Engine, UnaffordableEverywhereUsesThe61stDrawWithTheLastPartLetter) {
  gs.combatant[0].hp = {0, 0, 0, 0};
  for (int i = 0; i < 60; ++i) rnd.push({pick(1, 8)});  // the head's repeat move
  rnd.push({pick(6, 8), 0.0f});                         // an empty slot; one value left over
  turn(0, 0, 3);
  engine->KOU();
  EXPECT_EQ(engine->state().moveSlot, 6);
  EXPECT_EQ(engine->state().attackPart, 0);
  EXPECT_EQ(rnd.remaining(), 1u);
  EXPECT_EQ(screen.panel, "甲のNO DATA！！\r\n");
  EXPECT_EQ(engine->state().defender, 1);
  EXPECT_EQ(engine->state().hitCount, 0);
}

TEST_F(Engine, CostIsHalvedWithTiesToEven) {
  gs.settings.halveDamage = 1;
  turn(0, 2, 1);
  const auto pay = [&](std::int32_t hp, std::int32_t power) {
    gs.combatant[0].hp[1] = hp;
    gs.combatant[0].movePower[2] = power;
    engine->STU();
    return gs.combatant[0].hp[1];
  };
  EXPECT_EQ(pay(10, 7), 6);  // 6.5
  EXPECT_EQ(pay(10, 5), 8);  // 7.5
  EXPECT_EQ(pay(2, 1), 2);   // 1.5
  EXPECT_EQ(pay(1, 9), -4);  // not clamped until the next status refresh
  gs.settings.halveDamage = 0;
  EXPECT_EQ(pay(10, 7), 3);
  EXPECT_EQ(pay(5, -3), 8);  // a negative power heals the payer
}

TEST_F(Engine, TargetIsTorsoThenLegsThenArmsThenHead) {
  turn(0, 2, 1);
  const auto target = [&](Parts hp) {
    gs.combatant[1].hp = hp;
    engine->STU();
    return engine->state().targetPart;
  };
  EXPECT_EQ(target({9, 9, 9, 9}), 3);
  EXPECT_EQ(target({9, 9, 9, 0}), 2);
  EXPECT_EQ(target({9, 9, -1, 0}), 1);
  EXPECT_EQ(target({9, 0, 0, 0}), 0);
  EXPECT_EQ(target({0, 0, 0, 0}), 0);
}

TEST_F(Engine, NormalBlowFormulaAndArgumentModes) {
  turn(1, 2, 1);  // 乙's jab: A = 2 + 6 = 8 against 甲's torso, D = 4
  rnd.push({0.5f, 0.25f, 0.0f});
  EXPECT_TRUE(engine->normalBlow());
  // (0.9*8 + 0.5) - (0.8*4 + 0.25) = 4.25
  EXPECT_EQ(engine->state().damage, 4);
  EXPECT_EQ(gs.combatant[0].hp[3], 26);
  ASSERT_EQ(rnd.args.size(), 3u);
  EXPECT_DOUBLE_EQ(*rnd.args[0], 0.8);
  EXPECT_DOUBLE_EQ(*rnd.args[1], 0.8);
  EXPECT_FALSE(rnd.args[2].has_value());
  EXPECT_EQ(screen.panel, "甲は、4のダメージ！！\r\n");
  EXPECT_THAT(screen.events, ElementsAre("snd1", "sts", "dam 4 0 5670 630"));
  EXPECT_EQ(engine->state().damVelocity, -350);
  EXPECT_EQ(engine->state().hitCount, 1);

  // The hit background follows its switch; the popup goes over the defender.
  gs.settings.showHitBackground = 1;
  turn(0, 2, 1);
  rnd.push({0.5f, 0.25f, 0.0f});
  screen.events.clear();
  engine->normalBlow();
  EXPECT_THAT(screen.events, ElementsAre("snd1", "bg1:hit", "sts", "dam 4 1 5670 4830"));
}

// Each row pins one formula, rounding tie or argument mode; 乙 (slot 1) hits 甲's torso.
TEST_F(Engine, BlowFormulasRoundingAndArgumentModes) {
  enum Kind { Normal, Repeat, Special };
  const struct {
    Kind kind;
    std::int32_t halve, ofe, power, def;
    std::vector<float> draws;
    std::int32_t damage;
    int zeroArg = -1;     // the draw whose argument must be 0 (repeat the last value)
    float prior = -1.0f;  // a value drawn before the blow
  } cases[] = {
      {Normal, 0, 0, 5, 0, {0.75f, 0.0f}, 4, 1},        // D = 0: 4.5 -> 4
      {Normal, 0, 0, 15, 0, {0.75f, 0.0f}, 14, 1},      // 13.5 -> 14
      {Normal, 0, 0, 0, 5, {0.0f, 0.0f}, 1, 0, 0.5f},   // A = 0: -3.5 -> -4, raised to 1
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
    gs = momiru::testing::twoFighters();
    make();
    gs.settings.halveDamage = c.halve;
    gs.combatant[0].defence[3] = c.def;
    const int slot = c.kind == Normal ? 2 : c.kind == Repeat ? 1 : 0;
    const int part = c.kind == Normal ? 1 : 0;
    gs.combatant[1].attack[static_cast<std::size_t>(part)] = c.ofe;
    gs.combatant[1].movePower[static_cast<std::size_t>(slot)] = c.power;
    std::vector<float> draws = c.draws;
    if (c.prior >= 0) draws.insert(draws.begin(), c.prior);
    rnd = ScriptedRandom(draws);
    if (c.prior >= 0) {
      rnd();
      rnd.args.clear();
    }
    screen.events.clear();
    turn(1, slot, part);
    if (c.kind == Normal) engine->normalBlow();
    if (c.kind == Repeat) engine->repeatBlow();
    if (c.kind == Special) engine->specialBlow();
    EXPECT_EQ(engine->state().damage, c.damage);
    EXPECT_EQ(rnd.remaining(), 0u);
    if (c.zeroArg >= 0) {
      EXPECT_EQ(rnd.args.at(static_cast<std::size_t>(c.zeroArg)), 0.0);
    }
    EXPECT_FALSE(rnd.args.back().has_value());  // the miss roll
    EXPECT_EQ(screen.events.front(), c.kind == Special ? "snd2" : "snd1");
  }
}

TEST_F(Engine, OneRollInSevenMissesAndAMissChangesNothing) {
  turn(1, 2, 1);
  const auto rolls = [&](float u) {
    rnd.push({0.5f, 0.25f, u});
    return engine->normalBlow();
  };
  EXPECT_TRUE(rolls(0.1428f));  // r = 0
  EXPECT_TRUE(rolls(0.2858f));  // r = 2
  EXPECT_TRUE(rolls(0.9999f));  // r = 6
  const Parts before = gs.combatant[0].hp;
  screen.events.clear();
  screen.panel.clear();
  EXPECT_FALSE(rolls(0.1429f));  // r = 1
  EXPECT_FALSE(rolls(0.2857f));
  EXPECT_EQ(gs.combatant[0].hp, before);
  EXPECT_EQ(engine->state().hitCount, 3);
  EXPECT_EQ(engine->state().damage, 4);  // computed, then unused
  EXPECT_THAT(engine->panelText(), EndsWith("のダメージ！！\r\nMISS！！ 攻撃は外れた！！\r\n"
                                            "MISS！！ 攻撃は外れた！！\r\n"));
  EXPECT_THAT(screen.events, ElementsAre("dam MISS!! 0 5670 630", "dam MISS!! 0 5670 630"));
}

// Runs the scheduler until a turn starts, then steps; returns the step after each battle tick.
std::vector<std::int32_t> stepsOfTurn(ScriptedEngine& e, RecordingScreen& screen) {
  while (!screen.timer2) e.schedulerTick();
  std::vector<std::int32_t> steps;
  while (screen.timer2) {
    steps.push_back(e.state().step);
    e.stepTick();
  }
  return steps;
}

TEST_F(Engine, NormalTurnStepsTextsAndLog) {
  gs.settings = {1, 0, 1, 0};
  engine->load();
  rnd.push({pick(2, 8), 0.5f, 0.25f, 0.0f});
  screen.events.clear();
  const auto steps = stepsOfTurn(*engine, screen);
  EXPECT_THAT(steps, ElementsAre(1, 2, 3, 4, 40, 41, 60, 61, 62, 63, 64));
  EXPECT_EQ(gs.battleLog, "乙のジャブ！！\r\n甲は、4のダメージ！！\r\n1回ヒットした！\r\n");
  EXPECT_EQ(gs.combatant[1].hp[1], 28);
  EXPECT_EQ(gs.timeGauge[1], 0);
  EXPECT_EQ(gs.timeGauge[0], 2);
  EXPECT_THAT(screen.events, ElementsAre("gauge0", "gauge1",                 // tick 1
                                         "show", "t1off", "t2on", "gauge0",  // tick 2, slot 0
                                         "show", "t1off", "t2on", "gauge1",  // and slot 1
                                         "snd1", "bg0:hit", "sts", "dam 4 0 5670 630",  // step 3
                                         "bg0:normal", "hide", "t2off", "t1on"));       // step 64
  EXPECT_EQ(engine->judgement(), Judgement::Continue);
}

TEST_F(Engine, MissedNormalMoveStillCountsZeroHits) {
  engine->load();
  rnd.push({pick(2, 8), 0.5f, 0.25f, pick(1, 7)});
  stepsOfTurn(*engine, screen);
  EXPECT_EQ(gs.battleLog, "乙のジャブ！！\r\nMISS！！ 攻撃は外れた！！\r\n0回ヒットした！\r\n");
  EXPECT_THAT(screen.events, Not(Contains("show")));  // the message box is off
}

TEST_F(Engine, RepeatMoveHitsAtMostFiveTimesAndLogsEachRepetition) {
  gs.combatant[0].defence[3] = 0;
  gs.combatant[0].hp[3] = 100;
  engine->load();
  rnd.push({pick(1, 8)});
  for (int i = 0; i < 6; ++i) rnd.push({0.5f, 0.0f});  // every roll would hit
  const auto steps = stepsOfTurn(*engine, screen);
  EXPECT_THAT(steps, ElementsAre(1, 2, 10, 8, 9, 10, 8, 9, 10, 8, 9, 10, 8, 9, 10, 8, 9, 10, 11, 40,
                                 41, 60, 61, 62, 63, 64));
  std::string log = "乙の１００頭突き！！\r\n";
  for (int i = 0; i < 5; ++i) log += "甲は、3のダメージ！！\r\n";
  log += "MISS！！ 攻撃は外れた！！\r\n5回ヒットした！\r\n";
  EXPECT_EQ(gs.battleLog, log);
  EXPECT_EQ(gs.combatant[0].hp[3], 85);
  EXPECT_EQ(gs.combatant[1].hp[0], 37);
}

TEST_F(Engine, RepeatMoveMovesOnWhenThePartFalls) {
  gs.combatant[0].defence = {0, 0, 0, 0};
  gs.combatant[0].hp = {40, 30, 30, 1};
  engine->load();
  rnd.push({pick(1, 8), 0.5f, 0.0f, 0.5f, 0.0f, 0.5f, pick(1, 7)});
  stepsOfTurn(*engine, screen);
  EXPECT_EQ(gs.combatant[0].hp, (Parts{40, 30, 27, 0}));
  EXPECT_THAT(gs.battleLog, HasSubstr("2回ヒットした！"));
}

TEST_F(Engine, SpecialTurnSteps) {
  engine->load();
  rnd.push({pick(0, 8), 0.5f, 0.0f});
  EXPECT_THAT(stepsOfTurn(*engine, screen), ElementsAre(1, 2, 20, 21, 40, 41, 60, 61, 62, 63, 64));
  EXPECT_EQ(gs.battleLog, "乙の念力！！\r\n甲は、10のダメージ！！\r\n1回ヒットした！\r\n");
}

TEST_F(Engine, SchedulerGivesSlot1TheFirstTurnThenAlternatesOneTickAfterEachTurn) {
  engine->load();
  engine->schedulerTick();
  EXPECT_EQ(gs.timeGauge, (std::array<std::int32_t, 2>{1, 1}));
  EXPECT_FALSE(screen.timer2);
  std::vector<int> attackers;
  for (int turn = 0; turn < 6; ++turn) {
    int ticks = 0;
    while (!screen.timer2) {
      engine->schedulerTick();
      ++ticks;
    }
    EXPECT_EQ(ticks, 1);
    attackers.push_back(engine->state().attacker);
    EXPECT_EQ(engine->state().defender, 1 - engine->state().attacker);
    EXPECT_FALSE(screen.timer1);
    rnd.push({pick(5, 8), pick(4, 8), 0.5f, 0.25f, pick(1, 7)});  // torso move, missed
    while (screen.timer2) engine->stepTick();
  }
  EXPECT_THAT(attackers, ElementsAre(1, 0, 1, 0, 1, 0));
}

class Judge : public Engine {
 protected:
  Judgement judge(int attacker, Parts attackerHp, Parts defenderHp) {
    gs.combatant[static_cast<std::size_t>(attacker)].hp = attackerHp;
    gs.combatant[static_cast<std::size_t>(1 - attacker)].hp = defenderHp;
    turn(attacker, 2, 1);
    gs.battleLog = "L:";
    engine->state().step = 41;
    engine->stepTick();
    return engine->judgement();
  }
};

// The outcome rules after a turn; `panel` null: not checked. WinNo and LoseNo start at 7.
TEST_F(Judge, OutcomeRules) {
  const char* const draw = "２匹とも力尽きてしまった。\r\nこの勝負。 引き分け！！";
  const struct {
    int attacker;
    Parts attackerHp, defenderHp;
    Judgement want;
    std::int32_t win, lose;
    const char* log;  // after the turn's "L:"
    const char* panel;
  } cases[] = {
      // Both heads fallen: a draw that is not logged.
      {0, {0, 9, 9, 9}, {-3, 9, 9, 9}, Judgement::BothFell, 0, 0, "", draw},
      // A fallen defender loses even when the attacker cannot act.
      {1,
       {2, 0, 0, 0},
       {0, 9, 9, 9},
       Judgement::DefenderLost,
       1,
       0,
       "甲は力尽きた････\r\n乙の勝利！！",
       "甲は力尽きた････\r\n乙の勝利！！"},
      // Head 2 cannot pay the head moves (4, 3) strictly; the empty slots take the torso's 0.
      {0,
       {40, 9, 9, 9},
       {2, 0, 0, 0},
       Judgement::DefenderLost,
       0,
       1,
       "乙は力尽きた････\r\n甲の勝利！！",
       nullptr},
      // The empty slots ("-", power 0) take the torso: 1 HP > 0 keeps the side in the game.
      {0, {40, 9, 9, 9}, {2, 0, 0, 1}, Judgement::Continue, 7, 7, "", nullptr},
      // A fallen or stuck attacker loses; only the stuck one is logged.
      {0,
       {0, 9, 9, 9},
       {5, 9, 9, 9},
       Judgement::AttackerLost,
       1,
       0,
       "",
       "甲は技が出せない状態になった････\r\n乙の勝利！！"},
      {1,
       {2, 0, 0, 0},
       {5, 9, 9, 9},
       Judgement::AttackerLost,
       0,
       1,
       "乙は技が出せない状態になった････\r\n甲の勝利！！",
       nullptr},
      // Neither side can act: a draw that is logged.
      {0, {2, 0, 0, 0}, {1, 0, 0, 0}, Judgement::NeitherCanAct, 0, 0, draw, draw},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log);
    gs = momiru::testing::twoFighters();
    gs.winner = gs.loser = 7;
    make();
    EXPECT_EQ(judge(c.attacker, c.attackerHp, c.defenderHp), c.want);
    EXPECT_EQ(gs.winner, c.win);
    EXPECT_EQ(gs.loser, c.lose);
    EXPECT_EQ(gs.battleLog, std::string("L:") + c.log);
    if (c.panel != nullptr) {
      EXPECT_EQ(screen.panel, c.panel);
    }
    EXPECT_EQ(engine->state().step, c.want == Judgement::Continue ? 60 : 42);
  }
  // After a side without a usable move, the scratch holds the last part letter of the moves.
  make();
  judge(0, {40, 9, 9, 9}, {2, 0, 0, 0});
  EXPECT_EQ(engine->state().targetPart, 3);
  EXPECT_EQ(engine->state().attackPart, 3);
}

TEST_F(Judge, OverBattleIdlesFifteenStepsThenCloses) {
  judge(0, {0, 9, 9, 9}, {5, 9, 9, 9});
  screen.events.clear();
  int ticks = 0;
  while (!screen.closed) {
    engine->stepTick();
    ++ticks;
  }
  EXPECT_EQ(ticks, 16);  // 42 to 56 idle, 57 closes
  EXPECT_THAT(screen.events, ElementsAre("close"));
}

TEST_F(Engine, StatusRefreshClampsEveryPartBelowOne) {
  gs.combatant[0].hp = {-7, 0, 1, std::numeric_limits<std::int32_t>::min()};
  engine->sts();
  EXPECT_EQ(gs.combatant[0].hp, (Parts{0, 0, 1, 0}));
}

}  // namespace
}  // namespace momiru::battle
