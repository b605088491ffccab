// The steps in which the battle screen shows a turn, one step per tick of its step timer, and the
// idle ticks between them that give a player time to read. Rules decide the whole turn at once;
// these steps only pace the showing of it.
#pragma once

#include <cstdint>
#include <string_view>

namespace momiru::battle {

enum class Step : std::uint8_t {
  Announce,    // the move is chosen and announced
  PayCost,     // the performing part pays the move's power
  Blow,        // one blow lands or misses
  HitCount,    // the number of hits is told
  Judge,       // the turn is judged; the log takes the turn's lines
  EndTurn,     // the time gauges run again
  ShowResult,  // the battle is over: on to the result screen
};

struct StepInfo {
  Step step;
  std::string_view name;
  std::int32_t idleAfter;  // idle ticks after the step, before the next one acts
};

// Between two repetitions of a repeat move.
inline constexpr std::int32_t kIdleBetweenRepetitions = 2;
// After a judgement that ends the battle, before the result screen.
inline constexpr std::int32_t kIdleBeforeResult = 15;

// The steps of a turn in the order they come. A blow comes once per blow; the idle ticks after a
// blow are kIdleBetweenRepetitions when another repetition follows; after a judgement that ends
// the battle, kIdleBeforeResult and then ShowResult instead of EndTurn.
inline constexpr StepInfo kStepTable[] = {
    {Step::Announce, "announce", 0},
    {Step::PayCost, "pay cost", 0},
    {Step::Blow, "blow", 0},
    {Step::HitCount, "hit count", 1},
    {Step::Judge, "judge", 4},
    {Step::EndTurn, "end turn", 0},
    {Step::ShowResult, "show result", 0},
};

constexpr const StepInfo& stepInfo(Step s) { return kStepTable[static_cast<int>(s)]; }

// Ticks of the step timer that a turn takes to show: `blows` blows, judged with the battle
// going on or over (the result step included).
constexpr std::int32_t ticksOfTurn(std::int32_t blows, bool over) {
  std::int32_t ticks = 0;
  for (const StepInfo& s : kStepTable) {
    if (s.step == Step::ShowResult && !over) continue;
    if (s.step == Step::EndTurn && over) continue;
    const std::int32_t times = s.step == Step::Blow ? blows : 1;
    std::int32_t idle = s.idleAfter;
    if (s.step == Step::Judge && over) idle = kIdleBeforeResult;
    ticks += times * (1 + idle);
  }
  return ticks + (blows - 1) * kIdleBetweenRepetitions;
}

}  // namespace momiru::battle
