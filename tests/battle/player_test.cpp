// The battle as the screen plays it: the named steps of each turn with their idle ticks, the HP
// and log each step shows, the pause before the result, and the same battles as the headless run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "battle/battle_player.h"
#include "battle/headless.h"
#include "battle/steps.h"
#include "support/records.h"

namespace momiru::battle {
namespace {

using ::testing::ElementsAreArray;

// Keeps what the steps tests look at: whether a turn runs, the message, the end of the battle.
class RecordingView : public BattleView {
 public:
  void gaugeChanged(int) override {}
  void turnStarted(int) override { inTurn = true; }
  void messageChanged(std::string_view text) override { message = text; }
  void statusChanged() override {}
  void blowLanded(int, std::int32_t, MoveKind) override {}
  void blowMissed(int) override {}
  void turnEnded(int, int) override { inTurn = false; }
  void battleOver() override {
    over = true;
    inTurn = false;
  }

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
  GameState gs = momiru::testing::twoFighters();
  std::uint64_t seed = 1;
  RecordingView view;
  std::unique_ptr<BattlePlayer> player;
};

// Each turn runs the step table's steps with their idle ticks; the HP in the game state change
// at the step that shows them, and the log takes the turn's lines at the judgement.
TEST_F(Player, EachStepShowsWhatTheDecidedTurnSaysAtThatPoint) {
  start();
  for (int turn = 0; turn < 40 && !view.over; ++turn) {
    while (!view.inTurn) player->schedulerTick();
    const std::string logBefore = gs.battleLog;
    std::vector<std::string> steps;  // the step each tick acted on, "-" for an idle tick
    while (view.inTurn) {
      const bool idle = player->idleTicks() > 0;
      const Step step = player->nextStep();
      const std::size_t blow = player->blowsShown();
      steps.emplace_back(idle ? "-" : std::string(stepInfo(step).name));
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
    const TurnRecord& t = player->turn();
    const auto blows = static_cast<std::int32_t>(t.blows.size());
    const bool over = isOver(t.judgement);
    EXPECT_EQ(static_cast<std::int32_t>(steps.size()), ticksOfTurn(blows, over));
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

// The screen's player, ticking as the screen does (idle ticks included), plays the battle the
// headless run plays from the same seed.
TEST_F(Player, PlaysTheBattleTheHeadlessRunPlays) {
  for (seed = 1; seed <= 200; ++seed) {
    gs = momiru::testing::sanePair();
    gs.halveDamage = static_cast<std::int32_t>(seed % 2);
    GameState headless = gs;
    view = RecordingView();
    start();
    for (int ticks = 0; !view.over && ticks < 1000000; ++ticks) {
      if (view.inTurn) {
        player->stepTick();
      } else {
        player->schedulerTick();
      }
    }
    ASSERT_TRUE(view.over) << "seed " << seed;
    const Outcome out = playBattle(headless, seed);
    ASSERT_TRUE(out.finished) << "seed " << seed;
    EXPECT_EQ(gs.battleLog, headless.battleLog) << "seed " << seed;
    EXPECT_EQ(gs.combatant, headless.combatant);
    EXPECT_EQ(player->judgement(), out.judgement);
    // The outcome names no side for a draw, and otherwise the sides the state names.
    const bool draw =
        out.judgement == Judgement::BothFell || out.judgement == Judgement::NeitherCanAct;
    EXPECT_EQ(out.winner, draw ? -1 : gs.winner);
    EXPECT_EQ(out.loser, draw ? -1 : gs.loser);
    EXPECT_EQ(gs.winner, headless.winner);
    EXPECT_EQ(gs.loser, headless.loser);
  }
}

// Everything of the player and the game state that a screen can read after a tick.
struct Observed {
  std::array<Combatant, kSlots> combatant;
  std::string battleLog;
  std::array<std::int32_t, kSlots> timeGauge{}, gaugeShown{};
  std::int32_t winner = 0, loser = 0, idle = 0, move = 0, hits = 0, turnsStarted = 0;
  std::uint32_t nextDraw = 0;  // the random source's next value tells its state
  bool inTurn = false;
  int attacker = 0;
  Step next = Step::Announce;
  std::size_t blowsShown = 0, blows = 0;
  Judgement judgement = Judgement::None;
  std::string message;
  Hp hpShown{};

  bool operator==(const Observed&) const = default;
};

Observed observe(const GameState& gs, const BattlePlayer& p) {
  RandomUnit random = gs.randomUnit;
  return Observed{
      gs.combatant,  gs.battleLog,     gs.timeGauge,      {p.gaugeShown(0), p.gaugeShown(1)},
      gs.winner,     gs.loser,         p.idleTicks(),     p.turn().move,
      p.turn().hits, p.turnsStarted(), random.nextBits(), p.turnInProgress(),
      p.attacker(),  p.nextStep(),     p.blowsShown(),    p.turn().blows.size(),
      p.judgement(), p.message(),      p.hpShown()};
}

// Ticks as the screen does until turn n has ended (or the battle's outcome has been told).
void tickToTurn(BattlePlayer& player, std::int32_t n) {
  for (int ticks = 0; ticks < 10000000; ++ticks) {
    if (isOver(player.judgement()) && player.nextStep() == Step::ShowResult) return;
    if (!player.turnInProgress() && player.turnsStarted() >= n) return;
    player.turnInProgress() ? player.stepTick() : player.schedulerTick();
  }
}

// A seek, forwards or backwards, from the start or from the middle of a turn, leaves the player
// and the game state as ticking up to the end of that turn does; past the end, as the end.
TEST_F(Player, SeekingToATurnLeavesWhatTickingToItLeaves) {
  for (seed = 1; seed <= 60; ++seed) {
    gs = seed % 3 == 0 ? momiru::testing::twoFighters() : momiru::testing::sanePair();
    gs.halveDamage = static_cast<std::int32_t>(seed % 2);
    // A log and an outcome left by an earlier battle: kept as they were until this one ends.
    gs.battleLog = "前の戦い\r\n";
    gs.winner = gs.loser = 1;
    const GameState start = gs;
    view = RecordingView();
    this->start();
    const std::int32_t length = player->battleLength().turns;
    ASSERT_GT(length, 0);
    for (const std::int32_t n : {0, 1, 2, 3, length / 2, length - 1, length, length + 5}) {
      const std::int32_t turn = std::max(n, 0);
      GameState ticked = start;
      ticked.randomUnit.seed(seed);
      RecordingView tickedView;
      BattlePlayer reference(ticked, tickedView);
      reference.load();
      tickToTurn(reference, turn);

      view.message = "before the seek";
      player->seekToTurn(turn);
      EXPECT_EQ(view.message, "before the seek");  // the view hears nothing of a seek
      EXPECT_EQ(observe(gs, *player), observe(ticked, reference))
          << "seed " << seed << " turn " << turn;
      // Both go on alike: into the next turn, or to the result.
      for (int t = 0; t < 40; ++t) {
        player->turnInProgress() ? player->stepTick() : player->schedulerTick();
        reference.turnInProgress() ? reference.stepTick() : reference.schedulerTick();
      }
      EXPECT_EQ(observe(gs, *player), observe(ticked, reference))
          << "seed " << seed << " turn " << turn;
    }
  }
}

}  // namespace
}  // namespace momiru::battle
