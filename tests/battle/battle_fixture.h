// A screen that writes down every request, for the engine tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "battle/screen_port.h"
#include "data/game_state.h"
#include "records.h"

namespace momiru::testing {

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
      for (const std::int32_t hp : c.hp) EXPECT_GE(hp, 0) << "HP below 0 after a status refresh";
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
