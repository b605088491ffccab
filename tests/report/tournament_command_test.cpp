// momiru-lab tournament run as a program on the committed samples: the host's steps, the secret
// file, refused entries, verify's exit statuses, and every battle against 'momiru-lab battle'.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "data/strangers_file.h"
#include "report/tournament.h"
#include "report/tournament_draw.h"
#include "report/tournament_session.h"
#include "support/lab_support.h"
#include "support/test_support.h"

namespace {

using namespace momiru::testing;

const char* const kSamples[] = {"gansekimaru.dat", "hinotori.dat",  "inazuma.dat", "karappo.dat",
                                "nenrikibou.dat",  "pochimaru.dat", "rendaa.dat",  "zutsukiya.dat"};

std::string allSamples() {
  std::string out;
  for (const char* s : kSamples) out += " " + sample(s);
  return out;
}

// The entries digest of the eight samples, as the golden tournaments hold it.
constexpr const char* kSamplesDigest =
    "e1220b1993e55a326a9e041cf7978d475c80af14f3f952bcf6db43ab01e0466f";

// A tournament of the eight samples made, filled and closed in `dir`; its quoted path.
std::string hosted(const ScratchDir& dir, const std::string& format, const std::string& more = "") {
  const std::string t = quoted(dir / "t.momiru-tournament");
  EXPECT_EQ(lab("tournament new " + t + " --name 'テスト杯' --format " + format + more).status, 0);
  EXPECT_EQ(lab("tournament add " + t + allSamples()).status, 0);
  EXPECT_EQ(lab("tournament close " + t).status, 0);
  return t;
}

TEST(TournamentCommand, TheHostsStepsFromNewToVerify) {
  ScratchDir dir;
  const std::string t = quoted(dir / "t.momiru-tournament");
  const LabRun made = lab("tournament new " + t + " --name 'テスト杯' --format swiss --best-of 3");
  ASSERT_EQ(made.status, 0) << made.err;
  struct stat st {};
  ASSERT_EQ(::stat((dir / "t.momiru-secret").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string secret = readFile(dir / "t.momiru-secret");
  EXPECT_EQ(made.out, momiru::report::commitmentOf(secret.substr(0, 64)) + "\n");
  // Neither file is ever replaced by another new.
  EXPECT_EQ(lab("tournament new " + t + " --name x --format single").status, 1);
  EXPECT_EQ(lab("tournament new " + quoted(dir / "u.momiru-tournament") +
                " --name x --format single --secret-file " + quoted(dir / "t.momiru-secret"))
                .status,
            1);
  EXPECT_EQ(readFile(dir / "t.momiru-secret"), secret);
  EXPECT_FALSE(std::filesystem::exists(dir / "u.momiru-tournament"));

  // Running before the entries close is refused.
  EXPECT_EQ(lab("tournament run " + t).status, 1);
  const LabRun added = lab("tournament add " + t + allSamples());
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_NE(added.out.find("#0 ガンセキ丸 (gansekimaru.dat)\n"), std::string::npos) << added.out;
  const LabRun closed = lab("tournament close " + t);
  ASSERT_EQ(closed.status, 0) << closed.err;
  EXPECT_EQ(closed.out, std::string(kSamplesDigest) + "\n");
  EXPECT_EQ(lab("tournament add " + t + " " + sample("pochimaru.dat")).status, 1);

  const std::string page = quoted(dir / "cup.html");
  const LabRun ran =
      lab("tournament run " + t + " --beacon 'draw 2026-12-08: 4 8 15' --html " + page);
  ASSERT_EQ(ran.status, 0) << ran.err;
  EXPECT_NE(ran.out.find("standings"), std::string::npos);
  for (const std::string& file : {t, page}) {
    const LabRun verified = lab("tournament verify " + file);
    EXPECT_EQ(verified.status, 0) << verified.err;
  }
  EXPECT_EQ(lab("tournament run " + t).status, 1);

  const Json j = parseJson(lab("tournament show " + t + " --json").out);
  EXPECT_EQ(j["format"], "momiru-tournament");
  EXPECT_EQ(j["secret"], secret.substr(0, 64));
  EXPECT_EQ(j["beacon"], "draw 2026-12-08: 4 8 15");
  EXPECT_EQ(j["entries_digest"], kSamplesDigest);
  EXPECT_EQ(j["commitment"], made.out.substr(0, 64));
  EXPECT_EQ(j["seed"], momiru::report::tournamentSeedOf(secret.substr(0, 64), kSamplesDigest,
                                                        "draw 2026-12-08: 4 8 15"));
  EXPECT_EQ(j["entries"].size(), 8u);
  EXPECT_EQ(j["standings"].size(), 8u);
  EXPECT_EQ(keysOf(j["matches"][0]["battles"][0]),
            (std::vector<std::string>{"seed", "player1", "winner", "turns", "log_sha256"}));
}

TEST(TournamentCommand, RefusesEntriesAsBattleDoesAndTheSameRecordTwice) {
  ScratchDir dir;
  const std::string t = quoted(dir / "t.momiru-tournament");
  ASSERT_EQ(lab("tournament new " + t + " --name x --format single --no-commitment").status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "t.momiru-secret"));
  for (const std::string& bad : {sample("altered-check.dat"), quoted(dir / "missing.dat"),
                                 sample("pochimaru.dat") + " " + sample("pochimaru.dat")}) {
    const LabRun run = lab("tournament add " + t + " " + sample("rendaa.dat") + " " + bad);
    EXPECT_EQ(run.status, 1) << bad;
    EXPECT_NE(run.err.find("nothing was added"), std::string::npos) << run.err;
  }
  // Every refused file is told; a record given twice is the same record only as one taken before
  // the first refusal, after which nothing is taken.
  const LabRun after = lab("tournament add " + t + " " + sample("altered-check.dat") + " " +
                           sample("rendaa.dat") + " " + sample("rendaa.dat"));
  EXPECT_EQ(after.status, 1);
  EXPECT_NE(after.err.find("altered-check.dat: the save data has been altered ("),
            std::string::npos)
      << after.err;
  EXPECT_EQ(after.err.find("the same record"), std::string::npos) << after.err;
  const LabRun both = lab("tournament add " + t + " " + sample("rendaa.dat") + " " +
                          sample("altered-check.dat") + " " + sample("rendaa.dat"));
  EXPECT_EQ(both.status, 1);
  EXPECT_NE(both.err.find("rendaa.dat: the same record as entry #0\n"), std::string::npos)
      << both.err;
  const Json j = parseJson(lab("tournament show " + t + " --json").out);
  EXPECT_TRUE(j["entries"].empty());
  EXPECT_TRUE(j["commitment"].is_null());
  EXPECT_NE(j["fairness"].get<std::string>().find("簡易大会"), std::string::npos);
}

// A field past the format's limit is refused whole, with one line for the limit.
TEST(TournamentCommand, AFieldPastItsLimitIsRefusedWhole) {
  ScratchDir dir;
  const std::string t = quoted(dir / "t.momiru-tournament");
  ASSERT_EQ(lab("tournament new " + t + " --name x --format round-robin --no-commitment").status,
            0);
  const std::string before = readFile(dir / "t.momiru-tournament");
  std::string files;
  for (int i = 0; i <= 256; ++i) {
    Character c = testCharacter();
    c.record.hp[3] = 104 + i;  // every record its own
    const std::filesystem::path file = dir / ("c" + std::to_string(i) + ".dat");
    writeFile(file, encode(c));
    files += " " + quoted(file);
  }
  const LabRun run = lab("tournament add " + t + files);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "momiru-lab tournament add: a round-robin tournament takes at most 256 entries\n"
            "momiru-lab tournament add: nothing was added\n");
  EXPECT_EQ(readFile(dir / "t.momiru-tournament"), before);
}

TEST(TournamentCommand, VerifyNamesTheFirstDifferenceOrCannotRead) {
  ScratchDir dir;
  const std::string t = hosted(dir, "single");
  ASSERT_EQ(lab("tournament run " + t + " --beacon x").status, 0);
  const std::string good = readFile(dir / "t.momiru-tournament");
  Json j = Json::parse(good);
  Json& battle = j["matches"][0]["battles"][0];
  const Json players = j["matches"][0]["players"];
  battle["winner"] = battle["winner"] == players[0] ? players[1] : players[0];
  writeFile(dir / "t.momiru-tournament", j.dump(1));
  const LabRun edited = lab("tournament verify " + t);
  EXPECT_EQ(edited.status, 1);
  EXPECT_EQ(std::count(edited.err.begin(), edited.err.end(), '\n'), 1) << edited.err;
  EXPECT_NE(edited.err.find("matches[0] (R1-1).battles[0].winner"), std::string::npos)
      << edited.err;

  // Texts from the file never reach the terminal raw, wherever they stand.
  j = Json::parse(good);
  j["name"] = "cup\x1b[2J";
  j["matches"][0]["id"] = "R1-1\x1b]0;owned\x07";
  j["entries"][0]["name"] = "\u202Eevil\n";
  writeFile(dir / "t.momiru-tournament", j.dump(1));
  const LabRun shown = lab("tournament show " + t);
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(shown.out.find('\x1b'), std::string::npos) << shown.out;
  EXPECT_EQ(shown.out.find("\u202E"), std::string::npos);
  EXPECT_NE(shown.out.find("\\u202Eevil\\n"), std::string::npos) << shown.out;
  // A standing's key that is no tie-break: the file is refused, the key escaped in the reason.
  j["standings"][0]["tie\x1b[31m"] = 1;
  writeFile(dir / "t.momiru-tournament", j.dump(1));
  const LabRun odd = lab("tournament show " + t);
  EXPECT_EQ(odd.status, 2);
  EXPECT_EQ(odd.err.find('\x1b'), std::string::npos) << odd.err;
  EXPECT_NE(odd.err.find("standings[0].tie\\x1B[31m is no tie-break"), std::string::npos)
      << odd.err;

  writeFile(dir / "t.momiru-tournament", good.substr(0, 100));
  EXPECT_EQ(lab("tournament verify " + t).status, 2);
  EXPECT_EQ(lab("tournament verify " + quoted(dir / "none")).status, 2);
}

// A page whose tournament a browser does not read as the page's element, however verify or the
// game might find it by its text, is refused by both: in an attribute, in an element whose text
// a browser shows as text or hides, or after the end of everything a browser reads.
TEST(TournamentCommand, APageWhoseTournamentABrowserDoesNotReadIsRefused) {
  ScratchDir dir;
  const std::string t = hosted(dir, "single");
  const std::string page = quoted(dir / "cup.html");
  ASSERT_EQ(lab("tournament run " + t + " --html " + page).status, 0);
  const std::string good = readFile(dir / "cup.html");
  const std::string open = std::string(momiru::report::kTournamentPageScript);
  const std::size_t from = good.find(open);
  const std::size_t to = good.find("</script>", from) + std::string_view("</script>").size();
  ASSERT_NE(from, std::string::npos);
  const std::string element = good.substr(from, to - from);
  const std::string without = good.substr(0, from) + good.substr(to);
  const std::size_t body = without.find("<body>") + std::string_view("<body>").size();
  const auto moved = [&](const std::string& before, const std::string& after) {
    return without.substr(0, body) + before + element + after + without.substr(body);
  };
  const std::pair<const char*, std::string> forged[] = {
      {"attribute", moved("<p title='", "'>x</p>")},
      {"title", moved("<title>", "</title>")},
      {"textarea", moved("<textarea>", "</textarea>")},
      {"template", moved("<template>", "</template>")},
      {"noscript", moved("<noscript>", "</noscript>")},
      {"xmp", moved("<xmp>", "</xmp>")},
      {"iframe", moved("<iframe>", "</iframe>")},
      {"object", moved("<object data='x.svg'>", "</object>")},
      {"style", moved("<style>", "</style>")},
      {"plaintext", moved("<plaintext>", "")},
  };
  for (const auto& [where, text] : forged) {
    writeFile(dir / "forged.html", text);
    const LabRun verified = lab("tournament verify " + quoted(dir / "forged.html"));
    EXPECT_NE(verified.status, 0) << where << ": " << verified.out;
    EXPECT_EQ(std::count(verified.err.begin(), verified.err.end(), '\n'), 1) << verified.err;
    momiru::report::SessionProblem problem;
    EXPECT_FALSE(
        momiru::report::TournamentSession::open(dir / "forged.html", dir / "secret", "x", &problem))
        << where;
    EXPECT_FALSE(problem.english.empty()) << where;
  }
  // The page as written still verifies and opens.
  writeFile(dir / "forged.html", good);
  EXPECT_EQ(lab("tournament verify " + quoted(dir / "forged.html")).status, 0);
}

// Every battle of a match, the second and third too, starts from the records as registered.
// Each forgery shows a browser other results than the page's data gives, and verify refuses it.
TEST(TournamentCommand, APageVerifiesOnlyIfWhatItShowsIsWhatItsDataGives) {
  ScratchDir dir;
  const std::string t = hosted(dir, "single", " --best-of 3");
  ASSERT_EQ(lab("tournament run " + t + " --html " + quoted(dir / "cup.html")).status, 0);
  const std::string good = readFile(dir / "cup.html");
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string page = good;
    const std::size_t at = page.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? page : page.replace(at, from.size(), to);
  };
  // The first two rows of the standings, the champion's and the runner-up's, swapped.
  const std::string standings = good.substr(good.find("<h2>順位</h2>"));
  const std::size_t row1 = standings.find("<tr><td>1</td>");
  const std::size_t row2 = standings.find("<tr><td>2</td>");
  const std::size_t end2 = standings.find("</tr>", row2) + 5;
  ASSERT_NE(row1, std::string::npos);
  ASSERT_NE(row2, std::string::npos);
  const std::string first = standings.substr(row1, row2 - row1);
  const std::string second = standings.substr(row2, end2 - row2);
  const std::string swappedRows = "<tr><td>1</td>" + second.substr(14, second.size() - 14) + "\n" +
                                  "<tr><td>2</td>" + first.substr(14, first.size() - 15);
  const std::string swapped = replaced(first + second, swappedRows);
  ASSERT_NE(swapped, good);
  const std::string champion = "<h1>優勝 #8 ぽちまる</h1>";
  const std::pair<const char*, std::string> forged[] = {
      {"standings swapped", swapped},
      {"body hidden", replaced("<body>\n",
                               "<body>\n<style>body > * { display: none } body > "
                               "h1.forged { display: block }</style><h1 "
                               "class=\"forged\">優勝 #8 ぽちまる</h1>\n")},
      {"after </html>", good + champion + "\n"},
      {"another title", replaced("<title>テスト杯</title>", "<title>別の杯</title>")},
  };
  for (const auto& [what, text] : forged) {
    writeFile(dir / "forged.html", text);
    const LabRun verified = lab("tournament verify " + quoted(dir / "forged.html"));
    EXPECT_EQ(verified.status, 1) << what << ": " << verified.out;
    EXPECT_EQ(verified.out, "") << what;
    EXPECT_NE(verified.err.find("not the page this version writes"), std::string::npos)
        << what << ": " << verified.err;
    EXPECT_EQ(std::count(verified.err.begin(), verified.err.end(), '\n'), 1) << verified.err;
  }
  // The same tournament file named as a page is no page a browser shows as written.
  writeFile(dir / "t.html", readFile(dir / "t.momiru-tournament"));
  EXPECT_EQ(lab("tournament verify " + quoted(dir / "t.html")).status, 1);
  EXPECT_EQ(lab("tournament verify " + t).status, 0);
  // The page as written verifies; one that show writes again from it too.
  const LabRun verified = lab("tournament verify " + quoted(dir / "cup.html"));
  EXPECT_EQ(verified.status, 0) << verified.err;
  ASSERT_EQ(lab("tournament show " + quoted(dir / "forged.html") + " --html " +
                quoted(dir / "again.html"))
                .status,
            0);
  EXPECT_EQ(readFile(dir / "again.html"), good);
}

TEST(TournamentCommand, EveryBattleIsTheBattleOfItsTwoRecordsAndSeed) {
  ScratchDir dir;
  const std::string t = hosted(dir, "double", " --best-of 3");
  ASSERT_EQ(lab("tournament run " + t).status, 0);
  const Json j = parseJson(lab("tournament show " + t + " --json").out);
  int checked = 0;
  for (const Json& m : j["matches"]) {
    for (std::size_t k = 0; k < m["battles"].size(); ++k) {
      const Json& b = m["battles"][k];
      const int p1 = b["player1"];
      const int p2 =
          m["players"][0] == p1 ? m["players"][1].get<int>() : m["players"][0].get<int>();
      const std::string file1 = j["entries"][static_cast<std::size_t>(p1)]["file"];
      const std::string file2 = j["entries"][static_cast<std::size_t>(p2)]["file"];
      const LabRun direct = lab("battle " + sample(file1.c_str()) + " " + sample(file2.c_str()) +
                                " --json --seed " + std::to_string(b["seed"].get<std::uint64_t>()));
      ASSERT_EQ(direct.status, 0) << direct.err;
      const Json d = parseJson(direct.out);
      EXPECT_EQ(d["turns"].size(), b["turns"].get<std::size_t>());
      EXPECT_EQ(momiru::sha256Hex(d["log"].get<std::string>()), b["log_sha256"]);
      const Json winner = d["winner"].is_null() ? Json(nullptr) : Json(d["winner"] == 0 ? p1 : p2);
      EXPECT_EQ(winner, b["winner"]) << m["id"];
      // The tournament's own battle command prints the same.
      const LabRun own = lab("tournament battle " + t + " --match " + m["id"].get<std::string>() +
                             " --battle " + std::to_string(k + 1) + " --json");
      ASSERT_EQ(own.status, 0) << own.err;
      EXPECT_EQ(own.out, direct.out);
      ++checked;
    }
  }
  EXPECT_GE(checked, 28);
}

// A tournament's battle is printed and written as 'momiru-lab battle' prints and writes it, with
// no temporary file: it works where there is no temporary folder.
TEST(TournamentCommand, ABattleIsWrittenAsTheBattleCommandWritesItWithoutATemporaryFile) {
  ScratchDir dir;
  const std::string t = hosted(dir, "single", " --best-of 3");
  ASSERT_EQ(lab("tournament run " + t + " --beacon b").status, 0);
  const std::string replay = quoted(dir / "b.momiru-replay");
  const std::string page = quoted(dir / "b.html");
  const LabRun own = labWith("TMPDIR=" + quoted(dir / "nowhere"),
                             "tournament battle " + t + " --match R1-2 --battle 2 --save-replay " +
                                 replay + " --html " + page,
                             "");
  ASSERT_EQ(own.status, 0) << own.err;
  EXPECT_EQ(own.err, "");
  for (const std::string& file : {replay, page}) {
    const LabRun again = lab("battle " + file);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, own.out) << file;
  }
  EXPECT_EQ(parseJson(readFile(dir / "b.momiru-replay"))["date"], "1970-01-01T00:00:00Z");
  // A replay that cannot be written is said, by the battle command's own words.
  const LabRun unwritable =
      lab("tournament battle " + t + " --match R1-2 --battle 1 --save-replay " +
          quoted(dir / "missing" / "r.momiru-replay"));
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(unwritable.err.rfind("momiru-lab battle: ", 0), 0u) << unwritable.err;
}

// The same secret, entries and beacon give the same file, however many threads start.
TEST(TournamentCommand, RunsOnTheThreadsThatCouldStart) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#else
  ScratchDir dir;
  const std::string t = hosted(dir, "double");
  std::filesystem::copy_file(dir / "t.momiru-tournament", dir / "u.momiru-tournament");
  const std::string u = quoted(dir / "u.momiru-tournament");
  const std::string secret = " --secret-file " + quoted(dir / "t.momiru-secret");
  ASSERT_EQ(lab("tournament run " + t + " --beacon b --jobs 1").status, 0);
  // 200 thread stacks do not fit in 150 MB of address space; the first few do.
  const LabRun many =
      labWith("ulimit -v 150000;", "tournament run " + u + secret + " --beacon b --jobs 200", "");
  EXPECT_EQ(many.status, 0) << many.err;
  EXPECT_EQ(readFile(dir / "u.momiru-tournament"), readFile(dir / "t.momiru-tournament"));
#endif
}

TEST(TournamentCommand, UsageErrors) {
  ScratchDir dir;
  const std::string t = quoted(dir / "t.momiru-tournament");
  for (const std::string& args : std::vector<std::string>{
           "tournament", "tournament nonsense", "tournament new " + t + " --format single",
           "tournament new " + t + " --name x --format knockout",
           "tournament new " + t + " --name x --format single --best-of 2",
           "tournament new " + t + " --name x --format swiss --third-place",
           "tournament new " + t + " --name x --format swiss --rounds 3 --rounds 4"}) {
    EXPECT_EQ(lab(args).status, 64) << args;
  }
  EXPECT_EQ(lab("tournament --help").status, 0);
  EXPECT_EQ(lab("tournament run --help").status, 0);
}

}  // namespace
