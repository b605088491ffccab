// Whole battles: a golden log for a fixed seed, properties over many seeds, the screen path
// against the headless runner, extreme records, and the status texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <regex>
#include <sstream>

#include "battle/battle_player.h"
#include "battle/headless.h"
#include "battle/texts.h"
#include "records.h"

namespace momiru::battle {
namespace {

using momiru::testing::sanePair;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string withCrLf(const std::string& lf) {
  std::string out;
  for (const char c : lf) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(WholeBattle, GoldenLogForAFixedSeed) {
  GameState gs = sanePair();
  const Outcome out = playBattle(gs, 20240601);
  ASSERT_TRUE(out.finished);
  const std::string path = MOMIRU_SOURCE_DIR "/tests/battle/data/golden_battle_20240601.txt";
  const ResultTexts texts = resultTexts(gs);
  const std::string actual = texts.text1 + "\r\n\r\n" + texts.label1 + "\r\n";
  if (std::getenv("MOMIRU_UPDATE_GOLDEN") != nullptr) {
    std::string lf = actual;
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    std::ofstream(path, std::ios::binary) << lf;
  }
  EXPECT_EQ(actual, withCrLf(readFile(path)));
}

// A screen that only runs the timers: the gauges until a turn starts, the steps until it ends.
struct TimersOnly : BattleView {
  void gaugeChanged(int) override {}
  void turnStarted(int) override { stepTimer = true; }
  void messageChanged(std::string_view) override {}
  void statusChanged() override {}
  void blowLanded(int, std::int32_t, MoveKind) override {}
  void blowMissed(int) override {}
  void turnEnded(int, int) override { stepTimer = false; }
  void battleOver() override { over = true; }
  bool stepTimer = false;
  bool over = false;
};

// The screen's player (every tick, idle ones included) and the headless run play the same
// battle from the same seed.
TEST(WholeBattle, ScreenPlayerAndHeadlessRunAgreeOverManySeeds) {
  for (std::uint64_t seed = 1; seed <= 200; ++seed) {
    GameState onScreen = sanePair();
    onScreen.settings = {1, static_cast<std::int32_t>(seed % 2), 1, 0};
    GameState headless = onScreen;

    onScreen.randomUnit.seed(seed);
    TimersOnly screen;
    BattlePlayer player(onScreen, screen);
    player.load();
    int ticks = 0;
    while (!screen.over && ticks < 1000000) {
      if (screen.stepTimer) {
        player.stepTick();
      } else {
        player.schedulerTick();
      }
      ++ticks;
    }
    ASSERT_TRUE(screen.over) << "seed " << seed;

    const Outcome out = playBattle(headless, seed);
    ASSERT_TRUE(out.finished) << "seed " << seed;
    EXPECT_EQ(onScreen.battleLog, headless.battleLog) << "seed " << seed;
    EXPECT_EQ(onScreen.winner, headless.winner);
    EXPECT_EQ(onScreen.loser, headless.loser);
    EXPECT_EQ(onScreen.combatant, headless.combatant);
    EXPECT_EQ(player.judgement(), out.judgement);
  }
}

TEST(WholeBattle, SaneBattlesEndAndTheirRecordsMatchTheLog) {
  const std::regex hitLine("([0-9]+)回ヒットした！");
  for (std::uint64_t seed = 1000; seed < 1500; ++seed) {
    GameState gs = sanePair();
    gs.settings.halveDamage = seed % 3 == 0 ? 1 : 0;
    std::vector<TurnRecord> turns;
    const Outcome out = playBattle(gs, seed, 500, &turns);
    ASSERT_TRUE(out.finished) << "seed " << seed;
    ASSERT_EQ(turns.size(), static_cast<std::size_t>(out.turns));
    EXPECT_EQ(out.winner == -1,
              out.judgement == Judgement::BothFell || out.judgement == Judgement::NeitherCanAct);
    if (out.winner != -1) {
      EXPECT_EQ(out.winner, gs.winner);
      EXPECT_EQ(out.loser, 1 - out.winner);
    }

    std::vector<int> loggedHits;
    for (auto it = std::sregex_iterator(gs.battleLog.begin(), gs.battleLog.end(), hitLine);
         it != std::sregex_iterator(); ++it) {
      loggedHits.push_back(std::stoi((*it)[1]));
    }
    ASSERT_EQ(loggedHits.size(), turns.size()) << "seed " << seed;
    for (std::size_t t = 0; t < turns.size(); ++t) {
      const TurnRecord& turn = turns[t];
      EXPECT_EQ(turn.attacker, t % 2 == 0 ? 1 : 0);
      int hits = 0;
      for (const BlowRecord& b : turn.blows) hits += b.damage.has_value() ? 1 : 0;
      EXPECT_EQ(hits, loggedHits[t]);
      ASSERT_FALSE(turn.blows.empty());
      if (turn.kind == MoveKind::Repeat) {
        EXPECT_LE(hits, 5);
        EXPECT_EQ(turn.blows.size(), static_cast<std::size_t>(hits) + 1);  // ends in a miss
      } else {
        EXPECT_EQ(turn.blows.size(), 1u);
      }
      for (const BlowRecord& b : turn.blows) {
        if (b.damage) {
          EXPECT_GE(*b.damage, 1);
        }
      }
      const auto& attacker = gs.combatant[static_cast<std::size_t>(turn.attacker)];
      const std::int32_t power = attacker.movePower[static_cast<std::size_t>(turn.move)];
      if (gs.settings.halveDamage == 0) {
        EXPECT_EQ(turn.costHpAfter, turn.costHpBefore - power);
      }
    }
  }
}

// Every field at the ends of the 32-bit range: costs and damage saturate instead of overflowing
// (the sanitizer build checks that nothing undefined happens on the way).
TEST(WholeBattle, ExtremeRecordsRunWithoutOverflow) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const std::int32_t values[] = {kMax, kMin, -kMax, 0, -1};
  for (const std::int32_t hp : values) {
    for (const std::int32_t pow : values) {
      for (const std::int32_t stat : values) {
        GameState gs = sanePair();
        gs.settings.halveDamage = pow == kMin ? 1 : 0;
        for (Combatant& c : gs.combatant) {
          c.hp.fill(hp);
          c.attack.fill(stat);
          c.defence.fill(stat == kMax ? kMin : kMax);
          c.movePower.fill(pow);
        }
        for (std::uint64_t seed = 0; seed < 3; ++seed) {
          GameState g = gs;
          const Outcome out = playBattle(g, seed, 200);
          if (out.finished) {
            EXPECT_TRUE(isOver(out.judgement));
          } else {
            EXPECT_EQ(out.turns, 200);
          }
        }
      }
    }
  }
  GameState gs = sanePair();
  gs.combatant[1].hp.fill(kMax);
  gs.combatant[1].movePower.fill(kMin);  // paying heals beyond the range: saturates at the top
  gs.combatant[0].movePower.fill(kMax);
  gs.combatant[0].attack.fill(kMax);
  gs.combatant[1].defence.fill(kMin);
  std::vector<TurnRecord> turns;
  playBattle(gs, 3, 5, &turns);
  ASSERT_FALSE(turns.empty());
  EXPECT_EQ(turns[0].costHpAfter, kMax);
}

TEST(Texts, StatusLabelsOfOneSlot) {
  GameState gs = sanePair();
  gs.combatant[1].level = 0;
  gs.combatant[1].hp = {0, 12, -3, 7};
  const StatusTexts t = statusTexts(gs, 1);
  EXPECT_EQ(t.name12, "Lv.0\u3000tori.datのトリ");
  EXPECT_EQ(t.stas,
            "ステータス\r\n"
            "頭\r\nHP:0 OFE:12 DEF:5\r\n\r\n"
            "両腕\r\nHP:12 OFE:10 DEF:7\r\n\r\n"
            "両脚\r\nHP:-3 OFE:15 DEF:4\r\n\r\n"
            "胴体\r\nHP:7 OFE:9 DEF:8\r\n\r\n");
}

}  // namespace
}  // namespace momiru::battle
