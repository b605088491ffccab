// The name line's breaks and font size.
#include "ui/name_line.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QTextBoundaryFinder>
#include <QVariant>
#include <optional>

namespace momiru::ui {

namespace {

constexpr qreal kStepPoints = 0.75;
constexpr const char* kBaseFontProperty = "momiruNameLineFont";

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

// The line laid out in at most two lines at this font size, or nothing when it does not fit.
std::optional<QString> inTwoLines(const QString& line, const QFontMetricsF& metrics, QSizeF area) {
  if (metrics.height() > area.height()) return std::nullopt;
  if (fitsWidth(metrics, line, area.width())) return line;
  if (metrics.lineSpacing() + metrics.height() > area.height()) return std::nullopt;

  const qsizetype preferred = storedNameStart(line);
  if (preferred > 0 && fitsWidth(metrics, line.left(preferred), area.width()) &&
      fitsWidth(metrics, line.mid(preferred), area.width())) {
    return line.left(preferred) + QLatin1Char('\n') + line.mid(preferred);
  }
  // The fullest first line that fits, broken between two characters (never inside one).
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, line);
  qsizetype split = -1;
  for (qsizetype at = graphemes.toNextBoundary(); at > 0 && at < line.size();
       at = graphemes.toNextBoundary()) {
    if (!fitsWidth(metrics, line.left(at), area.width())) break;
    split = at;
  }
  if (split <= 0 || !fitsWidth(metrics, line.mid(split), area.width())) return std::nullopt;
  return line.left(split) + QLatin1Char('\n') + line.mid(split);
}

// `line` broken between characters into the fewest lines of at most `width`, each as full as
// it can be; nothing when a single character is wider.
std::optional<QStringList> wrapped(const QString& line, const QFontMetricsF& metrics, qreal width) {
  QStringList lines;
  QString rest = line;
  while (!fitsWidth(metrics, rest, width)) {
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, rest);
    qsizetype split = -1;
    for (qsizetype at = graphemes.toNextBoundary(); at > 0 && at < rest.size();
         at = graphemes.toNextBoundary()) {
      if (!fitsWidth(metrics, rest.left(at), width)) break;
      split = at;
    }
    if (split <= 0) return std::nullopt;
    lines.append(rest.left(split));
    rest = rest.mid(split);
  }
  lines.append(rest);
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

NameLineLayout layoutNameLine(const QString& line, const QFont& font, QSize area) {
  const QString& shown = line;
  const QSizeF space(area);
  QFont sized = font;
  const qreal base = font.pointSizeF();
  if (base <= 0) return {shown, font};  // a pixel-sized font is shown as it is

  for (qreal points = base; points >= kNameLineMinPoints - 0.001; points -= kStepPoints) {
    sized.setPointSizeF(points);
    if (const auto text = inTwoLines(shown, QFontMetricsF(sized), space)) return {*text, sized};
  }
  // Nothing fits: the fullest first line at the smallest size, and the rest cut short.
  sized.setPointSizeF(std::min(base, kNameLineMinPoints));
  const QFontMetricsF metrics(sized);
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, shown);
  qsizetype split = 0;
  for (qsizetype at = graphemes.toNextBoundary(); at > 0 && at < shown.size();
       at = graphemes.toNextBoundary()) {
    if (!fitsWidth(metrics, shown.left(at), space.width())) break;
    split = at;
  }
  if (split <= 0) return {metrics.elidedText(shown, Qt::ElideRight, space.width()), sized};
  return {shown.left(split) + QLatin1Char('\n') +
              metrics.elidedText(shown.mid(split), Qt::ElideRight, space.width()),
          sized};
}

void showNameLine(QLabel* label, const QString& line) {
  if (label == nullptr) return;
  QVariant base = label->property(kBaseFontProperty);
  if (!base.isValid()) {
    base = label->font();
    label->setProperty(kBaseFontProperty, base);
  }
  // The breaks are chosen here; the label must not add its own.
  label->setWordWrap(false);
  const NameLineLayout layout =
      layoutNameLine(line, base.value<QFont>(), label->contentsRect().size());
  label->setFont(layout.font);
  label->setText(layout.text);
  label->setAccessibleName(line);
}

}  // namespace momiru::ui
