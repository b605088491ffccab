// The batch runner against the engine: the same battles, draw for draw, for the samples and for
// crafted records that reach every odd corner (argument modes, empty and letterless slots,
// negative powers, extreme values, any divisor); and the integer forms of the draw rules.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "battle/formulas.h"
#include "battle/headless.h"
#include "battle/rounding.h"
#include "data/save_data.h"

namespace momiru::battle {
namespace {

TEST(DrawBits, IntegerRulesEqualTheFloatRulesForEveryDraw) {
  for (std::uint32_t k = 0; k < (1u << 24); ++k) {
    const float u = RandomUnit::unit(k);
    ASSERT_EQ(formula::moveOfBits(k), formula::moveOfDraw(u)) << k;
    ASSERT_EQ(formula::missRollOfBits(k), formula::missRoll(u)) << k;
    ASSERT_EQ(formula::drawValue(k), static_cast<double>(u)) << k;
  }
}

TEST(DrawBits, BitsAndValuesAreTheSameSequenceInEveryArgumentMode) {
  RandomUnit values(77);
  RandomUnit bits(77);
  const double args[] = {1.5, 0.0, -4.0, 0.0, 2.0, -4.0, 0.0};
  for (int round = 0; round < 50; ++round) {
    for (const double a : args) {
      ASSERT_EQ(values(a), RandomUnit::unit(bits.bitsFor(a)));
      ASSERT_EQ(values(), RandomUnit::unit(bits.nextBits()));
      ASSERT_EQ(values.last(), bits.last());
    }
  }
}

// The rounding's one comparison per side stands in for a tie test: check it right at and one
// step either side of every kind of half at every scale, at the ends of the range and beyond,
// and on random values.
TEST(Rounding, Nearest32IsNearestSaturated) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  std::vector<double> xs = {0.5 - 0x1p-54, 0.5 - 0x1p-53, 0x1p-1074, 2147483646.5, 2147483647.5};
  for (double k = 0; k < 40; ++k) {
    for (const double scale : {1.0, 1024.0, 1048576.0, 1073741824.0}) {
      xs.push_back(k * scale + 0.5);
      xs.push_back(k * scale + 1.5);
    }
  }
  const std::size_t halves = xs.size();
  for (std::size_t i = 0; i < halves; ++i) {
    for (const double x : {xs[i], -xs[i]}) {
      xs.push_back(std::nextafter(x, 0.0));
      xs.push_back(std::nextafter(x, x * 2));
      xs.push_back(x);
    }
  }
  for (const double x : {1e300, -1e300, 2147483647.0, 2147483647.4, -2147483648.0, 2147483648.0,
                         -2147483648.4, -2147483648.5, -2147483649.0, kInf, -kInf, std::nan("")}) {
    xs.push_back(x);
  }
  RandomUnit r(5);
  for (int i = 0; i < 100000; ++i) {
    const double scale = i % 3 == 0 ? 10.0 : i % 3 == 1 ? 1e6 : 5e9;
    xs.push_back((static_cast<double>(r()) - 0.5) * scale);
    xs.push_back(std::round(xs.back()) + 0.5);
  }
  for (const double x : xs) EXPECT_EQ(nearest32(x), saturate32(nearest(x))) << std::hexfloat << x;
}

// Plays `gs` with the engine and with both batch runners and checks that all three agree on
// everything a battle leaves behind, including where the random sequence stands afterwards.
void expectSameBattle(const GameState& gs, std::uint64_t seed, std::int32_t maxTurns,
                      BatchBattles<false>& quick, BatchBattles<true>& logged,
                      const std::string& what) {
  SCOPED_TRACE(what + ", seed " + std::to_string(seed));
  GameState ref = gs;
  const Outcome want = playBattle(ref, seed, maxTurns);
  const Outcome q = quick.play(seed, maxTurns);
  const Outcome l = logged.play(seed, maxTurns);
  for (const Outcome& got : {q, l}) {
    EXPECT_EQ(got.finished, want.finished);
    EXPECT_EQ(got.turns, want.turns);
    EXPECT_EQ(got.judgement, want.judgement);
    EXPECT_EQ(got.winner, want.winner);
    EXPECT_EQ(got.loser, want.loser);
  }
  for (const GameState* got : {&quick.state(), &logged.state()}) {
    EXPECT_EQ(got->combatant, ref.combatant);
    EXPECT_EQ(got->winner, ref.winner);
    EXPECT_EQ(got->loser, ref.loser);
    RandomUnit after = got->randomUnit;
    RandomUnit refAfter = ref.randomUnit;
    EXPECT_EQ(after.last(), refAfter.last());
    EXPECT_EQ(after(), refAfter());
  }
  EXPECT_EQ(logged.state().battleLog, ref.battleLog);
}

void expectSameBattles(const GameState& gs, std::uint64_t seeds, std::int32_t maxTurns,
                       const std::string& what) {
  BatchBattles<false> quick(gs);
  BatchBattles<true> logged(gs);
  for (std::uint64_t seed = 0; seed < seeds; ++seed) {
    expectSameBattle(gs, seed * 7919 + 3, maxTurns, quick, logged, what);
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(BatchAgainstEngine, EverySamplePairingWithAndWithoutHalving) {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(MOMIRU_SOURCE_DIR "/samples")) {
    GameState probe;
    if (e.path().extension() == ".dat" &&
        LoadSaveData(probe, 0, e.path()).outcome == LoadOutcome::Loaded) {
      files.push_back(e.path());
    }
  }
  ASSERT_GE(files.size(), 4u);
  for (const auto& a : files) {
    for (const auto& b : files) {
      for (const std::int32_t halve : {0, 1}) {
        GameState gs;
        gs.lineBreak = "\r\n";
        gs.settings.halveDamage = halve;
        ASSERT_EQ(LoadSaveData(gs, 0, a).outcome, LoadOutcome::Loaded);
        ASSERT_EQ(LoadSaveData(gs, 1, b).outcome, LoadOutcome::Loaded);
        expectSameBattles(gs, 12, kDefaultMaxTurns,
                          a.filename().string() + " vs " + b.filename().string());
      }
    }
  }
}

// Records drawn at random from values that matter: zero and negative defence and attack (the
// repeat and restart argument modes), negative and huge powers, HP at and below 0, the ends of
// the 32-bit range, empty slots, code letters no part has, and divisors other than 1 and 2.
TEST(BatchAgainstEngine, CraftedRecords) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const std::int32_t values[] = {0, 1, 2, 3, 5, 8, 12, 20, 40, 90, -1, -3, -20, kMax, kMin, -kMax};
  const char* const names[] = {"H--頭突き",  "A--パンチ", "L--キック", "B--体当たり",
                               "HR-連打",    "AR-乱打",   "L-S大技",   "B-S捨て身",
                               "---NO DATA", "-R-空き",   "X--謎",     "あ--かな",
                               "",           "H",         "BR",        "Z-Sなぞ"};
  const std::int32_t halvings[] = {0, 0, 1, 1, 2, -1, -2};
  RandomUnit pick(2024);
  const auto any = [&pick](auto& list) -> decltype(auto) {
    const auto n = static_cast<std::uint32_t>(std::size(list));
    return list[pick.nextBits() % n];
  };
  for (int record = 0; record < 400; ++record) {
    GameState gs;
    gs.lineBreak = record % 2 == 0 ? "\r\n" : "\n";
    gs.settings.halveDamage = any(halvings);
    const bool sane = record % 3 == 0;  // small positive values only: long, ordinary battles
    for (std::size_t s = 0; s < kSlots; ++s) {
      Combatant& c = gs.combatant[s];
      c.name = s == 0 ? "左" : "右";
      c.level = 1;
      for (std::size_t p = 0; p < kParts; ++p) {
        c.hp[p] = sane ? 20 + static_cast<std::int32_t>(pick.nextBits() % 60) : any(values);
        c.attack[p] = sane ? static_cast<std::int32_t>(pick.nextBits() % 15) : any(values);
        c.defence[p] = sane ? static_cast<std::int32_t>(pick.nextBits() % 12) : any(values);
      }
      for (std::size_t m = 0; m < kMoves; ++m) {
        c.moveNames[m] = any(names);
        c.movePower[m] = sane ? static_cast<std::int32_t>(pick.nextBits() % 12) : any(values);
      }
    }
    expectSameBattles(gs, 6, 150, "record " + std::to_string(record));
    if (HasFailure()) return;
  }
}

// Every slot empty: each turn takes the 61st draw; then a letterless move before any part
// letter, which counts for whatever part the judgement looked at last.
TEST(BatchAgainstEngine, FallbackDrawAndLetterlessMoves) {
  GameState gs;
  gs.lineBreak = "\r\n";
  for (Combatant& c : gs.combatant) {
    c.name = "空";
    c.hp = {30, 30, 30, 30};
    c.attack = {4, 4, 4, 4};
    c.defence = {1, 1, 1, 1};
    c.moveNames.fill("---NO DATA");
    c.movePower.fill(3);
  }
  expectSameBattles(gs, 30, 300, "all empty");
  gs.combatant[0].moveNames = {"X--謎", "---", "A--パンチ", "---", "あ--かな", "---", "---", "---"};
  gs.combatant[0].movePower = {25, 0, 6, 0, 2, 0, 0, 0};
  gs.combatant[1].moveNames = {"?R-連打", "---", "---", "---", "---", "---", "---", "B-S大技"};
  gs.combatant[1].movePower = {4, 0, 0, 0, 0, 0, 0, 29};
  expectSameBattles(gs, 60, 300, "letterless");
}

TEST(BatchAgainstEngine, TurnLimitAndRestartsBetweenBattles) {
  GameState gs;
  gs.lineBreak = "\r\n";
  for (Combatant& c : gs.combatant) {
    c.name = "不死";
    c.hp = {10, 10, 10, 10};
    c.defence = {1000, 1000, 1000, 1000};
    c.moveNames = {"HR-回復", "A--回復", "L-S回復", "B--回復", "---", "---", "---", "---"};
    c.movePower = {-50, -50, -50, -50, 0, 0, 0, 0};
  }
  BatchBattles<false> quick(gs);
  BatchBattles<true> logged(gs);
  // Negative powers heal the payer: such a battle never ends on its own.
  for (const std::int32_t limit : {0, 1, 2, 57, 300}) {
    expectSameBattle(gs, 11, limit, quick, logged, "limit " + std::to_string(limit));
    GameState g = gs;
    std::vector<TurnRecord> turns;
    const Outcome out = playBattle(g, 11, limit, &turns);
    EXPECT_FALSE(out.finished);
    EXPECT_EQ(out.turns, limit);
    EXPECT_EQ(turns.size(), static_cast<std::size_t>(limit));
    EXPECT_EQ(out.winner, -1);
  }
}

}  // namespace
}  // namespace momiru::battle
