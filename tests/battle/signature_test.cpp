// Battle signatures: one hash over everything that thousands of battles leave behind (outcome,
// HP, log, each recorded turn, where the random sequence stands, and what the screen shows after
// every tick), for the samples and for crafted records that reach every odd corner (argument
// modes, empty and letterless slots, negative powers, extreme values, any divisor). A signature
// changes when any battle changes: every seed must keep giving the battle it gave.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "battle/battle_player.h"
#include "battle/headless.h"
#include "data/save_data.h"
#include "support/records.h"

namespace momiru::battle {
namespace {

struct Hash {
  std::uint64_t h = 1469598103934665603ull;
  void bytes(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
  }
  void num(std::int64_t v) { bytes(&v, sizeof v); }
  void str(const std::string& s) {
    num(static_cast<std::int64_t>(s.size()));
    bytes(s.data(), s.size());
  }
};

// A log with its CR LF line ends as LF, as `momiru-lab battle` prints it without --crlf.
std::string withLfEnds(const std::string& log) {
  std::string out;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i] == '\r' && i + 1 < log.size() && log[i + 1] == '\n') continue;
    out += log[i];
  }
  return out;
}

// `lfLog`: the logs are hashed with LF line ends.
void battles(Hash& hash, const GameState& gs, std::uint64_t seeds, std::int32_t maxTurns,
             bool lfLog = false) {
  BatchBattles<false> quick(gs);
  BatchBattles<true> logged(gs);
  for (std::uint64_t i = 0; i < seeds; ++i) {
    const std::uint64_t seed = i * 7919 + 3;
    GameState ref = gs;
    std::vector<TurnRecord> turns;
    const Outcome o = playBattle(ref, seed, maxTurns, &turns);
    const Outcome q = quick.play(seed, maxTurns);
    const Outcome l = logged.play(seed, maxTurns);
    for (const Outcome& x : {o, q, l}) {
      hash.num(x.finished);
      hash.num(x.turns);
      hash.num(static_cast<int>(x.judgement));
      hash.num(x.winner);
      hash.num(x.loser);
    }
    for (const GameState* g :
         {static_cast<const GameState*>(&ref), &quick.state(), &logged.state()}) {
      for (const auto& c : g->combatant)
        for (auto v : c.hp) hash.num(v);
      hash.num(g->winner);
      hash.num(g->loser);
      RandomUnit r = g->randomUnit;
      hash.num(r.nextBits());
    }
    hash.str(lfLog ? withLfEnds(ref.battleLog) : ref.battleLog);
    hash.str(lfLog ? withLfEnds(logged.state().battleLog) : logged.state().battleLog);
    for (const TurnRecord& t : turns) {
      hash.num(t.attacker);
      hash.num(t.move);
      hash.num(t.part);
      hash.num(t.costHpBefore);
      hash.num(t.costHpAfter);
      for (const BlowRecord& b : t.blows) {
        hash.num(static_cast<int>(b.kind));
        hash.num(b.target);
        hash.num(b.damage.has_value() ? *b.damage : std::numeric_limits<std::int64_t>::min());
      }
      for (const auto& side : t.hp)
        for (auto v : side) hash.num(v);
    }
  }
}

std::uint64_t samplesSignature(const std::string& dir) {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    GameState probe;
    if (e.path().extension() == ".dat" &&
        loadSaveData(probe, 0, e.path()).outcome == LoadOutcome::Loaded)
      files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  Hash hash;
  for (const auto& a : files)
    for (const auto& b : files)
      for (const std::int32_t halve : {0, 1}) {
        GameState gs;
        gs.halveDamage = halve;
        loadSaveData(gs, 0, a);
        loadSaveData(gs, 1, b);
        battles(hash, gs, 12, kDefaultMaxTurns);
      }
  return hash.h;
}

std::uint64_t craftedSignature() {
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
  Hash hash;
  for (int record = 0; record < 400; ++record) {
    GameState gs;
    gs.halveDamage = any(halvings);
    const bool sane = record % 3 == 0;
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
    battles(hash, gs, 6, 150, record % 2 != 0);
  }
  // Every slot empty, then letterless moves, then a battle that never ends.
  GameState gs;
  for (Combatant& c : gs.combatant) {
    c.name = "空";
    c.hp = {30, 30, 30, 30};
    c.attack = {4, 4, 4, 4};
    c.defence = {1, 1, 1, 1};
    c.moveNames.fill("---NO DATA");
    c.movePower.fill(3);
  }
  battles(hash, gs, 30, 300);
  gs.combatant[0].moveNames = {"X--謎", "---", "A--パンチ", "---", "あ--かな", "---", "---", "---"};
  gs.combatant[0].movePower = {25, 0, 6, 0, 2, 0, 0, 0};
  gs.combatant[1].moveNames = {"?R-連打", "---", "---", "---", "---", "---", "---", "B-S大技"};
  gs.combatant[1].movePower = {4, 0, 0, 0, 0, 0, 0, 29};
  battles(hash, gs, 60, 300);
  for (Combatant& c : gs.combatant) {
    c.name = "不死";
    c.hp = {10, 10, 10, 10};
    c.defence = {1000, 1000, 1000, 1000};
    c.moveNames = {"HR-回復", "A--回復", "L-S回復", "B--回復", "---", "---", "---", "---"};
    c.movePower = {-50, -50, -50, -50, 0, 0, 0, 0};
  }
  for (const std::int32_t limit : {0, 1, 2, 57, 300}) battles(hash, gs, 2, limit);
  return hash.h;
}
// What a player sees on the battle screen after each tick, kept from what the player reports.
class ObservedScreen : public BattleView {
 public:
  // `shown`: the switches the screen shows the battle with.
  ObservedScreen(const GameState& gs, const Settings& shown) : gs_(gs), shown_(shown) {}

  void gaugeChanged(int) override {}
  void turnStarted(int) override {
    box_ = shown_.showMessageBox == 1;
    stepTimer = true;
  }
  void messageChanged(std::string_view text) override { message_ = text; }
  void statusChanged() override {
    ++statusRefreshes_;
    for (const Combatant& c : gs_.combatant) {
      for (const std::int32_t hp : c.hp) EXPECT_GE(hp, 0) << "HP below 0 after a status refresh";
    }
  }
  void blowLanded(int defender, std::int32_t damage, MoveKind kind) override {
    ++sounds_[kind == MoveKind::Special ? 1 : 0];
    if (shown_.showHitBackground == 1) hitBackground_[static_cast<std::size_t>(defender)] = true;
    popup(std::to_string(damage), defender);
  }
  void blowMissed(int defender) override { popup("MISS!!", defender); }
  void turnEnded(int, int defender) override {
    if (shown_.showHitBackground == 1) hitBackground_[static_cast<std::size_t>(defender)] = false;
    box_ = false;
    stepTimer = false;
  }
  void battleOver() override {
    over = true;
    stepTimer = false;
  }

  void hash(Hash& h, int tickKind) const {
    h.num(tickKind);
    h.str(message_);
    h.num(box_);
    h.num(hitBackground_[0]);
    h.num(hitBackground_[1]);
    h.num(popups_);
    h.str(popup_);
    h.num(popupSlot_);
    h.num(sounds_[0]);
    h.num(sounds_[1]);
    h.num(statusRefreshes_);
    for (const Combatant& c : gs_.combatant) {
      for (const std::int32_t v : c.hp) h.num(v);
    }
    h.num(gs_.timeGauge[0]);
    h.num(gs_.timeGauge[1]);
    h.str({});
    h.num(gs_.winner);
    h.num(gs_.loser);
  }

  bool stepTimer = false;
  bool over = false;

 private:
  void popup(std::string text, int slot) {
    ++popups_;
    popup_ = std::move(text);
    popupSlot_ = slot;
  }

  const GameState& gs_;
  const Settings shown_;
  std::string message_;
  bool box_ = false;
  std::array<bool, kSlots> hitBackground_{};
  int popups_ = 0;
  std::string popup_;
  int popupSlot_ = -1;
  std::array<int, 2> sounds_{};
  int statusRefreshes_ = 0;
};

// The signatures below are those of this rules' version: a change that alters them goes with a
// new kRulesVersion, so that verdicts kept by older rules are worked out again.
static_assert(kRulesVersion == 1);

TEST(BattleSignature, EverySamplePairingWithAndWithoutHalving) {
  EXPECT_EQ(samplesSignature(MOMIRU_SOURCE_DIR "/samples"), 0xedbd8f8b6a6b876full);
}

TEST(BattleSignature, CraftedRecords) { EXPECT_EQ(craftedSignature(), 0xb4605896e72e0865ull); }

// The battle screen's view of 200 battles, tick by tick, with every combination of switches.
TEST(BattleSignature, WhatTheScreenShowsAtEachTick) {
  Hash h;
  long ticks = 0;
  for (std::uint64_t seed = 1; seed <= 200; ++seed) {
    GameState gs = momiru::testing::sanePair();
    const Settings shown{static_cast<std::int32_t>(seed % 2),
                         static_cast<std::int32_t>(seed % 3 == 0),
                         static_cast<std::int32_t>(seed % 5 != 0), 0};
    gs.halveDamage = shown.halveDamage;
    gs.randomUnit.seed(seed);
    ObservedScreen screen(gs, shown);
    BattlePlayer player(gs, screen);
    player.load();
    screen.hash(h, 0);
    while (!screen.over) {
      if (screen.stepTimer) {
        player.stepTick();
        screen.hash(h, 2);
      } else {
        player.schedulerTick();
        screen.hash(h, 1);
      }
      ++ticks;
    }
    h.str(gs.battleLog);
  }
  EXPECT_EQ(ticks, 129015);
  EXPECT_EQ(h.h, 0x2fa1690d4d66524cull);
}

}  // namespace
}  // namespace momiru::battle
