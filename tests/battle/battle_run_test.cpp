// A whole battle at the top of the range, and the status and result texts.
#include <gtest/gtest.h>

#include <limits>

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
  EXPECT_EQ(r.outcome, "今回の勝負は\r\n\r\ntori.datのトリの勝ち！！\r\nkuma.datのクマは敗れました");
  gs.winner = 0;
  r = resultTexts(gs);
  EXPECT_EQ(r.outcome, "今回の勝負は\r\n\r\n引き分け！！");
}

}  // namespace
}  // namespace momiru::battle
