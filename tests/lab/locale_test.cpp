// momiru-lab in the user's language: Japanese under a Japanese locale, English otherwise, with the
// same exit statuses, the same JSON and the same pages in both.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/lab_support.h"

namespace {

using namespace momiru::testing;
namespace fs = std::filesystem;

// Japanese without a generated ja_JP locale: glibc takes LANGUAGE in any locale but C and POSIX,
// and C.UTF-8 is always there. In the C locale LANGUAGE is ignored: scripts get English.
const std::string kJapanese = "LC_ALL=C.UTF-8 LANGUAGE=ja";
const std::string kEnglish = "LC_ALL=C LANGUAGE=ja";

bool hasJapanese(const std::string& text) {
  return text.find("\xE3") != std::string::npos;  // the lead byte of kana and of most kanji
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(LabLocale, HelpIsJapaneseOrEnglish) {
  for (const char* args : {"--help", "inspect --help", "battle --help", "simulate --help",
                           "league --help", "tournament --help"}) {
    SCOPED_TRACE(args);
    const LabRun ja = labWith(kJapanese, args, "");
    const LabRun en = labWith(kEnglish, args, "");
    EXPECT_EQ(ja.status, 0);
    EXPECT_EQ(en.status, 0);
    EXPECT_EQ(ja.out.rfind("使い方: momiru-lab", 0), 0u) << ja.out;
    EXPECT_EQ(en.out.rfind("usage: momiru-lab", 0), 0u) << en.out;
    EXPECT_FALSE(hasJapanese(en.out)) << en.out;
  }
  // The commands' summaries in the main help.
  const LabRun ja = labWith(kJapanese, "--help", "");
  EXPECT_NE(ja.out.find("\n  simulate A.dat B.dat" + std::string(9, ' ') +
                        "バトルを何度も行い、勝率と長さを報告\n"),
            std::string::npos)
      << ja.out;
}

TEST(LabLocale, UsageErrorsInEitherLanguageWithTheSameStatus) {
  const std::string pair = sample("pochimaru.dat") + " " + sample("rendaa.dat");
  for (const std::string& args :
       {std::string("nonsense"), std::string(""), "simulate --battles x " + pair,
        "simulate " + pair + " --seed", std::string("inspect"), std::string("league --jobs=0"),
        std::string("tournament new"), std::string("tournament fly"),
        "battle " + pair + " --bogus"}) {
    SCOPED_TRACE(args);
    const LabRun ja = labWith(kJapanese, args, "");
    const LabRun en = labWith(kEnglish, args, "");
    EXPECT_EQ(ja.status, 64);
    EXPECT_EQ(en.status, 64);
    EXPECT_TRUE(hasJapanese(ja.err)) << ja.err;
    EXPECT_FALSE(hasJapanese(en.err)) << en.err;
    EXPECT_EQ(ja.err.rfind("momiru-lab", 0), 0u) << ja.err;
    EXPECT_EQ(std::count(ja.err.begin(), ja.err.end(), '\n'), 1) << ja.err;
  }
  EXPECT_EQ(
      labWith(kEnglish, "simulate --battles x " + pair, "").err,
      "momiru-lab simulate: --battles does not take 'x' (try 'momiru-lab simulate --help')\n");
  EXPECT_EQ(labWith(kJapanese, "simulate --battles x " + pair, "").err,
            "momiru-lab simulate: --battles には次の値は使えません: "
            "'x'（'momiru-lab simulate --help' を参照）\n");
}

// A file the lab refuses to read is told in the user's language; a script in the C locale
// keeps the English words.
TEST(LabLocale, RefusedFilesAreToldInEitherLanguage) {
  const fs::path dir = fs::temp_directory_path() / ("momiru-locale-" + std::to_string(::getpid()));
  fs::create_directories(dir / "folder.momiru-replay");
  {
    std::ofstream cut(dir / "cut.momiru-tournament");
    cut << "<!DOCTYPE html><title><script type=\"application/json\" id=\"momiru-tournament\">"
           "{}</script></title>";
  }
  const struct {
    std::string args, english, japanese;
  } cases[] = {
      {"battle " + (dir / "folder.momiru-replay").string(), "a folder, not a replay file",
       "フォルダです。リプレイのファイルではありません"},
      {"tournament show " + (dir / "cut.momiru-tournament").string(),
       "a text in the page holds markup, or is cut off",
       "ページの文章にマークアップがあるか、途中で切れています"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const LabRun ja = labWith(kJapanese, c.args, "");
    const LabRun en = labWith(kEnglish, c.args, "");
    EXPECT_NE(ja.status, 0);
    EXPECT_EQ(ja.status, en.status);
    EXPECT_NE(ja.err.find(c.japanese), std::string::npos) << ja.err;
    EXPECT_NE(en.err.find(c.english), std::string::npos) << en.err;
    EXPECT_FALSE(hasJapanese(en.err)) << en.err;
  }
  fs::remove_all(dir);
}

// JSON keys and values, reasons included, never change with the locale; neither do the pages,
// which are Japanese in every locale.
TEST(LabLocale, JsonAndPagesAreTheSameInEveryLocale) {
  const std::string three =
      sample("pochimaru.dat") + " " + sample("rendaa.dat") + " " + sample("hinotori.dat");
  const fs::path dir = fs::path(::testing::TempDir()) / "lab-locale-pages";
  fs::create_directories(dir);
  const std::string jaPage = quoted(dir / "ja.html");
  const std::string enPage = quoted(dir / "en.html");
  const struct {
    std::string args;
    int status;
  } runs[] = {
      {"simulate --json --seed 7 --battles 300 --mirror " + three.substr(0, three.rfind(' ')), 0},
      {"league --json --seed 3 --battles 30 " + three + " " + sample("altered-number.dat"), 1},
      {"inspect --json " + three + " " + sample("altered-check.dat"), 1},
      {"battle --json --seed 12 " + three.substr(0, three.rfind(' ')), 0},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.args);
    const LabRun ja = labWith(kJapanese, run.args, "");
    const LabRun en = labWith(kEnglish, run.args, "");
    EXPECT_EQ(ja.status, run.status) << ja.err;
    EXPECT_EQ(en.status, run.status) << en.err;
    EXPECT_FALSE(ja.out.empty());
    EXPECT_EQ(ja.out, en.out);
  }
  const std::string league = "league --seed 3 --battles 30 " + three + " --html ";
  ASSERT_EQ(labWith(kJapanese, league + jaPage, "").status, 0);
  ASSERT_EQ(labWith(kEnglish, league + enPage, "").status, 0);
  const std::string page = readFile(dir / "ja.html");
  EXPECT_FALSE(page.empty());
  EXPECT_EQ(page, readFile(dir / "en.html"));
}

// The Japanese league report says what its page says, in the page's words: the settings, the
// method and the first mover's advantage.
TEST(LabLocale, LeagueLinesAreThePageNotes) {
  const std::string args = "league --seed 5 --battles 20 --halve " + sample("pochimaru.dat") + " " +
                           sample("rendaa.dat") + " " + sample("inazuma.dat");
  const fs::path page = fs::path(::testing::TempDir()) / "lab-locale-league.html";
  const LabRun ja = labWith(kJapanese, args + " --html " + quoted(page), "");
  ASSERT_EQ(ja.status, 0) << ja.err;
  const std::string html = readFile(page);
  std::istringstream lines(ja.out);
  std::string line;
  std::getline(lines, line);
  const std::string head = "リーグ戦：";
  ASSERT_EQ(line.rfind(head, 0), 0u) << ja.out;
  line.erase(0, head.size());
  for (int k = 0; k < 3; ++k) {
    EXPECT_NE(html.find("<p>" + line + "。</p>"), std::string::npos) << line;
    std::getline(lines, line);
  }
  // The table's headings stand over their columns: "順位" right-aligned in four columns.
  EXPECT_NE(ja.out.find("\n順位   レート"), std::string::npos) << ja.out;
}

// Translated labels are padded by the columns they take, so the numbers stay under their
// headings: the part names and the Japanese heading take the width of the English one.
TEST(LabLocale, InspectTableKeepsItsColumns) {
  const LabRun ja = labWith(kJapanese, "inspect " + sample("rendaa.dat"), "");
  const LabRun en = labWith(kEnglish, "inspect " + sample("rendaa.dat"), "");
  ASSERT_EQ(ja.status, 0);
  EXPECT_NE(en.out.find("\n  part            HP        OFE        DEF\n  頭              70"),
            std::string::npos)
      << en.out;
  EXPECT_NE(ja.out.find("\n  部位            HP        OFE        DEF\n  頭              70"),
            std::string::npos)
      << ja.out;
  EXPECT_NE(ja.out.find("\n  レベル    16\n"), std::string::npos) << ja.out;
}

// Without the catalogue the lab speaks English under any locale, and a Japanese locale by name
// works where the system has generated it.
TEST(LabLocale, CatalogueMissingOrLocaleByName) {
  const LabRun none = labWith("MOMIRU_LOCALEDIR=/nonexistent " + kJapanese, "--help", "");
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out.rfind("usage: momiru-lab", 0), 0u) << none.out;

  FILE* list = ::popen("locale -a 2>/dev/null", "r");
  std::string locales;
  if (list != nullptr) {
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, list)) > 0;) locales.append(buf, n);
    ::pclose(list);
  }
  if (locales.find("ja_JP.utf8") == std::string::npos) GTEST_SKIP() << "no ja_JP.UTF-8 locale";
  const LabRun ja = labWith("LC_ALL= LANG=ja_JP.UTF-8", "inspect", "");
  EXPECT_EQ(ja.status, 64);
  EXPECT_EQ(ja.err,
            "momiru-lab inspect: ファイルがありません（'momiru-lab inspect --help' を参照）\n");
}

}  // namespace
