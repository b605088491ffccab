// Whole battles without a screen.
#include "battle/headless.h"

namespace momiru::battle {

Outcome playBattle(GameState& gs, std::uint64_t seed, std::int32_t maxTurns,
                   std::vector<TurnRecord>* record) {
  gs.randomUnit.seed(seed);
  QuietScreen screen;
  BasicBattle<RandomUnit, QuietScreen, true> engine(gs, screen, gs.randomUnit);
  engine.load();
  if (record == nullptr) return drive(engine, screen, gs, maxTurns);
  TurnRecorder recorder;
  const Outcome out = drive(engine, screen, gs, maxTurns, recorder);
  *record = std::move(recorder.turns);
  return out;
}

template <bool kTexts>
BatchBattles<kTexts>::BatchBattles(const GameState& start)
    : gs_(start), startHp_{}, engine_(gs_, screen_, gs_.randomUnit) {
  for (std::size_t s = 0; s < kSlots; ++s) startHp_[s] = gs_.combatant[s].HP;
}

template <bool kTexts>
Outcome BatchBattles<kTexts>::play(std::uint64_t seed, std::int32_t maxTurns) {
  for (std::size_t s = 0; s < kSlots; ++s) gs_.combatant[s].HP = startHp_[s];
  gs_.WinNo = 0;
  gs_.LoseNo = 0;
  if constexpr (kTexts) gs_.BattleLog.clear();
  gs_.randomUnit.seed(seed);
  screen_ = QuietScreen{};
  engine_.load();
  return driveTurns(engine_, screen_, gs_, maxTurns);
}

template class BatchBattles<false>;
template class BatchBattles<true>;

}  // namespace momiru::battle
