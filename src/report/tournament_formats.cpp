// Playing a tournament: the seeding, the Swiss pairing, the whole tournament
// played at once, and the checks that play it again.
#include <algorithm>
#include <atomic>
#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/maximum_weighted_matching.hpp>
#include <cmath>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "battle/headless.h"
#include "data/registration.h"
#include "report/league.h"
#include "report/ratings.h"
#include "report/run_jobs.h"
#include "report/tournament.h"
#include "report/tournament_play.h"

namespace momiru::report {

namespace {

using detail::runJobs;

// --- Swiss pairing --------------------------------------------------------------------------

using MatchingGraph =
    boost::adjacency_list<boost::vecS, boost::vecS, boost::undirectedS, boost::no_property,
                          boost::property<boost::edge_weight_t, long long>>;

// A maximum-weight matching of `pool` (positions in it), with `weight` for the pairs allowed
// (nothing for a pair that may not meet). Unmatched positions come back in `left`.
std::vector<std::array<int, 2>> match(
    const std::vector<int>& pool,
    const std::function<std::optional<long long>(std::size_t, std::size_t)>& weight,
    std::vector<int>& left) {
  const std::size_t n = pool.size();
  MatchingGraph g(n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j)
      if (const auto w = weight(i, j)) boost::add_edge(i, j, *w, g);
  std::vector<boost::graph_traits<MatchingGraph>::vertex_descriptor> mate(n);
  // A graph without edges has nothing to match, and the library would start from twice the
  // smallest weight there is, which overflows.
  const bool matched = n > 1 && boost::num_edges(g) > 0;
  if (matched) boost::maximum_weighted_matching(g, &mate[0]);
  std::vector<std::array<int, 2>> pairs;
  for (std::size_t i = 0; i < n; ++i) {
    if (matched && mate[i] != boost::graph_traits<MatchingGraph>::null_vertex()) {
      if (mate[i] > i) pairs.push_back({pool[i], pool[mate[i]]});
    } else {
      left.push_back(pool[i]);
    }
  }
  return pairs;
}

// Pools are matched in blocks of at most this many: the library's matching costs the cube of
// its size.
constexpr std::size_t kBlock = 32;
constexpr long long kPairWeight = 1LL << 40;

}  // namespace

std::optional<SwissRound> pairSwissRound(const std::vector<int>& ranked,
                                         const std::vector<int>& halfPoints,
                                         const std::function<bool(int, int)>& met,
                                         const std::vector<bool>& hadBye,
                                         const std::vector<int>& firsts) {
  SwissRound round;
  std::vector<int> field = ranked;
  if (field.size() % 2 != 0) {
    auto it = std::find_if(field.rbegin(), field.rend(),
                           [&](int e) { return !hadBye[static_cast<std::size_t>(e)]; });
    if (it == field.rend()) it = field.rbegin();
    round.bye = *it;
    field.erase(std::next(it).base());
  }
  std::vector<std::size_t> place(hadBye.size(), 0);
  for (std::size_t i = 0; i < field.size(); ++i) place[static_cast<std::size_t>(field[i])] = i;
  const auto points = [&](int e) { return halfPoints[static_cast<std::size_t>(e)]; };
  // Between groups: prefer equal points, then nearby places.
  const auto looseWeight = [&](const std::vector<int>& pool) {
    return [&, pool](std::size_t i, std::size_t j) -> std::optional<long long> {
      if (met(pool[i], pool[j])) return std::nullopt;
      const long long d = points(pool[i]) - points(pool[j]);
      const long long places =
          std::llabs(static_cast<long long>(place[static_cast<std::size_t>(pool[i])]) -
                     static_cast<long long>(place[static_cast<std::size_t>(pool[j])]));
      return kPairWeight - d * d * 1000000 - places;
    };
  };
  std::vector<std::array<int, 2>> pairs;
  std::vector<int> carried;
  std::size_t start = 0;
  while (start < field.size()) {
    std::size_t end = start;
    while (end < field.size() && points(field[end]) == points(field[start])) ++end;
    // The group with the entries floated down from above, top half against bottom half.
    std::vector<int> pool = carried;
    pool.insert(pool.end(), field.begin() + static_cast<std::ptrdiff_t>(start),
                field.begin() + static_cast<std::ptrdiff_t>(end));
    carried.clear();
    const std::size_t half = pool.size() / 2;
    std::vector<int> left;
    for (std::size_t b = 0; b < half || (b == 0 && !pool.empty()); b += kBlock / 2) {
      std::vector<int> block;
      std::vector<std::size_t> at;
      for (std::size_t k = b; k < std::min(half, b + kBlock / 2); ++k) {
        block.push_back(pool[k]);
        at.push_back(k);
      }
      const std::size_t bottomEnd = b + kBlock / 2 >= half ? pool.size() : half + b + kBlock / 2;
      for (std::size_t k = half + b; k < bottomEnd; ++k) {
        block.push_back(pool[k]);
        at.push_back(k);
      }
      const auto found = match(
          block,
          [&](std::size_t i, std::size_t j) -> std::optional<long long> {
            if (met(block[i], block[j])) return std::nullopt;
            const long long gap = static_cast<long long>(at[j]) - static_cast<long long>(at[i]);
            return kPairWeight - std::llabs(gap - static_cast<long long>(half));
          },
          left);
      pairs.insert(pairs.end(), found.begin(), found.end());
      if (half == 0) break;
    }
    if (left.size() > 1) {
      std::sort(left.begin(), left.end(), [&](int a, int b) {
        return place[static_cast<std::size_t>(a)] < place[static_cast<std::size_t>(b)];
      });
      std::vector<int> still;
      for (std::size_t b = 0; b < left.size(); b += kBlock) {
        std::vector<int> block(
            left.begin() + static_cast<std::ptrdiff_t>(b),
            left.begin() + static_cast<std::ptrdiff_t>(std::min(left.size(), b + kBlock)));
        const auto found = match(block, looseWeight(block), still);
        pairs.insert(pairs.end(), found.begin(), found.end());
      }
      left = std::move(still);
    }
    carried = std::move(left);
    start = end;
  }
  // The last ones could not be paired among themselves: pair them again with the lowest placed,
  // twice as many each time, up to the whole field.
  for (std::size_t tail = kBlock; !carried.empty(); tail *= 2) {
    tail = std::min(tail, field.size());
    std::vector<bool> inTail(place.size(), false);
    for (std::size_t i = field.size() - tail; i < field.size(); ++i)
      inTail[static_cast<std::size_t>(field[i])] = true;
    std::vector<int> pool = carried;
    std::vector<std::array<int, 2>> kept;
    for (const auto& p : pairs) {
      if (inTail[static_cast<std::size_t>(p[0])] || inTail[static_cast<std::size_t>(p[1])]) {
        pool.push_back(p[0]);
        pool.push_back(p[1]);
      } else {
        kept.push_back(p);
      }
    }
    std::sort(pool.begin(), pool.end(), [&](int a, int b) {
      return place[static_cast<std::size_t>(a)] < place[static_cast<std::size_t>(b)];
    });
    std::vector<int> still;
    const auto found = match(pool, looseWeight(pool), still);
    if (still.empty()) {
      kept.insert(kept.end(), found.begin(), found.end());
      pairs = std::move(kept);
      carried.clear();
    } else if (tail == field.size()) {
      return std::nullopt;
    }
  }
  // The first player: the one who has been first less often, else the higher placed.
  for (auto& p : pairs) {
    if (place[static_cast<std::size_t>(p[0])] > place[static_cast<std::size_t>(p[1])])
      std::swap(p[0], p[1]);
    if (firsts[static_cast<std::size_t>(p[0])] > firsts[static_cast<std::size_t>(p[1])])
      std::swap(p[0], p[1]);
  }
  std::sort(pairs.begin(), pairs.end(), [&](const auto& x, const auto& y) {
    return std::min(place[static_cast<std::size_t>(x[0])], place[static_cast<std::size_t>(x[1])]) <
           std::min(place[static_cast<std::size_t>(y[0])], place[static_cast<std::size_t>(y[1])]);
  });
  round.pairs = std::move(pairs);
  return round;
}

namespace {

// Strength: a short round robin of the field, each pair twice with the sides swapped, rated as
// the league rates.
std::vector<double> strengthRatings(const Tournament& t, const RunOptions& options) {
  const std::size_t n = t.entries.size();
  std::vector<report::PairingResult> results(n * n);
  std::vector<std::array<std::size_t, 2>> pairs;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      if (i != j) pairs.push_back({i, j});
  runJobs(pairs.size(), options.threads,
          [&](std::size_t k) {
            const auto [i, j] = pairs[k];
            battle::BatchBattles<false> runner(
                pairingState(t.entries[i].record, t.entries[j].record, t.rules.halve));
            const battle::Outcome o = runner.play(battleSeedOf(
                *t.seed, "strength-" + std::to_string(i) + "-" + std::to_string(j), 1));
            report::PairingResult& r = results[i * n + j];
            if (!o.finished) {
              r.unfinished = 1;
            } else if (o.winner == 0) {
              r.player1Wins = 1;
            } else if (o.winner == 1) {
              r.player2Wins = 1;
            } else {
              r.draws = 1;
            }
          },
          {});
  return report::fitRatings(n, results).rating;
}

}  // namespace

std::vector<int> seedOrder(const Tournament& t, const RunOptions& options) {
  const std::size_t n = t.entries.size();
  std::vector<int> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<int>(i);
  if (t.rules.seeding == Seeding::Listed || !t.seed) return order;
  std::vector<std::string> key(n);
  for (std::size_t i = 0; i < n; ++i) key[i] = sha256Hex(*t.seed + ":draw:" + t.entries[i].sha256);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return key[static_cast<std::size_t>(a)] < key[static_cast<std::size_t>(b)];
  });
  if (t.rules.seeding == Seeding::Strength) {
    const std::vector<double> rating = strengthRatings(t, options);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return rating[static_cast<std::size_t>(a)] > rating[static_cast<std::size_t>(b)];
    });
  }
  return order;
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

namespace {

std::string describe(const std::optional<int>& v) { return v ? std::to_string(*v) : "null"; }

// What a tournament's draw rests on: the entries as registered, the secret its commitment
// promised, the digest and the seed that follow from them.
std::optional<std::string> drawDifference(const Tournament& t, const RunOptions& options) {
  // Each entry's hash, on the threads the run uses.
  std::vector<char> changed(t.entries.size(), 0);
  runJobs(t.entries.size(), options.threads,
          [&](std::size_t i) {
            changed[i] = sha256Hex(entryCanonical(t.entries[i])) != t.entries[i].sha256 ? 1 : 0;
          },
          {});
  for (std::size_t i = 0; i < t.entries.size(); ++i)
    if (changed[i] != 0)
      return "entries[" + std::to_string(i) +
             "].sha256 does not match its record (a changed entry)";
  std::map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < t.entries.size(); ++i) {
    const auto [at, fresh] = seen.emplace(t.entries[i].sha256, i);
    if (!fresh)
      return "entries[" + std::to_string(i) + "] is the same record as entries[" +
             std::to_string(at->second) + "]";
  }
  if (t.entries.size() < kMinEntries) return "fewer than 2 entries";
  if (!t.secret) return "the secret is missing";
  if (t.commitment && commitmentOf(*t.secret) != *t.commitment)
    return "secret does not match the commitment (a wrong secret)";
  const std::string digest = entriesDigestOf(t.entries);
  if (!t.entriesDigest || *t.entriesDigest != digest)
    return "entries_digest does not match the entries";
  if (!t.seed || *t.seed != tournamentSeedOf(*t.secret, digest, t.beacon))
    return "seed does not follow from the secret, the entries digest and the beacon (a wrong "
           "secret or beacon)";
  return std::nullopt;
}

// The first thing in which a recorded match differs from the one these rules play; `at` names
// it.
std::optional<std::string> matchDifference(const std::string& at, const Match& got,
                                           const Match& want) {
  if (got.round != want.round || got.bracket != want.bracket)
    return at + ": round or bracket differs";
  if (got.players != want.players)
    return at + ": players are " + describe(got.players[0]) + " and " + describe(got.players[1]) +
           ", these rules pair " + describe(want.players[0]) + " and " + describe(want.players[1]);
  for (std::size_t k = 0; k < std::min(got.battles.size(), want.battles.size()); ++k) {
    const BattleRecord& g = got.battles[k];
    const BattleRecord& w = want.battles[k];
    const std::string b = at + ".battles[" + std::to_string(k) + "]";
    if (g.seed != w.seed) return b + ".seed differs";
    if (g.player1 != w.player1) return b + ".player1 differs";
    if (g.winner != w.winner)
      return b + ".winner is " + describe(g.winner) + ", these rules give " + describe(w.winner) +
             " (an edited result)";
    if (g.turns != w.turns) return b + ".turns differs";
    if (g.logSha256 != w.logSha256) return b + ".log_sha256 differs";
  }
  if (got.battles.size() != want.battles.size())
    return at + ": holds " + std::to_string(got.battles.size()) + " battles, these rules play " +
           std::to_string(want.battles.size());
  if (got.winner != want.winner)
    return at + ": winner is " + describe(got.winner) + ", these rules give " +
           describe(want.winner) + " (an edited result)";
  return std::nullopt;
}

std::optional<std::string> standingsDifference(const std::vector<Standing>& got,
                                               const std::vector<Standing>& want) {
  if (want.size() != got.size()) return "standings differ in length";
  for (std::size_t i = 0; i < got.size(); ++i)
    if (!(want[i] == got[i]))
      return "standings[" + std::to_string(i) + "] differs from the standings these results give";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> verifyTournament(const Tournament& t, const RunOptions& options) {
  if (t.stage != Stage::Finished) return "the tournament has not been run (state is not finished)";
  if (auto d = drawDifference(t, options)) return d;
  Tournament again = t;
  playTournament(again, options);
  if (again.seeds != t.seeds) return "seeds differ from the seeding these rules give";
  const std::size_t common = std::min(again.matches.size(), t.matches.size());
  for (std::size_t i = 0; i < common; ++i) {
    const Match& want = again.matches[i];
    const Match& got = t.matches[i];
    const std::string at = "matches[" + std::to_string(i) + "] (" + want.id + ")";
    if (got.id != want.id)
      return at + ": id is " + got.id + " where these rules play " + want.id +
             " (a reordered match)";
    if (auto d = matchDifference(at, got, want)) return d;
  }
  if (again.matches.size() != t.matches.size())
    return "the file holds " + std::to_string(t.matches.size()) + " matches, these rules play " +
           std::to_string(again.matches.size());
  return standingsDifference(t.standings, again.standings);
}

// A tournament part way through: every recorded match is taken in as the schedule would have it
// at that point (the constructor refuses one out of place), and each is played again from the
// players the schedule gave it. Since a match follows from its players, its id and the seed
// alone, this is the whole tournament played again, compared match by match, without playing
// the matches not recorded yet.
std::optional<std::string> verifyPartialTournament(const Tournament& t, const RunOptions& options) {
  if (t.stage == Stage::Finished) return verifyTournament(t, options);
  if (t.stage != Stage::Closed || !t.seed)
    return "the tournament has not been started (it has no seed)";
  if (auto d = drawDifference(t, options)) return d;
  if (seedOrder(t, options) != t.seeds) return "seeds differ from the seeding these rules give";
  std::optional<TournamentPlay> play;
  try {
    play.emplace(t, options);
  } catch (const std::runtime_error& e) {
    return std::string(e.what());
  }
  std::vector<Match> again(t.matches.size());
  runJobs(t.matches.size(), options.threads,
          [&](std::size_t i) {
            const Match& got = t.matches[i];
            if (got.players[0] && got.players[1]) {
              Match m = got;
              m.battles.clear();
              m.winner.reset();
              again[i] = playMatchHeadless(t, m);
            } else {
              again[i] = play->find(got.id)->match;
            }
          },
          {});
  for (std::size_t i = 0; i < t.matches.size(); ++i)
    if (auto d = matchDifference("matches[" + std::to_string(i) + "] (" + t.matches[i].id + ")",
                                 t.matches[i], again[i]))
      return d;
  return standingsDifference(t.standings, play->tournament().standings);
}

}  // namespace momiru::report