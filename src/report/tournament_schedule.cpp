// The schedule of each format growing as results come in, the matches of a stranger's file taken
// in with care, and the whole tournament played at once.
#include "report/tournament_schedule.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "report/bracket_plans.h"
#include "report/match_play.h"
#include "report/run_jobs.h"
#include "report/seeding.h"
#include "report/standings.h"
#include "report/swiss_pairing.h"

namespace momiru::report {

namespace {

using detail::doubleElimination;
using detail::matchId;
using detail::Plan;
using detail::roundRobin;
using detail::singleElimination;
using detail::Slot;

// Rounds of a Swiss: as asked, or enough to find one winner (log2 of the field, rounded up);
// never more than there are opponents.
int swissRoundCount(const Tournament& t) {
  const int n = static_cast<int>(t.entries.size());
  int rounds = t.rules.rounds;
  if (rounds == 0) {
    rounds = 1;
    while ((1 << rounds) < n) ++rounds;
  }
  return std::min(rounds, mostSwissRounds(t.entries.size()));
}

std::string describePlayers(const std::array<std::optional<int>, 2>& p) {
  const auto one = [](const std::optional<int>& e) {
    return e ? "#" + std::to_string(*e) : std::string("nobody");
  };
  return one(p[0]) + " and " + one(p[1]);
}

}  // namespace

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

void playTournament(Tournament& t, const RunOptions& options) {
  if (!t.seed) throw std::runtime_error("the tournament has no seed");
  Tournament start = t;
  start.matches.clear();
  start.standings.clear();
  start.seeds.clear();
  TournamentPlay play(std::move(start), options);
  play.playRest(options.threads, {}, options.progress);
  // Only a Swiss round that cannot be paired stops the play early, and it throws.
  if (!play.finished()) throw std::runtime_error("the tournament stopped before its end");
  t = play.tournament();
}

int swissRounds(const Tournament& t) { return swissRoundCount(t); }

}  // namespace momiru::report
