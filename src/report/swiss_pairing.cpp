// The Swiss pairing: score groups top half against bottom half, floaters carried down, and a
// widening repair of the tail, each step a maximum-weight matching from Boost Graph.
#include "report/swiss_pairing.h"

#include <algorithm>
#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/maximum_weighted_matching.hpp>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace momiru::report {

namespace {

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

}  // namespace momiru::report
