// The bracket's layout: boxes apart and in their columns, the lines joining each match to the one
// its winner goes on to, the two brackets and the finals of a double elimination, the third-place
// match under the final, byes, the headings, and the same layout however far play has gone.
#include "report/bracket_layout.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "report/tournament_schedule.h"
#include "support/tournament_fixture.h"

namespace momiru::report {
namespace {

using M = BracketMeasures;

Tournament field(std::size_t n, Format format) {
  testing::FieldOptions o;
  o.thirdPlace = format == Format::Single;
  return testing::sampleField(n, format, o);
}

// The schedule of `t` once `matches` matches (byes aside) are played, or all of them.
std::vector<ScheduledMatch> scheduleAfter(Tournament t, std::size_t matches) {
  TournamentPlay play(std::move(t));
  std::size_t done = 0;
  play.playRest(
      1, [&] { return done >= matches; }, [&](std::size_t count, std::size_t) { done = count; });
  return play.schedule();
}

const BracketBox& boxOf(const BracketLayout& l, const std::string& id) {
  const int i = l.find(id);
  EXPECT_GE(i, 0) << id;
  return l.boxes.at(static_cast<std::size_t>(i));
}

LayoutRect withLabel(const LayoutRect& r) {
  return {r.x, r.y - M::labelHeight, r.width, r.height + M::labelHeight};
}

class EliminationLayout : public ::testing::TestWithParam<std::tuple<Format, std::size_t>> {};

TEST_P(EliminationLayout, BoxesApartInTheirColumnsAndLinesFromEachWinnerToItsNextMatch) {
  const auto [format, entries] = GetParam();
  const std::vector<ScheduledMatch> schedule = scheduleAfter(field(entries, format), entries);
  const BracketLayout l = layOutBracket(format, schedule);

  // A box for every match, in the schedule's order, inside the drawing.
  ASSERT_EQ(l.boxes.size(), schedule.size());
  for (std::size_t i = 0; i < l.boxes.size(); ++i) {
    const BracketBox& b = l.boxes[i];
    EXPECT_EQ(b.match, i);
    EXPECT_EQ(b.id, schedule[i].match.id);
    EXPECT_EQ(l.find(b.id), static_cast<int>(i));
    EXPECT_FALSE(b.rect.empty()) << b.id;
    EXPECT_GE(b.rect.y - M::labelHeight, M::margin) << b.id;
    EXPECT_LE(b.rect.right() + M::margin, l.width) << b.id;
    EXPECT_LE(b.rect.bottom() + M::margin, l.height) << b.id;
    EXPECT_EQ(b.rect.x, M::margin + b.column * (M::boxWidth + M::columnGap)) << b.id;
  }
  // Apart, the id over each box included.
  for (std::size_t a = 0; a < l.boxes.size(); ++a)
    for (std::size_t b = a + 1; b < l.boxes.size(); ++b)
      EXPECT_FALSE(withLabel(l.boxes[a].rect).overlaps(withLabel(l.boxes[b].rect)))
          << l.boxes[a].id << " and " << l.boxes[b].id;

  // Each box in its own column's list, the lists top to bottom.
  std::size_t listed = 0;
  for (std::size_t c = 0; c < l.columns.size(); ++c) {
    const std::vector<int>& column = l.columns[c];
    listed += column.size();
    for (std::size_t k = 0; k < column.size(); ++k) {
      const BracketBox& b = l.boxes[static_cast<std::size_t>(column[k])];
      EXPECT_EQ(b.column, static_cast<int>(c)) << b.id;
      if (k > 0) {
        EXPECT_LT(l.boxes[static_cast<std::size_t>(column[k - 1])].rect.y, b.rect.y);
      }
    }
  }
  EXPECT_EQ(listed, l.boxes.size());

  // One line for each slot a winner fills, from the middle of one box's right edge to the middle
  // of the other's left edge, bent once in the gap before the later box; every slot a player
  // comes to from another match known as a source.
  std::set<std::pair<std::string, std::string>> want;
  for (const ScheduledMatch& m : schedule)
    for (const SlotSource& from : m.from) {
      if (from.kind == SlotSource::WinnerOf) want.insert({from.matchId, m.match.id});
      if (from.kind == SlotSource::WinnerOf || from.kind == SlotSource::LoserOf) {
        const BracketBox& to = boxOf(l, m.match.id);
        const int source = l.find(from.matchId);
        EXPECT_NE(std::find(to.sources.begin(), to.sources.end(), source), to.sources.end())
            << from.matchId << " to " << m.match.id;
      }
    }
  std::set<std::pair<std::string, std::string>> drawn;
  for (const BracketConnector& c : l.connectors) {
    const BracketBox& from = l.boxes[static_cast<std::size_t>(c.from)];
    const BracketBox& to = l.boxes[static_cast<std::size_t>(c.to)];
    drawn.insert({from.id, to.id});
    EXPECT_EQ(from.next, c.to);
    EXPECT_EQ(c.start(), (LayoutPoint{from.rect.right(), from.rect.centreY()})) << from.id;
    EXPECT_EQ(c.end(), (LayoutPoint{to.rect.x, to.rect.centreY()})) << to.id;
    EXPECT_EQ(c.points[1], (LayoutPoint{to.rect.x - M::columnGap / 2, c.start().y}));
    EXPECT_EQ(c.points[2], (LayoutPoint{to.rect.x - M::columnGap / 2, c.end().y}));
    EXPECT_LT(c.start().x, c.points[1].x) << from.id;
  }
  EXPECT_EQ(drawn, want);

  // The brackets' places.
  double right = 0;
  for (const BracketBox& b : l.boxes) right = std::max(right, b.rect.right());
  if (format == Format::Single) {
    const ScheduledMatch* final = nullptr;
    for (const ScheduledMatch& m : schedule)
      if (m.match.bracket == Bracket::Final) final = &m;
    ASSERT_NE(final, nullptr);
    const BracketBox& f = boxOf(l, final->match.id);
    EXPECT_EQ(f.rect.right(), right);
    EXPECT_TRUE(f.roundWords.empty());
    if (entries >= 4) {
      const BracketBox& third = boxOf(l, "3P");
      EXPECT_EQ(third.part, BracketPart::ThirdPlace);
      EXPECT_EQ(third.column, f.column);
      EXPECT_GT(third.rect.y - M::labelHeight, f.rect.bottom());
      EXPECT_EQ(third.roundWords, "3位決定戦");
    }
  } else {
    double winnersBottom = 0;
    double losersTop = 1e9;
    double othersRight = 0;
    for (const BracketBox& b : l.boxes) {
      if (b.part == BracketPart::Main) winnersBottom = std::max(winnersBottom, b.rect.bottom());
      if (b.part == BracketPart::Losers) losersTop = std::min(losersTop, b.rect.y);
      if (b.part != BracketPart::Finals) othersRight = std::max(othersRight, b.rect.right());
    }
    EXPECT_LT(winnersBottom + M::sectionGap, losersTop);
    const BracketBox& gf = boxOf(l, "GF1");
    EXPECT_EQ(gf.part, BracketPart::Finals);
    EXPECT_GT(gf.rect.x, othersRight);
    EXPECT_EQ(gf.roundWords, "グランドファイナル");
  }
}

INSTANTIATE_TEST_SUITE_P(Fields, EliminationLayout,
                         ::testing::Combine(::testing::Values(Format::Single, Format::Double),
                                            ::testing::Values(2, 3, 5, 8, 16)));

TEST(BracketLayout, AFullFieldCentresEveryMatchBetweenTheTwoItComesFrom) {
  for (const std::size_t n : {std::size_t{8}, std::size_t{16}}) {
    const auto schedule = scheduleAfter(field(n, Format::Single), 0);
    const BracketLayout l = layOutBracket(Format::Single, schedule);
    int fed = 0;
    for (const BracketBox& b : l.boxes) {
      if (b.feeders[0] < 0 || b.feeders[1] < 0) continue;
      ++fed;
      const double a = l.boxes[static_cast<std::size_t>(b.feeders[0])].rect.centreY();
      const double c = l.boxes[static_cast<std::size_t>(b.feeders[1])].rect.centreY();
      EXPECT_DOUBLE_EQ(b.rect.centreY(), (a + c) / 2) << n << " " << b.id;
    }
    EXPECT_EQ(fed, static_cast<int>(n / 2) - 1) << n;  // every match after the first round but 3P
    // The first round's boxes one under the other, as close as the ids allow.
    const std::vector<int>& first = l.columns.front();
    ASSERT_EQ(first.size(), n / 2);
    for (std::size_t k = 1; k < first.size(); ++k)
      EXPECT_DOUBLE_EQ(l.boxes[static_cast<std::size_t>(first[k])].rect.y -
                           l.boxes[static_cast<std::size_t>(first[k - 1])].rect.bottom(),
                       M::rowGap + M::labelHeight);
  }
}

TEST(BracketLayout, ByesAreBoxesOfTheirRoundAndFeedTheMatchTheirPlayerGoesTo) {
  // Five entries in a bracket of eight: three byes in the first round.
  const auto schedule = scheduleAfter(field(5, Format::Single), 0);
  const BracketLayout l = layOutBracket(Format::Single, schedule);
  int byes = 0;
  for (const BracketBox& b : l.boxes) {
    const ScheduledMatch& m = schedule[b.match];
    if (!m.bye) continue;
    ++byes;
    EXPECT_EQ(b.column, 0) << b.id;
    ASSERT_GE(b.next, 0) << b.id;
    EXPECT_EQ(l.boxes[static_cast<std::size_t>(b.next)].column, 1) << b.id;
  }
  EXPECT_EQ(byes, 3);
}

TEST(BracketLayout, TheHeadingsNameEachColumnAndEachBracket) {
  const BracketLayout single =
      layOutBracket(Format::Single, scheduleAfter(field(8, Format::Single), 0));
  std::vector<std::string> texts;
  for (const BracketHeading& h : single.headings) {
    EXPECT_FALSE(h.title);
    texts.push_back(h.text);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"第1回戦", "第2回戦", "決勝"}));
  for (std::size_t c = 0; c < single.headings.size(); ++c) {
    EXPECT_EQ(single.headings[c].rect.x,
              single.boxes[static_cast<std::size_t>(single.columns[c][0])].rect.x);
    EXPECT_LE(single.headings[c].rect.bottom() + M::labelHeight,
              single.boxes[static_cast<std::size_t>(single.columns[c][0])].rect.y);
  }

  const BracketLayout twice =
      layOutBracket(Format::Double, scheduleAfter(field(4, Format::Double), 0));
  std::vector<std::string> titles;
  std::vector<std::string> heads;
  for (const BracketHeading& h : twice.headings) (h.title ? titles : heads).push_back(h.text);
  EXPECT_EQ(titles, (std::vector<std::string>{"勝者側", "敗者側"}));
  ASSERT_FALSE(heads.empty());
  EXPECT_EQ(heads.back(), "グランドファイナル");
  // The losers' title under every box of the winners' bracket.
  double winnersBottom = 0;
  for (const BracketBox& b : twice.boxes)
    if (b.part == BracketPart::Main) winnersBottom = std::max(winnersBottom, b.rect.bottom());
  for (const BracketHeading& h : twice.headings)
    if (h.title && h.text == "敗者側") {
      EXPECT_GT(h.rect.y, winnersBottom);
    }
}

TEST(BracketLayout, TheSameScheduleGivesTheSameLayoutAndPlayMovesNoBox) {
  for (const Format format : {Format::Single, Format::Double}) {
    const Tournament t = field(12, format);
    const auto before = scheduleAfter(t, 0);
    const auto after = scheduleAfter(t, 1000);
    const BracketLayout a = layOutBracket(format, before);
    const BracketLayout again = layOutBracket(format, before);
    ASSERT_EQ(a.boxes.size(), again.boxes.size());
    for (std::size_t i = 0; i < a.boxes.size(); ++i) {
      EXPECT_EQ(a.boxes[i].rect, again.boxes[i].rect);
      EXPECT_EQ(a.boxes[i].next, again.boxes[i].next);
    }
    EXPECT_EQ(a.columns, again.columns);
    EXPECT_EQ(a.width, again.width);
    EXPECT_EQ(a.height, again.height);

    // Played to the end (a grand final played again may add a box at the right).
    const BracketLayout played = layOutBracket(format, after);
    for (const BracketBox& b : a.boxes) EXPECT_EQ(boxOf(played, b.id).rect, b.rect) << b.id;
    EXPECT_EQ(played.height, a.height);
  }
}

TEST(BracketLayout, NothingToLayOutAndMatchesThatRepeatOrWaitForNoKnownMatch) {
  const BracketLayout none = layOutBracket(Format::Single, {});
  EXPECT_TRUE(none.boxes.empty());
  EXPECT_EQ(none.columns.size(), 1u);
  EXPECT_EQ(none.width, 2 * M::margin);
  EXPECT_EQ(none.height, 2 * M::margin);
  EXPECT_EQ(none.find("W1-1"), -1);

  // What a file that did not verify may claim: an id twice, a slot waiting for itself or for a
  // match the file does not have.
  std::vector<ScheduledMatch> claimed(4);
  claimed[0].match.id = "A";
  claimed[0].match.round = 1;
  claimed[1].match.id = "A";
  claimed[1].match.round = 2;
  claimed[2].match.id = "B";
  claimed[2].match.round = 1;
  claimed[2].from[0] = {SlotSource::WinnerOf, -1, "B"};
  claimed[2].from[1] = {SlotSource::WinnerOf, -1, "nowhere"};
  claimed[3].match.id = "C";
  claimed[3].match.round = 2;
  claimed[3].from[0] = {SlotSource::WinnerOf, -1, "A"};
  claimed[3].from[1] = {SlotSource::WinnerOf, -1, "B"};
  const BracketLayout l = layOutBracket(Format::Single, claimed);
  ASSERT_EQ(l.boxes.size(), 3u);
  EXPECT_EQ(boxOf(l, "A").match, 0u);
  EXPECT_TRUE(boxOf(l, "B").sources.empty());
  EXPECT_EQ(boxOf(l, "C").column, 1);
  EXPECT_EQ(l.connectors.size(), 2u);
  EXPECT_FALSE(withLabel(boxOf(l, "A").rect).overlaps(withLabel(boxOf(l, "B").rect)));
}

}  // namespace
}  // namespace momiru::report
