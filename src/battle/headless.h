// Battles without a screen, for momiru-lab, the tests and the benchmarks: the turns the rules
// decide, played back to back with no pauses, and stopped at a turn limit.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "battle/rules.h"
#include "battle/texts.h"
#include "data/game_state.h"

namespace momiru::battle {

// One blow of a recorded turn.
struct BlowRecord {
  MoveKind kind = MoveKind::Normal;
  std::int32_t target = 0;
  std::optional<std::int32_t> damage;  // nothing for a miss
  Hp hpAfter{};                        // both sides after the blow and its status refresh
};

// One recorded turn: the move, its cost on the performing part, its blows, and how it was judged.
struct TurnRecord {
  std::int32_t attacker = 0;
  std::int32_t move = 0;
  std::int32_t part = 0;  // the performing part
  MoveKind kind = MoveKind::Normal;
  std::int32_t costHpBefore = 0;
  std::int32_t costHpAfter = 0;
  Hp hpAfterCost{};
  std::vector<BlowRecord> blows;
  std::int32_t hits = 0;
  Judgement judgement = Judgement::None;
  std::int32_t winner = 0;
  std::int32_t loser = 0;
  Hp hp{};  // both sides after the judgement
};

// A sink that writes every turn down.
class TurnRecorder {
 public:
  explicit TurnRecorder(const Rules& rules, std::vector<TurnRecord>& turns)
      : rules_(rules), turns_(turns) {}

  void announced(int attacker, int move) {
    TurnRecord& t = turns_.emplace_back();
    t.attacker = attacker;
    t.move = move;
    t.kind = rules_.code(attacker, move).kind;
  }
  void costPaid(int attacker, std::int32_t hpBefore, const BattleProgress& p) {
    TurnRecord& t = turns_.back();
    t.part = p.attackPart;
    t.costHpBefore = hpBefore;
    t.costHpAfter =
        p.hp[static_cast<std::size_t>(attacker)][static_cast<std::size_t>(p.attackPart)];
    t.hpAfterCost = p.hp;
  }
  void landed(int, int target, std::int32_t damage, const BattleProgress& p) {
    turns_.back().blows.push_back(BlowRecord{turns_.back().kind, target, damage, p.hp});
  }
  void missed(int, int target) {
    TurnRecord& t = turns_.back();
    t.blows.push_back(BlowRecord{t.kind, target, std::nullopt, {}});
    t.blows.back().hpAfter =
        t.blows.size() > 1 ? t.blows[t.blows.size() - 2].hpAfter : t.hpAfterCost;
  }
  void hitsCounted(std::int32_t hits) { turns_.back().hits = hits; }
  void judged(const BattleProgress& p, bool) {
    TurnRecord& t = turns_.back();
    t.judgement = p.judgement;
    t.winner = p.winner;
    t.loser = p.loser;
    t.hp = p.hp;
  }

 private:
  const Rules& rules_;
  std::vector<TurnRecord>& turns_;
};

// Plays one whole battle of gs's two records with texts, as the screen would show it: gs.randomUnit
// is seeded with `seed`; the HP, battleLog, winner and loser are left as the result screen reads
// them. Turns are recorded when `record` is given.
Outcome playBattle(GameState& gs, std::uint64_t seed, std::int32_t maxTurns = kDefaultMaxTurns,
                   std::vector<TurnRecord>* record = nullptr);

// Many battles of one pairing, each from the records as they were given: the same battles, draw
// for draw, as playBattle, for batch simulations. With kTexts the log is built too, into the
// runner's own GameState, emptied before each battle. state() holds the records' HP, winner,
// loser and battleLog as the last battle left them.
template <bool kTexts>
class BatchBattles {
 public:
  explicit BatchBattles(const GameState& start) : gs_(start), rules_(start), texts_(start) {
    if constexpr (kTexts) gs_.battleLog.reserve(16384);
  }

  Outcome play(std::uint64_t seed, std::int32_t maxTurns = kDefaultMaxTurns) {
    RandomUnit random(seed);
    BattleProgress p = rules_.start();
    Outcome out;
    if constexpr (kTexts) {
      gs_.battleLog.clear();
      LogWriter log(texts_, gs_.battleLog);
      out = rules_.playBattle(p, random, log, maxTurns);
    } else {
      IgnoreEvents none;
      out = rules_.playBattle(p, random, none, maxTurns);
    }
    for (std::size_t s = 0; s < kSlots; ++s) gs_.combatant[s].hp = p.hp[s];
    gs_.randomUnit = random;
    gs_.winner = p.winner;
    gs_.loser = p.loser;
    return out;
  }

  const GameState& state() const { return gs_; }

 private:
  GameState gs_;
  Rules rules_;
  TurnTexts texts_;
};

extern template class BatchBattles<false>;
extern template class BatchBattles<true>;

}  // namespace momiru::battle
