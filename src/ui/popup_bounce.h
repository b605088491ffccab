// The damage popup's bounce, in twips and ticks of kTickMs: it starts at kStartTop and jumps;
// each tick moves it by its velocity, and gravity adds kGravity to the velocity until it reaches
// kLanding; it then rests kRestTicks ticks and disappears. Plain arithmetic that a test steps.
#pragma once

#include <cstdint>

namespace momiru::ui {

class PopupBounce {
 public:
  static constexpr int kTickMs = 10;
  static constexpr std::int32_t kStartTop = 5670;
  static constexpr std::int32_t kStartVelocity = -350;
  static constexpr std::int32_t kGravity = 50;
  static constexpr std::int32_t kLanding = 300;
  static constexpr std::int32_t kRestTicks = 10;

  // What one tick did: moved the popup, let it rest where it landed, or ended its rest (the
  // popup is hidden from then on).
  enum class Step { Moved, Rested, Ended };

  // At rest at kStartTop: its first run only drops it out of sight.
  explicit PopupBounce(std::int32_t left = 0) : left_(left) {}

  // A new blow: the bounce starts over from kStartTop at `left`.
  void launch(std::int32_t left);
  // Tick 0 is now.
  void restartClock() { ticksPlayed_ = 0; }
  Step tick();

  std::int32_t top() const { return top_; }
  std::int32_t left() const { return left_; }
  std::int64_t ticksPlayed() const { return ticksPlayed_; }
  bool landed() const { return velocity_ >= kLanding; }
  // Once landed, the tick (counted from the clock's restart) that ends the rest: nothing
  // changes on screen before it.
  std::int64_t endTick() const;

 private:
  std::int32_t top_ = kStartTop;
  std::int32_t left_ = 0;
  std::int32_t velocity_ = 0;  // twips per tick
  std::int64_t ticksPlayed_ = 0;
};

}  // namespace momiru::ui
