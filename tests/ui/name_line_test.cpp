// The battle screen's name line in its 148 × 29-pixel label, through which the panel's outline
// runs: where it breaks, when the font shrinks, and that every line stays inside its band, the
// first above the outline, the second below it.
#include "ui/name_line.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QLabel>

#include "ui/screen.h"
#include "ui/ui_font.h"

namespace momiru::uitest {
namespace {

// name12: 2220 × 435 twips; the outline's top edge covers its rows 14 to 16.
const ui::NameLineArea kLabel{148, 14, 12};
// Made when asked, once the application and its fonts exist.
QFont designFont() { return ui::uiFont(9.75, true); }

// Every line of the layout fits the label's width, the first the band above the outline, a
// second the band below it.
void expectInside(const ui::NameLineLayout& layout, const ui::NameLineArea& area) {
  const QFontMetricsF metrics(layout.font);
  const QStringList lines = layout.text.split(QLatin1Char('\n'));
  ASSERT_LE(lines.size(), 2) << layout.text.toStdString();
  for (const QString& line : lines) {
    EXPECT_LE(metrics.horizontalAdvance(line), area.width) << line.toStdString();
  }
  EXPECT_LE(metrics.height(), lines.size() == 1 ? area.first : area.second);
}

TEST(NameLineTest, ALongerLineBreaksBeforeTheStoredName) {
  const struct {
    const char* line;
    const char* secondLine;
  } cases[] = {
      {"Lv.14　pochimaru.datのポチまる", "ポチまる"},
      {"Lv.20　ZUTSU.DATのズツキ屋ゴン(2)", "ズツキ屋ゴン(2)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const auto layout = ui::layoutNameLine(QString::fromUtf8(c.line), designFont(), kLabel);
    const QStringList lines = layout.text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1], QString::fromUtf8(c.secondLine));
    // The largest size whose line the band below the outline holds.
    QFont larger = layout.font;
    larger.setPointSizeF(layout.font.pointSizeF() + 0.75);
    EXPECT_GT(QFontMetricsF(larger).height(), kLabel.second);
    expectInside(layout, kLabel);
  }
}

TEST(NameLineTest, AStoredNameTooLongForItsLineBreaksBetweenWords) {
  const QString line = QStringLiteral("Lv.9　b.datのとてもながいなまえのモンスターです");
  const auto layout = ui::layoutNameLine(line, designFont(), kLabel);
  const QStringList lines = layout.text.split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines.join(QString()), line);  // nothing lost, nothing added
  expectInside(layout, kLabel);
  // Never inside the katakana word.
  EXPECT_TRUE(lines[0].contains(QStringLiteral("モンスター")) ||
              lines[1].contains(QStringLiteral("モンスター")))
      << layout.text.toStdString();
}

// A name that two lines between words cannot hold shows whole, broken inside a word, before any
// of it is cut.
TEST(NameLineTest, ANameShowsWholeBeforeItKeepsItsWords) {
  const QString line =
      QStringLiteral("Lv.18　longa.datのサイコウェーブマスターながいなまえのモンスター");
  const auto layout = ui::layoutNameLine(line, designFont(), kLabel);
  EXPECT_FALSE(layout.text.contains(QChar(0x2026))) << layout.text.toStdString();
  EXPECT_EQ(layout.text.split(QLatin1Char('\n')).join(QString()), line);
  expectInside(layout, kLabel);
}

TEST(NameLineTest, TheFontShrinksUntilTheLinesFitTheirBands) {
  const QString longest = QStringLiteral("Lv.99　") + QString(40, QChar(0x30E2));  // モ × 40
  const auto layout = ui::layoutNameLine(longest, designFont(), kLabel);
  EXPECT_LT(layout.font.pointSizeF(), designFont().pointSizeF());
  EXPECT_GE(layout.font.pointSizeF(), ui::kNameLineMinPoints);
  expectInside(layout, kLabel);

  // Far too long even at the smallest size: two lines, the second cut short with an ellipsis.
  const QString endless = QStringLiteral("Lv.1　") + QString(500, QChar(0x30E2));
  const auto cut = ui::layoutNameLine(endless, designFont(), kLabel);
  EXPECT_DOUBLE_EQ(cut.font.pointSizeF(), ui::kNameLineMinPoints);
  EXPECT_TRUE(cut.text.endsWith(QChar(0x2026)));
  expectInside(cut, kLabel);
}

TEST(NameLineTest, ControlCharactersAndSurrogatePairsAreShownSafely) {
  // A name from a hand-edited file: a line break and a tab inside, and characters outside the
  // basic plane, which a break must never split. The line holds the name as shown.
  QString line = QStringLiteral("Lv.5　") + ui::shownName("c.datの\n名前\tの");
  for (int i = 0; i < 20; ++i) line += QStringLiteral("🐉");
  const auto layout = ui::layoutNameLine(line, designFont(), kLabel);
  EXPECT_FALSE(layout.text.contains(QLatin1Char('\t')));
  EXPECT_LE(layout.text.count(QLatin1Char('\n')), 1);
  for (const QString& part : layout.text.split(QLatin1Char('\n'))) {
    EXPECT_FALSE(part.front().isLowSurrogate());
    EXPECT_FALSE(part.back().isHighSurrogate());
  }
  expectInside(layout, kLabel);
}

// A short line stays whole, at the design size above the outline, even after a long one had
// shrunk the font.
TEST(NameLineTest, TheLabelGetsItsFullFontBackForAShorterName) {
  ui::NameLineLabel label(nullptr);
  label.setFont(designFont());
  label.setGeometry(0, 0, 148, 29);
  label.setOutlineRows(14, 17);
  EXPECT_EQ(label.area().first, 14);
  EXPECT_EQ(label.area().second, 12);
  label.showLine(QStringLiteral("Lv.99　") + QString(40, QChar(0x30E2)));
  EXPECT_LT(label.font().pointSizeF(), designFont().pointSizeF());
  label.showLine(QStringLiteral("Lv.1　a.datのぽこ"));
  EXPECT_EQ(label.font().pointSizeF(), designFont().pointSizeF());
  EXPECT_EQ(label.text(), QStringLiteral("Lv.1　a.datのぽこ"));
  EXPECT_FALSE(label.wordWrap());
}

// Painted, a name of two lines leaves the rows of the outline empty and writes on both sides.
TEST(NameLineTest, NoLetterLiesOnTheOutline) {
  ui::NameLineLabel label(nullptr);
  label.setFont(designFont());
  label.setGeometry(0, 0, 148, 29);
  label.setOutlineRows(14, 17);
  QPalette pal = label.palette();
  pal.setColor(QPalette::WindowText, Qt::white);
  pal.setColor(QPalette::Window, Qt::black);
  label.setPalette(pal);
  label.setAutoFillBackground(true);
  label.showLine(QStringLiteral("Lv.14　pochimaru.datのポチまるとゆかいななかまたち"));
  ASSERT_EQ(label.text().count(QLatin1Char('\n')), 1);
  const QImage shot = label.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const auto inked = [&](int y) {
    for (int x = 0; x < shot.width(); ++x)
      if (qGray(shot.pixel(x, y)) > 64) return true;
    return false;
  };
  const qreal ratio = shot.devicePixelRatio();
  const auto row = [ratio](int y) { return static_cast<int>(y * ratio); };
  for (int y = row(14); y < row(17); ++y) EXPECT_FALSE(inked(y)) << "row " << y;
  bool above = false;
  bool below = false;
  for (int y = 0; y < row(14); ++y) above = above || inked(y);
  for (int y = row(17); y < shot.height(); ++y) below = below || inked(y);
  EXPECT_TRUE(above);
  EXPECT_TRUE(below);
}

}  // namespace
}  // namespace momiru::uitest
