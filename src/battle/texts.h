// The texts that the battle screen and the result screen build from the game state, shared with
// the headless runners so that every front end says exactly the same.
#pragma once

#include <string>

#include "data/game_state.h"

namespace momiru::battle {

// `sts`'s two labels of one slot: `name12` ("Lv." level, a full-width space, the name) and `stas`
// (the heading and, per body part, its name, its values and an empty line). Reads the record as
// it is; the engine's sts() has set HP below 1 to 0 before it asks the screen to redraw.
struct StatusTexts {
  std::string name12;
  std::string stas;
};
StatusTexts statusTexts(const GameState& gs, int slot);

// The result screen's `Text1` (heading, names, empty line, BattleLog) and `Label1` (the outcome
// from WinNo and LoseNo; equal numbers mean a draw).
struct ResultTexts {
  std::string text1;
  std::string label1;
};
ResultTexts resultTexts(const GameState& gs);

}  // namespace momiru::battle
