// Whole battles without a screen.
#include "battle/headless.h"

namespace momiru::battle {

namespace {

// The recorder needs the HP before each turn's cost; the rules report the HP after it.
struct RecordingLog {
  LogWriter& log;
  TurnRecorder& recorder;
  const BattleProgress& progress;

  void announced(int a, int m) {
    recorder.beforeTurn(progress);
    log.announced(a, m);
    recorder.announced(a, m);
  }
  void costPaid(int a, const BattleProgress& p) { recorder.costPaid(a, p); }
  void landed(int d, int t, std::int32_t damage, const BattleProgress& p) {
    log.landed(d, t, damage, p);
    recorder.landed(d, t, damage, p);
  }
  void missed(int d, int t) {
    log.missed(d, t);
    recorder.missed(d, t);
  }
  void hitsCounted(std::int32_t hits) {
    log.hitsCounted(hits);
    recorder.hitsCounted(hits);
  }
  void judged(const BattleProgress& p, bool logged) {
    log.judged(p, logged);
    recorder.judged(p, logged);
  }
};

}  // namespace

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
    RecordingLog both{log, recorder, p};
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
