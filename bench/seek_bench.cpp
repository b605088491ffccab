// A viewer's seek: the battle played again from its start up to a turn, as the battle screen's
// player does it. Target: under 16 ms (one display frame) to the last turn of a 10,000-turn
// battle.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "battle/battle_player.h"
#include "data/game_state.h"
#include "support/records.h"

namespace {

using namespace momiru;
using namespace momiru::battle;

// Two sides whose every move heals the part that pays for it more than any blow can take: the
// battle never ends, and every kind of move is played.
GameState endless() {
  GameState gs;
  for (std::size_t s = 0; s < kSlots; ++s) {
    gs.combatant[s] = momiru::testing::fighter(
        s == 0 ? "kuma.datのクマ" : "tori.datのトリ", {10, 10, 10, 10}, {5, 5, 5, 5},
        {1000, 1000, 1000, 1000}, {"HR-回復", "A--回復", "L-S回復", "B--回復"},
        {-50, -50, -50, -50});
  }
  return gs;
}

void BM_SeekToLastTurn(benchmark::State& state) {
  const auto turns = static_cast<std::int32_t>(state.range(0));
  GameState gs = endless();
  gs.randomUnit.seed(20261208);
  SilentView view;
  BattlePlayer player(gs, view);
  player.load();
  if (player.battleLength(turns).finished) {
    state.SkipWithError("the records end their battle early");
    return;
  }
  for (auto _ : state) {
    player.seekToTurn(turns);
    benchmark::DoNotOptimize(gs.battleLog.data());
  }
  if (player.turnsStarted() != turns) state.SkipWithError("the seek stopped early");
  state.counters["log bytes"] = static_cast<double>(gs.battleLog.size());
}

BENCHMARK(BM_SeekToLastTurn)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
