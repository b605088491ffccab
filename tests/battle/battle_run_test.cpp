// A whole battle at the top of the range, and the status and result texts.
#include <gtest/gtest.h>

#include <limits>

#include "battle/battle_start.h"
#include "battle/headless.h"
#include "battle/texts.h"
#include "support/records.h"

namespace momiru::battle {
namespace {

using momiru::testing::sanePair;

// Paying a negative cost beyond the top of the range saturates there instead of overflowing.
// (The crafted battle signatures run every field at the ends of the range, under the sanitizer
// build too.)
TEST(WholeBattle, ACostHealingBeyondTheRangeSaturates) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  GameState gs = sanePair();
  gs.combatant[1].hp.fill(kMax);
  gs.combatant[1].movePower.fill(std::numeric_limits<std::int32_t>::min());
  gs.combatant[0].movePower.fill(kMax);
  gs.combatant[0].attack.fill(kMax);
  gs.combatant[1].defence.fill(std::numeric_limits<std::int32_t>::min());
  std::vector<TurnRecord> turns;
  playBattle(gs, 3, 5, &turns);
  ASSERT_FALSE(turns.empty());
  EXPECT_EQ(turns[0].costHpAfter, kMax);
}

TEST(Texts, StatusLabelsOfOneSlotAndTheResult) {
  GameState gs = sanePair();
  gs.combatant[1].level = 0;
  gs.combatant[1].hp = {0, 12, -3, 7};
  const StatusTexts t = statusTexts(gs, 1);
  EXPECT_EQ(t.nameLine, "Lv.0\u3000tori.datのトリ");
  EXPECT_EQ(t.statusBlock,
            "ステータス\r\n"
            "頭\r\nHP:0 OFE:12 DEF:5\r\n\r\n"
            "両腕\r\nHP:12 OFE:10 DEF:7\r\n\r\n"
            "両脚\r\nHP:-3 OFE:15 DEF:4\r\n\r\n"
            "胴体\r\nHP:7 OFE:9 DEF:8\r\n\r\n");

  gs.battleLog = "ログ\r\n";
  gs.winner = 1;
  gs.loser = 0;
  ResultTexts r = resultTexts(gs);
  EXPECT_EQ(r.logBox, "戦いの時の文章のログ\r\nkuma.datのクマ ＶＳ tori.datのトリ\r\n\r\nログ\r\n");
  EXPECT_EQ(r.outcome,
            "今回の勝負は\r\n\r\ntori.datのトリの勝ち！！\r\nkuma.datのクマは敗れました");
  gs.winner = 0;
  r = resultTexts(gs);
  EXPECT_EQ(r.outcome, "今回の勝負は\r\n\r\n引き分け！！");
}

// A battle's start: registered as the entry screen registers, read back from a state, and made
// into the state a battle runs from, which plays the battle of the same records and seed.
TEST(Start, PairingMarksEqualNamesAndKeepsTheRest) {
  const GameState pair = sanePair();
  const BattleStart apart = pairingStart(pair.combatant[0], pair.combatant[1], true, 9);
  EXPECT_EQ(apart.records, pair.combatant);
  EXPECT_EQ(apart.seed, 9u);
  EXPECT_TRUE(apart.halve);
  EXPECT_FALSE(apart.hitBackground);
  EXPECT_EQ(apart.speed, Settings::kDefaultSpeed);

  const BattleStart mirror = pairingStart(pair.combatant[0], pair.combatant[0], false);
  EXPECT_EQ(mirror.records[0].name, "kuma.datのクマ(1)");
  EXPECT_EQ(mirror.records[1].name, "kuma.datのクマ(2)");
  EXPECT_EQ(mirror.records[0].hp, pair.combatant[0].hp);
}

TEST(Start, ReadFromAStateWithItsSwitchesAndASpeedInRange) {
  const GameState gs = sanePair();
  Settings settings{1, 1, 0, 0};
  BattleStart start = startOf(gs, settings, 4);
  EXPECT_TRUE(start.hitBackground && start.halve && !start.messageBox);
  EXPECT_EQ(start.speed, Settings::kDefaultSpeed);  // a speed never set
  for (const auto& [speed, kept] : {std::pair{-5, Settings::kMinSpeed}, {40, 40}, {9999, 300}}) {
    settings.battleSpeed = speed;
    EXPECT_EQ(startOf(gs, settings, 4).speed, kept);
  }
  start.messageBox = true;
  start.speed = 77;
  EXPECT_EQ(startOf(startState(start), settingsOf(start), start.seed), start);
  // Without a screen: the state's records and halving, shown plainly at the default speed.
  const BattleStart plain = startOf(startState(start), start.seed);
  EXPECT_EQ(plain.records, start.records);
  EXPECT_TRUE(plain.halve && !plain.hitBackground && !plain.messageBox);
  EXPECT_EQ(plain.speed, Settings::kDefaultSpeed);
}

TEST(Start, TheStatePlaysTheBattleOfItsRecordsAndSeedWithCrLfLines) {
  BattleStart start = pairingStart(sanePair().combatant[0], sanePair().combatant[1], true, 31);
  GameState fromStart = startState(start);
  EXPECT_TRUE(fromStart.battleLog.empty());
  EXPECT_EQ(fromStart.winner, 0);
  GameState byHand = sanePair();
  byHand.halveDamage = 1;
  const Outcome a = playBattle(fromStart, start.seed);
  const Outcome b = playBattle(byHand, start.seed);
  EXPECT_EQ(a.turns, b.turns);
  EXPECT_EQ(fromStart.battleLog, byHand.battleLog);
  EXPECT_EQ(fromStart.combatant, byHand.combatant);
  // Every line of the log ends in CR LF.
  const std::string& log = fromStart.battleLog;
  ASSERT_FALSE(log.empty());
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i] == '\n') {
      EXPECT_TRUE(i > 0 && log[i - 1] == '\r') << "at " << i;
    }
  }
}

}  // namespace
}  // namespace momiru::battle
