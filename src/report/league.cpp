// Playing a league: every ordered pairing as one pairing of the batch runner.
#include "report/league.h"

namespace momiru::report {

std::vector<OrderedPairing> schedule(std::size_t n) {
  std::vector<OrderedPairing> pairings;
  pairings.reserve(n * (n > 0 ? n - 1 : 0));
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (i != j) pairings.push_back({i, j});
    }
  }
  return pairings;
}

LeagueResults runLeague(const std::vector<Combatant>& entrants, const LeagueSettings& settings,
                        const std::function<void(std::uint64_t, std::uint64_t)>& progress,
                        const battle::ThreadLauncher& launch) {
  const std::size_t n = entrants.size();
  const std::vector<OrderedPairing> pairings = schedule(n);
  battle::BatchSettings batch;
  batch.battles = settings.battles;
  batch.seed = settings.seed;
  batch.maxTurns = settings.maxTurns;
  batch.jobs = settings.jobs;
  // A pairing's battles in a few pieces, so that the threads move from pairing to pairing
  // seldom.
  batch.chunkBattles = 1024;
  batch.progress = progress;
  batch.launch = launch;
  battle::BatchResult played = battle::runBatch(
      pairings.size(),
      [&](std::size_t p) {
        return battle::startState(battle::pairingStart(
            entrants[pairings[p].player1], entrants[pairings[p].player2], settings.halve));
      },
      batch);

  LeagueResults out;
  out.characters = n;
  out.threadsWanted = played.threadsWanted;
  out.threadsStarted = played.threadsStarted;
  out.results.assign(n * n, PairingResult{});
  for (std::size_t p = 0; p < pairings.size(); ++p)
    out.results[pairings[p].player1 * n + pairings[p].player2] = std::move(played.tallies[p]);
  return out;
}

}  // namespace momiru::report
