// Records made in code and a screen that writes down every request, for the engine tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "battle/screen_port.h"
#include "data/game_state.h"

namespace momiru::testing {

using Parts = std::array<std::int32_t, kParts>;
using Moves = std::array<std::pair<const char*, std::int32_t>, kMoves>;

inline Combatant fighter(std::string name, Parts hp, Parts ofe, Parts def, const Moves& moves) {
  Combatant c;
  c.CharName = std::move(name);
  c.CharLv = 10;
  c.HP = hp;
  c.OFE = ofe;
  c.DEF = def;
  for (std::size_t m = 0; m < kMoves; ++m) {
    c.WazaName[m] = moves[m].first;
    c.WazaPow[m] = moves[m].second;
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
  gs.CrLf = "\r\n";
  gs.combatant[0] = fighter("甲", {40, 30, 30, 30}, {5, 6, 7, 8}, {1, 2, 3, 4}, kStandardMoves);
  gs.combatant[1] = fighter("乙", {40, 30, 30, 30}, {5, 6, 7, 8}, {1, 2, 3, 4}, kStandardMoves);
  return gs;
}

// Writes each request as a short word; checks the status clamp whenever the status is redrawn.
class RecordingScreen : public battle::BattleScreenPort {
 public:
  explicit RecordingScreen(const GameState& gs) : gs_(gs) {}

  void panelTextChanged(std::string_view text) override { panel = text; }
  void showPanel(bool visible) override { events.push_back(visible ? "show" : "hide"); }
  void setPanelBackground(int slot, bool hit) override {
    events.push_back("bg" + std::to_string(slot) + (hit ? ":hit" : ":normal"));
  }
  void statusChanged() override {
    events.push_back("sts");
    for (const Combatant& c : gs_.combatant) {
      for (const std::int32_t hp : c.HP) EXPECT_GE(hp, 0) << "HP below 0 after a status refresh";
    }
  }
  void showDamage(const battle::DamagePopup& p) override {
    events.push_back("dam " + std::string(p.text) + " " + std::to_string(p.slot) + " " +
                     std::to_string(p.top) + " " + std::to_string(p.left));
  }
  void gaugeChanged(int slot) override { events.push_back("gauge" + std::to_string(slot)); }
  void snd1() override { events.push_back("snd1"); }
  void snd2() override { events.push_back("snd2"); }
  void setTimer1(bool enabled) override {
    timer1 = enabled;
    events.push_back(enabled ? "t1on" : "t1off");
  }
  void setTimer2(bool enabled) override {
    timer2 = enabled;
    events.push_back(enabled ? "t2on" : "t2off");
  }
  void closeBattle() override {
    closed = true;
    timer1 = timer2 = false;
    events.push_back("close");
  }

  std::vector<std::string> events;
  std::string panel;
  bool timer1 = true;
  bool timer2 = false;
  bool closed = false;

 private:
  const GameState& gs_;
};

}  // namespace momiru::testing
