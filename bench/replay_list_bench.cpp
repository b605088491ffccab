// The replay list and the battle page. Targets: a folder of 10,000 replays lists in under a
// second, both through its index with the files unchanged (warm: no file read, as when the list
// is first opened in a session) and the first time, with no index (cold: each file read and
// played, on every core, and the index written); and a battle page with the odds of 100,000
// battles is written in under half a second. With an index of the previous version every file is
// read and hashed but none played, as every listing did before the index kept the files' sizes
// and times; the first listing of a session finds the files out of the page cache. The same listing
// with a screen reader's client listening: tools/measure-replay-list.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "replay/replay.h"
#include "replay/replay_index.h"
#include "report/battle_page.h"
#include "support/records.h"

namespace {

using namespace momiru;
using namespace momiru::battle;
using namespace momiru::replay;

constexpr int kReplays = 10000;

// A folder of kReplays replays of varied battles, made once for the whole run and dated an hour
// back, as replays kept by an earlier session are.
const std::filesystem::path& folder() {
  static const std::filesystem::path dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "momiru-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    GameState gs = momiru::testing::sanePair();
    for (int i = 0; i < kReplays; ++i) {
      gs.combatant[0].name = "kuma" + std::to_string(i % 37) + ".datのクマ";
      char date[32];
      std::snprintf(date, sizeof date, "2026-%02d-%02dT%02d:%02d:%02dZ", 1 + i % 12, 1 + i % 28,
                    i % 24, i % 60, (i / 60) % 60);
      const Replay r = makeReplay(startOf(gs, static_cast<std::uint64_t>(i)),
                                  {"kuma.dat", "tori.dat"}, date, "bench");
      std::ofstream(std::filesystem::path(pattern) / ("r" + std::to_string(i) + ".momiru-replay"))
          << replayJson(r);
    }
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& e : std::filesystem::directory_iterator(pattern)) {
      std::filesystem::last_write_time(e.path(), old);
    }
    std::atexit([] { std::filesystem::remove_all(folder()); });
    return std::filesystem::path(pattern);
  }();
  return dir;
}

void BM_ListTenThousandWarm(benchmark::State& state) {
  listReplays(folder());  // builds the index
  for (auto _ : state) {
    const ReplayListing l = listReplays(folder());
    if (l.replays.size() != kReplays || l.trusted != kReplays || l.hashed != 0) {
      state.SkipWithError("index not trusted");
    }
    benchmark::DoNotOptimize(l);
  }
}

// The index as the previous version wrote it: summaries by SHA-256 only.
std::string previousIndex() {
  listReplays(folder());
  nlohmann::json index = nlohmann::json::parse(std::ifstream(folder() / "index.json"));
  index["version"] = 2;
  index.erase("files");
  index.erase("listed");
  return index.dump();
}

// The folder's files out of the page cache, as the first listing after the machine started
// finds them.
void forgetPages() {
  ::sync();
  for (const auto& e : std::filesystem::directory_iterator(folder())) {
    const int fd = ::open(e.path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
  }
}

// The first listing of a session, the files read from the disk: through this version's index
// (arg 0: nothing read but the index) or the previous version's (arg 1: every file read).
void BM_ListTenThousandFirstOfSession(benchmark::State& state) {
  const bool previous = state.range(0) == 1;
  const std::string previousText = previous ? previousIndex() : std::string();
  listReplays(folder());
  for (auto _ : state) {
    state.PauseTiming();
    if (previous) std::ofstream(folder() / "index.json") << previousText;
    forgetPages();
    state.ResumeTiming();
    const ReplayListing l = listReplays(folder());
    if (l.replays.size() != kReplays || l.played != 0 || l.hashed != (previous ? kReplays : 0u)) {
      state.SkipWithError("not listed through the index");
    }
    benchmark::DoNotOptimize(l);
  }
}

void BM_ListTenThousandPreviousIndex(benchmark::State& state) {
  const std::string previous = previousIndex();
  for (auto _ : state) {
    state.PauseTiming();
    std::ofstream(folder() / "index.json") << previous;
    state.ResumeTiming();
    const ReplayListing l = listReplays(folder());
    if (l.replays.size() != kReplays || l.hashed != kReplays || l.played != 0) {
      state.SkipWithError("not read through the previous index");
    }
    benchmark::DoNotOptimize(l);
  }
}

void BM_ListTenThousandCold(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(folder() / "index.json");
    state.ResumeTiming();
    const ReplayListing l = listReplays(folder());
    if (l.replays.size() != kReplays || l.played != kReplays) state.SkipWithError("not played");
    benchmark::DoNotOptimize(l);
  }
}

void BM_BattlePageWithOdds(benchmark::State& state) {
  const Replay r = makeReplay(startOf(momiru::testing::sanePair(), 7), {"kuma.dat", "tori.dat"},
                              "2026-12-08T00:00:00Z", "bench");
  report::BattlePageOptions options;
  options.jobs = static_cast<unsigned>(state.range(0));
  for (auto _ : state) {
    const std::string page = report::battlePage(r, options);
    benchmark::DoNotOptimize(page);
  }
}

}  // namespace

// Wall time: the files are read on threads.
BENCHMARK(BM_ListTenThousandWarm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListTenThousandFirstOfSession)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_ListTenThousandPreviousIndex)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();
BENCHMARK(BM_ListTenThousandCold)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_BattlePageWithOdds)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
