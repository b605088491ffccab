// Golden tournaments: each format played from the samples with fixed inputs, and every public
// value it gives (the fairness statement, the commitment, the entries digest, the tournament
// seed, the seeding, each match's players, battles, seeds, score and winner, the standings with
// every tie-break) held as literals in tests/report/golden/<case>.txt. A change to any formula,
// however consistent with verify, changes a line here; golden_follows_readme.py works the literals
// out again from the README's formulas. A file and a page momiru-lab wrote are kept beside them:
// they must still read, verify and say what the same case says (all but the fairness text, which
// says what holds for a file written before the beacon was declared). These are such files: no
// declaration, the commitment of the secret alone and the beacon byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "report/tournament.h"
#include "report/tournament_draw.h"
#include "report/tournament_file.h"
#include "report/tournament_schedule.h"
#include "report/tournament_verify.h"
#include "support/test_support.h"
#include "support/tournament_fixture.h"

namespace {

using namespace momiru::report;
namespace fs = std::filesystem;

const fs::path kGolden = fs::path(MOMIRU_SOURCE_DIR) / "tests" / "report" / "golden";

struct GoldenCase {
  const char* name;  // golden/<name>.txt
  Format format;
  std::size_t entries;
  momiru::testing::FieldOptions options;
  const char* labFile = nullptr;  // the same tournament as momiru-lab wrote it, and its page
};

momiru::testing::FieldOptions options(int bestOf, const char* secretTail,
                                      std::optional<std::string> beacon) {
  momiru::testing::FieldOptions o;
  o.bestOf = bestOf;
  o.secret = std::string(64 - std::string(secretTail).size(), '0') + secretTail;
  o.beacon = std::move(beacon);
  return o;
}

std::vector<GoldenCase> goldenCases() {
  std::vector<GoldenCase> cases;
  // Byes to the top two seeds, a final decided after a drawn battle; no beacon.
  cases.push_back({"single-byes", Format::Single, 6, options(1, "01", std::nullopt)});
  cases.push_back({"single-third-place", Format::Single, 8, options(3, "02", "b")});
  cases.back().options.thirdPlace = true;
  // The fair draw as the README's example runs it, made by momiru-lab too.
  cases.push_back({"double-fair", Format::Double, 8,
                   options(3, "2a", "public lottery 2026-12-08: 04 18 27"), "double-fair"});
  cases.back().options.name = "春の大会";
  // Byes in both brackets, and a second grand final.
  cases.push_back({"double-reset", Format::Double, 5, options(1, "03", "beacon 0")});
  // An odd field that rests an entry each round, played twice with the sides swapped, seeded by
  // strength; three entries level on points, parted head to head.
  cases.push_back({"round-robin-strength", Format::RoundRobin, 5, options(1, "04", "beacon 1")});
  cases.back().options.rounds = 2;
  cases.back().options.seeding = Seeding::Strength;
  // Byes that count as won matches, drawn matches, halved damage, two entries of equal names that
  // meet, and entries level up to Sonneborn–Berger, parted head to head.
  cases.push_back({"swiss", Format::Swiss, 9, options(1, "05", "beacon 354")});
  cases.back().options.halve = true;
  // A declared beacon, spelled loosely: the commitment binds the declaration, and the seed takes
  // the beacon's canonical form.
  cases.push_back(
      {"single-declared", Format::Single, 8, options(1, "06", "Lottery 2026-12-08:04 18 27.")});
  cases.back().options.name = "春の大会";
  cases.back().options.declared = BeaconDeclaration{BeaconKind::Numbers, "public lottery"};
  return cases;
}

// A file's JSON without its "fairness" line: the writer's text of the guarantee, which no reader
// takes, and which says today what holds for a file of that version.
std::string withoutFairness(const std::string& json) {
  const std::size_t at = json.find("\n \"fairness\": ");
  if (at == std::string::npos) return json;
  return json.substr(0, at) + json.substr(json.find('\n', at + 1));
}

std::string entryText(const std::optional<int>& e) {
  return e ? "#" + std::to_string(*e) : std::string("bye");
}

// The inputs, then one line a value, a match and its battles, a standing.
std::string goldenText(const Tournament& t) {
  std::ostringstream out;
  const TournamentRules& r = t.rules;
  out << "format " << formatName(r.format) << " entries " << t.entries.size() << " best_of "
      << r.bestOf << " rounds " << r.rounds << " third_place " << r.thirdPlace << " halve "
      << r.halve << " seeding " << seedingName(r.seeding) << "\nsecret " << t.secret.value_or("-")
      << "\n"
      << (t.beacon ? "beacon " + *t.beacon : std::string("no beacon")) << "\n";
  if (t.declared) out << "declaration " << declarationText(t) << "\n";
  out << "fairness " << fairnessText(t) << "\ncommitment " << t.commitment.value_or("-")
      << "\nentries_digest " << t.entriesDigest.value_or("-") << "\nseed " << t.seed.value_or("-")
      << "\nseeds";
  for (const int s : t.seeds) out << " #" << s;
  out << "\n";
  for (const Match& m : t.matches) {
    int won[2] = {0, 0};
    for (const BattleRecord& b : m.battles)
      if (b.winner) ++won[*b.winner == m.players[0] ? 0 : 1];
    out << m.id << " " << m.bracket << " round " << m.round << ": " << entryText(m.players[0])
        << " vs " << entryText(m.players[1]) << " " << won[0] << "-" << won[1] << " winner "
        << (m.winner ? entryText(m.winner) : "drawn") << "\n";
    for (std::size_t k = 0; k < m.battles.size(); ++k) {
      const BattleRecord& b = m.battles[k];
      out << "  " << k + 1 << " seed " << b.seed << " player1 #" << b.player1 << " winner "
          << (b.winner ? entryText(b.winner) : "none") << " turns " << b.turns << " log "
          << b.logSha256 << "\n";
    }
  }
  for (const Standing& s : t.standings) {
    out << "rank " << s.rank << " #" << s.entry << " points " << s.points;
    for (const auto& [name, value] : s.tieBreaks) out << " " << name << " " << value;
    out << "\n";
  }
  return out.str();
}

TEST(TournamentGolden, EveryFormatGivesItsRecordedValues) {
  for (const GoldenCase& c : goldenCases()) {
    SCOPED_TRACE(c.name);
    Tournament t = momiru::testing::sampleField(c.entries, c.format, c.options);
    playTournament(t);
    const std::string got = goldenText(t);
    const std::string want = momiru::testing::readFile(kGolden / (std::string(c.name) + ".txt"));
    if (got != want) {
      // Written where the test runs, to compare with the golden file by eye.
      std::ofstream(std::string(c.name) + ".got.txt") << got;
    }
    EXPECT_EQ(got, want);
    // The digest does not depend on the order of registration.
    std::vector<Entry> reversed = t.entries;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(entriesDigestOf(reversed), *t.entriesDigest);
    if (c.labFile == nullptr) continue;

    // momiru-lab's file and page of the same inputs: they read, verify, and hold this tournament.
    const fs::path file = kGolden / (std::string(c.labFile) + std::string(kTournamentExtension));
    const std::string text = momiru::testing::readFile(file);
    for (const fs::path& kept : {file, kGolden / (std::string(c.labFile) + ".html")}) {
      SCOPED_TRACE(kept.filename().string());
      momiru::Refusal error;
      const auto back = readTournamentFile(kept, &error);
      ASSERT_TRUE(back) << error;
      EXPECT_EQ(verifyTournament(*back), std::nullopt);
      EXPECT_EQ(withoutFairness(tournamentJson(*back)), withoutFairness(text));
      t.writtenBy = back->writtenBy;
    }
    EXPECT_EQ(withoutFairness(tournamentJson(t)), withoutFairness(text));
  }
}

}  // namespace
