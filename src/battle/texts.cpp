// Status and result texts.
#include "battle/texts.h"

#include "data/arith.h"

namespace momiru::battle {

StatusTexts statusTexts(const GameState& gs, int slot) {
  const Combatant& c = gs.combatant[static_cast<std::size_t>(slot)];
  StatusTexts t;
  t.name12 = "Lv." + decimal(c.CharLv) + "\u3000" + c.CharName;
  t.stas = "ステータス" + gs.CrLf;
  for (std::size_t p = 0; p < kParts; ++p) {
    t.stas += kPartNames[p];
    t.stas += gs.CrLf;
    t.stas += "HP:" + decimal(c.HP[p]) + " OFE:" + decimal(c.OFE[p]) + " DEF:" + decimal(c.DEF[p]);
    t.stas += gs.CrLf;
    t.stas += gs.CrLf;
  }
  return t;
}

ResultTexts resultTexts(const GameState& gs) {
  ResultTexts t;
  const std::string& crlf = gs.CrLf;
  t.text1 = "戦いの時の文章のログ" + crlf + gs.combatant[0].CharName + " ＶＳ " +
            gs.combatant[1].CharName + crlf + crlf + gs.BattleLog;
  t.label1 = "今回の勝負は" + crlf + crlf;
  if (gs.WinNo == gs.LoseNo) {
    t.label1 += "引き分け！！";
  } else {
    // WinNo and LoseNo are slots once a battle has ended; anything else reads as slot 0.
    const auto slotOf = [](std::int32_t n) { return n == 1 ? std::size_t{1} : std::size_t{0}; };
    t.label1 += gs.combatant[slotOf(gs.WinNo)].CharName + "の勝ち！！" + crlf +
                gs.combatant[slotOf(gs.LoseNo)].CharName + "は敗れました";
  }
  return t;
}

}  // namespace momiru::battle
