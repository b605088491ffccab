// The damage popup's bounce, one tick at a time.
#include "ui/popup_bounce.h"

#include <algorithm>

#include "data/arith.h"

namespace momiru::ui {

void PopupBounce::launch(std::int32_t left) {
  velocity_ = kStartVelocity;
  top_ = kStartTop;
  left_ = left;
}

PopupBounce::Step PopupBounce::tick() {
  ++ticksPlayed_;
  std::int32_t& v = velocity_;
  if (v < kLanding) {
    v += kGravity;
    top_ = saturate32(static_cast<double>(top_) + v);
    return Step::Moved;
  }
  ++v;
  return v > kLanding + kRestTicks ? Step::Ended : Step::Rested;
}

std::int64_t PopupBounce::endTick() const {
  return ticksPlayed_ + std::max(1, kLanding + kRestTicks + 1 - velocity_);
}

}  // namespace momiru::ui
