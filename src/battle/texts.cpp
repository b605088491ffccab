// Status and result texts.
#include "battle/texts.h"

#include "data/arith.h"

namespace momiru::battle {

StatusTexts statusTexts(const GameState& gs, int slot) {
  const Combatant& c = gs.combatant[static_cast<std::size_t>(slot)];
  StatusTexts t;
  t.name12 = "Lv." + decimal(c.level) + "\u3000" + c.name;
  t.stas = "ステータス" + gs.lineBreak;
  for (std::size_t p = 0; p < kParts; ++p) {
    t.stas += kPartNames[p];
    t.stas += gs.lineBreak;
    t.stas += "HP:" + decimal(c.hp[p]) + " OFE:" + decimal(c.attack[p]) + " DEF:" + decimal(c.defence[p]);
    t.stas += gs.lineBreak;
    t.stas += gs.lineBreak;
  }
  return t;
}

ResultTexts resultTexts(const GameState& gs) {
  ResultTexts t;
  const std::string& crlf = gs.lineBreak;
  t.text1 = "戦いの時の文章のログ" + crlf + gs.combatant[0].name + " ＶＳ " +
            gs.combatant[1].name + crlf + crlf + gs.battleLog;
  t.label1 = "今回の勝負は" + crlf + crlf;
  if (gs.winner == gs.loser) {
    t.label1 += "引き分け！！";
  } else {
    // WinNo and LoseNo are slots once a battle has ended; anything else reads as slot 0.
    const auto slotOf = [](std::int32_t n) { return n == 1 ? std::size_t{1} : std::size_t{0}; };
    t.label1 += gs.combatant[slotOf(gs.winner)].name + "の勝ち！！" + crlf +
                gs.combatant[slotOf(gs.loser)].name + "は敗れました";
  }
  return t;
}

}  // namespace momiru::battle
