// Where an elimination bracket's parts lie when drawn: a column a round, the winners' bracket
// above the losers' bracket, the grand final(s) at the right and the third-place match under the
// final; each match a box, a line from each match to the one its winner goes on to, a heading
// over each column and a title over each bracket of a double elimination. Plain geometry in
// pixels at zoom 1, without Qt: the tournament window paints it, and anything else may measure it.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "report/tournament.h"
#include "report/tournament_schedule.h"

namespace momiru::report {

// The bracket's measures at zoom 1, in pixels.
struct BracketMeasures {
  static constexpr double boxWidth = 210;
  static constexpr double lineHeight = 20;  // a player's line in a box
  static constexpr double boxHeight = 2 * lineHeight + 4;
  static constexpr double labelHeight = 16;  // the id over each box
  static constexpr double rowGap = 8;
  static constexpr double columnGap = 44;  // where the lines run
  static constexpr double margin = 14;
  static constexpr double headingHeight = 24;  // a column's heading
  static constexpr double titleHeight = 30;    // a bracket's title (勝者側, 敗者側)
  static constexpr double sectionGap = 36;     // between the winners' and the losers' brackets
  static constexpr double headingWidth = 2 * boxWidth;
};

struct LayoutPoint {
  double x = 0;
  double y = 0;
  bool operator==(const LayoutPoint&) const = default;
};

// x, y is the top left corner; an empty rectangle (no width or height) is one never placed.
struct LayoutRect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double right() const { return x + width; }
  double bottom() const { return y + height; }
  double centreY() const { return y + height / 2; }
  bool empty() const { return width <= 0 || height <= 0; }
  // Shares more than an edge with `other`.
  bool overlaps(const LayoutRect& other) const {
    return x < other.right() && other.x < right() && y < other.bottom() && other.y < bottom();
  }
  bool operator==(const LayoutRect&) const = default;
};

// The parts of the drawing a match stands in.
enum class BracketPart {
  Main,        // the one bracket of a single elimination, the winners' of a double
  Losers,      // a double elimination's losers' bracket
  Finals,      // a double elimination's grand final and the one played again
  ThirdPlace,  // under the final
};

struct BracketBox {
  std::size_t match = 0;  // its index in the schedule laid out
  std::string id;
  BracketPart part = BracketPart::Main;
  int column = 0;  // the column of boxes it stands in, left to right
  LayoutRect rect;
  // Said after the id over the box where the column's heading does not say it (UTF-8): the
  // grand finals' and the third-place match's round; empty for every other box.
  std::string roundWords;
  std::array<int, 2> feeders{-1, -1};  // the boxes whose winners come here, by side
  std::vector<int> sources;            // every box a player of this one comes from
  int next = -1;                       // the box this one's winner goes on to
};

// A line from a box's right edge to the left edge of the box its winner goes on to, bent halfway
// along the gap before that box's column.
struct BracketConnector {
  int from = -1;
  int to = -1;
  std::array<LayoutPoint, 4> points;  // start, the two bends, end
  LayoutPoint start() const { return points.front(); }
  LayoutPoint end() const { return points.back(); }
};

struct BracketHeading {
  std::string text;    // UTF-8
  LayoutRect rect;     // where it is written, left aligned and centred in height
  bool title = false;  // a bracket's title rather than a column's round
};

struct BracketLayout {
  // A box per match of the schedule, in its order; a match whose id came before is left out.
  std::vector<BracketBox> boxes;
  std::vector<std::vector<int>> columns;  // boxes by column, top to bottom; at least one column
  std::vector<BracketHeading> headings;
  std::vector<BracketConnector> connectors;  // in the order of the boxes they start from
  double width = 0;                          // the whole drawing, margins included
  double height = 0;

  // The box of the match `id`, or -1.
  int find(std::string_view id) const;

  std::unordered_map<std::string, int> byId;
};

// The battles each side of `m` won, by side: the score a box shows beside its players.
std::array<int, 2> battlesWon(const Match& m);

// Lays out `schedule` (TournamentPlay::schedule(), or the matches a file claims) of a tournament
// of `format`. The same schedule always gives the same layout.
BracketLayout layOutBracket(Format format, const std::vector<ScheduledMatch>& schedule);

}  // namespace momiru::report
