// What the battle engine asks of the screen it runs on: the colosseum screen or a headless runner.
#pragma once

#include <cstdint>
#include <string_view>

namespace momiru::battle {

// Damage popup geometry in twips of the battle screen: the box starts at this top, 630 twips
// right of the defender's panel, and jumps with this starting speed (the screen's Timer3 then
// moves it and counts damVelocity up).
inline constexpr std::int32_t kDamTop = 5670;
inline constexpr std::int32_t kDamLeftFromPanel = 630;
inline constexpr std::int32_t kWakuLeft[2] = {0, 4200};
inline constexpr std::int32_t kDamStartVelocity = -350;

// One damage-number start: the text is the damage in decimal or "MISS!!".
struct DamagePopup {
  std::string_view text;
  int slot;  // the defender, over whose panel the number jumps
  std::int32_t top;
  std::int32_t left;
};

// All requests are synchronous and made from inside an engine tick. The engine keeps the text of
// the message panel `bun` itself and reports every change; nothing else writes that panel.
class BattleScreenPort {
 public:
  virtual ~BattleScreenPort() = default;

  virtual void panelTextChanged(std::string_view text) = 0;  // new text of `bun`
  virtual void showPanel(bool visible) = 0;                  // show or hide `bun`
  // `hai`(slot) shows `haikei`(1) when hit, `haikei`(0) otherwise. Only requested when
  // OptSw(0) = 1.
  virtual void setPanelBackground(int slot, bool hit) = 0;
  // `sts`: the engine has already set every HP below 1 to 0; the screen rebuilds `name12` and
  // `stas` of both slots, with statusTexts() (battle/texts.h).
  virtual void statusChanged() = 0;
  virtual void showDamage(const DamagePopup& popup) = 0;  // also start Timer3
  virtual void gaugeChanged(int slot) = 0;   // redraw gage(slot) from TimeGauge and gaugeFull
  virtual void snd1() = 0;                   // hit sound
  virtual void snd2() = 0;                   // special-hit sound
  virtual void setTimer1(bool enabled) = 0;  // the turn scheduler
  virtual void setTimer2(bool enabled) = 0;  // the battle steps
  // The battle is over: close the battle screen and show the result screen. This is the last
  // thing the engine does in that tick, so the screen may destroy the engine from here.
  virtual void closeBattle() = 0;
};

}  // namespace momiru::battle
