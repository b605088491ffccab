// Tournaments of the committed samples for the tests and benchmarks: the eight records, a closed
// field drawn from a fixed secret, and a match played battle by battle as the colosseum plays it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "battle/battle_player.h"
#include "data/save_data.h"
#include "report/match_play.h"
#include "report/tournament.h"
#include "report/tournament_draw.h"

namespace momiru::testing {

inline constexpr const char* kSampleFiles[] = {"gansekimaru.dat", "hinotori.dat",   "inazuma.dat",
                                               "karappo.dat",     "nenrikibou.dat", "pochimaru.dat",
                                               "rendaa.dat",      "zutsukiya.dat"};

// The eight samples' records, loaded once.
inline const std::vector<Combatant>& sampleRecords() {
  static const std::vector<Combatant> records = [] {
    std::vector<Combatant> out;
    for (const char* name : kSampleFiles) {
      GameState gs;
      const auto path = std::filesystem::path(MOMIRU_SOURCE_DIR) / "samples" / name;
      // The samples are committed: a field without them would test nothing.
      if (loadSaveData(gs, 0, path).outcome != LoadOutcome::Loaded) {
        std::fprintf(stderr, "sample %s cannot be loaded\n", name);
        std::abort();
      }
      out.push_back(gs.combatant[0]);
    }
    return out;
  }();
  return records;
}

struct FieldOptions {
  int bestOf = 1;
  int rounds = 0;
  bool thirdPlace = false;
  bool halve = false;
  report::Seeding seeding = report::Seeding::Draw;
  std::string name = "test";
  std::string secret = std::string(64, '0');
  std::optional<std::string> beacon = std::string("b");
  // The beacon's kind and source declared; nothing for a field as files before the declaration
  // had it (the golden tournaments).
  std::optional<report::BeaconDeclaration> declared;
};

// A closed field of `n` entries with its seed: the samples, each copy after the first eight with
// a little more torso HP so that every record differs.
inline report::Tournament sampleField(std::size_t n, report::Format format,
                                      const FieldOptions& o = {}) {
  report::Tournament t;
  t.name = o.name;
  t.rules.format = format;
  t.rules.bestOf = o.bestOf;
  t.rules.rounds = o.rounds;
  t.rules.thirdPlace = o.thirdPlace;
  t.rules.halve = o.halve;
  t.rules.seeding = o.seeding;
  for (std::size_t i = 0; i < n; ++i) {
    Combatant c = sampleRecords()[i % 8];
    c.hp[3] += static_cast<std::int32_t>(i / 8);
    t.entries.push_back(report::makeEntry(kSampleFiles[i % 8], c));
  }
  t.secret = o.secret;
  t.declared = o.declared;
  t.commitment = report::commitmentOf(t, *t.secret);
  t.beacon = o.beacon;
  t.entriesDigest = report::entriesDigestOf(t.entries);
  t.seed = report::tournamentSeedOf(t, *t.secret, *t.entriesDigest);
  t.stage = report::Stage::Closed;
  return t;
}

// The battles of a match as the colosseum plays them: the battle player ticked from load() to
// the result, or to the end of the turn cap, with nothing to show.
inline report::Match playOnScreen(const report::Tournament& t, const report::Match& m) {
  report::MatchPlay play(t, m);
  while (const auto b = play.nextBattle()) {
    GameState gs = battle::startState(report::tournamentBattleStart(t, *b));
    gs.randomUnit.seed(b->seed);
    battle::SilentView view;
    battle::BattlePlayer player(gs, view);
    player.load();
    while (player.turnInProgress() || (!battle::isOver(player.judgement()) &&
                                       player.turnsStarted() < battle::kDefaultMaxTurns)) {
      if (player.turnInProgress()) {
        player.stepTick();
      } else {
        player.schedulerTick();
      }
    }
    play.record(report::battleRecordOf(*b, gs, battle::screenOutcome(player)));
  }
  return play.match();
}

}  // namespace momiru::testing
