// Characters made in code for the battle tests and the benchmark.
#pragma once

#include <array>
#include <string>
#include <utility>

#include "data/game_state.h"

namespace momiru::testing {

using Parts = std::array<std::int32_t, kParts>;
using Moves = std::array<std::pair<const char*, std::int32_t>, kMoves>;

inline Combatant fighter(std::string name, Parts hp, Parts ofe, Parts def, const Moves& moves) {
  Combatant c;
  c.name = std::move(name);
  c.level = 10;
  c.hp = hp;
  c.attack = ofe;
  c.defence = def;
  for (std::size_t m = 0; m < kMoves; ++m) {
    c.moveNames[m] = moves[m].first;
    c.movePower[m] = moves[m].second;
  }
  return c;
}

// Slot moves: 0 special head, 1 repeat head, 2 normal arms, 3 normal legs, 4 normal torso,
// 5 to 7 empty.
inline const Moves kStandardMoves = {{{"H-S念力", 4},
                                      {"HR-１００頭突き", 3},
                                      {"A--ジャブ", 2},
                                      {"L--キック", 3},
                                      {"B--体当たり", 5},
                                      {"---NO DATA", 0},
                                      {"---NO DATA", 0},
                                      {"---NO DATA", 0}}};

inline GameState twoFighters() {
  GameState gs;
  gs.lineBreak = "\r\n";
  gs.combatant[0] = fighter("甲", {40, 30, 30, 30}, {5, 6, 7, 8}, {1, 2, 3, 4}, kStandardMoves);
  gs.combatant[1] = fighter("乙", {40, 30, 30, 30}, {5, 6, 7, 8}, {1, 2, 3, 4}, kStandardMoves);
  return gs;
}

// Two sane characters with ordinary values, with every kind of move.
inline GameState sanePair() {
  GameState gs;
  gs.lineBreak = "\r\n";
  gs.combatant[0] = fighter("kuma.datのクマ", {62, 48, 55, 80}, {9, 14, 12, 8}, {6, 5, 7, 9},
                            {{{"H-S念力", 8},
                              {"A--パンチ", 4},
                              {"AR-連続パンチ", 6},
                              {"L--キック", 5},
                              {"B--体当たり", 7},
                              {"---NO DATA", 0},
                              {"---NO DATA", 0},
                              {"---NO DATA", 0}}});
  gs.combatant[1] = fighter("tori.datのトリ", {55, 60, 42, 70}, {12, 10, 15, 9}, {5, 7, 4, 8},
                            {{{"HR-つつく", 3},
                              {"A--はばたき", 5},
                              {"L--ひっかき", 4},
                              {"L-Sかぎづめ", 9},
                              {"B--ずつき", 6},
                              {"H--にらむ", 2},
                              {"---NO DATA", 0},
                              {"---NO DATA", 0}}});
  return gs;
}

}  // namespace momiru::testing
