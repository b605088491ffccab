// momiru-lab battle --html: the page of a battle of save-data files or of a replay, which the
// lab opens again as the same battle, with the odds simulate reports for the same seed.
#include <gtest/gtest.h>

#include "support/lab_support.h"
#include "support/records.h"
#include "support/test_support.h"

namespace {

using namespace momiru::testing;

const std::string kPair = sample("pochimaru.dat") + " " + sample("rendaa.dat");

// The count of one outcome row of the page's odds table, digits only.
std::string oddsCount(const std::string& page, const std::string& outcome) {
  const std::size_t row = page.find("<tr data-outcome=\"" + outcome + "\">");
  if (row == std::string::npos) return "?";
  const std::size_t cell = page.find("<td class=\"n\">", row) + 14;
  std::string digits;
  for (std::size_t i = cell; i < page.size() && page[i] != '<'; ++i) {
    if (page[i] != ',') digits += page[i];
  }
  return digits;
}

TEST(LabBattlePage, ThePageOpensAsTheBattleItShowsWithSimulatesOdds) {
  ScratchDir dir;
  const LabRun played = lab("battle " + kPair + " --seed 77 --html " + quoted(dir / "対戦.html"));
  ASSERT_EQ(played.status, 0) << played.err;
  const std::string page = readFile(dir / "対戦.html");
  EXPECT_NE(page.find("momiru-lab battle &#39;対戦.html&#39;"), std::string::npos);

  const LabRun again = lab("battle " + quoted(dir / "対戦.html"));
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, played.out);

  EXPECT_NE(page.find("同じ2体で 100,000 回戦わせた結果です。"), std::string::npos);
  EXPECT_EQ(page.find("止めました"), std::string::npos) << "no budget reached";
  const Json odds = parseJson(lab("simulate " + kPair + " --battles 100000 --seed 77 --json").out);
  const Json& pairing = odds["pairings"][0];
  for (const char* outcome : {"player1_wins", "player2_wins", "draws", "unfinished"}) {
    EXPECT_EQ(oddsCount(page, outcome), std::to_string(pairing[outcome]["count"].get<long long>()))
        << outcome;
  }

  // From a replay too, and to a page that cannot be written: status 1, one line.
  const LabRun fromPage =
      lab("battle " + quoted(dir / "対戦.html") + " --html " + quoted(dir / "copy.html"));
  EXPECT_EQ(fromPage.status, 0) << fromPage.err;
  EXPECT_NE(readFile(dir / "copy.html").find("&#39;copy.html&#39;"), std::string::npos);
  const LabRun cannot =
      lab("battle " + kPair + " --seed 77 --html " + quoted(dir / "absent" / "p.html"));
  EXPECT_EQ(cannot.status, 1);
  EXPECT_NE(cannot.err.find("p.html"), std::string::npos) << cannot.err;
  // Never over a save-data file.
  EXPECT_EQ(lab("battle " + kPair + " --seed 1 --html " + sample("rendaa.dat")).status, 64);
}

TEST(LabBattlePage, APairingWhoseBattlesNeverEndGetsItsPageWithTheBattlesItsOddsRestOn) {
  ScratchDir dir;
  const momiru::GameState gs = endlessPair();
  for (std::size_t s = 0; s < momiru::kSlots; ++s) {
    Character c;
    c.record = gs.combatant[s];
    c.record.name = s == 0 ? "カメ" : "イワ";
    c.values.key = 5;
    c.values.storedLevels = {c.record.level, 0};
    c.values.storedNames = {c.record.name, ""};
    writeFile(dir / (s == 0 ? "a.dat" : "b.dat"), encode(c));
  }
  const LabRun played = lab("battle " + quoted(dir / "a.dat") + " " + quoted(dir / "b.dat") +
                            " --seed 9 --html " + quoted(dir / "page.html"));
  EXPECT_EQ(played.status, 2) << played.err;  // unfinished, and the page written all the same
  const std::string page = readFile(dir / "page.html");
  EXPECT_NE(page.find("同じ2体で 500 回戦わせた結果です。"), std::string::npos);
  EXPECT_EQ(oddsCount(page, "unfinished"), "500");
  const LabRun again = lab("battle " + quoted(dir / "page.html"));
  EXPECT_EQ(again.status, 2) << again.err;
  EXPECT_EQ(again.out, played.out);
}

}  // namespace
