// The bracket laid out: parts, columns, boxes placed beside the boxes that feed them, the lines
// and the headings.
#include "report/bracket_layout.h"

#include <algorithm>
#include <map>

#include "report/tournament_words.h"

namespace momiru::report {

namespace {

using M = BracketMeasures;

BracketPart partOf(Bracket bracket, bool twoBrackets) {
  if (bracket == Bracket::ThirdPlace) return BracketPart::ThirdPlace;
  if (bracket == Bracket::Losers) return BracketPart::Losers;
  if (bracket == Bracket::Final && twoBrackets) return BracketPart::Finals;
  return BracketPart::Main;
}

double columnX(int c) { return M::margin + c * (M::boxWidth + M::columnGap); }

}  // namespace

int BracketLayout::find(std::string_view id) const {
  const auto it = byId.find(std::string(id));
  return it == byId.end() ? -1 : it->second;
}

std::array<int, 2> battlesWon(const Match& m) {
  std::array<int, 2> won{0, 0};
  for (const BattleRecord& b : m.battles)
    for (std::size_t s = 0; s < 2; ++s)
      if (b.winner && m.players[s] && *b.winner == *m.players[s]) ++won[s];
  return won;
}

BracketLayout layOutBracket(Format format, const std::vector<ScheduledMatch>& schedule) {
  BracketLayout out;
  std::vector<BracketBox>& boxes = out.boxes;
  boxes.reserve(schedule.size());
  out.byId.reserve(schedule.size());
  for (std::size_t k = 0; k < schedule.size(); ++k) {
    const Match& m = schedule[k].match;
    if (!out.byId.emplace(m.id, static_cast<int>(boxes.size())).second) continue;
    BracketBox b;
    b.match = k;
    b.id = m.id;
    boxes.push_back(std::move(b));
  }
  const auto matchOf = [&](const BracketBox& b) -> const ScheduledMatch& {
    return schedule[b.match];
  };

  const bool twoBrackets = format == Format::Double;
  std::array<std::map<int, int>, 3> roundColumn;  // by part but third place: round -> column
  for (BracketBox& b : boxes) {
    const Match& m = matchOf(b).match;
    b.part = partOf(m.bracket, twoBrackets);
    if (b.part != BracketPart::ThirdPlace)
      roundColumn[static_cast<std::size_t>(b.part)][m.round] = 0;
  }
  for (auto& rounds : roundColumn) {
    int c = 0;
    for (auto& [round, column] : rounds) column = c++;
  }
  const int finalsFrom = static_cast<int>(std::max(roundColumn[0].size(), roundColumn[1].size()));
  const int columnCount = finalsFrom + static_cast<int>(roundColumn[2].size());
  out.columns.assign(static_cast<std::size_t>(std::max(columnCount, 1)), {});

  // The tops of the parts: the losers' bracket starts below the winners' once that is laid out.
  const double top0 = M::margin + (twoBrackets ? M::titleHeight : 0) + M::headingHeight;
  std::vector<double> bottom(out.columns.size(), top0 - M::rowGap);
  std::vector<double> bottom1;  // the losers' part's own, once it starts
  double losersTop = 0;
  int finalBox = -1;
  std::vector<bool> placed(boxes.size(), false);

  const auto place = [&](std::size_t i, std::vector<double>& colBottom) {
    BracketBox& b = boxes[i];
    // Centred on the boxes that feed it, or under the last box of its column.
    double centre = 0;
    int fed = 0;
    for (const int f : b.feeders)
      if (f >= 0 && placed[static_cast<std::size_t>(f)]) {
        centre += boxes[static_cast<std::size_t>(f)].rect.centreY();
        ++fed;
      }
    const double lowest =
        colBottom[static_cast<std::size_t>(b.column)] + M::rowGap + M::labelHeight;
    const double top = fed > 0 ? std::max(lowest, centre / fed - M::boxHeight / 2) : lowest;
    b.rect = {columnX(b.column), top, M::boxWidth, M::boxHeight};
    placed[i] = true;
    colBottom[static_cast<std::size_t>(b.column)] = b.rect.bottom();
  };

  // Links first: the sources of every slot, found by id. A winner goes on to the first later
  // match that waits for it.
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    BracketBox& b = boxes[i];
    const ScheduledMatch& m = matchOf(b);
    for (std::size_t s = 0; s < 2; ++s) {
      const SlotSource& from = m.from[s];
      if (from.kind != SlotSource::WinnerOf && from.kind != SlotSource::LoserOf) continue;
      const int source = out.find(from.matchId);
      if (source < 0 || source == static_cast<int>(i)) continue;
      b.sources.push_back(source);
      BracketBox& sourceBox = boxes[static_cast<std::size_t>(source)];
      if (from.kind == SlotSource::WinnerOf && sourceBox.next < 0 && source < static_cast<int>(i)) {
        sourceBox.next = static_cast<int>(i);
        b.feeders[s] = source;
      }
    }
    if (b.part != BracketPart::ThirdPlace) {
      const int c = roundColumn[static_cast<std::size_t>(b.part)].at(m.match.round);
      b.column = b.part == BracketPart::Finals ? finalsFrom + c : c;
    }
  }

  // The main or winners' part, then the losers' below it, then the finals and third place.
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i].part != BracketPart::Main) continue;
    place(i, bottom);
    if (matchOf(boxes[i]).match.bracket == Bracket::Final) finalBox = static_cast<int>(i);
  }
  double mainBottom = top0;
  for (const double b : bottom) mainBottom = std::max(mainBottom, b);
  if (twoBrackets) {
    losersTop = mainBottom + M::sectionGap + M::titleHeight + M::headingHeight;
    bottom1.assign(out.columns.size(), losersTop - M::rowGap);
    for (std::size_t i = 0; i < boxes.size(); ++i)
      if (boxes[i].part == BracketPart::Losers) place(i, bottom1);
    for (std::size_t i = 0; i < boxes.size(); ++i)
      if (boxes[i].part == BracketPart::Finals) {
        place(i, bottom);
        boxes[i].roundWords = matchRoundWords(format, matchOf(boxes[i]).match);
      }
  }
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    BracketBox& b = boxes[i];
    if (b.part != BracketPart::ThirdPlace) continue;
    // Under the final, a little apart from it.
    b.column = finalBox >= 0 ? boxes[static_cast<std::size_t>(finalBox)].column
                             : std::max(0, static_cast<int>(roundColumn[0].size()) - 1);
    bottom[static_cast<std::size_t>(b.column)] += M::rowGap * 2;
    place(i, bottom);
    b.roundWords = matchRoundWords(format, matchOf(b).match);
  }

  // Headings: each column's round, the brackets' titles.
  const auto named = [&](Bracket b) { return std::string(bracketWords(b, format)); };
  const auto heading = [&](std::string text, double x, double y, bool title) {
    out.headings.push_back({std::move(text),
                            {x, y, M::headingWidth, title ? M::titleHeight : M::headingHeight},
                            title});
  };
  const auto headingFor = [&](std::size_t p, double titleTop) {
    if (twoBrackets && p < 2)
      heading(named(p == 0 ? Bracket::Winners : Bracket::Losers), M::margin, titleTop, true);
    const double headTop = titleTop + (twoBrackets ? M::titleHeight : 0);
    for (const auto& [round, c] : roundColumn[p]) {
      const int column = p == 2 ? finalsFrom + c : c;
      std::string text = roundWords(round);
      if (p == 2) text = c == 0 ? named(Bracket::Final) : std::string("再戦");
      if (p == 0 && finalBox >= 0 && boxes[static_cast<std::size_t>(finalBox)].column == column)
        text = std::string(bracketWords(Bracket::Final, Format::Single));
      heading(std::move(text), columnX(column), headTop, false);
    }
  };
  headingFor(0, M::margin);
  if (twoBrackets) {
    headingFor(1, losersTop - M::headingHeight - M::titleHeight);
    headingFor(2, M::margin);
  }

  double right = M::margin;
  double lowest = M::margin;
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const BracketBox& b = boxes[i];
    out.columns[static_cast<std::size_t>(b.column)].push_back(static_cast<int>(i));
    right = std::max(right, b.rect.right());
    lowest = std::max(lowest, b.rect.bottom());
  }
  for (auto& column : out.columns)
    std::sort(column.begin(), column.end(), [&boxes](int a, int b) {
      return boxes[static_cast<std::size_t>(a)].rect.y < boxes[static_cast<std::size_t>(b)].rect.y;
    });
  out.width = right + M::margin;
  out.height = lowest + M::margin;

  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const BracketBox& b = boxes[i];
    if (b.next < 0) continue;
    const BracketBox& to = boxes[static_cast<std::size_t>(b.next)];
    const LayoutPoint start{b.rect.right(), b.rect.centreY()};
    const LayoutPoint end{to.rect.x, to.rect.centreY()};
    const double bend = end.x - M::columnGap / 2;
    out.connectors.push_back(
        {static_cast<int>(i), b.next, {start, {bend, start.y}, {bend, end.y}, end}});
  }
  return out;
}

}  // namespace momiru::report
