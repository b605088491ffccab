// Whole battles per second for a pairing: outcome only (batch simulations) and with the whole
// log text (replays). Targets on one core: 1,000,000 and 250,000 battles/s, for the first pairing
// (every kind of move, many repeat moves); the second, mostly single blows, is for comparison.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/headless.h"
#include "data/game_state.h"
#include "data/save_data.h"

namespace {

using namespace momiru;
using namespace momiru::battle;

Combatant make(const char* name, std::array<std::int32_t, 4> hp, std::array<std::int32_t, 4> ofe,
               std::array<std::int32_t, 4> def,
               std::array<std::pair<const char*, std::int32_t>, 8> moves) {
  Combatant c;
  c.CharName = name;
  c.CharLv = 12;
  c.HP = hp;
  c.OFE = ofe;
  c.DEF = def;
  for (std::size_t m = 0; m < 8; ++m) {
    c.WazaName[m] = moves[m].first;
    c.WazaPow[m] = moves[m].second;
  }
  return c;
}

// The pairing measured: two committed samples, or records made here when they are not found.
GameState pairing(const char* a, const char* b) {
  GameState gs;
  gs.CrLf = "\r\n";
  const std::string dir = MOMIRU_SOURCE_DIR "/samples/";
  if (LoadSaveData(gs, 0, dir + a + ".dat").outcome == LoadOutcome::Loaded &&
      LoadSaveData(gs, 1, dir + b + ".dat").outcome == LoadOutcome::Loaded) {
    return gs;
  }
  gs.combatant[0] = make("kuma.datのクマ", {62, 48, 55, 80}, {9, 14, 12, 8}, {6, 5, 7, 9},
                         {{{"H-S念力", 8},
                           {"A--パンチ", 4},
                           {"AR-連続パンチ", 6},
                           {"L--キック", 5},
                           {"B--体当たり", 7},
                           {"---NO DATA", 0},
                           {"---NO DATA", 0},
                           {"---NO DATA", 0}}});
  gs.combatant[1] = make("tori.datのトリ", {55, 60, 42, 70}, {12, 10, 15, 9}, {5, 7, 4, 8},
                         {{{"HR-つつく", 3},
                           {"A--はばたき", 5},
                           {"L--ひっかき", 4},
                           {"L-Sかぎづめ", 9},
                           {"B--ずつき", 6},
                           {"H--にらむ", 2},
                           {"---NO DATA", 0},
                           {"---NO DATA", 0}}});
  return gs;
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
