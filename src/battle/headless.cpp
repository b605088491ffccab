// Whole battles without a screen.
#include "battle/headless.h"

namespace momiru::battle {

Outcome playBattle(GameState& gs, std::uint64_t seed, std::int32_t maxTurns,
                   std::vector<TurnRecord>* record) {
  gs.randomUnit.seed(seed);
  const Rules rules(gs);
  const TurnTexts texts(gs);
  BattleProgress p = rules.start();
  LogWriter log(texts, gs.battleLog);
  Outcome out;
  if (record == nullptr) {
    out = rules.playBattle(p, gs.randomUnit, log, maxTurns);
  } else {
    TurnRecorder recorder(rules, *record);
    BothSinks<LogWriter, TurnRecorder> both{log, recorder};
    out = rules.playBattle(p, gs.randomUnit, both, maxTurns);
  }
  for (std::size_t s = 0; s < kSlots; ++s) gs.combatant[s].hp = p.hp[s];
  gs.winner = p.winner;
  gs.loser = p.loser;
  return out;
}

template class BatchBattles<false>;
template class BatchBattles<true>;

}  // namespace momiru::battle
