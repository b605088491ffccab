// The battle screen's level-and-name line ("Lv." level, a full-width space, the name), laid out
// so that it stays inside its label and readable whatever the name's length; and the same for
// any label of several lines that holds names.
#pragma once

#include <QFont>
#include <QSize>
#include <QString>

class QLabel;

namespace momiru::ui {

struct NameLineLayout {
  QString text;  // one line, or two joined by '\n'
  QFont font;
};

// The smallest size the font is shrunk to; a name that two lines cannot hold even then has its
// second line cut short with an ellipsis.
inline constexpr qreal kNameLineMinPoints = 6.75;

// Lays `line` out in `area` (pixels) with `font`:
// - on one line when it fits;
// - otherwise on two lines, broken before the stored name (after "….datの") when both halves
//   fit, else between the characters where the first line is fullest;
// - only when two lines cannot hold it at this size, the same at the next smaller font size,
//   in steps of 0.75 point down to kNameLineMinPoints.
// `line` holds the name as every screen shows it (shownName): one line, nothing in it acting.
NameLineLayout layoutNameLine(const QString& line, const QFont& font, QSize area);

// Lays the lines of `text` (joined by '\n') out in `area` (pixels) with `font`, for a label
// whose lines are centred: a line too wide for the area is broken between characters where it
// is fullest, and the font shrinks in steps of 0.75 point, down to `minPoints`, until every line
// and their height fit. Lines that do not fit even then are cut in the middle with an ellipsis,
// which keeps both the start of a name and the words after it.
NameLineLayout layoutLines(const QString& text, const QFont& font, QSize area, qreal minPoints);

// Shows `line` in `label` as layoutNameLine lays it out, starting each time from the label's
// first font, so that a shorter name later gets the full size back.
void showNameLine(QLabel* label, const QString& line);

}  // namespace momiru::ui
