// Replays: the same battle after writing and reading, strangers' files refused with a reason, and
// a recorded result that these rules do not give told apart.
#include "replay/replay.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "battle/headless.h"
#include "data/utf8.h"
#include "support/records.h"
#include "support/test_support.h"

namespace momiru::replay {
namespace {

using nlohmann::json;
using testing::readFile;
using testing::ScratchDir;
using testing::writeFile;

constexpr std::uint64_t kBigSeed = (std::uint64_t{1} << 63) + 987654321;

// A pairing as a second battle of a run registers it: equal names told apart by "(1)" and "(2)",
// and hit points the first battle left.
GameState secondBattle() {
  GameState gs = testing::sanePair();
  gs.combatant[1] = gs.combatant[0];
  gs.combatant[1].portrait = 5;
  battle::playBattle(gs, 42, 6);  // stopped after six turns, their damage kept
  gs.battleLog.clear();
  gs.combatant[0].name += "(1)";
  gs.combatant[1].name += "(2)";
  return gs;
}

// The switches and speed the second battle is shown with.
constexpr Settings kShown{0, 0, 1, 40};

Replay sample(std::uint64_t seed = kBigSeed) {
  return makeReplay(battle::startOf(secondBattle(), kShown, seed), {"kuma.dat", "kuma.dat"},
                    "2026-12-08T12:34:56Z", "momiru-battle 0.1.0");
}

Replay roundTrip(const Replay& r) {
  Refusal error;
  const std::optional<Replay> back = parseReplay(replayJson(r), &error);
  EXPECT_TRUE(back.has_value()) << error;
  return back.value_or(Replay{});
}

// Replays hold nothing that their JSON does not show.
void expectSameReplay(const Replay& a, const Replay& b) { EXPECT_EQ(replayJson(a), replayJson(b)); }

TEST(Replay, ReadBackPlaysTheBattleOfItsRecordsAsTheyWereRegistered) {
  const GameState start = secondBattle();
  ASSERT_NE(start.combatant[0].hp, testing::sanePair().combatant[0].hp)
      << "the records carry an earlier battle's damage";
  const Replay written = sample();
  const Replay read = roundTrip(written);
  expectSameReplay(written, read);
  EXPECT_EQ(read.seed, kBigSeed);
  EXPECT_EQ(read.characters[1].record.name, "kuma.datのクマ(2)");

  // The battle the game played from those records, with that seed.
  GameState live = start;
  const battle::Outcome out = battle::playBattle(live, kBigSeed);
  std::string log;
  std::vector<TurnRecord> turns;
  const ReplayResult played = playReplay(read, &log, &turns);
  EXPECT_EQ(played, written.result);
  EXPECT_EQ(replayMismatch(read.result, played), std::nullopt);
  EXPECT_EQ(log, live.battleLog);
  EXPECT_EQ(played.turns, out.turns);
  EXPECT_EQ(turns.size(), static_cast<std::size_t>(out.turns));
  EXPECT_EQ(played.finalHp, (Hp{live.combatant[0].hp, live.combatant[1].hp}));
  EXPECT_EQ(played.logSha256, sha256Hex(live.battleLog));

  // The start state the viewer plays from.
  const GameState replayed = battle::startState(replayStart(read));
  EXPECT_EQ(replayed.combatant, start.combatant);
  EXPECT_EQ(battle::settingsOf(replayStart(read)), kShown);
  EXPECT_TRUE(replayed.battleLog.empty());
}

TEST(Replay, SeedsOfTheWholeUnsignedRangeSurvive) {
  for (const std::uint64_t seed : {std::uint64_t{0}, kBigSeed, ~std::uint64_t{0}})
    EXPECT_EQ(roundTrip(sample(seed)).seed, seed);
}

TEST(Replay, NamesKeepTheirControlCharactersAndBecomeValidUtf8) {
  GameState gs = testing::sanePair();
  gs.combatant[0].name = std::string("a\nb\x1b[2J\0\u202E", 11);
  gs.combatant[1].name = "bad\xff\xfe name";
  const Replay r = makeReplay(battle::startOf(gs, 1), {"dir/evil\xff.dat", "b.dat"},
                              "2026-12-08T00:00:00Z", "t");
  EXPECT_EQ(r.characters[0].file, "evil\xEF\xBF\xBD.dat") << "a base name, valid UTF-8";
  EXPECT_EQ(r.characters[1].record.name, "bad\xEF\xBF\xBD\xEF\xBF\xBD name");

  const std::string text = replayJson(r);
  EXPECT_EQ(validUtf8(text), text);
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << "control characters are escaped";
  const Replay back = roundTrip(r);
  EXPECT_EQ(back.characters[0].record.name, gs.combatant[0].name);
  EXPECT_EQ(replayMismatch(back.result, playReplay(back)), std::nullopt)
      << "the recorded result is that of the replaced names";
}

// One edit of a good replay's JSON, and what the refusal must say.
struct Hostile {
  const char* what;
  std::function<void(json&)> edit;
  const char* says;
};

TEST(Replay, StrangersFilesAreRefusedWithOneLineThatNamesTheFault) {
  const json good = json::parse(replayJson(sample()));
  const std::string longText(kReplayMaxTextBytes + 1, 'x');
  const Hostile cases[] = {
      {"newer version", [](json& j) { j["version"] = 2; }, "written by a newer version"},
      {"other format", [](json& j) { j["format"] = "save"; }, "not a replay: format"},
      {"negative seed", [](json& j) { j["seed"] = -1; }, "seed is not a whole number"},
      {"speed 0", [](json& j) { j["speed"] = 0; }, "speed is out of range (1 to 300)"},
      {"level past int32", [](json& j) { j["characters"][0]["level"] = std::int64_t{1} << 31; },
       "characters[0].level is out of range"},
      {"power below int32",
       [](json& j) { j["characters"][1]["moves"][7]["power"] = -(std::int64_t{1} << 31) - 1; },
       "characters[1].moves[7].power is out of range"},
      {"hp as text", [](json& j) { j["characters"][0]["parts"][2]["hp"] = "12"; },
       "characters[0].parts[2].hp is not a whole number"},
      {"three parts", [](json& j) { j["characters"][0]["parts"].erase(0); },
       "characters[0].parts holds 3 entries, not 4"},
      {"a path for a file", [](json& j) { j["characters"][0]["file"] = "../../.bashrc"; },
       "characters[0].file is not a bare file name"},
      {"NUL in a file", [](json& j) { j["characters"][1]["file"] = std::string("a\0b", 3); },
       "characters[1].file is not a bare file name"},
      {"long name", [&](json& j) { j["characters"][0]["name"] = longText; },
       "characters[0].name is longer than 4096 bytes"},
      {"winner 2", [](json& j) { j["result"]["winner"] = 2; }, "result.winner is out of range"},
      {"bad digest", [](json& j) { j["result"]["log_sha256"] = "abc"; },
       "result.log_sha256 is not 64 hexadecimal digits"},
      {"deep inside an unknown key",
       [](json& j) { j["extra"] = json::parse("[[[[[[[[[1]]]]]]]]]"); }, "nested more than 8"},
  };
  for (const Hostile& h : cases) {
    json j = good;
    h.edit(j);
    Refusal error;
    EXPECT_FALSE(parseReplay(j.dump(), &error)) << h.what;
    EXPECT_NE(describe(error).find(h.says), std::string::npos) << h.what << ": " << error;
    EXPECT_EQ(describe(error).find('\n'), std::string::npos) << h.what;
  }

  json j = good;
  j["characters"][0]["parts"][0]["name"] = "頭";  // unknown keys are ignored
  Refusal error;
  EXPECT_TRUE(parseReplay(j.dump(), &error)) << error;
}

TEST(Replay, TextThatIsNoReplayIsRefusedWithoutQuotingIt) {
  const std::string text = replayJson(sample());
  const struct {
    std::string input;
    const char* says;
  } cases[] = {
      {text.substr(0, text.size() / 2), "not JSON, or cut off"},
      {"\x1b[2Jhello\n", "not JSON, or cut off (at byte 1)"},
      {"", "not JSON"},
      {"[1, 2]", "the document is not a JSON object"},
      {"{\"format\":\"momiru-replay\",\"version\":1,\"written_by\":\"\xff\"}", "not JSON"},
      {std::string(100000, '['), "nested more than 8 levels deep"},
      {std::string(kReplayMaxBytes + 1, ' '), "larger than 1048576 bytes"},
      {"<!DOCTYPE html><html></html>", "not a replay: a page that carries none"},
      {"<html><script type=\"application/json\" id=\"momiru-replay\">" + text,
       "the replay in the page is cut off"},
  };
  for (const auto& c : cases) {
    Refusal error;
    EXPECT_FALSE(parseReplay(c.input, &error)) << c.says;
    EXPECT_NE(describe(error).find(c.says), std::string::npos) << error;
    EXPECT_EQ(describe(error).find('\x1b'), std::string::npos);
  }
}

// A page around `inside`, as a browser would get it.
std::string pageAround(const std::string& inside) {
  return "\xEF\xBB\xBF\n<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\"/>"
         "<title>a 対 b</title><style>p { color: #222; }</style></head><body>\n" +
         inside + "\n</body></html>\n";
}

std::string element(const std::string& text) {
  return "<script type=\"application/json\" id=\"momiru-replay\">" + text + "</script>";
}

TEST(ReplayPage, TheReplayIsTheOneABrowserReadsOrThePageIsRefused) {
  const Replay shown = sample(1);
  const Replay other = sample(2);
  const std::string carried = replayJson(shown);
  const std::string hidden = element(replayJson(other));
  const std::string chart =
      "<svg class=\"hp-chart\" viewBox=\"0 0 10 10\" aria-label=\"a &lt; b\">"
      "<rect x=\"0\" y=\"0\" width=\"10\" height=\"10\"/><line x1='0' x2=0 />"
      "<polyline points=\"1,2 3,4\"><title>頭</title></polyline><text x=\"1\">0 < 1</text></svg>";
  // Pages that open as the battle they carry.
  for (const std::string& inside : {
           element(carried),
           "<p title=\"a > b\" data-x='1/>2' hidden>x < y </> z</p>" + element(carried),
           chart + "<p>after the chart</p>" + element(carried) + "<p>after</p>",
           "<textarea>no markup</textarea><svg/>" + element(carried),
       }) {
    Refusal error;
    const std::optional<Replay> r = parseReplay(pageAround(inside), &error);
    ASSERT_TRUE(r) << error << "\n" << inside.substr(0, 200);
    EXPECT_EQ(r->seed, shown.seed);
  }

  const struct {
    std::string inside;
    const char* says;
  } refused[] = {
      // Another battle first, where a browser sees no element, or a second one anywhere.
      {"<!-- " + hidden + " -->" + element(carried), "more than one script"},
      {element(carried) + hidden, "more than one script"},
      {"<SCRIPT id=momiru-replay type=application/json>{}</SCRIPT>" + element(carried),
       "more than one script"},
      {"<script>document.title = 1;</script>" + element(carried), "more than one script"},
      // The only element, but where a browser reads no element.
      {"<!-- " + element(carried) + " -->", "comment"},
      {"<!-- a -- b --!>" + element(carried), "comment"},
      {"<![CDATA[ " + element(carried) + " ]]>", "reads as a comment"},
      {"<!x " + element(carried), "reads as a comment"},
      {"<?x " + element(carried), "reads as a comment"},
      {"</ " + element(carried), "reads as a comment"},
      {"<title>" + element(carried) + "</title>", "text in the page holds markup"},
      {"<textarea>" + element(carried), "text in the page holds markup"},
      {"<p title='" + element(carried) + "'>x</p>", "carries none"},
      {"<p title=x" + element(carried), "carries none"},
      {"<p title='" + element(carried), "cut off in a tag"},
      {"<template>" + element(carried) + "</template>", "reads otherwise"},
      {"<noscript>" + element(carried) + "</noscript>", "reads otherwise"},
      {"<math>" + element(carried) + "</math>", "reads otherwise"},
      {"<object data=\"a.svg\">" + element(carried) + "</object>", "reads otherwise"},
      {"<svg>" + element(carried) + "</svg>", "markup other than a chart's"},
      {"<svg><foreignObject>" + element(carried), "markup other than a chart's"},
      {"<svg><p></svg>" + element(carried), "markup other than a chart's"},
      {"<svg><title><style></title></svg>" + element(carried), "markup in its title"},
      // A browser that ignores the style element reads the comment, and no element.
      {"<select><style><!--</style>" + element(carried) + "-->", "text in the page holds markup"},
      // Markup in the element: a browser may end it elsewhere.
      {element(carried.substr(0, 20) + "<!--<script>" + carried.substr(20)),
       "more than one script"},
      {element(carried.substr(0, 20) + "<!--" + carried.substr(20)),
       "replay in the page holds markup"},
      {element(carried + std::string(kReplayMaxBytes, ' ')), "larger than 1048576 bytes"},
      {element(carried) + std::string(kPageMaxBytes, ' '), "larger than 8388608 bytes"},
  };
  for (const auto& c : refused) {
    Refusal error;
    EXPECT_FALSE(parseReplay(pageAround(c.inside), &error)) << c.says;
    EXPECT_NE(describe(error).find(c.says), std::string::npos) << c.says << ": " << error;
    EXPECT_EQ(describe(error).find('\n'), std::string::npos);
  }
}

TEST(ReplayPage, APageFileIsReadUpToThePageLimit) {
  const ScratchDir dir;
  const Replay r = sample();
  // A page larger than a replay file may be, with its replay at the end.
  const std::string page =
      pageAround("<p>" + std::string(kReplayMaxBytes + 10, 'x') + "</p>" + element(replayJson(r)));
  writeFile(dir / "page.html", page);
  Refusal error;
  const std::optional<Replay> back = readReplayFile(dir / "page.html", &error);
  ASSERT_TRUE(back) << error;
  expectSameReplay(r, *back);

  // A JSON file is still held to the smaller limit, and a page to its own.
  writeFile(dir / "big.momiru-replay", replayJson(r) + std::string(kReplayMaxBytes, ' '));
  EXPECT_FALSE(readReplayFile(dir / "big.momiru-replay", &error));
  EXPECT_EQ(describe(error), "larger than 1048576 bytes");
  std::filesystem::resize_file(dir / "page.html", std::uintmax_t{1} << 32);
  EXPECT_FALSE(readReplayFile(dir / "page.html", &error));
  EXPECT_EQ(describe(error), "larger than 8388608 bytes");
}

#ifndef _WIN32  // the case needs what only Linux has
TEST(Replay, FilesAreReadOnlyWhenRegularAndSmall) {
  const ScratchDir dir;
  const Replay r = sample();
  writeFile(dir / "a.momiru-replay", replayJson(r));
  Refusal error;
  const std::optional<Replay> back = readReplayFile(dir / "a.momiru-replay", &error);
  ASSERT_TRUE(back) << error;
  expectSameReplay(r, *back);

  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_TRUE(testing::returnsWithoutWriter(
      dir / "fifo", [&] { return readReplayFile(dir / "fifo", &error).has_value(); }));
  EXPECT_EQ(describe(error), "not a regular file");
  EXPECT_FALSE(readReplayFile(dir.path(), &error));
  EXPECT_EQ(describe(error), "a folder, not a replay file");
  EXPECT_FALSE(readReplayFile(dir / "missing", &error));
  EXPECT_EQ(describe(error), "cannot be opened: No such file or directory");
  EXPECT_FALSE(readReplayFile("/dev/zero", &error)) << "a device that never ends";
  EXPECT_EQ(describe(error), "not a regular file");

  // A huge (sparse) file is refused after reading just past the limit.
  std::filesystem::resize_file(dir / "a.momiru-replay", std::uintmax_t{1} << 32);
  EXPECT_FALSE(readReplayFile(dir / "a.momiru-replay", &error));
  EXPECT_EQ(describe(error), "larger than 1048576 bytes");
}
#endif

TEST(Replay, AResultTheseRulesDoNotGiveIsNamed) {
  const Replay r = sample();
  const ReplayResult played = playReplay(r);
  ASSERT_EQ(replayMismatch(r.result, played), std::nullopt);

  ReplayResult edited = r.result;
  edited.turns += 1;
  EXPECT_EQ(replayMismatch(edited, played), "turns");
  edited.finalHp[1][0] -= 3;
  EXPECT_EQ(replayMismatch(edited, played), "turns, final_hp");
  edited = r.result;
  std::swap(edited.winner, edited.loser);
  EXPECT_EQ(replayMismatch(edited, played), "winner, loser");

  // Edited records (or other rules) play another battle than the one recorded.
  json j = json::parse(replayJson(r));
  for (json& move : j["characters"][0]["moves"]) move["power"] = 1;
  Refusal error;
  const std::optional<Replay> tampered = parseReplay(j.dump(), &error);
  ASSERT_TRUE(tampered) << error;
  const std::optional<std::string> what = replayMismatch(tampered->result, playReplay(*tampered));
  ASSERT_TRUE(what);
  EXPECT_NE(what->find("log_sha256"), std::string::npos) << *what;
}

}  // namespace
}  // namespace momiru::replay
