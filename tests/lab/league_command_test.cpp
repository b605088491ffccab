// momiru-lab league run as a program: the report's keys, the same report for any --jobs, the
// HTML page, files left out, names told apart, a crafted champion, failed writes, usage errors.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "data/test_support.h"
#include "lab/lab_support.h"
#include "lab/league_report.h"
#include "lab/markup_check.h"

namespace {

using namespace momiru::testing;

std::string allSamples() {
  std::string s;
  for (const char* name : {"gansekimaru.dat", "hinotori.dat", "inazuma.dat", "karappo.dat",
                           "nenrikibou.dat", "pochimaru.dat", "rendaa.dat", "zutsukiya.dat"}) {
    s += sample(name) + " ";
  }
  return s;
}

std::string quoted(const std::filesystem::path& p) { return "\"" + p.string() + "\""; }

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(LabLeague, JsonKeysAndTheSameReportForAnyJobs) {
  const std::string args = "league " + allSamples() + "--battles 300 --seed 11 --json";
  const LabRun one = lab(args + " --jobs 1");
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.err, "");
  const Json j = parseJson(one.out);
  EXPECT_EQ(j.keys(),
            (std::vector<std::string>{"seed", "battles", "halve", "max_turns", "characters",
                                      "total_battles", "method", "converged", "first_mover",
                                      "ranking", "win_rates", "left_out"}));
  EXPECT_EQ(j["total_battles"].integer(), 300 * 8 * 7);
  EXPECT_EQ(j["first_mover"].keys(), (std::vector<std::string>{"rating_points", "ci95"}));
  ASSERT_EQ(j["ranking"].items.size(), 8u);
  long long battles = 0;
  double previous = 1e9;
  for (const Json& row : j["ranking"].items) {
    EXPECT_EQ(row.keys(),
              (std::vector<std::string>{"rank", "name", "file", "rating", "ci95", "wins", "draws",
                                        "losses", "unfinished", "win_share", "mean_turns"}));
    const double rating = std::stod(row["rating"].text);
    EXPECT_LE(rating, previous);
    EXPECT_LE(std::stod(row["ci95"][0].text), rating);
    EXPECT_GE(std::stod(row["ci95"][1].text), rating);
    previous = rating;
    battles += row["wins"].integer() + row["draws"].integer() + row["losses"].integer() +
               row["unfinished"].integer();
  }
  EXPECT_EQ(battles, 2 * 300 * 8 * 7);  // every battle counted once for each side
  ASSERT_EQ(j["win_rates"].items.size(), 8u);
  EXPECT_EQ(j["win_rates"][0][0].kind, Json::Null);
  EXPECT_NEAR(std::stod(j["win_rates"][0][1].text) + std::stod(j["win_rates"][1][0].text), 1.0,
              1e-5);

  EXPECT_EQ(lab(args + " --jobs 2").out, one.out);
  EXPECT_EQ(lab(args + " --jobs=7").out, one.out);
  const LabRun text1 = lab("league " + allSamples() + "--battles 300 --seed 11 --jobs 1");
  const LabRun text3 = lab("league " + allSamples() + "--battles 300 --seed 11 --jobs 3");
  EXPECT_EQ(text1.out, text3.out);
  EXPECT_NE(text1.out.find("first mover (player 2) advantage"), std::string::npos);
}

TEST(LabLeague, TwoCharactersPlayTheBattlesOfAMirroredSimulation) {
  const std::string pair = sample("pochimaru.dat") + " " + sample("rendaa.dat");
  const Json league = parseJson(lab("league " + pair + " --battles 700 --seed 5 --json").out);
  const Json sim =
      parseJson(lab("simulate " + pair + " --mirror --battles 700 --seed 5 --json").out);
  long long pochiWins = 0;
  for (const Json& row : league["ranking"].items) {
    if (row["name"].text == "pochimaru.datのポチまる") pochiWins = row["wins"].integer();
  }
  EXPECT_EQ(pochiWins, sim["pairings"][0]["player1_wins"]["count"].integer() +
                           sim["pairings"][1]["player2_wins"]["count"].integer());
}

TEST(LabLeague, HtmlPageParsesAndDrawsEveryCharacter) {
  ScratchDir dir;
  const auto page = dir / "リーグ.html";
  const LabRun run =
      lab("league " + allSamples() + "--battles 100 --seed 3 --html " + quoted(page));
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string html = readFile(page);
  EXPECT_EQ(markupProblem(html), "");
  EXPECT_NE(markupProblem("<p><b>x</p>"), "");  // the check can fail
  EXPECT_EQ(count(html, "<g class=\"rating\""), 8u);
  EXPECT_EQ(count(html, "<rect class=\"cell\""), 8u * 7u);
  EXPECT_EQ(count(html, "<svg "), 2u);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_EQ(html.find("http:"), html.find("http://www.w3.org/2000/svg"));  // nothing fetched
  EXPECT_NE(html.find("<meta charset=\"utf-8\"/>"), std::string::npos);
  EXPECT_NE(html.find("ﾚﾝﾀﾞｰ"), std::string::npos);
  EXPECT_NE(html.find("ガンセキ丸"), std::string::npos);
  // Nothing but the page is left in the folder (no temporary file).
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(LabLeague, CraftedChampionRanksFirst) {
  ScratchDir dir;
  Character c = testCharacter();
  c.values.storedNames = {"はがね竜", ""};
  c.record.hp = {900, 900, 900, 900};
  c.record.attack = {60, 60, 60, 60};
  c.record.defence = {60, 60, 60, 60};
  c.record.moveNames = {"H--ずつき",  "A--パンチ",  "L--キック",  "B--体当たり",
                        "---NO DATA", "---NO DATA", "---NO DATA", "---NO DATA"};
  c.record.movePower = {20, 20, 20, 20, 0, 0, 0, 0};
  writeFile(dir / "champion.dat", encode(c));
  const LabRun run = lab("league " + allSamples() + quoted(dir / "champion.dat") +
                         " --battles 200 --seed 1 --json");
  ASSERT_EQ(run.status, 0) << run.err;
  const Json j = parseJson(run.out);
  EXPECT_EQ(j["ranking"][0]["name"].text, "champion.datのはがね竜");
  EXPECT_EQ(j["ranking"][0]["losses"].integer(), 0);
  EXPECT_TRUE(j["converged"].flag);
  EXPECT_GT(std::stod(j["ranking"][0]["ci95"][0].text), std::stod(j["ranking"][1]["ci95"][1].text));
}

TEST(LabLeague, UnusableFilesAreLeftOutAndEqualNamesToldApart) {
  ScratchDir dir;
  Character zero = testCharacter();
  zero.values.storedLevels = {0, 0};
  writeFile(dir / "zero.dat", encode(zero));
  ASSERT_EQ(::mkfifo((dir / "pipe.dat").c_str(), 0600), 0);
  std::filesystem::create_directories(dir / "a");
  std::filesystem::create_directories(dir / "b");
  const std::string pochi =
      readFile(std::filesystem::path(MOMIRU_SOURCE_DIR) / "samples/pochimaru.dat");
  writeFile(dir / "a" / "p.dat", pochi);
  writeFile(dir / "b" / "p.dat", pochi);
  const LabRun run =
      lab("league " + quoted(dir / "a" / "p.dat") + " " + quoted(dir / "b" / "p.dat") + " " +
          sample("rendaa.dat") + " " + sample("rendaa.dat") + " " + sample("altered-check.dat") +
          " " + quoted(dir / "zero.dat") + " " + quoted(dir / "pipe.dat") + " " +
          quoted(dir / "missing.dat") + " --battles 50 --seed 2 --json");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(count(run.err, "\n"), 4u) << run.err;
  EXPECT_TRUE(std::regex_search(
      run.err, std::regex("altered-check.dat: left out: the save data has been altered")));
  EXPECT_TRUE(std::regex_search(
      run.err,
      std::regex(
          "zero.dat: left out: cannot be used: no character has been entered \\(level 0\\)")));
  EXPECT_TRUE(std::regex_search(
      run.err, std::regex("pipe.dat: left out: cannot be used: .*not a regular file")));
  EXPECT_TRUE(std::regex_search(run.err, std::regex("missing.dat: left out: cannot be used")));
  const Json j = parseJson(run.out);
  EXPECT_EQ(j["left_out"].items.size(), 4u);
  std::vector<std::string> names;
  for (const Json& row : j["ranking"].items) names.push_back(row["name"].text);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{(dir / "a/p.datのポチまる").string(),
                                             (dir / "b/p.datのポチまる").string(),
                                             "rendaa.datのﾚﾝﾀﾞｰ(1)", "rendaa.datのﾚﾝﾀﾞｰ(2)"}));

  // Fewer than two left: nothing to play.
  const LabRun alone = lab("league " + sample("rendaa.dat") + " " + quoted(dir / "missing.dat"));
  EXPECT_EQ(alone.status, 1);
  EXPECT_NE(alone.err.find("fewer than two"), std::string::npos);
}

TEST(LabLeague, FailedWritesAreReportedNotHidden) {
  ScratchDir dir;
  const std::string pair =
      sample("pochimaru.dat") + " " + sample("rendaa.dat") + " --battles 10 --seed 1";
  const LabRun full = lab("league " + pair + " --html /dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("cannot write /dev/full"), std::string::npos) << full.err;
  struct stat st {};
  ASSERT_EQ(::stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));  // still the device, not replaced by a file

  const LabRun noFolder = lab("league " + pair + " --html " + quoted(dir / "no" / "x.html"));
  EXPECT_EQ(noFolder.status, 1);
  EXPECT_EQ(count(noFolder.err, "\n"), 1u);
  const LabRun folder = lab("league " + pair + " --html " + quoted(dir.path()));
  EXPECT_EQ(folder.status, 1);

  // An existing page is replaced whole; a link to it stays a link.
  writeFile(dir / "old.html", "old");
  std::filesystem::create_symlink(dir / "old.html", dir / "link.html");
  EXPECT_EQ(lab("league " + pair + " --html " + quoted(dir / "link.html")).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.html"));
  EXPECT_EQ(readFile(dir / "old.html").rfind("<!DOCTYPE html>", 0), 0u);

  // A read-only page is not replaced behind the user's back (root may write anything).
  if (::geteuid() != 0) {
    writeFile(dir / "kept.html", "kept");
    std::filesystem::permissions(dir / "kept.html", std::filesystem::perms::owner_read);
    EXPECT_EQ(lab("league " + pair + " --html " + quoted(dir / "kept.html")).status, 1);
    EXPECT_EQ(readFile(dir / "kept.html"), "kept");
  }

  const LabRun stdoutFull = lab("league " + pair + " >/dev/full");
  EXPECT_EQ(stdoutFull.status, 1);
  EXPECT_NE(stdoutFull.err.find("cannot write the report"), std::string::npos);
}

}  // namespace
