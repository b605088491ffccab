// The battle as the screen plays it: the gauges that hand out the turns, the named steps of a
// turn with their idle ticks, what the screen is told at each, and the end of the battle.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_player.h"
#include "battle/steps.h"
#include "battle/texts.h"
#include "records.h"

namespace momiru::battle {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Writes down what the player tells it, as short words.
class RecordingView : public BattleView {
 public:
  void gaugeChanged(int slot) override { events.push_back("gauge" + std::to_string(slot)); }
  void turnStarted(int attacker) override {
    events.push_back("turn" + std::to_string(attacker));
    inTurn = true;
  }
  void messageChanged(std::string_view text) override { message = text; }
  void statusChanged() override { events.push_back("status"); }
  void blowLanded(int defender, std::int32_t damage, MoveKind) override {
    events.push_back("hit " + std::to_string(defender) + " " + std::to_string(damage));
  }
  void blowMissed(int defender) override { events.push_back("miss " + std::to_string(defender)); }
  void turnEnded(int attacker, int defender) override {
    events.push_back("end " + std::to_string(attacker) + std::to_string(defender));
    inTurn = false;
  }
  void battleOver() override {
    events.push_back("over");
    over = true;
    inTurn = false;
  }

  std::vector<std::string> events;
  std::string message;
  bool inTurn = false;
  bool over = false;
};

class Player : public ::testing::Test {
 protected:
  void start() {
    gs.randomUnit.seed(seed);
    player = std::make_unique<BattlePlayer>(gs, view);
    player->load();
  }
  // Runs the gauges until a turn starts, then the steps until it ends; the step each tick acted
  // on, "-" for an idle tick.
  std::vector<std::string> stepsOfTurn() {
    while (!view.inTurn) player->schedulerTick();
    std::vector<std::string> steps;
    while (view.inTurn) {
      steps.emplace_back(player->idleTicks() > 0 ? "-"
                                                 : std::string(stepInfo(player->nextStep()).name));
      player->stepTick();
    }
    return steps;
  }

  GameState gs = momiru::testing::twoFighters();
  std::uint64_t seed = 1;
  RecordingView view;
  std::unique_ptr<BattlePlayer> player;
};

TEST_F(Player, GaugesGiveSlot1TheFirstTurnThenAlternateOneTickAfterEachTurn) {
  start();
  EXPECT_THAT(view.events, ElementsAre("gauge0", "gauge1", "status"));
  player->schedulerTick();
  EXPECT_EQ(gs.timeGauge, (std::array<std::int32_t, 2>{1, 1}));
  EXPECT_FALSE(view.inTurn);
  std::vector<int> attackers;
  for (int turn = 0; turn < 6; ++turn) {
    int ticks = 0;
    while (!view.inTurn) {
      player->schedulerTick();
      ++ticks;
    }
    EXPECT_EQ(ticks, 1);
    attackers.push_back(player->attacker());
    while (view.inTurn && !view.over) player->stepTick();
    if (view.over) break;
    EXPECT_EQ(gs.timeGauge[static_cast<std::size_t>(attackers.back())], 0);
  }
  EXPECT_THAT(attackers, ElementsAre(1, 0, 1, 0, 1, 0));
}

TEST_F(Player, StepsOfEachKindOfTurnFollowTheStepTable) {
  start();
  for (int turn = 0; turn < 40 && !view.over; ++turn) {
    const std::vector<std::string> steps = stepsOfTurn();
    const TurnRecord& t = player->turn();
    const auto blows = static_cast<std::int32_t>(t.blows.size());
    const bool over = isOver(t.judgement);
    ASSERT_EQ(static_cast<std::int32_t>(steps.size()), ticksOfTurn(blows, over));
    std::vector<std::string> want = {"announce", "pay cost"};
    for (std::int32_t b = 0; b < blows; ++b) {
      if (b > 0) want.insert(want.end(), kIdleBetweenRepetitions, "-");
      want.emplace_back("blow");
    }
    want.insert(want.end(), {"hit count", "-", "judge"});
    if (over) {
      want.insert(want.end(), kIdleBeforeResult, "-");
      want.emplace_back("show result");
    } else {
      want.insert(want.end(), {"-", "-", "-", "-", "end turn"});
    }
    EXPECT_THAT(steps, ElementsAreArray(want)) << "turn " << turn;
  }
  EXPECT_TRUE(view.over);
}

// The HP in the game state change at the step that shows them, and the log takes the turn's
// lines at the judgement.
TEST_F(Player, EachStepShowsWhatTheDecidedTurnSaysAtThatPoint) {
  start();
  for (int turn = 0; turn < 30 && !view.over; ++turn) {
    while (!view.inTurn) player->schedulerTick();
    const std::string logBefore = gs.battleLog;
    while (view.inTurn) {
      const bool idle = player->idleTicks() > 0;
      const Step step = player->nextStep();
      const std::size_t blow = player->blowsShown();
      player->stepTick();
      if (idle) continue;
      const TurnRecord& t = player->turn();
      for (std::size_t s = 0; s < kSlots; ++s) {
        const auto& hp = gs.combatant[s].hp;
        if (step == Step::PayCost) {
          EXPECT_EQ(hp, t.hpAfterCost[s]);
        } else if (step == Step::Blow) {
          EXPECT_EQ(hp, t.blows[blow].hpAfter[s]);
        } else if (step == Step::Judge) {
          EXPECT_EQ(hp, t.hp[s]);
        }
      }
      if (step == Step::Blow && t.kind == MoveKind::Repeat) {
        EXPECT_EQ(view.message.find("\r\n"), view.message.size() - 2);  // one line
      }
      EXPECT_EQ(gs.battleLog.size() > logBefore.size(), step >= Step::Judge);
    }
  }
}

TEST_F(Player, TheLogAndResultArriveWithTheJudgementAndTheBattleEndsAfterItsPause) {
  gs.combatant[0].hp = {1, 0, 0, 0};  // 甲 can only fall
  gs.combatant[0].defence = {0, 0, 0, 0};
  seed = 3;
  start();
  int turns = 0;
  while (!view.over && turns < 100) {
    stepsOfTurn();
    ++turns;
  }
  ASSERT_TRUE(view.over);
  EXPECT_EQ(view.events.back(), "over");
  EXPECT_TRUE(isOver(player->judgement()));
  EXPECT_EQ(view.message, TurnTexts(gs).judgement(player->judgement(), gs.loser));
  // Nothing runs after the end.
  const auto events = view.events.size();
  player->stepTick();
  player->schedulerTick();
  EXPECT_EQ(view.events.size(), events);
}

}  // namespace
}  // namespace momiru::battle
