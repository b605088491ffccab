// A league: every ordered pairing of a set of characters plays the same number of battles, on as
// many threads as can be started, with every battle's seed derived from one seed.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "battle/batch_runner.h"
#include "battle/battle_start.h"
#include "battle/headless.h"
#include "data/game_state.h"
#include "report/ratings.h"

namespace momiru::report {

struct LeagueSettings {
  std::uint64_t battles = 2000;  // per ordered pairing
  std::uint64_t seed = 0;
  bool halve = false;
  std::int32_t maxTurns = battle::kDefaultMaxTurns;
  unsigned jobs = 1;
};

// The ordered pairings of n characters in schedule order: character i as player 1 meets every
// other character j as player 2, i major. Pairing number p has its battles' seeds at indices
// p * battles .. p * battles + battles - 1 of the run's seed sequence, so a league of two
// characters plays the same battles as `simulate A B --mirror`.
struct OrderedPairing {
  std::size_t player1;
  std::size_t player2;
};
std::vector<OrderedPairing> schedule(std::size_t n);

struct LeagueResults {
  std::size_t characters = 0;
  std::vector<PairingResult> results;  // characters * characters, [player1 * n + player2]
  unsigned threadsWanted = 0;          // settings.jobs, or fewer when there is less work
  unsigned threadsStarted = 0;         // 0 when every battle ran on the calling thread
};

// Plays the league of `entrants`. `progress(done, total)` is called on the calling thread about
// ten times a second while the workers run, and once at the end. Up to settings.jobs threads are
// started through `launch`; when fewer start, those that did play everything, and when none does
// the calling thread plays. The results depend only on the entrants and the settings, never on the
// threads. Throws std::bad_alloc, after every thread has ended, when memory runs out on one.
LeagueResults runLeague(const std::vector<Combatant>& entrants, const LeagueSettings& settings,
                        const std::function<void(std::uint64_t, std::uint64_t)>& progress = {},
                        const battle::ThreadLauncher& launch = battle::startThread);

}  // namespace momiru::report
