// Standings: places by the round reached in elimination, points and tie-breaks elsewhere.
#include "report/standings.h"

#include <algorithm>
#include <climits>
#include <map>

namespace momiru::report {

namespace {

// What an entry's matches add up to, for its standing: its points, its won matches, its battles
// won and lost, and each opponent it met with the score against it.
struct EntryTally {
  double points = 0;
  int matchWins = 0;
  int battleWins = 0;
  int battleLosses = 0;
  std::vector<std::pair<int, double>> opponents;  // an opponent and the score against it
  std::map<int, double> scoredAgainst;
};

std::vector<EntryTally> tally(const Tournament& t) {
  std::vector<EntryTally> out(t.entries.size());
  for (const Match& m : t.matches) {
    if (!m.players[0] || !m.players[1]) {
      const std::optional<int> alone = m.players[0] ? m.players[0] : m.players[1];
      if (alone) {
        // A bye counts as a won match.
        out[static_cast<std::size_t>(*alone)].points += matchHalfPoints(m, *alone) / 2.0;
        out[static_cast<std::size_t>(*alone)].matchWins += 1;
      }
      continue;
    }
    const int side[2] = {*m.players[0], *m.players[1]};
    for (int s = 0; s < 2; ++s) {
      EntryTally& me = out[static_cast<std::size_t>(side[s])];
      const int other = side[1 - s];
      // 1, ½ or 0: halves are exact in a double, so every sum of them is too.
      const double score = matchHalfPoints(m, side[s]) / 2.0;
      me.points += score;
      if (score == 1.0) ++me.matchWins;
      me.opponents.emplace_back(other, score);
      me.scoredAgainst[other] += score;
      for (const BattleRecord& b : m.battles) {
        if (!b.winner) continue;
        (*b.winner == side[s] ? me.battleWins : me.battleLosses) += 1;
      }
    }
  }
  return out;
}

std::vector<int> drawOrder(const Tournament& t) {
  std::vector<int> order(t.entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  if (t.seeds.size() == t.entries.size())
    for (std::size_t i = 0; i < t.seeds.size(); ++i)
      order[static_cast<std::size_t>(t.seeds[i])] = static_cast<int>(i);
  return order;
}

std::vector<Standing> eliminationStandings(const Tournament& t,
                                           const std::vector<EntryTally>& tallies,
                                           const std::vector<int>& draw) {
  const std::size_t n = t.entries.size();
  // How far each entry came: the stage of the match that put it out, and 1 for the winner of
  // the match for third place. The champion is never put out.
  std::vector<std::pair<int, int>> reached(n, {INT_MAX, 0});
  const bool isDouble = t.rules.format == Format::Double;
  for (const Match& m : t.matches) {
    if (!m.players[0] || !m.players[1] || !m.winner) continue;
    const int loser = *m.winner == *m.players[0] ? *m.players[1] : *m.players[0];
    int stage = m.round;
    if (m.bracket == Bracket::Winners && isDouble) continue;
    if (m.bracket == Bracket::Final) {
      // The first grand final puts nobody out when the losers' bracket winner takes it.
      if (isDouble && m.round == 1 && *m.winner == *m.players[1]) continue;
      stage = (isDouble ? 100000 : m.round + 1) + m.round;
    }
    if (m.bracket == Bracket::ThirdPlace)
      reached[static_cast<std::size_t>(*m.winner)] = {m.round, 1};
    reached[static_cast<std::size_t>(loser)] = {stage, 0};
  }
  std::vector<int> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<int>(i);
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    const auto ua = static_cast<std::size_t>(a);
    const auto ub = static_cast<std::size_t>(b);
    if (reached[ua] != reached[ub]) return reached[ua] > reached[ub];
    return draw[ua] < draw[ub];
  });
  std::vector<Standing> out;
  for (std::size_t i = 0; i < n; ++i) {
    const auto e = static_cast<std::size_t>(order[i]);
    std::size_t first = i;
    while (first > 0 && reached[static_cast<std::size_t>(order[first - 1])] == reached[e]) --first;
    std::size_t last = i;
    while (last + 1 < n && reached[static_cast<std::size_t>(order[last + 1])] == reached[e]) ++last;
    Standing s;
    s.rank = static_cast<int>(first) + 1;
    s.entry = order[i];
    s.points = tallies[e].points;
    s.tieBreaks = {{TieBreak::LastPlace, static_cast<double>(last + 1)},
                   {TieBreak::DrawOrder, static_cast<double>(draw[e] + 1)}};
    out.push_back(std::move(s));
  }
  return out;
}

std::vector<Standing> pointStandings(const Tournament& t, const std::vector<EntryTally>& tallies,
                                     const std::vector<int>& draw) {
  const std::size_t n = t.entries.size();
  const bool swiss = t.rules.format == Format::Swiss;
  struct Row {
    int entry;
    double points;
    std::vector<std::pair<TieBreak, double>> tieBreaks;
    // What the order looks at: key 0 the points, then the tie-breaks.
    std::size_t keyCount() const { return 1 + tieBreaks.size(); }
    double key(std::size_t k) const { return k == 0 ? points : tieBreaks[k - 1].second; }
  };
  std::vector<Row> rows;
  for (std::size_t e = 0; e < n; ++e) {
    const EntryTally& me = tallies[e];
    std::vector<double> opp;
    double sb = 0;
    for (const auto& [o, score] : me.opponents) {
      const double p = tallies[static_cast<std::size_t>(o)].points;
      opp.push_back(p);
      sb += p * score;
    }
    double buchholz = 0;
    for (const double p : opp) buchholz += p;
    double median = buchholz;
    if (opp.size() >= 3)
      median -=
          *std::max_element(opp.begin(), opp.end()) + *std::min_element(opp.begin(), opp.end());
    Row row{static_cast<int>(e), me.points, {}};
    if (swiss) {
      row.tieBreaks.emplace_back(TieBreak::Buchholz, buchholz);
      row.tieBreaks.emplace_back(TieBreak::MedianBuchholz, median);
    }
    row.tieBreaks.emplace_back(TieBreak::SonnebornBerger, sb);
    rows.push_back(std::move(row));
  }
  // Head-to-head: the score among the entries level on everything before it.
  const auto before = [](const Row& a, const Row& b) {
    for (std::size_t k = 0; k < a.keyCount(); ++k)
      if (a.key(k) != b.key(k)) return a.key(k) > b.key(k);
    return false;
  };
  // In a round robin head-to-head comes right after the points.
  const std::size_t h2hAfter = swiss ? rows.empty() ? 0 : rows[0].keyCount() : 1;
  const auto headKeys = [&](const Row& a, const Row& b) {
    for (std::size_t k = 0; k < h2hAfter; ++k)
      if (a.key(k) != b.key(k)) return a.key(k) > b.key(k);
    return false;
  };
  std::sort(rows.begin(), rows.end(), headKeys);
  std::vector<double> h2h(n, 0);
  for (std::size_t i = 0; i < rows.size();) {
    std::size_t j = i;
    while (j < rows.size() && !headKeys(rows[i], rows[j]) && !headKeys(rows[j], rows[i])) ++j;
    for (std::size_t a = i; a < j; ++a) {
      const EntryTally& me = tallies[static_cast<std::size_t>(rows[a].entry)];
      for (std::size_t b = i; b < j; ++b) {
        const auto it = me.scoredAgainst.find(rows[b].entry);
        if (it != me.scoredAgainst.end())
          h2h[static_cast<std::size_t>(rows[a].entry)] += it->second;
      }
    }
    i = j;
  }
  for (Row& row : rows) {
    const auto e = static_cast<std::size_t>(row.entry);
    row.tieBreaks.insert(row.tieBreaks.begin() + static_cast<std::ptrdiff_t>(h2hAfter - 1),
                         {TieBreak::HeadToHead, h2h[e]});
    row.tieBreaks.emplace_back(TieBreak::MatchWins, tallies[e].matchWins);
    row.tieBreaks.emplace_back(TieBreak::BattleDifference,
                               tallies[e].battleWins - tallies[e].battleLosses);
  }
  std::sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    if (before(a, b)) return true;
    if (before(b, a)) return false;
    return draw[static_cast<std::size_t>(a.entry)] < draw[static_cast<std::size_t>(b.entry)];
  });
  std::vector<Standing> out;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    Standing s;
    s.rank = static_cast<int>(i) + 1;
    s.entry = rows[i].entry;
    s.points = rows[i].points;
    s.tieBreaks = std::move(rows[i].tieBreaks);
    s.tieBreaks.emplace_back(TieBreak::DrawOrder,
                             draw[static_cast<std::size_t>(rows[i].entry)] + 1);
    out.push_back(std::move(s));
  }
  return out;
}

}  // namespace

int matchHalfPoints(const Match& m, int entry) {
  if (m.players[0] != entry && m.players[1] != entry) return 0;
  if (!m.players[0] || !m.players[1]) return 2;
  if (!m.winner) return 1;
  return *m.winner == entry ? 2 : 0;
}

std::vector<Standing> computeStandings(const Tournament& t) {
  const std::vector<EntryTally> tallies = tally(t);
  const std::vector<int> draw = drawOrder(t);
  if (t.rules.format == Format::Single || t.rules.format == Format::Double)
    return eliminationStandings(t, tallies, draw);
  return pointStandings(t, tallies, draw);
}

}  // namespace momiru::report
