// Schedules made by hand for the tournament views' tests and benchmark: brackets of the shape the
// tournament plays (ids, brackets, rounds, where each slot comes from), played in schedule order
// up to a count, the first player of each match winning 2-1 in best of 3. Byes are decided as
// soon as their players are known, as in play.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "report/tournament.h"
#include "report/tournament_play.h"

namespace momiru::uitest {

struct ScheduleFixture {
  report::Tournament t;
  std::vector<report::ScheduledMatch> schedule;
};

namespace detail {

inline report::ScheduledMatch planned(std::string id, int round, const char* bracket,
                                      report::SlotSource a, report::SlotSource b) {
  report::ScheduledMatch m;
  m.match.id = std::move(id);
  m.match.round = round;
  m.match.bracket = bracket;
  m.from = {std::move(a), std::move(b)};
  return m;
}

inline report::SlotSource winnerOf(const std::string& id) {
  return {report::SlotSource::WinnerOf, -1, id};
}
inline report::SlotSource loserOf(const std::string& id) {
  return {report::SlotSource::LoserOf, -1, id};
}
inline std::string matchId(const char* prefix, int round, int number) {
  return prefix + std::to_string(round) + "-" + std::to_string(number);
}

// The winners' bracket: the first round pairs seed k with seed size+1-k, byes for the seeds the
// field does not have. Returns the ids of each round.
inline std::vector<std::vector<std::string>> winners(std::vector<report::ScheduledMatch>& out,
                                                     int entries, const char* prefix) {
  int size = 1;
  while (size < entries) size *= 2;
  std::vector<std::vector<std::string>> rounds(1);
  for (int j = 0; j < size / 2; ++j) {
    const int a = j;
    const int b = size - 1 - j;
    const auto slot = [entries](int e) {
      return e < entries ? report::SlotSource{report::SlotSource::Entry, e, {}}
                         : report::SlotSource{};
    };
    out.push_back(planned(matchId(prefix, 1, j + 1), 1, "winners", slot(a), slot(b)));
    rounds.back().push_back(out.back().match.id);
  }
  for (int round = 2; rounds.back().size() > 1; ++round) {
    const std::vector<std::string> prev = rounds.back();
    rounds.emplace_back();
    for (std::size_t j = 0; j < prev.size() / 2; ++j) {
      out.push_back(planned(matchId(prefix, round, static_cast<int>(j) + 1), round, "winners",
                            winnerOf(prev[2 * j]), winnerOf(prev[2 * j + 1])));
      rounds.back().push_back(out.back().match.id);
    }
  }
  return rounds;
}

// Fills the players from the matches decided and plays up to `toPlay` matches in schedule order.
inline void play(ScheduleFixture& f, std::size_t toPlay) {
  std::map<std::string, const report::ScheduledMatch*> byId;
  for (report::ScheduledMatch& m : f.schedule) {
    bool known = true;
    for (std::size_t s = 0; s < 2; ++s) {
      const report::SlotSource& from = m.from[s];
      if (from.kind == report::SlotSource::Entry) m.match.players[s] = from.entry;
      if (from.kind != report::SlotSource::WinnerOf && from.kind != report::SlotSource::LoserOf)
        continue;
      const report::ScheduledMatch* source = byId.at(from.matchId);
      if (!source->played) {
        known = false;
        continue;
      }
      const auto& w = source->match.winner;
      const auto& p = source->match.players;
      if (from.kind == report::SlotSource::WinnerOf)
        m.match.players[s] = w;
      else if (w && p[0] && p[1])
        m.match.players[s] = *w == *p[0] ? p[1] : p[0];
    }
    byId[m.match.id] = &m;
    if (!known) continue;
    const auto& p = m.match.players;
    if (!p[0] || !p[1]) {
      m.bye = m.played = true;
      m.match.winner = p[0] ? p[0] : p[1];
    } else if (toPlay > 0) {
      --toPlay;
      m.played = true;
      for (const int winner : {*p[0], *p[1], *p[0]})
        m.match.battles.push_back(report::BattleRecord{0, *p[0], winner, 12, ""});
      m.match.winner = p[0];
    }
    if (m.played && (p[0] || p[1])) f.t.matches.push_back(m.match);
  }
}

}  // namespace detail

inline report::Tournament namedField(int entries, report::Format format) {
  report::Tournament t;
  t.name = "テスト杯";
  t.rules.format = format;
  t.rules.bestOf = 3;
  t.stage = report::Stage::Closed;
  static const char* const kNames[] = {"ポチ", "タマ", "ミケ", "シロ",
                                       "クロ", "ハチ", "コロ", "モモ"};
  for (int i = 0; i < entries; ++i) {
    report::Entry e;
    e.file = "e" + std::to_string(i) + ".dat";
    e.storedName = std::string(kNames[i % 8]) + (i >= 8 ? std::to_string(i / 8 + 1) : "");
    t.entries.push_back(e);
    t.seeds.push_back(i);
  }
  return t;
}

// Single or double elimination of `entries`, `played` matches played (byes aside).
inline ScheduleFixture elimination(int entries, report::Format format, std::size_t played,
                                   bool thirdPlace = true) {
  using detail::loserOf;
  using detail::matchId;
  using detail::planned;
  using detail::winnerOf;
  ScheduleFixture f{namedField(entries, format), {}};
  auto& out = f.schedule;
  if (format == report::Format::Single) {
    f.t.rules.thirdPlace = thirdPlace;
    const auto rounds = detail::winners(out, entries, "R");
    out.back().match.bracket = "final";
    if (thirdPlace && rounds.size() >= 2) {
      const auto& semis = rounds[rounds.size() - 2];
      out.push_back(planned("3P", static_cast<int>(rounds.size()), "third-place", loserOf(semis[0]),
                            loserOf(semis[1])));
    }
  } else {
    const auto w = detail::winners(out, entries, "W");
    std::string champion = w.back()[0];
    report::SlotSource lChampion = loserOf(champion);
    if (w.size() >= 2) {
      int lround = 1;
      std::vector<std::string> field;
      for (std::size_t j = 0; j < w[0].size() / 2; ++j) {
        out.push_back(planned(matchId("L", lround, static_cast<int>(j) + 1), lround, "losers",
                              loserOf(w[0][2 * j]), loserOf(w[0][2 * j + 1])));
        field.push_back(out.back().match.id);
      }
      for (std::size_t k = 1; k < w.size(); ++k) {
        ++lround;
        std::vector<std::string> next;
        for (std::size_t j = 0; j < field.size(); ++j) {
          out.push_back(planned(matchId("L", lround, static_cast<int>(j) + 1), lround, "losers",
                                winnerOf(field[j]), loserOf(w[k][field.size() - 1 - j])));
          next.push_back(out.back().match.id);
        }
        field = next;
        if (field.size() == 1) break;
        ++lround;
        std::vector<std::string> halved;
        for (std::size_t j = 0; j + 1 < field.size(); j += 2) {
          out.push_back(planned(matchId("L", lround, static_cast<int>(j / 2) + 1), lround, "losers",
                                winnerOf(field[j]), winnerOf(field[j + 1])));
          halved.push_back(out.back().match.id);
        }
        field = halved;
      }
      lChampion = winnerOf(field.front());
    }
    out.push_back(planned("GF1", 1, "final", winnerOf(champion), lChampion));
  }
  detail::play(f, played);
  f.t.standings = report::computeStandings(f.t);
  return f;
}

// A Swiss tournament of `entries` with `rounds` rounds paired: in each, neighbours in the list
// meet and the last one has the bye when the field is odd; rounds up to `playedRounds` played.
inline ScheduleFixture swiss(int entries, int rounds, int playedRounds) {
  ScheduleFixture f{namedField(entries, report::Format::Swiss), {}};
  f.t.rules.rounds = rounds;
  for (int r = 1; r <= rounds; ++r) {
    int number = 0;
    for (int a = 0; a + 1 < entries; a += 2) {
      const int b = a + 1;
      report::ScheduledMatch m =
          detail::planned(detail::matchId("R", r, ++number), r, "swiss",
                          {report::SlotSource::Entry, a, {}}, {report::SlotSource::Entry, b, {}});
      m.match.players = {a, b};
      f.schedule.push_back(m);
    }
    if (entries % 2 != 0) {
      report::ScheduledMatch m = detail::planned(detail::matchId("R", r, ++number), r, "swiss",
                                                 {report::SlotSource::Entry, entries - 1, {}}, {});
      m.match.players = {entries - 1, std::nullopt};
      m.bye = true;
      f.schedule.push_back(m);
    }
  }
  for (report::ScheduledMatch& m : f.schedule) {
    if (m.match.round > playedRounds) continue;
    m.played = true;
    const auto& p = m.match.players;
    m.match.winner = p[0];
    if (p[1])
      for (const int winner : {*p[0], *p[1], *p[0]})
        m.match.battles.push_back(report::BattleRecord{0, *p[0], winner, 12, ""});
    f.t.matches.push_back(m.match);
  }
  f.t.standings = report::computeStandings(f.t);
  return f;
}

}  // namespace momiru::uitest
