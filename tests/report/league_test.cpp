// The league's parts in process: ratings recovered from synthetic results, a schedule whose
// results do not depend on the threads (nor on threads that cannot start), and the escaping of
// names in every report.
#include "report/league.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <numeric>
#include <random>
#include <tuple>

#include "data/save_data.h"
#include "report/league_report.h"
#include "report/ratings.h"
#include "support/markup_check.h"

// Allocations fail on a thread that sets this: a worker that runs out of memory. The operators
// below replace the global ones as a pair, which GCC cannot see when it inlines the standard
// allocator's calls, so its mismatch warning does not apply here.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
thread_local bool tFailAllocations = false;

void* operator new(std::size_t size) {
  if (tFailAllocations) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (tFailAllocations) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using namespace momiru;
using namespace momiru::report;

// Results of a league whose characters have the given true ratings (Elo scale) and a true
// first-mover advantage, with draws that keep each side's expected score what the model says.
std::vector<PairingResult> syntheticResults(const std::vector<double>& truth, double firstMover,
                                            int battles, double drawShare, std::mt19937_64& rng) {
  const std::size_t n = truth.size();
  std::vector<PairingResult> results(n * n);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (i == j) continue;
      const double d = (truth[j] + firstMover - truth[i]) / kEloPerLogOdds;
      const double expected = 1.0 / (1.0 + std::exp(-d));  // player 2's expected score
      const double secondWins = expected - drawShare / 2;
      PairingResult& r = results[i * n + j];
      for (int b = 0; b < battles; ++b) {
        const double u = unit(rng);
        ++(u < secondWins ? r.player2Wins : u < secondWins + drawShare ? r.draws : r.player1Wins);
      }
      r.unfinished = 3;  // left out of the fit: they must not move anything
    }
  }
  return results;
}

TEST(Ratings, RecoverKnownStrengthsWithinTheirIntervals) {
  const std::vector<double> truth = {1200, 1300, 1380, 1450, 1500, 1500,
                                     1540, 1600, 1650, 1700, 1780, 1400};
  const double count = static_cast<double>(truth.size());
  const double mean = std::accumulate(truth.begin(), truth.end(), 0.0) / count;
  const double firstMover = 40;
  std::mt19937_64 rng(20261206);
  int inside = 0;
  int checks = 0;
  int firstMoverInside = 0;
  double widest = 0;
  const int replicas = 20;
  for (int rep = 0; rep < replicas; ++rep) {
    const RatingFit fit =
        fitRatings(truth.size(), syntheticResults(truth, firstMover, 300, 0.04, rng));
    ASSERT_TRUE(fit.converged);
    double sum = 0;
    for (std::size_t i = 0; i < truth.size(); ++i) {
      sum += fit.rating[i];
      const double expected = truth[i] - mean + kMeanRating;
      inside += fit.low[i] <= expected && expected <= fit.high[i];
      ++checks;
      widest = std::max(widest, fit.high[i] - fit.low[i]);
      // Far outside any reasonable interval would be a wrong fit, not chance.
      EXPECT_NEAR(fit.rating[i], expected, 60) << "character " << i;
    }
    EXPECT_NEAR(sum / count, kMeanRating, 1e-6);
    firstMoverInside += fit.firstMoverLow <= firstMover && firstMover <= fit.firstMoverHigh;
  }
  // 95% intervals: about 95 in 100 hold the truth (draws make them slightly conservative).
  EXPECT_GE(inside, checks * 90 / 100) << inside << " of " << checks;
  EXPECT_GE(firstMoverInside, replicas * 80 / 100);
  // ...and they are not made safe by being wide: 300 battles a pairing pin a rating to tens.
  EXPECT_LT(widest, 40);
}

TEST(Ratings, CleanSweepStaysFiniteAndFirst) {
  const std::size_t n = 4;
  std::vector<PairingResult> results(n * n);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (i == j) continue;
      PairingResult& r = results[i * n + j];
      if (i == 2)
        r.player1Wins = 2000;  // 2 wins everything as player 1
      else if (j == 2)
        r.player2Wins = 2000;  // ...and as player 2
      else
        r.player1Wins = r.player2Wins = 1000;
    }
  }
  const RatingFit fit = fitRatings(n, results);
  EXPECT_TRUE(fit.converged);
  for (std::size_t i = 0; i < n; ++i) {
    EXPECT_TRUE(std::isfinite(fit.rating[i]) && std::isfinite(fit.low[i]) &&
                std::isfinite(fit.high[i]));
    if (i != 2) {
      EXPECT_GT(fit.rating[2], fit.high[i] + 500);
    }
  }
  // Pairings that never finished carry nothing but the virtual draw: equal ratings.
  std::vector<PairingResult> stuck(n * n);
  for (PairingResult& r : stuck) r.unfinished = 50;
  const RatingFit even = fitRatings(n, stuck);
  EXPECT_TRUE(even.converged);
  for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(even.rating[i], kMeanRating, 1e-6);
  EXPECT_NEAR(even.firstMover, 0.0, 1e-6);
}

std::vector<Combatant> sampleCharacters() {
  std::vector<Combatant> out;
  for (const char* name : {"pochimaru.dat", "rendaa.dat", "gansekimaru.dat", "hinotori.dat"}) {
    GameState gs;
    const auto r = loadSaveData(gs, 0, std::filesystem::path(MOMIRU_SOURCE_DIR) / "samples" / name);
    EXPECT_EQ(r.outcome, LoadOutcome::Loaded) << name;
    out.push_back(gs.combatant[0]);
  }
  return out;
}

bool sameResults(const LeagueResults& a, const LeagueResults& b) {
  const auto fields = [](const PairingResult& r) {
    return std::tie(r.player1Wins, r.player2Wins, r.draws, r.unfinished, r.turnSum);
  };
  return std::equal(a.results.begin(), a.results.end(), b.results.begin(), b.results.end(),
                    [&](const auto& x, const auto& y) { return fields(x) == fields(y); });
}

TEST(League, ResultsDoNotDependOnThreadsOrOnThreadsThatCannotStart) {
  const std::vector<Combatant> characters = sampleCharacters();
  LeagueSettings settings;
  settings.battles = 2500;  // three chunks a pairing, the last one short
  settings.seed = 99;
  settings.jobs = 1;
  const LeagueResults one = runLeague(characters, settings);
  ASSERT_EQ(one.results.size(), 16u);  // pairing (i, j) at i * 4 + j; none against itself
  for (std::size_t k = 0; k < 16; ++k)
    EXPECT_EQ(one.results[k].finished() + one.results[k].unfinished,
              k / 4 == k % 4 ? 0u : settings.battles);

  for (const unsigned jobs : {2u, 3u, 16u}) {
    settings.jobs = jobs;
    std::uint64_t lastDone = 0;
    bool finalSeen = false;
    const LeagueResults many =
        runLeague(characters, settings, [&](std::uint64_t done, std::uint64_t total) {
          EXPECT_GE(done, lastDone);
          lastDone = done;
          finalSeen = done == total;
        });
    EXPECT_TRUE(sameResults(one, many)) << jobs << " jobs";
    EXPECT_TRUE(finalSeen);
  }

  // A system that gives no thread at all, or only one of four: the same league, played anyway.
  settings.jobs = 4;
  const auto none = [](std::function<void()>) -> std::optional<std::thread> {
    return std::nullopt;
  };
  const LeagueResults inline_ = runLeague(characters, settings, {}, none);
  EXPECT_EQ(inline_.threadsStarted, 0u);
  EXPECT_TRUE(sameResults(one, inline_));
  int started = 0;
  const auto oneOnly = [&](std::function<void()> work) -> std::optional<std::thread> {
    if (started++ > 0) return std::nullopt;
    return std::thread(std::move(work));
  };
  const LeagueResults partial = runLeague(characters, settings, {}, oneOnly);
  EXPECT_EQ(partial.threadsStarted, 1u);
  EXPECT_EQ(partial.threadsWanted, 4u);
  EXPECT_TRUE(sameResults(one, partial));

  // A worker that runs out of memory ends the league with bad_alloc for the caller, after every
  // thread has stopped, and the progress loop does not wait for battles nobody will play.
  std::vector<Combatant> longNames = characters;
  for (Combatant& c : longNames) c.name += std::string(64, 'x');  // copies that allocate
  const auto starving = [](std::function<void()> work) -> std::optional<std::thread> {
    return std::thread([work = std::move(work)] {
      tFailAllocations = true;
      work();
    });
  };
  EXPECT_THROW(runLeague(
                   longNames, settings, [](std::uint64_t, std::uint64_t) {}, starving),
               std::bad_alloc);

  // Another seed gives another league.
  settings.seed = 100;
  EXPECT_FALSE(sameResults(one, runLeague(characters, settings)));
}

TEST(LeagueReport, NamesAreEscapedForEveryFormat) {
  LeagueReport report;
  const std::vector<std::string> names = {"<script>alert(1)</script>&amp;", "tab\there\x1b[31m",
                                          std::string("nul\0byte\xff\xfe", 10), "ポチまる"};
  report.settings.battles = 10;
  report.results.characters = names.size();
  report.results.results.assign(names.size() * names.size(), PairingResult{});
  for (std::size_t i = 0; i < names.size(); ++i) {
    report.entrants.push_back({names[i], names[i] + ".dat"});
    for (std::size_t j = 0; j < names.size(); ++j) {
      if (i == j) continue;
      PairingResult& r = report.results.results[i * names.size() + j];
      r.player1Wins = i < j ? 6u : 3u;
      r.player2Wins = 3;
      r.draws = 1;
      r.turnSum = 100;
    }
  }
  report.leftOut.push_back({"bad\xff<.dat", "the file cannot be opened"});
  report.fit = fitRatings(names.size(), report.results.results);

  const std::string html = htmlReport(report);
  const std::string json = jsonReport(report);
  for (const std::string& out : {html, textReport(report), json}) {
    EXPECT_EQ(validUtf8(out), out);
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_EQ(out.find('\0'), std::string::npos);
    EXPECT_NE(out.find("ポチまる"), std::string::npos);
  }
  EXPECT_EQ(momiru::testing::markupProblem(html), "");
  EXPECT_EQ(html.find("<script"), std::string::npos);
  for (const char c : json) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n');
  EXPECT_NE(json.find("\\u001b"), std::string::npos);  // kept, as an escape
  EXPECT_NE(json.find("\\u0000"), std::string::npos);
}

}  // namespace
