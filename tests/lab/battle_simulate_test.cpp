// momiru-lab battle and simulate, run as a program on the committed samples: output shape,
// replays by seed, JSON against the log, usage errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <tuple>

#include "support/lab_support.h"

namespace {

using namespace momiru::testing;

const std::string kPair = sample("pochimaru.dat") + " " + sample("rendaa.dat");

TEST(LabBattle, PrintsTheResultScreenAndReplaysBySeed) {
  const LabRun a = lab("battle " + kPair + " --seed 42");
  ASSERT_EQ(a.status, 0) << a.err;
  EXPECT_EQ(
      a.out.rfind("戦いの時の文章のログ\npochimaru.datのポチまる ＶＳ rendaa.datのﾚﾝﾀﾞｰ\n\n", 0),
      0u);
  EXPECT_TRUE(std::regex_search(
      a.out, std::regex("\n\n今回の勝負は\n\n(.+の勝ち！！\n.+は敗れました|引き分け！！)\n$")))
      << a.out;
  EXPECT_EQ(lab("battle " + kPair + " --seed 42").out, a.out);
  EXPECT_NE(lab("battle " + sample("rendaa.dat") + " " + sample("rendaa.dat") + " --seed 9")
                .out.find("rendaa.datのﾚﾝﾀﾞｰ(1) ＶＳ rendaa.datのﾚﾝﾀﾞｰ(2)\n"),
            std::string::npos);  // equal names told apart as the entry screen does
  EXPECT_NE(lab("battle " + kPair + " --seed 43").out, a.out);

  // Without --crlf no line ends in CR LF; with it every one does.
  const LabRun crlf = lab("battle " + kPair + " --seed=42 --crlf");
  EXPECT_EQ(std::regex_replace(crlf.out, std::regex("\r\n"), "\n"), a.out);
  EXPECT_FALSE(std::regex_search(crlf.out, std::regex("[^\r]\n")));

  // Without a seed one is drawn and printed, and it replays the battle.
  const LabRun drawn = lab("battle " + kPair);
  ASSERT_EQ(drawn.status, 0);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(drawn.err, m, std::regex("seed ([0-9]+)"))) << drawn.err;
  EXPECT_EQ(lab("battle " + kPair + " --seed " + m[1].str()).out, drawn.out);
}

TEST(LabBattle, JsonAgreesWithTheLogAndTheTextOutput) {
  for (const char* seed : {"1", "2", "3", "18446744073709551615"}) {
    const LabRun run = lab("battle " + kPair + " --json --halve --seed " + seed);
    ASSERT_EQ(run.status, 0) << run.err;
    const Json j = parseJson(run.out);
    EXPECT_EQ(j.at("seed").dump(), seed);
    EXPECT_TRUE(j.at("finished").get<bool>());
    const std::string log = j.at("log").get<std::string>();
    const std::string text = j.at("result_text").get<std::string>();
    EXPECT_EQ(text.substr(text.size() - log.size()), log);

    // One hit-count line per turn, with the turn's hits; the damage lines in order.
    std::vector<int> hitLines;
    std::vector<long long> damages;
    const std::regex line("([0-9]+)回ヒットした！|は、([0-9]+)のダメージ！！");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator();
         ++it) {
      if ((*it)[1].matched) hitLines.push_back(std::stoi((*it)[1]));
      if ((*it)[2].matched) damages.push_back(std::stoll((*it)[2]));
    }
    const Json& turns = j.at("turns");
    ASSERT_EQ(turns.size(), hitLines.size());
    std::vector<long long> recorded;
    for (std::size_t t = 0; t < turns.size(); ++t) {
      const Json& turn = turns.at(t);
      EXPECT_EQ(turn.at("attacker").get<long long>(), t % 2 == 0 ? 1 : 0);
      int hits = 0;
      for (const Json& b : turn.at("blows")) {
        if (b.at("damage").is_number()) {
          ++hits;
          recorded.push_back(b.at("damage").get<long long>());
        }
      }
      EXPECT_EQ(hits, hitLines[t]);
    }
    EXPECT_EQ(recorded, damages);
    for (std::size_t s = 0; s < 2; ++s)
      for (std::size_t p = 0; p < 4; ++p)
        EXPECT_EQ(turns.back().at("hp").at(s).at(p), j.at("final_hp").at(s).at(p));
    if (j.at("draw").get<bool>()) {
      EXPECT_TRUE(j.at("winner").is_null());
      EXPECT_NE(j.at("result_label").get<std::string>().find("引き分け！！"), std::string::npos);
    } else {
      const long long w = j.at("winner").get<long long>();
      EXPECT_EQ(j.at("loser").get<long long>(), 1 - w);
      EXPECT_NE(j.at("result_label")
                    .get<std::string>()
                    .find(j.at("names").at(static_cast<std::size_t>(w)).get<std::string>() +
                          "の勝ち！！"),
                std::string::npos);
    }
  }
}

// Every command parses its options with the same parser, so a few rows stand for each kind of
// refusal: one line on stderr naming the command, status 64, nothing on stdout.
TEST(LabCommands, UsageErrors) {
  // {command, its arguments, the reason}; the line names the command and where its help is.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"", "", "no command given"},
      {"", "fight", "unknown command 'fight'"},
      {"inspect", "", "no file given"},
      {"battle", kPair + " --seed", "--seed needs a number"},
      {"battle", kPair + " --seed=1x", "--seed takes a whole number from 0 to 2^64-1, not '1x'"},
      {"battle", kPair + " --json=1", "unknown option '--json=1'"},
      {"simulate", kPair + " --seed 18446744073709551616",
       "--seed does not take '18446744073709551616'"},
      {"simulate", kPair + " x.dat", "give exactly two save-data files"},
      {"battle", sample("rendaa.dat"), "give two save-data files, or one replay"},
      {"battle", "x.momiru-replay --halve",
       "a replay holds its own seed and halving switch: no --seed or --halve"},
      {"battle", kPair + " --save-replay", "--save-replay needs a file name"},
      {"league", "x.dat", "give at least two save-data files"},
      // A value given twice: the parser cannot tell which one was meant, in either spelling.
      {"battle", kPair + " --seed 1 --seed=2", "--seed is given twice"},
      {"battle", kPair + " --html a.html --html b.html", "--html is given twice"},
      {"simulate", kPair + " --battles 5 --battles 5", "--battles is given twice"},
  };
  for (const auto& [command, args, reason] : cases) {
    const std::string name = command.empty() ? "momiru-lab" : "momiru-lab " + command;
    const LabRun run = lab(command + " " + args);
    EXPECT_EQ(run.status, 64) << args;
    EXPECT_EQ(run.err, name + ": " + reason + " (try '" + name + " --help')\n") << args;
    EXPECT_TRUE(run.out.empty()) << args;
  }
  // Out of range: a sign, and a count below the least.
  EXPECT_EQ(lab("battle " + kPair + " --seed -1").status, 64);
  EXPECT_EQ(lab("simulate " + kPair + " --battles 0").status, 64);
  // A switch said twice means the same and is taken.
  EXPECT_EQ(lab("battle " + kPair + " --seed 3 --halve --halve").status, 0);
  const LabRun help = lab("battle --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: momiru-lab battle ", 0), 0u) << help.out;
}

TEST(LabSimulate, FiguresAddUpDoNotDependOnJobsAndSeedsReplay) {
  const std::string args = "simulate " + kPair + " --battles 3000 --seed 11 --json --mirror";
  const LabRun one = lab(args + " --jobs 1");
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(lab(args + " --jobs 3").out, one.out);
  const Json j = parseJson(one.out);
  ASSERT_EQ(j.at("pairings").size(), 2u);
  const char* kinds[] = {"player1_wins", "player2_wins", "draws", "unfinished"};
  for (std::size_t p = 0; p < 2; ++p) {
    const Json& pairing = j.at("pairings").at(p);
    long long sum = 0;
    for (const char* k : kinds) {
      sum += pairing.at(k).at("count").get<long long>();
      const double share = pairing.at(k).at("share").get<double>();
      EXPECT_LE(pairing.at(k).at("ci95").at(0).get<double>(), share);
      EXPECT_GE(pairing.at(k).at("ci95").at(1).get<double>(), share);
    }
    EXPECT_EQ(sum, 3000);
    EXPECT_LE(pairing.at("turns").at("median").get<long long>(),
              pairing.at("turns").at("p95").get<long long>());
    // Each named seed replays a battle with that outcome.
    const std::string files = p == 0 ? kPair : sample("rendaa.dat") + " " + sample("pochimaru.dat");
    for (const auto& [k, winner] :
         {std::pair{"player1_wins", "0"}, std::pair{"player2_wins", "1"}, std::pair{"draws", ""}}) {
      const Json& seed = pairing.at("replay_seeds").at(k);
      if (!seed.is_number()) continue;
      const Json b = parseJson(lab("battle " + files + " --json --seed " + seed.dump()).out);
      EXPECT_EQ(b.at("winner").dump(), *winner == '\0' ? "null" : winner) << k;
      EXPECT_EQ(b.at("draw").get<bool>(), *winner == '\0') << k;
    }
  }
  EXPECT_EQ(j.at("pairings").at(0).at("names").at(0).get<std::string>(),
            j.at("pairings").at(1).at("names").at(1).get<std::string>());
  const Json& first = j.at("first_mover");
  EXPECT_EQ(first.at("first_mover_wins").at("count").get<long long>(),
            j.at("pairings").at(0).at("player2_wins").at("count").get<long long>() +
                j.at("pairings").at(1).at("player2_wins").at("count").get<long long>());
}

TEST(LabSimulate, TextReportDrawsTheBattleLengthsOfFinishedBattles) {
  const LabRun run = lab("simulate " + kPair + " --battles 2000 --seed 7");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::size_t chart = run.out.find("  battle lengths in turns (finished battles):\n");
  ASSERT_NE(chart, std::string::npos) << run.out;
  // Rows of contiguous ranges, bars of '#' (stdout is not a terminal), the longest 40 wide.
  const std::regex row(" +([0-9]+)-([0-9]+)  (#*) +([0-9.]+)%\n");
  double total = 0;
  std::size_t longest = 0;
  long long next = -1;
  int rows = 0;
  const std::string rest = run.out.substr(chart);
  for (auto it = std::sregex_iterator(rest.begin(), rest.end(), row); it != std::sregex_iterator();
       ++it, ++rows) {
    EXPECT_TRUE(next < 0 || std::stoll((*it)[1]) == next) << (*it)[0];
    next = std::stoll((*it)[2]) + 1;
    longest = std::max(longest, static_cast<std::size_t>((*it)[3].length()));
    total += std::stod((*it)[4]);
  }
  EXPECT_GE(rows, 3);
  EXPECT_LE(rows, 10);
  EXPECT_EQ(longest, 40u);
  EXPECT_NEAR(total, 100.0, 0.05);
  // With none finished there is no chart to draw.
  const LabRun none = lab("simulate " + kPair + " --battles 200 --seed 5 --max-turns 3");
  ASSERT_EQ(none.status, 0) << none.err;
  EXPECT_TRUE(std::regex_search(none.out, std::regex("200 +100\\.00%.*unfinished"))) << none.out;
  EXPECT_NE(none.out.find("none finished"), std::string::npos);
  EXPECT_EQ(none.out.find("battle lengths"), std::string::npos);
  // Without a seed one is drawn and shown.
  const LabRun drawn = lab("simulate " + kPair + " --battles 10");
  EXPECT_TRUE(std::regex_search(drawn.err, std::regex("seed [0-9]+"))) << drawn.err;
}

}  // namespace
