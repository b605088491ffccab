// One match of a tournament, battle by battle, on screen or without one: the battle to play
// next, the state it starts from, its record, and a played battle as a replay.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "battle/battle_start.h"
#include "battle/headless.h"
#include "data/game_state.h"
#include "report/tournament.h"

namespace momiru::replay {
struct Replay;
}

namespace momiru::report {

// The next battle of a match: battle k (from 1) with its derived seed, `player1` on the left and
// `player2`, who acts first, on the right.
struct MatchBattle {
  int k = 0;
  std::uint64_t seed = 0;
  int player1 = 0;
  int player2 = 0;
};

// One match, battle by battle: the best-of count, the sides swapping, sudden death and the
// better seed's tie-break of elimination, written once for the headless run and the screen.
class MatchPlay {
 public:
  // `m` has both players; `t` has its seed and seeds.
  MatchPlay(const Tournament& t, Match m);

  // The battle to play next, or nothing once the match is decided.
  std::optional<MatchBattle> nextBattle() const;
  // Records the battle nextBattle() named, played. Throws std::invalid_argument when `r` is not
  // that battle (another seed or left player).
  void record(BattleRecord r);
  bool decided() const { return !nextBattle(); }
  // The match so far; its winner is set once decided.
  const Match& match() const { return match_; }

 private:
  const Tournament* t_;
  Match match_;
  bool elimination_ = false;
  int winsA_ = 0;
  int winsB_ = 0;
  bool over_ = false;
  void decide();
};

// The start of battle `b` of the tournament: the two records as registered ("(1)"/"(2)" on equal
// names), its seed, the tournament's halving, and both switches on at the usual speed, as a
// tournament's battle is watched unless the player's own switches are put in.
battle::BattleStart tournamentBattleStart(const Tournament& t, const MatchBattle& b);
// The record of battle `b`, played from tournamentBattleStart to its end (finished or stopped at
// battle::kDefaultMaxTurns turns) and left in `end`.
BattleRecord battleRecordOf(const MatchBattle& b, const GameState& end,
                            const battle::Outcome& outcome);
// Battle k (from 1) of a played match as a replay, for the viewer and `tournament battle`.
// Nothing when the match has no such battle.
std::optional<replay::Replay> tournamentBattleReplay(const Tournament& t, const Match& m, int k,
                                                     const std::string& writtenBy);
// The battles of a match played without a screen.
Match playMatchHeadless(const Tournament& t, const Match& m);

}  // namespace momiru::report
