// Preparing the rules of a pairing.
#include "battle/rules.h"

namespace momiru::battle {

Rules::Rules(const GameState& gs) : halving_(formula::halving(gs.halveDamage)) {
  for (std::size_t s = 0; s < kSlots; ++s) {
    const Combatant& c = gs.combatant[s];
    Side& side = sides_[s];
    side.attack = c.attack;
    for (std::size_t part = 0; part < kParts; ++part) {
      side.defenceTerm[part] = formula::defenceTerm(c.defence[part]);
      side.defenceArgument[part] = formula::defenceArgument(c.defence[part]);
    }
    side.lettered = true;
    ActTest& act = side.act;
    act.beforeFirstLetter = std::numeric_limits<std::int32_t>::max();
    act.leastPower.fill(std::numeric_limits<std::int32_t>::max());
    act.lastPart = -1;
    for (std::size_t m = 0; m < kMoves; ++m) {
      const MoveCode code = parseMoveCode(c.moveNames[m]);
      codes_[s][m] = code;
      const std::int32_t power = c.movePower[m];
      side.moves[m] = Move{code.blank ? kNeverChosen : power, power, code.part, code.kind,
                           static_cast<std::uint8_t>(code.part >= 0 ? code.part : 0)};
      if (code.part >= 0) act.lastPart = code.part;
      if (code.part < 0 && !code.blank) side.lettered = false;
      std::int32_t& least = act.lastPart >= 0
                                ? act.leastPower[static_cast<std::size_t>(act.lastPart)]
                                : act.beforeFirstLetter;
      least = std::min(least, power);
    }
  }
  for (std::size_t s = 0; s < kSlots; ++s) {
    for (std::size_t part = 0; part < kParts; ++part) {
      startHp_[s][part] = std::max(gs.combatant[s].hp[part], 0);
    }
  }
}

BattleProgress Rules::start() const {
  BattleProgress p;
  p.hp = startHp_;
  for (std::size_t s = 0; s < kSlots; ++s) p.ableParts[s] = ablePartsOf(sides_[s].act, p.hp[s]);
  return p;
}

}  // namespace momiru::battle
