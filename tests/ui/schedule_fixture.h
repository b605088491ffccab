// Tournaments of the samples as play schedules them, stopped after a number of matches, for the
// tournament views' tests and benchmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "data/save_data.h"
#include "report/tournament.h"
#include "report/tournament_play.h"

namespace momiru::uitest {

struct ScheduleFixture {
  report::Tournament t;
  std::vector<report::ScheduledMatch> schedule;
};

// A closed field of `n` entries with its seed, best of 3: the samples, each copy a little
// stronger than the one before. Swiss plays `rounds` rounds; single elimination has a
// third-place match.
inline report::Tournament sampleField(std::size_t n, report::Format format, int rounds = 0) {
  static const char* const kSamples[] = {"gansekimaru", "hinotori",  "inazuma", "karappo",
                                         "nenrikibou",  "pochimaru", "rendaa",  "zutsukiya"};
  static const std::vector<Combatant> records = [] {
    std::vector<Combatant> out;
    for (const char* name : kSamples) {
      GameState gs;
      LoadSaveData(gs, 0, std::string(MOMIRU_SOURCE_DIR "/samples/") + name + ".dat");
      out.push_back(gs.combatant[0]);
    }
    return out;
  }();
  report::Tournament t;
  t.name = "テスト杯";
  t.rules.format = format;
  t.rules.bestOf = 3;
  t.rules.rounds = rounds;
  t.rules.thirdPlace = format == report::Format::Single;
  for (std::size_t i = 0; i < n; ++i) {
    Combatant c = records[i % 8];
    c.hp[3] += static_cast<std::int32_t>(i / 8);
    t.entries.push_back(report::makeEntry(std::string(kSamples[i % 8]) + ".dat", c));
  }
  t.secret = std::string(64, '5');
  t.commitment = report::commitmentOf(*t.secret);
  t.entriesDigest = report::entriesDigestOf(t.entries);
  t.seed = report::tournamentSeedOf(*t.secret, *t.entriesDigest, std::nullopt);
  t.stage = report::Stage::Closed;
  return t;
}

// `t` played until `matches` matches (byes aside) are played, or to its end.
inline ScheduleFixture playedFor(report::Tournament t, std::size_t matches, unsigned threads = 1) {
  report::TournamentPlay play(std::move(t));
  std::size_t done = 0;
  play.playRest(
      threads, [&] { return done >= matches; },
      [&](std::size_t count, std::size_t) { done = count; });
  return {play.tournament(), play.schedule()};
}

}  // namespace momiru::uitest
