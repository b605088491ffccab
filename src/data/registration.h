// Registering the two entered characters for a battle: what counts as a character, and how two
// equal names are told apart. Shared by the entry screen and momiru-lab.
#pragma once

#include <string>

#include "data/game_state.h"

namespace momiru {

// A slot holds a character only when its level is not 0; a record of level 0 is refused at entry.
inline bool hasCharacter(const Combatant& c) { return c.level != 0; }

// When both names are equal, player 1's gets "(1)" and player 2's "(2)" appended, so the log and
// the result tell them apart.
inline void markEqualNames(GameState& gs) {
  if (gs.combatant[1].name != gs.combatant[0].name) return;
  for (std::size_t slot = 0; slot < kSlots; ++slot) {
    std::string& name = gs.combatant[slot].name;
    name += '(';
    name += std::to_string(slot + 1);
    name += ')';
  }
}

}  // namespace momiru
