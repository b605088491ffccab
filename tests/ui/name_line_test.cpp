// The battle screen's name line in its 148 × 29-pixel label: where it breaks, when the font
// shrinks, and that every line stays inside the label.
#include "ui/name_line.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QLabel>

#include "ui/screen.h"
#include "ui/ui_font.h"

namespace momiru::uitest {
namespace {

const QSize kLabel(148, 29);  // name12: 2220 × 435 twips
// Made when asked, once the application and its fonts exist.
QFont designFont() { return ui::uiFont(9.75, true); }

// Every line of the layout fits the label's width, and the lines its height.
void expectInside(const ui::NameLineLayout& layout, QSize area) {
  const QFontMetricsF metrics(layout.font);
  const QStringList lines = layout.text.split(QLatin1Char('\n'));
  ASSERT_LE(lines.size(), 2) << layout.text.toStdString();
  for (const QString& line : lines) {
    EXPECT_LE(metrics.horizontalAdvance(line), area.width()) << line.toStdString();
  }
  EXPECT_LE(metrics.lineSpacing() * static_cast<qreal>(lines.size() - 1) + metrics.height(),
            area.height());
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
    EXPECT_EQ(layout.font.pointSizeF(),
              designFont().pointSizeF());  // two lines hold it: no shrinking
    expectInside(layout, kLabel);
  }
}

TEST(NameLineTest, AStoredNameTooLongForItsLineBreaksBetweenCharacters) {
  const QString line = QStringLiteral("Lv.9　b.datのとてもながいなまえのモンスターです");
  const auto layout = ui::layoutNameLine(line, designFont(), kLabel);
  const QStringList lines = layout.text.split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines.join(QString()), line);  // nothing lost, nothing added
  expectInside(layout, kLabel);
  // The first line is as full as it can be: one more character would not fit.
  const QFontMetricsF metrics(layout.font);
  EXPECT_GT(metrics.horizontalAdvance(line.left(lines[0].size() + 1)), kLabel.width());
}

TEST(NameLineTest, TheFontShrinksOnlyWhenTwoLinesCannotHoldTheName) {
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

// A short line stays whole, and at the design size even after a long one had shrunk the font.
TEST(NameLineTest, TheLabelGetsItsFullFontBackForAShorterName) {
  QLabel label;
  label.setFont(designFont());
  label.setGeometry(0, 0, kLabel.width(), kLabel.height());
  ui::showNameLine(&label, QStringLiteral("Lv.99　") + QString(40, QChar(0x30E2)));
  EXPECT_LT(label.font().pointSizeF(), designFont().pointSizeF());
  ui::showNameLine(&label, QStringLiteral("Lv.1　a.datのぽこ"));
  EXPECT_EQ(label.font().pointSizeF(), designFont().pointSizeF());
  EXPECT_EQ(label.text(), QStringLiteral("Lv.1　a.datのぽこ"));
  EXPECT_FALSE(label.wordWrap());
}

}  // namespace
}  // namespace momiru::uitest
