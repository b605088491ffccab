// The name line's breaks, font size and the painting of its lines on either side of the outline.
#include "ui/name_line.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <optional>

#include "ui/line_breaking.h"

namespace momiru::ui {

namespace {

constexpr qreal kStepPoints = 0.75;

// Where the stored name begins: after the file name's ".datの", or after the first "の" that
// follows the level; -1 when the line has no such place.
qsizetype storedNameStart(const QString& line) {
  const qsizetype space = line.indexOf(QChar(0x3000));
  if (space < 0) return -1;
  const QString afterFile = QStringLiteral(".datの");
  qsizetype start = line.indexOf(afterFile, space + 1, Qt::CaseInsensitive);
  if (start >= 0) {
    start += afterFile.size();
  } else {
    start = line.indexOf(QStringLiteral("の"), space + 1);
    if (start >= 0) ++start;
  }
  return start > 0 && start < line.size() ? start : -1;
}

bool fitsWidth(const QFontMetricsF& metrics, const QString& text, qreal width) {
  return metrics.horizontalAdvance(text) <= width;
}

// The line laid out at this font size: on one line above the outline, or on two, the second
// below the outline; nothing when it does not fit.
std::optional<QString> aroundOutline(const QString& line, const QFontMetricsF& metrics,
                                     const NameLineArea& area) {
  if (metrics.height() > area.first) return std::nullopt;
  if (fitsWidth(metrics, line, area.width)) return line;
  if (metrics.height() > area.second) return std::nullopt;

  const qsizetype preferred = storedNameStart(line);
  if (preferred > 0 && fitsWidth(metrics, line.left(preferred), area.width) &&
      fitsWidth(metrics, line.mid(preferred), area.width)) {
    return line.left(preferred) + QLatin1Char('\n') + line.mid(preferred);
  }
  // Broken between words where the first line is fullest; inside a word only when it alone is
  // too wide.
  const QStringList lines = wrapParagraph(line, metrics, area.width);
  if (lines.size() != 2 || !fitsWidth(metrics, lines[0], area.width) ||
      !fitsWidth(metrics, lines[1], area.width)) {
    return std::nullopt;
  }
  return lines.join(QLatin1Char('\n'));
}

// `line` broken between words into the fewest lines of at most `width`; nothing when a single
// character is wider.
std::optional<QStringList> wrapped(const QString& line, const QFontMetricsF& metrics, qreal width) {
  QStringList lines = wrapParagraph(line, metrics, width);
  for (const QString& part : lines)
    if (!fitsWidth(metrics, part, width)) return std::nullopt;
  return lines;
}

qreal heightOf(const QFontMetricsF& metrics, qsizetype lines) {
  return metrics.lineSpacing() * static_cast<qreal>(std::max<qsizetype>(lines, 1) - 1) +
         metrics.height();
}

}  // namespace

NameLineLayout layoutLines(const QString& text, const QFont& font, QSize area, qreal minPoints) {
  const QStringList lines = text.split(QLatin1Char('\n'));
  const qreal base = font.pointSizeF();
  if (base <= 0) return {text, font};  // a pixel-sized font is shown as it is
  QFont sized = font;
  for (qreal points = base; points >= minPoints - 0.001; points -= kStepPoints) {
    sized.setPointSizeF(points);
    const QFontMetricsF metrics(sized);
    QStringList out;
    bool fits = true;
    for (const QString& line : lines) {
      const auto parts = wrapped(line, metrics, area.width());
      if (!parts) {
        fits = false;
        break;
      }
      out += *parts;
    }
    if (fits && heightOf(metrics, out.size()) <= area.height()) return {out.join('\n'), sized};
  }
  sized.setPointSizeF(std::min(base, minPoints));
  const QFontMetricsF metrics(sized);
  QStringList out;
  for (const QString& line : lines) out += metrics.elidedText(line, Qt::ElideMiddle, area.width());
  return {out.join('\n'), sized};
}

NameLineLayout layoutNameLine(const QString& line, const QFont& font, const NameLineArea& area) {
  QFont sized = font;
  const qreal base = font.pointSizeF();
  if (base <= 0) return {line, font};  // a pixel-sized font is shown as it is

  for (qreal points = base; points >= kNameLineMinPoints - 0.001; points -= kStepPoints) {
    sized.setPointSizeF(points);
    if (const auto text = aroundOutline(line, QFontMetricsF(sized), area)) return {*text, sized};
  }
  // Two lines between words cannot hold it even at the smallest size: a name shows whole rather
  // than keep its words, so the first line is the fullest that fits, broken inside a word where
  // the line breaking allows, and only what two lines cannot hold is cut short.
  sized.setPointSizeF(std::min(base, kNameLineMinPoints));
  const QFontMetricsF metrics(sized);
  const qsizetype split = fullestBreak(line, metrics, area.width);
  if (split >= line.size()) return {line, sized};
  if (split <= 0 || metrics.height() > area.second)
    return {metrics.elidedText(line, Qt::ElideRight, area.width), sized};
  return {line.left(split) + QLatin1Char('\n') +
              metrics.elidedText(line.mid(split), Qt::ElideRight, area.width),
          sized};
}

NameLineLabel::NameLineLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);  // the breaks are chosen by showLine
}

void NameLineLabel::setOutlineRows(int top, int bottom) {
  outlineTop_ = std::clamp(top, 0, height());
  outlineBottom_ = std::clamp(bottom, outlineTop_, height());
  update();
}

NameLineArea NameLineLabel::area() const {
  const QRect inside = contentsRect();
  NameLineArea a;
  a.width = inside.width();
  a.first = std::max(0, std::min(outlineTop_, inside.bottom() + 1) - inside.top());
  a.second = std::max(0, inside.bottom() + 1 - std::max(outlineBottom_, inside.top()));
  return a;
}

void NameLineLabel::showLine(const QString& line) {
  if (!baseFont_) baseFont_ = font();
  const NameLineLayout layout = layoutNameLine(line, *baseFont_, area());
  setFont(layout.font);
  setText(layout.text);
  setAccessibleName(line);
}

void NameLineLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::WindowText));
  const QRect inside = contentsRect();
  const QStringList lines = text().split(QLatin1Char('\n'));
  const int firstBottom = std::min(outlineTop_, inside.bottom() + 1);
  const QRect first(inside.left(), inside.top(), inside.width(), firstBottom - inside.top());
  const int secondTop = std::max(outlineBottom_, inside.top());
  const QRect second(inside.left(), secondTop, inside.width(), inside.bottom() + 1 - secondTop);
  constexpr int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
  if (!lines.isEmpty()) painter.drawText(first, flags, lines[0]);
  if (lines.size() > 1) painter.drawText(second, flags, lines[1]);
}

}  // namespace momiru::ui
