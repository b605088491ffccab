// momiru-lab league run as a program: the report's figures, the same report for any --jobs, the
// HTML page (in Japanese throughout, in every locale), files left out, names told apart, failed
// writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <regex>

#include "data/text_safety.h"
#include "support/lab_support.h"
#include "support/markup_check.h"
#include "support/test_support.h"

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

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(LabLeague, JsonFiguresAddUpAndTheSameReportForAnyJobs) {
  const std::string args = "league " + allSamples() + "--battles 300 --seed 11 --json";
  const LabRun one = lab(args + " --jobs 1");
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.err, "");
  const Json j = parseJson(one.out);
  EXPECT_EQ(j.at("total_battles").get<long long>(), 300 * 8 * 7);
  ASSERT_EQ(j.at("ranking").size(), 8u);
  long long battles = 0;
  double previous = 1e9;
  for (const Json& row : j.at("ranking")) {
    const double rating = row.at("rating").get<double>();
    EXPECT_LE(rating, previous);
    EXPECT_LE(row.at("ci95").at(0).get<double>(), rating);
    EXPECT_GE(row.at("ci95").at(1).get<double>(), rating);
    previous = rating;
    battles += row.at("wins").get<long long>() + row.at("draws").get<long long>() +
               row.at("losses").get<long long>() + row.at("unfinished").get<long long>();
  }
  EXPECT_EQ(battles, 2 * 300 * 8 * 7);  // every battle counted once for each side
  ASSERT_EQ(j.at("win_rates").size(), 8u);
  EXPECT_TRUE(j.at("win_rates").at(0).at(0).is_null());
  EXPECT_NEAR(
      j.at("win_rates").at(0).at(1).get<double>() + j.at("win_rates").at(1).at(0).get<double>(),
      1.0, 1e-5);

  // The text report is written from these same results: the JSON stands for both.
  EXPECT_EQ(lab(args + " --jobs=7").out, one.out);
}

TEST(LabLeague, TwoCharactersPlayTheBattlesOfAMirroredSimulation) {
  const std::string pair = sample("pochimaru.dat") + " " + sample("rendaa.dat");
  const Json league = parseJson(lab("league " + pair + " --battles 700 --seed 5 --json").out);
  const Json sim =
      parseJson(lab("simulate " + pair + " --mirror --battles 700 --seed 5 --json").out);
  long long pochiWins = 0;
  for (const Json& row : league.at("ranking")) {
    if (row.at("name").get<std::string>() == "pochimaru.datのポチまる")
      pochiWins = row.at("wins").get<long long>();
  }
  EXPECT_EQ(pochiWins,
            sim.at("pairings").at(0).at("player1_wins").at("count").get<long long>() +
                sim.at("pairings").at(1).at("player2_wins").at("count").get<long long>());
  // Each rating stays with its own character: the better record ranks first.
  EXPECT_GT(league.at("ranking").at(0).at("win_share").get<double>(),
            league.at("ranking").at(1).at("win_share").get<double>());
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
  EXPECT_EQ(html.find("http:"), html.find("http://www.w3.org/2000/svg"));  // nothing fetched
  EXPECT_NE(html.find("ガンセキ丸"), std::string::npos);
  // Headings and notes in Japanese; the table keeps its columns.
  EXPECT_NE(html.find("<html lang=\"ja\">"), std::string::npos);
  for (const char* heading :
       {"<h1>リーグ戦</h1>", "<h2>順位表</h2>", "<h2>レーティングと95%区間</h2>", "<h2>勝率</h2>",
        "シード 3、", "<th>順位</th><th>名前</th><th>レーティング</th>", "100%（行の勝ち）"}) {
    EXPECT_NE(html.find(heading), std::string::npos) << heading;
  }
  EXPECT_EQ(html.find("<h2>Ranking</h2>"), std::string::npos);
  EXPECT_EQ(html.find("<th>rank</th>"), std::string::npos);
  EXPECT_EQ(html.find("row wins"), std::string::npos);
  // Nothing but the page is left in the folder (no temporary file).
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// What a reader of a page sees or hears: the text outside the markup (the <title>s' included) and
// the aria-labels, without the style sheet and the names in <bdi>; references are kept.
std::string readableText(const std::string& page) {
  static const std::regex label("aria-label=\"([^\"]*)\"");
  std::string out;
  for (std::size_t at = 0; at < page.size();) {
    if (page[at] != '<') {
      const std::size_t next = std::min(page.find('<', at), page.size());
      out += page.substr(at, next - at);
      at = next;
      continue;
    }
    const std::size_t end = std::min(page.find('>', at), page.size() - 1);
    const std::string tag = page.substr(at, end + 1 - at);
    at = end + 1;
    for (const char* skipped : {"style", "bdi"}) {
      if (tag == "<" + std::string(skipped) + ">") {
        at = std::min(page.find("</" + std::string(skipped) + ">", at), page.size());
      }
    }
    for (std::sregex_iterator it(tag.begin(), tag.end(), label), none; it != none; ++it) {
      out += "\n" + (*it)[1].str();
    }
    out += "\n";
  }
  return out;
}

// The page is Japanese throughout, in every locale (the C locale here, the tests' own; the locale
// tests find the page the same in any other): no English word is left in what a reader sees or a
// screen reader reads, apart from names: the characters' (from their files), the program's and
// those of the rating model and scale, which Japanese writes in Latin letters.
TEST(LabLeague, JapanesePageHasNoEnglishWords) {
  ScratchDir dir;
  // A name that markup and printf would both take for their own stays a name.
  const std::string hostile = "<%n%s&>.dat";
  writeFile(dir / hostile, readFile(samplePath("pochimaru.dat")));
  const auto page = dir / "リーグ.html";
  const LabRun run = lab("league " + allSamples() + quoted(dir / hostile) +
                         " --battles 100 --seed 3 --json --html " + quoted(page));
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string html = readFile(page);
  EXPECT_EQ(markupProblem(html), "");
  EXPECT_EQ(count(html, "<rect class=\"cell\""), 9u * 8u);

  std::string text = readableText(html);
  std::vector<std::string> names = {"momiru-lab", "Bradley-Terry", "Elo"};
  const Json report = parseJson(run.out);
  for (const Json& row : report.at("ranking")) {
    names.push_back(momiru::escapeMarkup(momiru::plainName(row.at("name").get<std::string>())));
  }
  for (const std::string& name : names) {
    for (std::size_t at; (at = text.find(name)) != std::string::npos;)
      text.replace(at, name.size(), " ");
  }
  text = std::regex_replace(text, std::regex("&[#0-9A-Za-z]+;"), " ");
  std::map<std::string, std::string> english;  // each word with the first text it was seen in
  static const std::regex word("[A-Za-z]{2,}");
  for (std::sregex_iterator it(text.begin(), text.end(), word), none; it != none; ++it) {
    const std::size_t at = static_cast<std::size_t>(it->position());
    const std::size_t from = text.rfind('\n', at) + 1;  // rfind gives npos (+1: 0) at the start
    english.emplace(it->str(), text.substr(from, text.find('\n', at) - from));
  }
  for (const auto& [found, where] : english) ADD_FAILURE() << found << " in: " << where;

  // The words are there, in Japanese: the intervals, the tool tips and the charts' labels.
  static const std::regex interval("<td class=\"n\">[0-9.]+ ～ [0-9.]+</td>");
  EXPECT_EQ(std::distance(std::sregex_iterator(html.begin(), html.end(), interval),
                          std::sregex_iterator()),
            9);
  EXPECT_EQ(count(html, "<title>&lt;%n%s&amp;&gt;.datのポチまる 対 "), 8u);
  EXPECT_TRUE(std::regex_search(
      html,
      std::regex("<title>&lt;%n%s&amp;&gt;.datのポチまる：[0-9.]+（[0-9.]+ ～ [0-9.]+）</title>")));
  EXPECT_NE(html.find("aria-label=\"レーティングと95%区間\""), std::string::npos);
  EXPECT_NE(html.find("aria-label=\"組み合わせごとの勝率\""), std::string::npos);
}

TEST(LabLeague, UnusableFilesAreLeftOutAndEqualNamesToldApart) {
  ScratchDir dir;
  Character zero = testCharacter();
  zero.values.storedLevels = {0, 0};
  writeFile(dir / "zero.dat", encode(zero));
  ASSERT_EQ(::mkfifo((dir / "pipe.dat").c_str(), 0600), 0);
  std::filesystem::create_directories(dir / "a");
  std::filesystem::create_directories(dir / "b");
  const std::string pochi = readFile(samplePath("pochimaru.dat"));
  writeFile(dir / "a" / "p.dat", pochi);
  writeFile(dir / "b" / "p.dat", pochi);
  const LabRun run =
      lab("league " + quoted(dir / "a" / "p.dat") + " " + quoted(dir / "b" / "p.dat") + " " +
          sample("rendaa.dat") + " " + sample("rendaa.dat") + " " + sample("altered-check.dat") +
          " " + quoted(dir / "zero.dat") + " " + quoted(dir / "pipe.dat") + " " +
          quoted(dir / "missing.dat") + " --battles 50 --seed 2 --json");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(count(run.err, "\n"), 4u) << run.err;
  for (const char* why : {"altered-check.dat: left out: the save data has been altered",
                          "zero.dat: left out: cannot be used: no character has been entered",
                          "missing.dat: left out: cannot be used"})
    EXPECT_NE(run.err.find(why), std::string::npos) << why << "\n" << run.err;
  EXPECT_TRUE(std::regex_search(
      run.err, std::regex("pipe.dat: left out: cannot be used: .*not a regular file")));
  const Json j = parseJson(run.out);
  EXPECT_EQ(j.at("left_out").size(), 4u);
  std::vector<std::string> names;
  for (const Json& row : j.at("ranking")) names.push_back(row.at("name").get<std::string>());
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
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));  // not replaced by a file

  const LabRun noFolder = lab("league " + pair + " --html " + quoted(dir / "no" / "x.html"));
  EXPECT_EQ(noFolder.status, 1);
  EXPECT_EQ(count(noFolder.err, "\n"), 1u);
  EXPECT_EQ(lab("league " + pair + " --html " + quoted(dir.path())).status, 1);

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
