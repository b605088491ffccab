// The one runner of many battles on threads, for every count of many battles (simulate, the
// league, a battle page's odds): each battle's seed derived from one run seed, the outcomes
// counted in one tally, the same figures whatever the number of threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <vector>

#include "battle/headless.h"
#include "battle/worker_pool.h"
#include "data/game_state.h"

namespace momiru::battle {

// The seed of battle `index` of a run with seed `runSeed`. Battle `index` of
// `momiru-lab simulate --seed S` is `momiru-lab battle --seed battleSeed(S, index)`.
std::uint64_t battleSeed(std::uint64_t runSeed, std::uint64_t index);

// How a battle ended, in the order the reports list them.
enum class OutcomeKind { Player1Wins, Player2Wins, Draw, Unfinished };
inline constexpr std::size_t kOutcomeKinds = 4;

OutcomeKind outcomeKind(const Outcome& o);

// The count of some battles of one pairing. Only sums and minimums, so two tallies of the same
// battles are equal whatever order the battles were added in.
struct PairingTally {
  static constexpr std::uint64_t kNoBattle = std::numeric_limits<std::uint64_t>::max();

  std::uint64_t player1Wins = 0;
  std::uint64_t player2Wins = 0;
  std::uint64_t draws = 0;
  std::uint64_t unfinished = 0;
  std::uint64_t turnSum = 0;      // turns of the finished battles
  std::uint64_t turnsPlayed = 0;  // turns of every battle, the unfinished ones included
  // The run index of the first battle of each kind (by OutcomeKind), kNoBattle for none.
  std::array<std::uint64_t, kOutcomeKinds> firstIndex{kNoBattle, kNoBattle, kNoBattle, kNoBattle};
  // Finished battles by their turns, when the run keeps the lengths.
  std::map<std::int32_t, std::uint64_t> lengths;

  std::uint64_t finished() const { return player1Wins + player2Wins + draws; }
  std::uint64_t battles() const { return finished() + unfinished; }
  std::uint64_t count(OutcomeKind kind) const;

  // Battle `index` of the run, which ended as `o`.
  void add(std::uint64_t index, const Outcome& o, bool keepLengths);
  void merge(const PairingTally& other);

  bool operator==(const PairingTally&) const = default;
};

// No cap on the turns of a pairing: every battle asked for counts.
inline constexpr std::uint64_t kNoTurnBudget = std::numeric_limits<std::uint64_t>::max();
inline constexpr std::uint64_t kBudgetedChunk = 16;

struct BatchSettings {
  std::uint64_t battles = 0;  // per pairing
  std::uint64_t seed = 0;     // the run seed
  std::int32_t maxTurns = kDefaultMaxTurns;
  unsigned jobs = 1;  // threads wanted
  bool keepLengths = false;
  // Battles a thread takes at a time: large enough that handing them out costs nothing, small
  // enough that the threads finish together and the progress moves. The figures never depend on
  // it; at most one thread per chunk is started.
  std::uint64_t chunkBattles = 256;
  // Each pairing counts its battles in order for as long as the turns of those before add up to
  // less than this (always at least one battle): battles that never end cost a bounded time, and
  // which battles count does not depend on the machine. The budget is looked at between chunks,
  // so with one the chunks are kBudgetedChunk battles: each thread plays at most that many past
  // it.
  std::uint64_t turnBudget = kNoTurnBudget;
  // Called on the calling thread about ten times a second while threads play, and once at the
  // end, with the battles played so far and the battles asked for.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
  ThreadLauncher launch = startThread;
};

struct BatchResult {
  std::vector<PairingTally> tallies;  // by pairing
  unsigned threadsWanted = 0;         // settings.jobs, or fewer when there is less work
  unsigned threadsStarted = 0;        // 0 when every battle ran on the calling thread
};

// Plays `pairings` pairings of settings.battles battles each; pairing p starts from
// startOf(p) and plays the battles p * battles .. p * battles + battles - 1 of the run's seed
// sequence; startOf is called on the threads, at the start of each of their runs of one pairing.
// Up to settings.jobs threads are started through settings.launch; when fewer start,
// those that did play everything, and when none does the calling thread plays. The tallies depend
// only on the pairings and the settings, never on the threads. When a battle throws on a thread
// (std::bad_alloc when memory runs out), every thread stops at its next chunk and, once all have
// ended, the exception is thrown here.
BatchResult runBatch(std::size_t pairings, const std::function<GameState(std::size_t)>& startOf,
                     const BatchSettings& settings);

}  // namespace momiru::battle
