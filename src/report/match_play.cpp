// One match: the best-of count, the sides swapping, sudden death and the better seed's
// tie-break, and the battles played without a screen.
#include "report/match_play.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "data/strangers_file.h"
#include "replay/replay.h"
#include "report/league.h"
#include "report/tournament_draw.h"

namespace momiru::report {

// In odd battles players[0] is player 2, who acts first; in even ones the sides swap. A match of
// best of N ends when one side has won more than N/2 battles or N battles are played. In
// elimination a level match goes on for up to N more battles, the first win deciding; still
// level, the better seed goes through.
MatchPlay::MatchPlay(const Tournament& t, Match m) : t_(&t), match_(std::move(m)) {
  if (!t.seed) throw std::invalid_argument("the tournament has no seed");
  if (!match_.players[0] || !match_.players[1])
    throw std::invalid_argument("match " + match_.id + " is a bye, not played");
  match_.battles.clear();
  match_.winner.reset();
  elimination_ = t.rules.format == Format::Single || t.rules.format == Format::Double;
  if (t.rules.bestOf < 1) decide();
}

std::optional<MatchBattle> MatchPlay::nextBattle() const {
  if (over_) return std::nullopt;
  MatchBattle b;
  b.k = static_cast<int>(match_.battles.size()) + 1;
  const int a = *match_.players[0];
  const int other = *match_.players[1];
  const bool odd = b.k % 2 == 1;
  b.player1 = odd ? other : a;
  b.player2 = odd ? a : other;
  b.seed = battleSeedOf(*t_->seed, match_.id, b.k);
  return b;
}

void MatchPlay::record(BattleRecord r) {
  const std::optional<MatchBattle> next = nextBattle();
  if (!next) throw std::invalid_argument("match " + match_.id + " is decided already");
  const std::string which = "battle " + std::to_string(next->k) + " of match " + match_.id;
  if (r.seed != next->seed) throw std::invalid_argument(which + " has another seed");
  if (r.player1 != next->player1)
    throw std::invalid_argument(which + " has entry " + std::to_string(next->player1) +
                                " on the left, not " + std::to_string(r.player1));
  if (r.winner && *r.winner != next->player1 && *r.winner != next->player2)
    throw std::invalid_argument(which + " is won by entry " + std::to_string(*r.winner) +
                                ", who does not play in it");
  if (r.winner) (*r.winner == *match_.players[0] ? winsA_ : winsB_) += 1;
  match_.battles.push_back(std::move(r));
  const int k = next->k;
  const int bestOf = t_->rules.bestOf;
  const int need = bestOf / 2 + 1;
  const int limit = elimination_ ? 2 * bestOf : bestOf;
  bool stop = k >= limit;
  if (k <= bestOf) {
    stop = stop || winsA_ >= need || winsB_ >= need || (k == bestOf && winsA_ != winsB_);
  } else {
    stop = stop || winsA_ != winsB_;  // sudden death
  }
  if (stop) decide();
}

void MatchPlay::decide() {
  over_ = true;
  const int a = *match_.players[0];
  const int b = *match_.players[1];
  if (winsA_ != winsB_) {
    match_.winner = winsA_ > winsB_ ? a : b;
  } else if (elimination_) {
    const auto rank = [&](int e) {
      return std::find(t_->seeds.begin(), t_->seeds.end(), e) - t_->seeds.begin();
    };
    match_.winner = rank(a) < rank(b) ? a : b;
  }
}

battle::BattleStart tournamentBattleStart(const Tournament& t, const MatchBattle& b) {
  battle::BattleStart start = battle::pairingStart(
      t.entries.at(static_cast<std::size_t>(b.player1)).record,
      t.entries.at(static_cast<std::size_t>(b.player2)).record, t.rules.halve, b.seed);
  start.hitBackground = true;
  start.messageBox = true;
  return start;
}

BattleRecord battleRecordOf(const MatchBattle& b, const GameState& end,
                            const battle::Outcome& outcome) {
  BattleRecord r;
  r.seed = b.seed;
  r.player1 = b.player1;
  r.turns = outcome.turns;
  r.logSha256 = sha256Hex(end.battleLog);
  if (outcome.finished && outcome.winner >= 0)
    r.winner = outcome.winner == 0 ? b.player1 : b.player2;
  return r;
}

std::optional<replay::Replay> tournamentBattleReplay(const Tournament& t, const Match& m, int k,
                                                     const std::string& writtenBy) {
  if (k < 1 || static_cast<std::size_t>(k) > m.battles.size() || !m.players[0] || !m.players[1])
    return std::nullopt;
  const BattleRecord& r = m.battles[static_cast<std::size_t>(k - 1)];
  MatchBattle b;
  b.k = k;
  b.seed = r.seed;
  b.player1 = r.player1;
  b.player2 = *m.players[0] == r.player1 ? *m.players[1] : *m.players[0];
  const std::size_t n = t.entries.size();
  if (static_cast<std::size_t>(b.player1) >= n || static_cast<std::size_t>(b.player2) >= n)
    return std::nullopt;
  return replay::makeReplay(tournamentBattleStart(t, b),
                            {t.entries[static_cast<std::size_t>(b.player1)].file,
                             t.entries[static_cast<std::size_t>(b.player2)].file},
                            "1970-01-01T00:00:00Z", writtenBy);
}

Match playMatchHeadless(const Tournament& t, const Match& m) {
  if (!m.players[0] || !m.players[1]) {
    Match bye = m;
    bye.battles.clear();
    bye.winner = m.players[0] ? m.players[0] : m.players[1];
    return bye;
  }
  MatchPlay play(t, m);
  // One runner for each way round: the records are read once a match, not once a battle.
  std::optional<battle::BatchBattles<true>> runners[2];
  while (const std::optional<MatchBattle> b = play.nextBattle()) {
    auto& runner = runners[b->k % 2];
    if (!runner) runner.emplace(battle::startState(tournamentBattleStart(t, *b)));
    const battle::Outcome out = runner->play(b->seed);
    play.record(battleRecordOf(*b, runner->state(), out));
  }
  return play.match();
}

}  // namespace momiru::report
