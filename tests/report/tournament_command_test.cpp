// momiru-lab tournament run as a program on the committed samples: the host's steps, the secret
// file, refused entries, verify's exit statuses, and every battle against 'momiru-lab battle'.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "data/strangers_file.h"
#include "report/match_play.h"
#include "report/tournament.h"
#include "report/tournament_draw.h"
#include "report/tournament_file.h"
#include "report/tournament_schedule.h"
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
  // The commitment binds the secret with the name, the rules and the beacon's declaration.
  const auto fresh = momiru::report::readTournamentFile(dir / "t.momiru-tournament", nullptr);
  ASSERT_TRUE(fresh);
  ASSERT_TRUE(fresh->declared);
  EXPECT_EQ(fresh->declared->kind, momiru::report::BeaconKind::Numbers);
  EXPECT_EQ(made.out, momiru::report::commitmentOf(*fresh, secret.substr(0, 64)) + "\n");
  EXPECT_NE(made.out, momiru::report::commitmentOf(secret.substr(0, 64)) + "\n");
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
  EXPECT_NE(added.out.find("#1 ガンセキ丸 (gansekimaru.dat)\n"), std::string::npos) << added.out;
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
  momiru::report::Tournament drawn = *fresh;
  drawn.beacon = "draw 2026-12-08: 4 8 15";
  EXPECT_EQ(j["seed"],
            momiru::report::tournamentSeedOf(drawn, secret.substr(0, 64), kSamplesDigest));
  EXPECT_EQ(momiru::report::seedBeacon(drawn), "2026 12 8 4 8 15");
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
  EXPECT_NE(both.err.find("rendaa.dat: the same record as entry #1\n"), std::string::npos)
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
  ASSERT_EQ(lab("tournament run " + t + " --beacon 7").status, 0);
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
  // The name is bound by the commitment: shown, but said not to verify.
  ASSERT_EQ(shown.status, 1) << shown.err;
  EXPECT_EQ(shown.out.rfind("DOES NOT VERIFY: ", 0), 0u) << shown.out;
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
  ASSERT_EQ(lab("tournament run " + t + " --beacon 5").status, 0);
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
  ASSERT_EQ(lab("tournament run " + t + " --beacon 5 --jobs 1").status, 0);
  // 200 thread stacks do not fit in 150 MB of address space; the first few do.
  const LabRun many =
      labWith("ulimit -v 150000;", "tournament run " + u + secret + " --beacon 5 --jobs 200", "");
  EXPECT_EQ(many.status, 0) << many.err;
  EXPECT_EQ(readFile(dir / "u.momiru-tournament"), readFile(dir / "t.momiru-tournament"));
#endif
}

// A host who draws again with a fresh secret gives a file that verifies on its own; the
// commitment published before entries closed catches it, with verify's own exit status.
TEST(TournamentCommand, ARedrawWithAFreshSecretIsCaughtByThePublishedCommitment) {
  ScratchDir dir;
  const std::string t = quoted(dir / "t.momiru-tournament");
  const LabRun made = lab("tournament new " + t +
                          " --name 'テスト杯' --format single --beacon-source 'national lottery'");
  ASSERT_EQ(made.status, 0) << made.err;
  const std::string published = made.out.substr(0, 64);
  ASSERT_EQ(lab("tournament add " + t + allSamples()).status, 0);
  const LabRun closed = lab("tournament close " + t);
  ASSERT_EQ(closed.status, 0);
  // The same tournament made again, with another secret, and run with the same beacon.
  const std::string again = quoted(dir / "again.momiru-tournament");
  ASSERT_EQ(lab("tournament new " + again +
                " --name 'テスト杯' --format single --beacon-source 'national lottery'")
                .status,
            0);
  ASSERT_EQ(lab("tournament add " + again + allSamples()).status, 0);
  ASSERT_EQ(lab("tournament close " + again).status, 0);
  ASSERT_EQ(lab("tournament run " + again + " --beacon 'lottery 2026-12-08: 04 18 27'").status, 0);

  const LabRun alone = lab("tournament verify " + again);
  EXPECT_EQ(alone.status, 0) << alone.err;
  // verify prints what a stranger compares, and says to compare it.
  EXPECT_NE(alone.out.find("commitment"), std::string::npos) << alone.out;
  EXPECT_NE(alone.out.find(kSamplesDigest), std::string::npos) << alone.out;
  EXPECT_NE(alone.out.find("2026 12 8 4 18 27"), std::string::npos) << alone.out;
  EXPECT_NE(alone.out.find("national lottery"), std::string::npos) << alone.out;
  EXPECT_NE(alone.out.find("Compare these with what the host published"), std::string::npos);
  const LabRun caught = lab("tournament verify " + again + " --commitment " + published +
                            " --digest " + kSamplesDigest);
  EXPECT_EQ(caught.status, 4) << caught.out << caught.err;
  EXPECT_NE(caught.err.find("the commitment is not the one published"), std::string::npos)
      << caught.err;
  // The genuine one passes both, in any case of hex; a wrong digest is caught alike.
  ASSERT_EQ(lab("tournament run " + t + " --beacon 'lottery 2026-12-08: 04 18 27'").status, 0);
  std::string upper = published;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const LabRun genuine =
      lab("tournament verify " + t + " --commitment " + upper + " --digest " + kSamplesDigest);
  EXPECT_EQ(genuine.status, 0) << genuine.err;
  EXPECT_NE(genuine.out.find("the commitment is the one published"), std::string::npos);
  EXPECT_EQ(lab("tournament verify " + t + " --digest " + std::string(64, 'a')).status, 4);
  EXPECT_EQ(lab("tournament verify " + t + " --commitment 12ab").status, 64);
}

// The beacon of the declared kind only, refused before anything is drawn; a Swiss of more rounds
// than its field plays is refused when entries close.
TEST(TournamentCommand, ABeaconOfTheWrongKindAndRoundsPastTheFieldAreRefused) {
  ScratchDir dir;
  const std::string t = quoted(dir / "t.momiru-tournament");
  ASSERT_EQ(lab("tournament new " + t + " --name x --format single --beacon-kind hex").status, 0);
  ASSERT_EQ(lab("tournament add " + t + allSamples()).status, 0);
  ASSERT_EQ(lab("tournament close " + t).status, 0);
  const std::string before = readFile(dir / "t.momiru-tournament");
  const LabRun wrong = lab("tournament run " + t + " --beacon 'lottery 2026-12-08: 04 18 27'");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.err.find("--beacon is not of the kind this tournament declared (hex)"),
            std::string::npos)
      << wrong.err;
  EXPECT_EQ(readFile(dir / "t.momiru-tournament"), before);
  const LabRun hex = lab("tournament run " + t + " --beacon '0xDEAD BEEF'");
  EXPECT_EQ(hex.status, 0) << hex.err;
  EXPECT_NE(hex.out.find("deadbeef"), std::string::npos) << hex.out;
  EXPECT_EQ(lab("tournament new " + quoted(dir / "u") +
                " --name x --format single "
                "--beacon-kind words")
                .status,
            64);

  const std::string s = quoted(dir / "s.momiru-tournament");
  ASSERT_EQ(lab("tournament new " + s + " --name x --format swiss --rounds 8").status, 0);
  std::string seven;
  for (int i = 0; i < 7; ++i) seven += " " + sample(kSamples[i]);
  ASSERT_EQ(lab("tournament add " + s + seven).status, 0);
  const LabRun capped = lab("tournament close " + s);
  EXPECT_EQ(capped.status, 1);
  EXPECT_NE(capped.err.find("a Swiss field of 7 plays at most 7 rounds, not the 8"),
            std::string::npos)
      << capped.err;
  // Still open: an eighth entry comes in, and eight still play at most 7 rounds.
  ASSERT_EQ(lab("tournament add " + s + " " + sample(kSamples[7])).status, 0);
  EXPECT_EQ(lab("tournament close " + s).status, 1);
}

// A part-way tournament verifies as far as it has been played; one not started has nothing to
// check; one that does not verify is shown as such, in the text and on the page.
TEST(TournamentCommand, VerifyAndShowTellPartWayNotStartedAndForged) {
  ScratchDir dir;
  const std::string t = hosted(dir, "swiss");
  const LabRun notStarted = lab("tournament verify " + t);
  EXPECT_EQ(notStarted.status, 3) << notStarted.err;
  EXPECT_NE(notStarted.err.find("has not been started"), std::string::npos) << notStarted.err;

  // The game's part-way save: started, one match played.
  momiru::report::SessionProblem problem;
  auto session = momiru::report::TournamentSession::open(dir / "t.momiru-tournament",
                                                         dir / "t.momiru-secret", "test", &problem);
  ASSERT_TRUE(session) << problem.english;
  ASSERT_TRUE(session->start(std::string("lottery 1 2 3"), &problem)) << problem.english;
  const std::string first = session->play()->readyMatches().front();
  ASSERT_TRUE(session->record(
      momiru::report::playMatchHeadless(session->tournament(), session->play()->find(first)->match),
      &problem));
  const std::size_t total = session->play()->totalCount();
  const LabRun partWay = lab("tournament verify " + t);
  EXPECT_EQ(partWay.status, 0) << partWay.err;
  EXPECT_NE(partWay.out.find("the 1 matches played of " + std::to_string(total) + " agree"),
            std::string::npos)
      << partWay.out;

  // Headings over the standings, and entries numbered from 1.
  const LabRun shown = lab("tournament show " + t);
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("standings\n rank   pts  entry and tie-breaks\n"), std::string::npos)
      << shown.out;
  EXPECT_EQ(shown.out.find("#0 "), std::string::npos) << shown.out;
  const LabRun japanese = labWith("LC_ALL=C.UTF-8 LANGUAGE=ja", "tournament show " + t, "");
  EXPECT_NE(japanese.out.find("順位\n 順位  勝点  参加者とタイブレーク\n"), std::string::npos)
      << japanese.out;
  EXPECT_NE(shown.out.find("#8 "), std::string::npos) << shown.out;

  // Forged: another name.
  Json j = Json::parse(readFile(dir / "t.momiru-tournament"));
  j["name"] = "偽の大会";
  writeFile(dir / "t.momiru-tournament", j.dump(1));
  EXPECT_EQ(lab("tournament verify " + t).status, 1);
  const std::string page = quoted(dir / "p.html");
  const LabRun forged = lab("tournament show " + t + " --html " + page);
  EXPECT_EQ(forged.status, 1);
  EXPECT_NE(forged.err.find("does not verify"), std::string::npos) << forged.err;
  EXPECT_EQ(forged.out.rfind("DOES NOT VERIFY: ", 0), 0u) << forged.out;
  const std::string written = readFile(dir / "p.html");
  const std::size_t banner = written.find("検証できなかった大会です");
  EXPECT_NE(banner, std::string::npos);
  EXPECT_LT(banner, written.find("公正さ"));
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
