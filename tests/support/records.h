// Characters made in code for the battle tests and the benchmark.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "data/game_state.h"

namespace momiru::testing {

using Parts = std::array<std::int32_t, kParts>;

// The slots past the moves given are empty ("---NO DATA", power 0).
inline Combatant fighter(std::string name, Parts hp, Parts ofe, Parts def,
                         const std::vector<const char*>& moves,
                         const std::vector<std::int32_t>& power) {
  Combatant c;
  c.name = std::move(name);
  c.level = 10;
  c.hp = hp;
  c.attack = ofe;
  c.defence = def;
  for (std::size_t m = 0; m < kMoves; ++m) {
    c.moveNames[m] = m < moves.size() ? moves[m] : "---NO DATA";
    c.movePower[m] = m < power.size() ? power[m] : 0;
  }
  return c;
}

// Slot moves: 0 special head, 1 repeat head, 2 normal arms, 3 normal legs, 4 normal torso,
// 5 to 7 empty.
inline GameState twoFighters() {
  GameState gs;
  const char* const names[] = {"甲", "乙"};
  for (std::size_t s = 0; s < 2; ++s) {
    gs.combatant[s] = fighter(
        names[s], {40, 30, 30, 30}, {5, 6, 7, 8}, {1, 2, 3, 4},
        {"H-S念力", "HR-１００頭突き", "A--ジャブ", "L--キック", "B--体当たり"}, {4, 3, 2, 3, 5});
  }
  return gs;
}

// Two sane characters with ordinary values, with every kind of move.
inline GameState sanePair() {
  GameState gs;
  gs.combatant[0] = fighter("kuma.datのクマ", {62, 48, 55, 80}, {9, 14, 12, 8}, {6, 5, 7, 9},
                            {"H-S念力", "A--パンチ", "AR-連続パンチ", "L--キック", "B--体当たり"},
                            {8, 4, 6, 5, 7});
  gs.combatant[1] =
      fighter("tori.datのトリ", {55, 60, 42, 70}, {12, 10, 15, 9}, {5, 7, 4, 8},
              {"HR-つつく", "A--はばたき", "L--ひっかき", "L-Sかぎづめ", "B--ずつき", "H--にらむ"},
              {3, 5, 4, 9, 6, 2});
  return gs;
}

// Two characters whose one move costs nothing and hits for the least damage, with hit points
// that outlast the turn limit: every battle between them is unfinished after 10,000 turns. The
// values fit a save-data file.
inline GameState endlessPair() {
  GameState gs;
  const char* const names[] = {"a.datのカメ", "b.datのイワ"};
  for (std::size_t s = 0; s < 2; ++s) {
    gs.combatant[s] = fighter(names[s], {30000, 30000, 30000, 30000}, {1, 1, 1, 1}, {1, 1, 1, 1},
                              {"B--体当たり"}, {0});
  }
  return gs;
}

}  // namespace momiru::testing
