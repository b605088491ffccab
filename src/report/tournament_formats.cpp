// Playing a tournament: the seeding, the brackets, round-robin and Swiss rounds, the matches on
// threads, and the check that plays it all again.
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
#include "report/tournament.h"

namespace momiru::report {

namespace {

// --- threads --------------------------------------------------------------------------------

// Runs job(0..count-1) on up to `threads` threads, the calling thread among them. A thread the
// system will not start leaves its share to the others; a job that runs out of memory stops the
// rest, and bad_alloc is thrown once every thread has ended. Each job writes only its own slot,
// so the results never depend on the threads. `progress` hears, on the calling thread, how many
// jobs have been done.
void runJobs(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& job,
             const std::function<void(std::size_t)>& progress) {
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  std::atomic<bool> failed{false};
  const auto work = [&](bool caller) {
    try {
      for (;;) {
        const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
        if (i >= count || failed) break;
        job(i);
        const std::size_t finished = done.fetch_add(1, std::memory_order_relaxed) + 1;
        if (caller && progress) progress(finished);
      }
    } catch (const std::bad_alloc&) {
      failed = true;
    }
  };
  std::vector<std::thread> started;
  const unsigned extra =
      static_cast<unsigned>(std::min<std::size_t>(threads > 0 ? threads - 1 : 0, count));
  for (unsigned k = 0; k < extra; ++k) {
    try {
      started.emplace_back(work, false);
    } catch (const std::system_error&) {
      break;
    }
  }
  work(true);
  for (std::thread& t : started) t.join();
  if (failed) throw std::bad_alloc();
}

// --- one match ------------------------------------------------------------------------------

struct MatchContext {
  const Tournament& t;
  const std::vector<int>& seedRank;  // by entry: its place in the seeding, 0 best
  bool elimination;
};

// Plays `m` between its players. In odd battles players[0] is player 2, who acts first; in even
// ones the sides swap. A match of best of N ends when one side has won more than N/2 battles or
// N battles are played. In elimination a level match goes on for up to N more battles, the
// first win deciding; still level, the better seed goes through.
void playMatch(Match& m, const MatchContext& c) {
  m.battles.clear();
  m.winner.reset();
  if (!m.players[0] || !m.players[1]) {
    m.winner = m.players[0] ? m.players[0] : m.players[1];
    return;
  }
  const int a = *m.players[0];
  const int b = *m.players[1];
  const Combatant& ra = c.t.entries[static_cast<std::size_t>(a)].record;
  const Combatant& rb = c.t.entries[static_cast<std::size_t>(b)].record;
  const bool halve = c.t.rules.halve;
  std::optional<battle::BatchBattles<true>> bFirst;  // b as player 1
  std::optional<battle::BatchBattles<true>> aFirst;  // a as player 1
  const int bestOf = c.t.rules.bestOf;
  const int need = bestOf / 2 + 1;
  int winsA = 0;
  int winsB = 0;
  const int limit = c.elimination ? 2 * bestOf : bestOf;
  for (int k = 1; k <= limit; ++k) {
    const bool odd = k % 2 == 1;
    auto& runner = odd ? bFirst : aFirst;
    if (!runner) runner.emplace(odd ? pairingState(rb, ra, halve) : pairingState(ra, rb, halve));
    BattleRecord r;
    r.seed = battleSeedOf(*c.t.seed, m.id, k);
    r.player1 = odd ? b : a;
    const battle::Outcome out = runner->play(r.seed);
    r.turns = out.turns;
    r.logSha256 = sha256Hex(runner->state().battleLog);
    if (out.finished && out.winner >= 0) {
      const int w = out.winner == 0 ? r.player1 : (odd ? a : b);
      r.winner = w;
      (w == a ? winsA : winsB) += 1;
    }
    m.battles.push_back(std::move(r));
    if (k <= bestOf) {
      if (winsA >= need || winsB >= need) break;
      if (k == bestOf && winsA != winsB) break;
    } else if (winsA != winsB) {
      break;  // sudden death
    }
  }
  if (winsA != winsB) {
    m.winner = winsA > winsB ? a : b;
  } else if (c.elimination) {
    m.winner =
        c.seedRank[static_cast<std::size_t>(a)] < c.seedRank[static_cast<std::size_t>(b)] ? a : b;
  }
}

// --- brackets -------------------------------------------------------------------------------

struct Slot {
  enum Kind { Entry, Winner, Loser } kind = Entry;
  int ref = -1;  // an entry (-1 for a bye), or a plan's index
};

struct Plan {
  Match match;
  std::array<Slot, 2> from;
  bool played = false;
  std::optional<int> loser;
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

Plan plan(std::string id, int round, const char* bracket, Slot a, Slot b) {
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
    plans.push_back(plan(matchId(prefix, 1, j + 1), 1, "winners", s[0], s[1]));
  }
  int round = 1;
  for (int count = size / 4; count >= 1; count /= 2) {
    const std::size_t prev = roundStart.back();
    roundStart.push_back(plans.size());
    ++round;
    for (int j = 0; j < count; ++j)
      plans.push_back(plan(matchId(prefix, round, j + 1), round, "winners",
                           {Slot::Winner, static_cast<int>(prev) + 2 * j},
                           {Slot::Winner, static_cast<int>(prev) + 2 * j + 1}));
  }
  return roundStart;
}

std::vector<Plan> singleElimination(const std::vector<int>& seeds, bool thirdPlace) {
  std::vector<Plan> plans;
  const std::vector<std::size_t> rounds = winnersBracket(plans, seeds, "R");
  const int last = static_cast<int>(rounds.size());
  plans.back().match.bracket = "final";
  if (thirdPlace && last >= 2) {
    const int semi = static_cast<int>(rounds[rounds.size() - 2]);
    plans.push_back(plan("3P", last, "third-place", {Slot::Loser, semi}, {Slot::Loser, semi + 1}));
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
      plans.push_back(plan(matchId("L", lround, j + 1), lround, "losers",
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
        plans.push_back(plan(matchId("L", lround, j + 1), lround, "losers",
                             {Slot::Winner, field[static_cast<std::size_t>(j)]},
                             {Slot::Loser, wStart + (count - 1 - j)}));
      }
      field = std::move(next);
      if (field.size() == 1) break;
      ++lround;
      std::vector<int> halved;
      for (std::size_t j = 0; j + 1 < field.size(); j += 2) {
        halved.push_back(static_cast<int>(plans.size()));
        plans.push_back(plan(matchId("L", lround, static_cast<int>(j / 2) + 1), lround, "losers",
                             {Slot::Winner, field[j]}, {Slot::Winner, field[j + 1]}));
      }
      field = std::move(halved);
    }
    lChampionSlot = {Slot::Winner, field.front()};
  }
  plans.push_back(plan("GF1", 1, "final", {Slot::Winner, wFinal}, lChampionSlot));
  return plans;
}

// The entry a slot holds once its source is played, or nothing for a bye.
std::optional<int> resolve(const Slot& s, const std::vector<Plan>& plans) {
  if (s.kind == Slot::Entry) return s.ref >= 0 ? std::optional<int>(s.ref) : std::nullopt;
  const Plan& from = plans[static_cast<std::size_t>(s.ref)];
  return s.kind == Slot::Winner ? from.match.winner : from.loser;
}

bool ready(const Plan& p, const std::vector<Plan>& plans) {
  for (const Slot& s : p.from)
    if (s.kind != Slot::Entry && !plans[static_cast<std::size_t>(s.ref)].played) return false;
  return true;
}

// Plays the plans wave by wave: every plan whose sources are played goes in the next wave.
void playPlans(std::vector<Plan>& plans, const MatchContext& c, const RunOptions& options,
               bool doubleElimination) {
  std::size_t before = 0;
  for (;;) {
    std::vector<std::size_t> wave;
    for (std::size_t i = 0; i < plans.size(); ++i)
      if (!plans[i].played && ready(plans[i], plans)) wave.push_back(i);
    if (wave.empty()) {
      // The grand final again, when the losers' bracket winner won the first.
      Plan& gf = plans.back();
      if (doubleElimination && gf.match.id == "GF1" && gf.match.players[1] &&
          gf.match.winner == gf.match.players[1]) {
        plans.push_back(plan("GF2", 2, "final", {Slot::Winner, static_cast<int>(plans.size()) - 1},
                             {Slot::Loser, static_cast<int>(plans.size()) - 1}));
        continue;
      }
      break;
    }
    for (const std::size_t i : wave)
      for (std::size_t s = 0; s < 2; ++s)
        plans[i].match.players[s] = resolve(plans[i].from[s], plans);
    runJobs(
        wave.size(), options.threads, [&](std::size_t k) { playMatch(plans[wave[k]].match, c); },
        [&](std::size_t done) {
          if (options.progress) options.progress(before + done, plans.size());
        });
    before += wave.size();
    for (const std::size_t i : wave) {
      Plan& p = plans[i];
      p.played = true;
      if (p.match.players[0] && p.match.players[1] && p.match.winner)
        p.loser = *p.match.winner == *p.match.players[0] ? p.match.players[1] : p.match.players[0];
    }
  }
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
        match.bracket = "league";
        match.players = {a, b};
        out.push_back(std::move(match));
      }
      std::rotate(r.begin() + 1, r.end() - 1, r.end());
    }
  }
  return out;
}

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

int swissRounds(const Tournament& t) {
  const int n = static_cast<int>(t.entries.size());
  int rounds = t.rules.rounds;
  if (rounds == 0) {
    rounds = 1;
    while ((1 << rounds) < n) ++rounds;
  }
  return std::min(rounds, n % 2 == 0 ? n - 1 : n);
}

void playSwiss(Tournament& t, const MatchContext& c, const RunOptions& options) {
  const std::size_t n = t.entries.size();
  std::vector<int> halfPoints(n, 0);
  std::vector<bool> hadBye(n, false);
  std::vector<int> firsts(n, 0);
  std::vector<std::vector<bool>> met(n, std::vector<bool>(n, false));
  const int rounds = swissRounds(t);
  std::size_t before = 0;
  const std::size_t total = static_cast<std::size_t>(rounds) * ((n + 1) / 2);
  for (int r = 1; r <= rounds; ++r) {
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
    const std::size_t first = t.matches.size();
    int number = 0;
    for (const auto& p : round->pairs) {
      Match m;
      m.id = matchId("R", r, ++number);
      m.round = r;
      m.bracket = "swiss";
      m.players = {p[0], p[1]};
      t.matches.push_back(std::move(m));
    }
    if (round->bye) {
      Match m;
      m.id = matchId("R", r, ++number);
      m.round = r;
      m.bracket = "swiss";
      m.players = {*round->bye, std::nullopt};
      t.matches.push_back(std::move(m));
    }
    runJobs(
        t.matches.size() - first, options.threads,
        [&](std::size_t k) { playMatch(t.matches[first + k], c); },
        [&](std::size_t done) {
          if (options.progress) options.progress(before + done, total);
        });
    before += t.matches.size() - first;
    for (std::size_t i = first; i < t.matches.size(); ++i) {
      const Match& m = t.matches[i];
      const auto a = static_cast<std::size_t>(*m.players[0]);
      if (!m.players[1]) {
        hadBye[a] = true;
        halfPoints[a] += 2;
        continue;
      }
      const auto b = static_cast<std::size_t>(*m.players[1]);
      met[a][b] = met[b][a] = true;
      ++firsts[a];
      if (!m.winner) {
        ++halfPoints[a];
        ++halfPoints[b];
      } else {
        halfPoints[static_cast<std::size_t>(*m.winner)] += 2;
      }
    }
  }
}

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
  t.matches.clear();
  t.standings.clear();
  t.seeds = seedOrder(t, options);
  std::vector<int> seedRank(t.entries.size());
  for (std::size_t i = 0; i < t.seeds.size(); ++i)
    seedRank[static_cast<std::size_t>(t.seeds[i])] = static_cast<int>(i);
  const bool elimination = t.rules.format == Format::Single || t.rules.format == Format::Double;
  const MatchContext c{t, seedRank, elimination};
  switch (t.rules.format) {
    case Format::Single:
    case Format::Double: {
      std::vector<Plan> plans = t.rules.format == Format::Single
                                    ? singleElimination(t.seeds, t.rules.thirdPlace)
                                    : doubleElimination(t.seeds);
      playPlans(plans, c, options, t.rules.format == Format::Double);
      for (const Plan& p : plans)
        if (p.match.players[0] || p.match.players[1]) t.matches.push_back(p.match);
      break;
    }
    case Format::RoundRobin: {
      t.matches = roundRobin(t.seeds, t.rules.rounds == 2 ? 2 : 1);
      runJobs(
          t.matches.size(), options.threads, [&](std::size_t k) { playMatch(t.matches[k], c); },
          [&](std::size_t done) {
            if (options.progress) options.progress(done, t.matches.size());
          });
      break;
    }
    case Format::Swiss:
      playSwiss(t, c, options);
      break;
  }
  t.standings = computeStandings(t);
  t.stage = Stage::Finished;
}

namespace {

std::string describe(const std::optional<int>& v) { return v ? std::to_string(*v) : "null"; }

}  // namespace

std::optional<std::string> verifyTournament(const Tournament& t, const RunOptions& options) {
  if (t.stage != Stage::Finished) return "the tournament has not been run (state is not finished)";
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
    if (got.round != want.round || got.bracket != want.bracket)
      return at + ": round or bracket differs";
    if (got.players != want.players)
      return at + ": players are " + describe(got.players[0]) + " and " + describe(got.players[1]) +
             ", these rules pair " + describe(want.players[0]) + " and " +
             describe(want.players[1]);
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
  }
  if (again.matches.size() != t.matches.size())
    return "the file holds " + std::to_string(t.matches.size()) + " matches, these rules play " +
           std::to_string(again.matches.size());
  if (again.standings.size() != t.standings.size()) return "standings differ in length";
  for (std::size_t i = 0; i < t.standings.size(); ++i)
    if (!(again.standings[i] == t.standings[i]))
      return "standings[" + std::to_string(i) + "] differs from the standings these results give";
  return std::nullopt;
}

}  // namespace momiru::report
