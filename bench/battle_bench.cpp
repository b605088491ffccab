// Whole battles per second for a pairing: outcome only (batch simulations) and with the whole
// log text (replays), both through the rules the battle screen plays. Targets on one core:
// 1,000,000 and 500,000 battles/s, for the first pairing
// (every kind of move, many repeat moves); the second, mostly single blows, is for comparison.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/headless.h"
#include "data/game_state.h"
#include "data/save_data.h"
#include "support/records.h"

namespace {

using namespace momiru;
using namespace momiru::battle;

// The pairing measured: two committed samples, or records made here when they are not found.
GameState pairing(const char* a, const char* b) {
  GameState gs;
  const std::string dir = MOMIRU_SOURCE_DIR "/samples/";
  if (loadSaveData(gs, 0, dir + a + ".dat").outcome == LoadOutcome::Loaded &&
      loadSaveData(gs, 1, dir + b + ".dat").outcome == LoadOutcome::Loaded) {
    return gs;
  }
  return momiru::testing::sanePair();
}

template <bool kTexts>
void battles(benchmark::State& state, const char* a, const char* b) {
  BatchBattles<kTexts> runner(pairing(a, b));
  std::uint64_t seed = 1;
  std::int64_t turns = 0;
  for (auto _ : state) {
    const Outcome out = runner.play(seed++);
    turns += out.turns;
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["turns/s"] =
      benchmark::Counter(static_cast<double>(turns), benchmark::Counter::kIsRate);
  state.counters["turns/battle"] =
      static_cast<double>(turns) / static_cast<double>(state.iterations());
}

void BM_BattleOutcomeOnly(benchmark::State& state, const char* a, const char* b) {
  battles<false>(state, a, b);
}
void BM_BattleWithLog(benchmark::State& state, const char* a, const char* b) {
  battles<true>(state, a, b);
}

BENCHMARK_CAPTURE(BM_BattleOutcomeOnly, pochimaru_rendaa, "pochimaru", "rendaa");
BENCHMARK_CAPTURE(BM_BattleWithLog, pochimaru_rendaa, "pochimaru", "rendaa");
BENCHMARK_CAPTURE(BM_BattleOutcomeOnly, hinotori_gansekimaru, "hinotori", "gansekimaru");
BENCHMARK_CAPTURE(BM_BattleWithLog, hinotori_gansekimaru, "hinotori", "gansekimaru");

}  // namespace
