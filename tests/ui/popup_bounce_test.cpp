// The damage popup's bounce stepped tick by tick, without a screen.
#include "ui/popup_bounce.h"

#include <gtest/gtest.h>

#include <vector>

namespace momiru::ui {
namespace {

using Step = PopupBounce::Step;

// Ticks until the bounce ends (at most `limit`): the top after each tick and what it did.
struct Flight {
  std::vector<std::int32_t> tops;
  std::vector<Step> steps;
};
Flight runToTheEnd(PopupBounce& bounce, int limit = 100) {
  Flight flight;
  for (int i = 0; i < limit; ++i) {
    flight.steps.push_back(bounce.tick());
    flight.tops.push_back(bounce.top());
    if (flight.steps.back() == Step::Ended) break;
  }
  return flight;
}

// A blow's bounce: up and down for 13 ticks, landing where it started, 10 at rest, hidden at
// the 24th.
TEST(PopupBounce, ABlowJumpsLandsWhereItStartedRestsAndEndsAtTheTwentyFourthTick) {
  PopupBounce bounce;
  bounce.launch(4830);
  EXPECT_EQ(bounce.top(), PopupBounce::kStartTop);
  EXPECT_EQ(bounce.left(), 4830);
  const Flight flight = runToTheEnd(bounce);
  const std::vector<std::int32_t> tops = {5370, 5120, 4920, 4770, 4670, 4620, 4620, 4670,
                                          4770, 4920, 5120, 5370, 5670, 5670, 5670, 5670,
                                          5670, 5670, 5670, 5670, 5670, 5670, 5670, 5670};
  EXPECT_EQ(flight.tops, tops);
  ASSERT_EQ(flight.steps.size(), 24u);
  for (std::size_t t = 0; t < flight.steps.size(); ++t) {
    const Step want = t < 13 ? Step::Moved : t < 23 ? Step::Rested : Step::Ended;
    EXPECT_EQ(flight.steps[t], want) << "tick " << t + 1;
  }
  EXPECT_EQ(bounce.ticksPlayed(), 24);
  EXPECT_EQ(bounce.left(), 4830);
}

// The run at the battle's start, from rest: it only drops the hidden popup below its start and
// ends after 17 ticks.
TEST(PopupBounce, TheRunFromRestDropsOutOfSightAndEnds) {
  PopupBounce bounce(42);
  const Flight flight = runToTheEnd(bounce);
  EXPECT_EQ(flight.steps.size(), 17u);
  EXPECT_EQ(flight.steps.back(), Step::Ended);
  EXPECT_EQ(bounce.top(), PopupBounce::kStartTop + 1050);
  EXPECT_EQ(bounce.left(), 42);
}

// Once landed, the end is known: nothing changes on screen before it, so the timer waits for it.
TEST(PopupBounce, OnceLandedTheTickThatEndsTheRestIsKnown) {
  PopupBounce bounce;
  bounce.launch(0);
  bounce.restartClock();
  for (int t = 1; t <= 13; ++t) {
    EXPECT_FALSE(bounce.landed()) << t;
    bounce.tick();
  }
  // Landed at tick 13 with its velocity at the landing: the rest ends at tick 24.
  for (int t = 13; t < 23; ++t) {
    ASSERT_TRUE(bounce.landed());
    EXPECT_EQ(bounce.endTick(), 24) << "at tick " << t;
    EXPECT_EQ(bounce.tick(), Step::Rested);
  }
  EXPECT_EQ(bounce.endTick(), 24);
  EXPECT_EQ(bounce.tick(), Step::Ended);
}

// A new blow mid-air starts the bounce over, and a restarted clock counts from 0 again.
TEST(PopupBounce, ANewBlowMidAirStartsItOver) {
  PopupBounce bounce;
  bounce.launch(0);
  for (int i = 0; i < 5; ++i) bounce.tick();
  EXPECT_EQ(bounce.top(), 4670);
  bounce.launch(630);
  bounce.restartClock();
  EXPECT_EQ(bounce.ticksPlayed(), 0);
  EXPECT_EQ(bounce.top(), PopupBounce::kStartTop);
  EXPECT_EQ(bounce.tick(), Step::Moved);
  EXPECT_EQ(bounce.top(), 5370);
  EXPECT_EQ(bounce.left(), 630);
}

}  // namespace
}  // namespace momiru::ui
