// The battle screen's level-and-name line ("Lv." level, a full-width space, the name), laid out
// so that it stays inside its label and readable whatever the name's length; and the same for
// any label of several lines that holds names.
#pragma once

#include <QFont>
#include <QLabel>
#include <QSize>
#include <QString>
#include <optional>

namespace momiru::ui {

struct NameLineLayout {
  QString text;  // one line, or two joined by '\n'
  QFont font;
};

// The smallest size the font is shrunk to; a name that two lines cannot hold even then has its
// second line cut short with an ellipsis.
inline constexpr qreal kNameLineMinPoints = 6.75;

// Where a name line may put its text, in pixels: `width` wide, its first line in the `first`
// rows above the panel's outline, a second line in the `second` rows below it. No line ever lies
// on the outline.
struct NameLineArea {
  qreal width = 0;
  qreal first = 0;
  qreal second = 0;
};

// Lays `line` out in `area` with `font`:
// - on one line, above the outline, when it fits;
// - otherwise on two lines, broken before the stored name (after "….datの") when both halves
//   fit, else between words where the first line is fullest (inside a word only when the word
//   alone is wider than the line);
// - only when that cannot hold it at this size, the same at the next smaller font size, in steps
//   of 0.75 point down to kNameLineMinPoints.
// `line` holds the name as every screen shows it (shownName): one line, nothing in it acting.
NameLineLayout layoutNameLine(const QString& line, const QFont& font, const NameLineArea& area);

// Lays the lines of `text` (joined by '\n') out in `area` (pixels) with `font`, for a label
// whose lines are centred: a line too wide for the area is broken between characters where it
// is fullest, and the font shrinks in steps of 0.75 point, down to `minPoints`, until every line
// and their height fit. Lines that do not fit even then are cut in the middle with an ellipsis,
// which keeps both the start of a name and the words after it.
NameLineLayout layoutLines(const QString& text, const QFont& font, QSize area, qreal minPoints);

// The name line `name12`: a label through which the panel's outline runs. It shows its first
// line above the outline and a second one below it, so that the outline stays whole and no
// letter lies on it.
class NameLineLabel final : public QLabel {
 public:
  explicit NameLineLabel(QWidget* parent);

  // The rows of the label, counted from its top, that the outline covers: [top, bottom).
  void setOutlineRows(int top, int bottom);
  NameLineArea area() const;

  // Shows `line` as layoutNameLine lays it out, starting each time from the label's first font,
  // so that a shorter name later gets the full size back.
  void showLine(const QString& line);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  int outlineTop_ = 0;
  int outlineBottom_ = 0;
  std::optional<QFont> baseFont_;
};

}  // namespace momiru::ui
