// The plans of the draw: bracket positions by seed, the winners' and the losers' brackets, and
// the circle method of a round robin.
#include "report/bracket_plans.h"

#include <algorithm>
#include <utility>

namespace momiru::report::detail {

namespace {

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

}  // namespace

std::string matchId(const char* prefix, int round, int number) {
  return std::string(prefix) + std::to_string(round) + "-" + std::to_string(number);
}

namespace {

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

}  // namespace

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

}  // namespace momiru::report::detail
