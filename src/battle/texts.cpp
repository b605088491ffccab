// The battle's texts.
#include "battle/texts.h"

#include "data/arith.h"

namespace momiru::battle {

TurnTexts::TurnTexts(const GameState& gs) : TurnTexts(gs, nullptr) {}

TurnTexts::TurnTexts(const GameState& gs, std::string (*show)(std::string_view)) {
  const auto shown = [show](std::string_view text) {
    return show != nullptr ? show(text) : std::string(text);
  };
  const std::string lineBreak(kLineBreak);
  std::array<std::string, kSlots> names;
  for (std::size_t s = 0; s < kSlots; ++s) names[s] = shown(gs.combatant[s].name);
  for (std::size_t s = 0; s < kSlots; ++s) {
    const Combatant& c = gs.combatant[s];
    for (std::size_t m = 0; m < kMoves; ++m) {
      std::string& line = announce_[s][m];
      line = names[s];
      line += text::kNo;
      line += shown(parseMoveCode(c.moveNames[m]).displayName(c.moveNames[m]));
      line += text::kBang;
      line += lineBreak;
    }
    const std::string& loser = names[s];
    const std::string& winner = names[1 - s];
    damaged_[s] = loser + std::string(text::kDamageMid);
    fell_[s] = loser + std::string(text::kFell) + lineBreak + winner + std::string(text::kVictory);
    stuck_[s] =
        loser + std::string(text::kStuck) + lineBreak + winner + std::string(text::kVictory);
  }
  damageEnd_ = std::string(text::kDamageEnd) + lineBreak;
  missLine_ = std::string(text::kMissLine) + lineBreak;
  hitsEnd_ = std::string(text::kHits) + lineBreak;
  draw_ = std::string(text::kDrawA) + lineBreak + std::string(text::kDrawB);
}

const std::string& TurnTexts::judgement(Judgement j, int loser) const {
  if (j == Judgement::DefenderLost) return fell_[at(loser)];
  if (j == Judgement::AttackerLost) return stuck_[at(loser)];
  return draw_;
}

StatusTexts statusTexts(const GameState& gs, int slot) {
  return statusTexts(gs, slot, gs.combatant[static_cast<std::size_t>(slot)].name);
}

StatusTexts statusTexts(const GameState& gs, int slot, std::string_view name) {
  const Combatant& c = gs.combatant[static_cast<std::size_t>(slot)];
  StatusTexts t;
  t.nameLine = "Lv." + decimal(c.level) + "\u3000";
  t.nameLine += name;
  t.statusBlock = "ステータス";
  t.statusBlock += kLineBreak;
  for (std::size_t p = 0; p < kParts; ++p) {
    t.statusBlock += kPartNames[p];
    t.statusBlock += kLineBreak;
    t.statusBlock +=
        "HP:" + decimal(c.hp[p]) + " OFE:" + decimal(c.attack[p]) + " DEF:" + decimal(c.defence[p]);
    t.statusBlock += kLineBreak;
    t.statusBlock += kLineBreak;
  }
  return t;
}

ResultTexts resultTexts(const GameState& gs) {
  ResultTexts t;
  const std::string crlf(kLineBreak);
  t.logBox = "戦いの時の文章のログ" + crlf + gs.combatant[0].name + " ＶＳ " +
             gs.combatant[1].name + crlf + crlf + gs.battleLog;
  t.outcome = "今回の勝負は" + crlf + crlf;
  if (gs.winner == gs.loser) {
    t.outcome += "引き分け！！";
  } else {
    // Winner and loser are slots once a battle has ended; anything else reads as slot 0.
    const auto slotOf = [](std::int32_t n) { return n == 1 ? std::size_t{1} : std::size_t{0}; };
    t.outcome += gs.combatant[slotOf(gs.winner)].name + "の勝ち！！" + crlf +
                 gs.combatant[slotOf(gs.loser)].name + "は敗れました";
  }
  return t;
}

void showTexts(GameState& gs, std::string (*show)(std::string_view)) {
  for (Combatant& c : gs.combatant) {
    c.name = show(c.name);
    for (std::string& move : c.moveNames) {
      const std::size_t display = parseMoveCode(move).displayOffset;
      if (display < move.size()) move = move.substr(0, display) + show(move.substr(display));
    }
  }
}

}  // namespace momiru::battle
