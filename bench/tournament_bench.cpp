// Tournaments at their largest: one Swiss round of 1,000 entries paired (target 50 ms), a
// 1,024-entry double elimination of best of 5 run with its page written (target 2 s on two
// cores), a 1,000-entry Swiss of 10 rounds of best of 3 (target 3 s), verify of each (no
// longer than its run), and a played 1,024-entry file opened as the game's tournament window opens
// it: read, its matches taken in and the schedule built (target 0.5 s). The page's size is
// reported as a counter (target under 5 MB). With MOMIRU_BENCH_PAGES=DIR set, the pages are also
// written there to be looked at.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "data/save_data.h"
#include "report/swiss_pairing.h"
#include "report/text_file.h"
#include "report/tournament.h"
#include "report/tournament_draw.h"
#include "report/tournament_file.h"
#include "report/tournament_page.h"
#include "report/tournament_schedule.h"
#include "report/tournament_verify.h"

namespace {

using namespace momiru;
using namespace momiru::report;

Tournament field(std::size_t n, Format format, int bestOf, int rounds = 0) {
  static const char* const kSamples[] = {"gansekimaru", "hinotori",  "inazuma", "karappo",
                                         "nenrikibou",  "pochimaru", "rendaa",  "zutsukiya"};
  std::vector<Combatant> records;
  for (const char* s : kSamples) {
    GameState gs;
    if (loadSaveData(gs, 0, std::string(MOMIRU_SOURCE_DIR "/samples/") + s + ".dat").outcome ==
        LoadOutcome::Loaded)
      records.push_back(gs.combatant[0]);
  }
  Tournament t;
  t.name = "ベンチ杯";
  t.rules.format = format;
  t.rules.bestOf = bestOf;
  t.rules.rounds = rounds;
  for (std::size_t i = 0; i < n && !records.empty(); ++i) {
    Combatant c = records[i % records.size()];
    c.hp[3] += static_cast<std::int32_t>(i / records.size());
    t.entries.push_back(makeEntry(std::string(kSamples[i % records.size()]) + ".dat", c));
  }
  t.secret = std::string(64, '7');
  t.commitment = commitmentOf(*t.secret);
  t.beacon = "bench";
  t.entriesDigest = entriesDigestOf(t.entries);
  t.seed = tournamentSeedOf(*t.secret, *t.entriesDigest, t.beacon);
  return t;
}

RunOptions twoThreads() {
  RunOptions o;
  o.threads = 2;
  return o;
}

void keepPage(const std::string& name, const std::string& page) {
  if (const char* dir = std::getenv("MOMIRU_BENCH_PAGES"))
    std::ofstream(std::string(dir) + "/" + name) << page;
}

void SwissPairing1000(benchmark::State& state) {
  const std::size_t n = 1000;
  std::vector<int> ranked(n);
  std::iota(ranked.begin(), ranked.end(), 0);
  // A middle round: points spread over score groups, the top of each having met its neighbours.
  std::vector<int> points(n);
  for (std::size_t i = 0; i < n; ++i) points[i] = static_cast<int>(10 - (i * 11) / n);
  const auto met = [](int a, int b) { return std::abs(a - b) == 1 || std::abs(a - b) == 500; };
  const std::vector<bool> hadBye(n, false);
  const std::vector<int> firsts(n, 0);
  for (auto _ : state)
    benchmark::DoNotOptimize(pairSwissRound(ranked, points, met, hadBye, firsts));
}
BENCHMARK(SwissPairing1000)->Unit(benchmark::kMillisecond);

void DoubleElimination1024BestOf5(benchmark::State& state) {
  const Tournament start = field(1024, Format::Double, 5);
  std::string page;
  for (auto _ : state) {
    Tournament t = start;
    playTournament(t, twoThreads());
    page = tournamentPage(t);
    benchmark::DoNotOptimize(page);
  }
  state.counters["page_bytes"] = static_cast<double>(page.size());
  keepPage("double-1024.html", page);
}
BENCHMARK(DoubleElimination1024BestOf5)->Unit(benchmark::kMillisecond)->UseRealTime();

void Swiss1000Rounds10BestOf3(benchmark::State& state) {
  const Tournament start = field(1000, Format::Swiss, 3, 10);
  for (auto _ : state) {
    Tournament t = start;
    playTournament(t, twoThreads());
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(Swiss1000Rounds10BestOf3)->Unit(benchmark::kMillisecond)->UseRealTime();

void VerifyDoubleElimination1024(benchmark::State& state) {
  Tournament t = field(1024, Format::Double, 5);
  playTournament(t, twoThreads());
  for (auto _ : state) benchmark::DoNotOptimize(verifyTournament(t, twoThreads()));
}
BENCHMARK(VerifyDoubleElimination1024)->Unit(benchmark::kMillisecond)->UseRealTime();

void VerifySwiss1000(benchmark::State& state) {
  Tournament t = field(1000, Format::Swiss, 3, 10);
  playTournament(t, twoThreads());
  for (auto _ : state) benchmark::DoNotOptimize(verifyTournament(t, twoThreads()));
}
BENCHMARK(VerifySwiss1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void OpenPlayed1024(benchmark::State& state) {
  Tournament played = field(1024, Format::Double, 5);
  playTournament(played, twoThreads());
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("momiru-bench-" + std::to_string(::getpid()) + ".momiru-tournament");
  momiru::Refusal refusal;
  if (!writeTextFile(file, tournamentJson(played), false, &refusal)) {
    state.SkipWithError(describe(refusal).c_str());
    return;
  }
  for (auto _ : state) {
    auto t = readTournamentFile(file, &refusal);
    if (!t) {
      state.SkipWithError(describe(refusal).c_str());
      break;
    }
    const TournamentPlay play(std::move(*t));
    benchmark::DoNotOptimize(play.schedule().data());
  }
  std::error_code ec;
  std::filesystem::remove(file, ec);
}
BENCHMARK(OpenPlayed1024)->Unit(benchmark::kMillisecond)->UseRealTime();

// The pages looked at in a browser: 8 and 64 entries too, one per format.
void Pages(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto& [n, format] : {std::pair{8, Format::Single},
                                    {64, Format::Swiss},
                                    {8, Format::RoundRobin},
                                    {64, Format::Double}}) {
      Tournament t =
          field(static_cast<std::size_t>(n), format, 3, format == Format::RoundRobin ? 1 : 0);
      playTournament(t, twoThreads());
      keepPage(std::string(formatName(format)) + "-" + std::to_string(n) + ".html",
               tournamentPage(t));
    }
  }
}
BENCHMARK(Pages)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
