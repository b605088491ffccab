// A tournament played a match at a time: one match battle by battle, the schedule of each
// format growing as results come in, the matches of a stranger's file taken in with care, the
// secret file and the draw's values made from it.
#include "report/tournament_play.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "battle/battle_player.h"
#include "data/platform.h"
#include "replay/replay.h"
#include "report/league.h"
#include "report/run_jobs.h"

namespace momiru::report {

// --- one match ------------------------------------------------------------------------------

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

GameState tournamentBattleState(const Tournament& t, const MatchBattle& b) {
  return pairingState(t.entries.at(static_cast<std::size_t>(b.player1)).record,
                      t.entries.at(static_cast<std::size_t>(b.player2)).record, t.rules.halve);
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

std::optional<battle::Replay> tournamentBattleReplay(const Tournament& t, const Match& m, int k,
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
  GameState start = tournamentBattleState(t, b);
  start.settings.showHitBackground = 1;
  start.settings.showMessageBox = 1;
  start.settings.battleSpeed = 150;
  return battle::makeReplay(start,
                            {t.entries[static_cast<std::size_t>(b.player1)].file,
                             t.entries[static_cast<std::size_t>(b.player2)].file},
                            b.seed, "1970-01-01T00:00:00Z", writtenBy);
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
    if (!runner) runner.emplace(tournamentBattleState(t, *b));
    const battle::Outcome out = runner->play(b->seed);
    play.record(battleRecordOf(*b, runner->state(), out));
  }
  return play.match();
}

namespace {

// --- brackets -------------------------------------------------------------------------------

struct Slot {
  enum Kind { Entry, Winner, Loser } kind = Entry;
  int ref = -1;  // an entry (-1 for a bye), or a plan's index
};

struct Plan {
  Match match;
  std::array<Slot, 2> from;
};

// The seed positions of a bracket of `size` (a power of two): 1 meets size, 2 meets size-1, and
// the top seeds meet as late as possible.
std::vector<int> bracketOrder(int size) {
  std::vector<int> order{1};
  for (int m = 1; m < size; m *= 2) {
    std::vector<int> next;
    for (const int s : order) {
      next.push_back(s);
      next.push_back(2 * m + 1 - s);
    }
    order = std::move(next);
  }
  return order;
}

int bracketSize(std::size_t n) {
  int size = 1;
  while (static_cast<std::size_t>(size) < n) size *= 2;
  return size;
}

std::string matchId(const char* prefix, int round, int number) {
  return std::string(prefix) + std::to_string(round) + "-" + std::to_string(number);
}

Plan plan(std::string id, int round, Bracket bracket, Slot a, Slot b) {
  Plan p;
  p.match.id = std::move(id);
  p.match.round = round;
  p.match.bracket = bracket;
  p.from = {a, b};
  return p;
}

// The winners' bracket: its rounds' plans, first round first. Returns the first plan of each
// round.
std::vector<std::size_t> winnersBracket(std::vector<Plan>& plans, const std::vector<int>& seeds,
                                        const char* prefix) {
  const int size = bracketSize(seeds.size());
  const std::vector<int> order = bracketOrder(size);
  std::vector<std::size_t> roundStart;
  roundStart.push_back(plans.size());
  for (int j = 0; j < size / 2; ++j) {
    Slot s[2];
    for (int k = 0; k < 2; ++k) {
      const int seed = order[static_cast<std::size_t>(2 * j + k)];
      s[k] = {Slot::Entry, seed <= static_cast<int>(seeds.size())
                               ? seeds[static_cast<std::size_t>(seed - 1)]
                               : -1};
    }
    plans.push_back(plan(matchId(prefix, 1, j + 1), 1, Bracket::Winners, s[0], s[1]));
  }
  int round = 1;
  for (int count = size / 4; count >= 1; count /= 2) {
    const std::size_t prev = roundStart.back();
    roundStart.push_back(plans.size());
    ++round;
    for (int j = 0; j < count; ++j)
      plans.push_back(plan(matchId(prefix, round, j + 1), round, Bracket::Winners,
                           {Slot::Winner, static_cast<int>(prev) + 2 * j},
                           {Slot::Winner, static_cast<int>(prev) + 2 * j + 1}));
  }
  return roundStart;
}

std::vector<Plan> singleElimination(const std::vector<int>& seeds, bool thirdPlace) {
  std::vector<Plan> plans;
  const std::vector<std::size_t> rounds = winnersBracket(plans, seeds, "R");
  const int last = static_cast<int>(rounds.size());
  plans.back().match.bracket = Bracket::Final;
  if (thirdPlace && last >= 2) {
    const int semi = static_cast<int>(rounds[rounds.size() - 2]);
    plans.push_back(
        plan("3P", last, Bracket::ThirdPlace, {Slot::Loser, semi}, {Slot::Loser, semi + 1}));
  }
  return plans;
}

// Double elimination: a loser drops into the losers' bracket, whose rounds alternate between
// meeting the next batch of winners'-bracket losers (in reverse order, so that two entries do not
// meet again at once) and halving the field. The grand final is played again when the losers'
// bracket winner wins the first.
std::vector<Plan> doubleElimination(const std::vector<int>& seeds) {
  std::vector<Plan> plans;
  const std::vector<std::size_t> w = winnersBracket(plans, seeds, "W");
  const int rounds = static_cast<int>(w.size());
  const int wFinal = static_cast<int>(w.back());
  Slot lChampionSlot{Slot::Loser, wFinal};
  if (rounds >= 2) {
    int lround = 1;
    std::vector<int> field;  // plans whose winners are in the losers' bracket
    const int first = static_cast<int>(w[0]);
    const int firstCount = static_cast<int>(w[1]) - first;
    for (int j = 0; j < firstCount / 2; ++j) {
      field.push_back(static_cast<int>(plans.size()));
      plans.push_back(plan(matchId("L", lround, j + 1), lround, Bracket::Losers,
                           {Slot::Loser, first + 2 * j}, {Slot::Loser, first + 2 * j + 1}));
    }
    for (int k = 1; k < rounds; ++k) {
      // Drop-in round: the field meets the losers of winners' round k+1.
      ++lround;
      const int wStart = static_cast<int>(w[static_cast<std::size_t>(k)]);
      const int count = static_cast<int>(field.size());
      std::vector<int> next;
      for (int j = 0; j < count; ++j) {
        next.push_back(static_cast<int>(plans.size()));
        plans.push_back(plan(matchId("L", lround, j + 1), lround, Bracket::Losers,
                             {Slot::Winner, field[static_cast<std::size_t>(j)]},
                             {Slot::Loser, wStart + (count - 1 - j)}));
      }
      field = std::move(next);
      if (field.size() == 1) break;
      ++lround;
      std::vector<int> halved;
      for (std::size_t j = 0; j + 1 < field.size(); j += 2) {
        halved.push_back(static_cast<int>(plans.size()));
        plans.push_back(plan(matchId("L", lround, static_cast<int>(j / 2) + 1), lround,
                             Bracket::Losers, {Slot::Winner, field[j]},
                             {Slot::Winner, field[j + 1]}));
      }
      field = std::move(halved);
    }
    lChampionSlot = {Slot::Winner, field.front()};
  }
  plans.push_back(plan("GF1", 1, Bracket::Final, {Slot::Winner, wFinal}, lChampionSlot));
  return plans;
}

// --- round robin and Swiss ------------------------------------------------------------------

// The circle method: every pair once per cycle; in the second cycle the sides are swapped.
std::vector<Match> roundRobin(const std::vector<int>& seeds, int cycles) {
  std::vector<int> ring = seeds;
  if (ring.size() % 2 != 0) ring.push_back(-1);
  const std::size_t m = ring.size();
  std::vector<Match> out;
  int round = 0;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    std::vector<int> r = ring;
    for (std::size_t step = 0; step + 1 < m; ++step) {
      ++round;
      int number = 0;
      for (std::size_t i = 0; i < m / 2; ++i) {
        int a = r[i];
        int b = r[m - 1 - i];
        if (a < 0 || b < 0) continue;
        if ((step + i) % 2 == 1) std::swap(a, b);
        if (cycle == 1) std::swap(a, b);
        Match match;
        match.id = matchId("R", round, ++number);
        match.round = round;
        match.bracket = Bracket::League;
        match.players = {a, b};
        out.push_back(std::move(match));
      }
      std::rotate(r.begin() + 1, r.end() - 1, r.end());
    }
  }
  return out;
}

// Rounds of a Swiss: as asked, or enough to find one winner (log2 of the field, rounded up);
// never more than there are opponents.
int swissRoundCount(const Tournament& t) {
  const int n = static_cast<int>(t.entries.size());
  int rounds = t.rules.rounds;
  if (rounds == 0) {
    rounds = 1;
    while ((1 << rounds) < n) ++rounds;
  }
  return std::min(rounds, n % 2 == 0 ? n - 1 : n);
}

std::string describePlayers(const std::array<std::optional<int>, 2>& p) {
  const auto one = [](const std::optional<int>& e) {
    return e ? "#" + std::to_string(*e) : std::string("nobody");
  };
  return one(p[0]) + " and " + one(p[1]);
}

}  // namespace

// --- the schedule ---------------------------------------------------------------------------

struct TournamentPlay::State {
  // Rules, entries, seeds and seed; its matches and standings are rebuilt from the schedule
  // when asked for after a change.
  Tournament t;
  bool stale = true;
  Stage stageGiven = Stage::Closed;
  bool isDouble = false;

  std::vector<ScheduledMatch> schedule;
  std::vector<std::array<Slot, 2>> from;        // by schedule index: entries or matches
  std::vector<std::vector<std::size_t>> feeds;  // the matches whose players wait for it
  std::vector<std::optional<int>> loser;        // of a played match with two players
  std::unordered_map<std::string, std::size_t> byId;
  std::size_t playedMatches = 0;  // matches with battles
  std::size_t realMatches = 0;    // matches with battles, played or to play, known so far

  // Swiss: the rounds to play and paired, the matches left in the last round paired, and what
  // the next pairing looks at.
  int swissRounds = 0;
  int pairedRounds = 0;
  std::size_t roundLeft = 0;
  std::vector<int> halfPoints;
  std::vector<bool> hadBye;
  std::vector<int> firsts;
  std::vector<std::vector<bool>> met;

  std::size_t add(Match m, std::array<Slot, 2> slots, bool bye) {
    const std::size_t i = schedule.size();
    ScheduledMatch sm;
    for (std::size_t s = 0; s < 2; ++s) {
      const Slot& slot = slots[s];
      if (slot.kind == Slot::Entry) {
        sm.from[s] = {SlotSource::Entry, slot.ref, {}};
        if (slot.ref < 0) sm.from[s].kind = SlotSource::Bye;
        m.players[s] = slot.ref >= 0 ? std::optional<int>(slot.ref) : std::nullopt;
      } else {
        const auto ref = static_cast<std::size_t>(slot.ref);
        sm.from[s] = {slot.kind == Slot::Winner ? SlotSource::WinnerOf : SlotSource::LoserOf, -1,
                      schedule[ref].match.id};
        m.players[s].reset();
        if (s == 0 || slots[0].kind == Slot::Entry || slots[0].ref != slot.ref)
          feeds[ref].push_back(i);
      }
    }
    sm.match = std::move(m);
    sm.bye = bye;
    byId.emplace(sm.match.id, i);
    schedule.push_back(std::move(sm));
    from.push_back(slots);
    feeds.emplace_back();
    loser.emplace_back();
    if (!bye) ++realMatches;
    return i;
  }

  bool sourcesPlayed(std::size_t i) const {
    for (const Slot& s : from[i])
      if (s.kind != Slot::Entry && !schedule[static_cast<std::size_t>(s.ref)].played) return false;
    return true;
  }

  bool ready(std::size_t i) const {
    const ScheduledMatch& sm = schedule[i];
    return !sm.played && !sm.bye && sm.match.players[0] && sm.match.players[1];
  }

  // Takes in a played match: its players go on to the matches waiting for them, byes among
  // those are played at once, the second grand final is added when it is due, and a Swiss
  // round's points are counted.
  void settle(std::size_t i, Match m) {
    ScheduledMatch& sm = schedule[i];
    sm.match = std::move(m);
    sm.played = true;
    stale = true;
    const Match& done = sm.match;
    if (done.players[0] && done.players[1]) {
      ++playedMatches;
      if (done.winner)
        loser[i] = *done.winner == *done.players[0] ? done.players[1] : done.players[0];
    }
    if (t.rules.format == Format::Swiss) countSwiss(done);
    // The grand final again, when the losers' bracket winner won the first.
    if (isDouble && done.id == "GF1" && done.players[1] && done.winner == done.players[1]) {
      Match again;
      again.id = "GF2";
      again.round = 2;
      again.bracket = Bracket::Final;
      const int gf1 = static_cast<int>(i);
      add(std::move(again), {Slot{Slot::Winner, gf1}, Slot{Slot::Loser, gf1}}, false);
    }
    const std::vector<std::size_t> waiting = feeds[i];
    for (const std::size_t j : waiting) {
      ScheduledMatch& next = schedule[j];
      for (std::size_t s = 0; s < 2; ++s) {
        const Slot& slot = from[j][s];
        if (slot.kind == Slot::Entry || static_cast<std::size_t>(slot.ref) != i) continue;
        next.match.players[s] = slot.kind == Slot::Winner ? schedule[i].match.winner : loser[i];
      }
      playByeWhenDue(j);
    }
  }

  void playByeWhenDue(std::size_t i) {
    ScheduledMatch& sm = schedule[i];
    if (sm.played || !sm.bye || !sourcesPlayed(i)) return;
    Match m = sm.match;
    m.battles.clear();
    m.winner = m.players[0] ? m.players[0] : m.players[1];
    settle(i, std::move(m));
  }

  void countSwiss(const Match& m) {
    const auto a = static_cast<std::size_t>(*m.players[0]);
    halfPoints[a] += matchHalfPoints(m, *m.players[0]);
    if (!m.players[1]) {
      hadBye[a] = true;
      return;
    }
    const auto b = static_cast<std::size_t>(*m.players[1]);
    halfPoints[b] += matchHalfPoints(m, *m.players[1]);
    met[a][b] = met[b][a] = true;
    ++firsts[a];
    --roundLeft;
  }

  // Pairs the next Swiss round once every match of the last one is played: the entries ranked
  // by points, ties in seeding order; the pairs first, the bye last.
  void pairWhenDue() {
    if (t.rules.format != Format::Swiss || roundLeft > 0 || pairedRounds >= swissRounds) return;
    const int r = pairedRounds + 1;
    std::vector<int> ranked = t.seeds;
    std::stable_sort(ranked.begin(), ranked.end(), [&](int a, int b) {
      return halfPoints[static_cast<std::size_t>(a)] > halfPoints[static_cast<std::size_t>(b)];
    });
    const auto round = pairSwissRound(
        ranked, halfPoints,
        [&](int a, int b) {
          return static_cast<bool>(met[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)]);
        },
        hadBye, firsts);
    if (!round)
      throw std::runtime_error("Swiss round " + std::to_string(r) +
                               " cannot be paired without a pair meeting twice");
    pairedRounds = r;
    int number = 0;
    const auto swissMatch = [&]() {
      Match m;
      m.id = matchId("R", r, ++number);
      m.round = r;
      m.bracket = Bracket::Swiss;
      return m;
    };
    for (const auto& p : round->pairs)
      add(swissMatch(), {Slot{Slot::Entry, p[0]}, Slot{Slot::Entry, p[1]}}, false);
    roundLeft = round->pairs.size();
    if (round->bye) {
      const std::size_t i =
          add(swissMatch(), {Slot{Slot::Entry, *round->bye}, Slot{Slot::Entry, -1}}, true);
      playByeWhenDue(i);
    }
  }

  void build() {
    const std::size_t n = t.entries.size();
    switch (t.rules.format) {
      case Format::Single:
      case Format::Double: {
        std::vector<Plan> plans =
            isDouble ? doubleElimination(t.seeds) : singleElimination(t.seeds, t.rules.thirdPlace);
        // Which matches are byes follows from the bracket alone: a slot is empty when it is an
        // empty place of the draw, the winner of a match of two empty slots, or the loser of a
        // bye.
        std::vector<std::array<bool, 2>> empty(plans.size());
        std::vector<bool> bye(plans.size());
        for (std::size_t i = 0; i < plans.size(); ++i) {
          for (std::size_t s = 0; s < 2; ++s) {
            const Slot& slot = plans[i].from[s];
            const auto ref = static_cast<std::size_t>(slot.ref);
            empty[i][s] = slot.kind == Slot::Entry    ? slot.ref < 0
                          : slot.kind == Slot::Winner ? empty[ref][0] && empty[ref][1]
                                                      : static_cast<bool>(bye[ref]);
          }
          bye[i] = empty[i][0] || empty[i][1];
          add(std::move(plans[i].match), plans[i].from, bye[i]);
        }
        for (std::size_t i = 0; i < schedule.size(); ++i) playByeWhenDue(i);
        break;
      }
      case Format::RoundRobin:
        for (Match& m : roundRobin(t.seeds, t.rules.rounds == 2 ? 2 : 1)) {
          const std::array<Slot, 2> slots{Slot{Slot::Entry, *m.players[0]},
                                          Slot{Slot::Entry, *m.players[1]}};
          add(std::move(m), slots, false);
        }
        break;
      case Format::Swiss:
        swissRounds = swissRoundCount(t);
        halfPoints.assign(n, 0);
        hadBye.assign(n, false);
        firsts.assign(n, 0);
        met.assign(n, std::vector<bool>(n, false));
        pairWhenDue();
        break;
    }
  }

  // Takes in the matches a file records, in the order they could have been played: a match
  // as soon as the schedule has it ready.
  void takeIn(const std::vector<Match>& recorded) {
    std::unordered_map<std::string, std::size_t> at;
    for (std::size_t k = 0; k < recorded.size(); ++k)
      if (!at.emplace(recorded[k].id, k).second)
        throw std::runtime_error("matches[" + std::to_string(k) + "] (" + recorded[k].id +
                                 "): recorded twice");
    std::vector<bool> taken(recorded.size(), false);
    for (bool more = true; more;) {
      more = false;
      for (std::size_t i = 0; i < schedule.size(); ++i) {
        if (!ready(i)) continue;
        const auto it = at.find(schedule[i].match.id);
        if (it == at.end() || taken[it->second]) continue;
        try {
          record(recorded[it->second]);
          pairWhenDue();
        } catch (const std::invalid_argument& e) {
          throw std::runtime_error("matches[" + std::to_string(it->second) + "] (" +
                                   recorded[it->second].id + "): " + e.what());
        }
        taken[it->second] = true;
        more = true;
      }
    }
    for (std::size_t k = 0; k < recorded.size(); ++k) {
      if (taken[k]) continue;
      const Match& m = recorded[k];
      const std::string where = "matches[" + std::to_string(k) + "] (" + m.id + "): ";
      const auto found = byId.find(m.id);
      if (found == byId.end()) {
        if (t.rules.format == Format::Swiss && m.round > pairedRounds && m.round <= swissRounds)
          throw std::runtime_error(where + "played before its round could be paired");
        throw std::runtime_error(where + "no match of this tournament's schedule");
      }
      const ScheduledMatch& sm = schedule[found->second];
      if (sm.bye && sm.played) {
        if (m == sm.match) continue;
        throw std::runtime_error(where + "a bye of " + describePlayers(sm.match.players) +
                                 ", not a match of " + describePlayers(m.players));
      }
      if (sm.bye) throw std::runtime_error(where + "a bye, recorded before it was due");
      throw std::runtime_error(where + "played before its players were known");
    }
  }

  void record(const Match& played) {
    const auto found = byId.find(played.id);
    if (found == byId.end())
      throw std::invalid_argument("no match " + played.id + " in this tournament's schedule");
    const std::size_t i = found->second;
    const ScheduledMatch& sm = schedule[i];
    if (sm.played) throw std::invalid_argument("match " + played.id + " is played already");
    if (sm.bye) throw std::invalid_argument("match " + played.id + " is a bye, never played");
    if (!ready(i))
      throw std::invalid_argument("match " + played.id + " is not ready: its players are not " +
                                  "known yet");
    if (played.players != sm.match.players)
      throw std::invalid_argument("match " + played.id + " is between " +
                                  describePlayers(sm.match.players) + ", not " +
                                  describePlayers(played.players));
    if (played.round != sm.match.round || played.bracket != sm.match.bracket)
      throw std::invalid_argument("match " + played.id + " is of another round or bracket");
    MatchPlay check(t, sm.match);
    for (const BattleRecord& b : played.battles) check.record(b);
    if (!check.decided())
      throw std::invalid_argument("match " + played.id + " ends before it is decided");
    if (check.match().winner != played.winner)
      throw std::invalid_argument("match " + played.id +
                                  ": its winner does not follow from its battles");
    Match m = check.match();
    settle(i, std::move(m));
  }

  void refresh() {
    if (!stale) return;
    t.matches.clear();
    for (const ScheduledMatch& sm : schedule)
      if (sm.played && (sm.match.players[0] || sm.match.players[1])) t.matches.push_back(sm.match);
    t.standings = computeStandings(t);
    t.stage =
        finished() ? Stage::Finished : (stageGiven == Stage::Finished ? Stage::Closed : stageGiven);
    stale = false;
  }

  bool finished() const {
    if (t.rules.format == Format::Swiss && pairedRounds < swissRounds) return false;
    return std::all_of(schedule.begin(), schedule.end(),
                       [](const ScheduledMatch& sm) { return sm.played; });
  }
};

TournamentPlay::TournamentPlay(Tournament t, const RunOptions& options)
    : s_(std::make_unique<State>()) {
  if (!t.seed) throw std::runtime_error("the tournament has no seed");
  const std::size_t n = t.entries.size();
  if (n < kMinEntries) throw std::runtime_error("fewer than 2 entries");
  if (t.seeds.empty()) t.seeds = seedOrder(t, options);
  std::vector<bool> seen(n, false);
  for (const int e : t.seeds) {
    if (e < 0 || static_cast<std::size_t>(e) >= n || seen[static_cast<std::size_t>(e)])
      throw std::runtime_error("seeds do not list every entry once");
    seen[static_cast<std::size_t>(e)] = true;
  }
  if (t.seeds.size() != n) throw std::runtime_error("seeds do not list every entry once");
  State& s = *s_;
  std::vector<Match> recorded = std::move(t.matches);
  t.matches.clear();
  t.standings.clear();
  s.stageGiven = t.stage;
  s.t = std::move(t);
  s.isDouble = s.t.rules.format == Format::Double;
  s.build();
  s.takeIn(recorded);
}

TournamentPlay::~TournamentPlay() = default;
TournamentPlay::TournamentPlay(TournamentPlay&&) noexcept = default;
TournamentPlay& TournamentPlay::operator=(TournamentPlay&&) noexcept = default;

const Tournament& TournamentPlay::tournament() const {
  s_->refresh();
  return s_->t;
}

const std::vector<ScheduledMatch>& TournamentPlay::schedule() const { return s_->schedule; }

std::vector<std::string> TournamentPlay::readyMatches() const {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < s_->schedule.size(); ++i)
    if (s_->ready(i)) out.push_back(s_->schedule[i].match.id);
  return out;
}

const ScheduledMatch* TournamentPlay::find(std::string_view id) const {
  const auto it = s_->byId.find(std::string(id));
  return it == s_->byId.end() ? nullptr : &s_->schedule[it->second];
}

void TournamentPlay::record(Match played) {
  s_->record(played);
  s_->pairWhenDue();
}

void TournamentPlay::playRest(
    unsigned threads, const std::function<bool()>& cancelled,
    const std::function<void(std::size_t played, std::size_t total)>& progress) {
  State& s = *s_;
  for (;;) {
    if (cancelled && cancelled()) return;
    std::vector<std::size_t> wave;
    for (std::size_t i = 0; i < s.schedule.size(); ++i)
      if (s.ready(i)) wave.push_back(i);
    if (wave.empty()) return;
    std::vector<std::optional<Match>> results(wave.size());
    const std::size_t before = s.playedMatches;
    const std::size_t total = totalCount();
    detail::runJobs(
        wave.size(), threads,
        [&](std::size_t k) { results[k] = playMatchHeadless(s.t, s.schedule[wave[k]].match); },
        [&](std::size_t done) {
          if (progress) progress(before + done, total);
        },
        cancelled);
    bool all = true;
    for (std::size_t k = 0; k < wave.size(); ++k) {
      if (results[k]) {
        s.settle(wave[k], std::move(*results[k]));
      } else {
        all = false;
      }
    }
    s.pairWhenDue();
    if (!all) return;
  }
}

bool TournamentPlay::finished() const { return s_->finished(); }

std::size_t TournamentPlay::playedCount() const { return s_->playedMatches; }

std::size_t TournamentPlay::totalCount() const {
  const State& s = *s_;
  std::size_t total = s.realMatches;
  if (s.t.rules.format == Format::Swiss)
    total += static_cast<std::size_t>(s.swissRounds - s.pairedRounds) * (s.t.entries.size() / 2);
  return total;
}

int TournamentPlay::currentRound() const {
  const State& s = *s_;
  for (std::size_t i = 0; i < s.schedule.size(); ++i)
    if (s.ready(i)) return s.schedule[i].match.round;
  return s.schedule.empty() ? 0 : s.schedule.back().match.round;
}

// --- the secret file ------------------------------------------------------------------------

bool writeSecretFile(const std::filesystem::path& file, const std::string& secretHex,
                     std::string* error) {
  const std::string name = pathToUtf8(file);
  OpenFile out = createNewFile(file, 0600);
  if (!out) {
    if (error) *error = name + ": cannot be created: " + std::strerror(errno);
    return false;
  }
  const std::string text = secretHex + "\n";
  const bool ok = out.write(text) && out.flushToDisk();
  if (!out.close() || !ok) {
    if (error) *error = name + ": cannot be written";
    removeFile(file);
    return false;
  }
  return true;
}

std::optional<std::string> readSecretFile(const std::filesystem::path& file, std::string* error) {
  const std::string name = pathToUtf8(file);
  InputFile in(file);
  if (in.status() != InputFile::Status::Open) {
    if (error) *error = name + ": cannot be read";
    return std::nullopt;
  }
  char buf[80];
  const std::streamsize n = in.sgetn(buf, sizeof buf);
  std::string text(buf, static_cast<std::size_t>(std::max<std::streamsize>(n, 0)));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.size() != 64 || !hexBytes(text)) {
    if (error) *error = name + ": not a secret (64 hexadecimal digits)";
    return std::nullopt;
  }
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<DrawRefusal> revealDraw(Tournament& t, const std::filesystem::path& secretFile,
                                      std::string* error) {
  std::optional<std::string> secret;
  if (t.commitment) {
    std::string why;
    secret = readSecretFile(secretFile, &why);
    if (!secret) {
      if (error) *error = why;
      return DrawRefusal::SecretUnreadable;
    }
    if (commitmentOf(*secret) != *t.commitment) {
      if (error) *error = "the secret does not match the tournament's commitment";
      return DrawRefusal::WrongSecret;
    }
  } else {
    secret = randomSecret();
    if (!secret) {
      if (error) *error = "the system's random source gives no secret";
      return DrawRefusal::NoRandomSource;
    }
  }
  t.secret = std::move(secret);
  t.entriesDigest = entriesDigestOf(t.entries);
  t.seed = tournamentSeedOf(*t.secret, *t.entriesDigest, t.beacon);
  return std::nullopt;
}

}  // namespace momiru::report
