// The battle page of a pairing whose battles never end. Targets: its odds, kept to the page's
// budget of turns, cost at most half a second on all cores, and `momiru-lab battle --html` writes
// the whole page (the battle, its log, the odds) in under two seconds.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "data/save_data_writer.h"
#include "replay/replay.h"
#include "report/battle_page.h"
#include "report/odds.h"
#include "support/records.h"

namespace {

using namespace momiru;

void BM_EndlessPairingOdds(benchmark::State& state) {
  const GameState gs = momiru::testing::endlessPair();
  const report::BattlePageOptions page;
  const unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  std::uint64_t counted = 0;
  for (auto _ : state) {
    const report::OddsCount c = report::countOutcomes(gs, page.oddsBattles, 9, jobs,
                                                      battle::kDefaultMaxTurns, page.oddsTurns);
    if (c.unfinished != c.battles()) state.SkipWithError("a battle ended");
    counted = c.battles();
  }
  state.counters["battles"] = static_cast<double>(counted);
}

void BM_EndlessPairingPage(benchmark::State& state) {
  const replay::Replay r = replay::makeReplay(battle::startOf(momiru::testing::endlessPair(), 9),
                                              {"a.dat", "b.dat"}, "2026-12-08T00:00:00Z", "bench");
  for (auto _ : state) {
    const std::string page = report::battlePage(r);
    benchmark::DoNotOptimize(page);
  }
}

// The endless pairing as two save-data files, and the command that writes their page.
void BM_EndlessPairingLabHtml(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "momiru-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  const std::filesystem::path dir(pattern);
  const GameState gs = momiru::testing::endlessPair();
  for (std::size_t s = 0; s < kSlots; ++s) {
    Combatant record = gs.combatant[s];
    record.name = s == 0 ? "カメ" : "イワ";
    LoadValues values;
    values.key = 5;
    values.storedLevels = {record.level, 0};
    values.storedNames = {record.name, ""};
    const auto bytes = encodeSaveData(record, values);
    if (!bytes) std::abort();
    std::ofstream(dir / (s == 0 ? "a.dat" : "b.dat"), std::ios::binary) << *bytes;
  }
  const std::string command = std::string("'") + MOMIRU_LAB + "' battle '" +
                              (dir / "a.dat").string() + "' '" + (dir / "b.dat").string() +
                              "' --seed 9 --html '" + (dir / "page.html").string() + "' >/dev/null";
  for (auto _ : state) {
    // Exit status 2: the battle is unfinished, as it should be.
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 2) state.SkipWithError("momiru-lab failed");
  }
  std::filesystem::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_EndlessPairingOdds)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EndlessPairingPage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EndlessPairingLabHtml)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
