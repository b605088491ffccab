// Tournaments of the samples as play schedules them, stopped after a number of matches, for the
// tournament views' tests and benchmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "report/tournament.h"
#include "report/tournament_schedule.h"
#include "support/tournament_fixture.h"

namespace momiru::uitest {

struct ScheduleFixture {
  report::Tournament t;
  std::vector<report::ScheduledMatch> schedule;
};

// A closed field of `n` entries with its seed, best of 3: the samples, each copy a little
// stronger than the one before. Swiss plays `rounds` rounds; single elimination has a
// third-place match.
inline report::Tournament sampleField(std::size_t n, report::Format format, int rounds = 0) {
  momiru::testing::FieldOptions o;
  o.name = "テスト杯";
  o.bestOf = 3;
  o.rounds = rounds;
  o.thirdPlace = format == report::Format::Single;
  o.secret = std::string(64, '5');
  o.beacon = std::nullopt;
  return momiru::testing::sampleField(n, format, o);
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
