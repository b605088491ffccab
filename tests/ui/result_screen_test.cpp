// Result screen: the log heading and the outcome for a win by either slot and for a draw.
#include "ui/result_screen.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "ui_support.h"

namespace momiru::uitest {
namespace {

class ResultScreenTest : public ::testing::Test {
 protected:
  Harness h;
  ResultScreenTest() {
    h.gs.combatant[0].name = "a.datのぽこ(1)";
    h.gs.combatant[1].name = "a.datのぽこ(2)";
    h.gs.battleLog = "一行目\r\n二行目\r\n";
  }
};

TEST_F(ResultScreenTest, OutcomeNamesTheWinnerFirstWhicheverSlotWon) {
  const struct {
    int win, lose;
    const char* outcome;
  } cases[] = {
      {0, 1, "今回の勝負は\r\n\r\na.datのぽこ(1)の勝ち！！\r\na.datのぽこ(2)は敗れました"},
      {1, 0, "今回の勝負は\r\n\r\na.datのぽこ(2)の勝ち！！\r\na.datのぽこ(1)は敗れました"},
      {0, 0, "今回の勝負は\r\n\r\n引き分け！！"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.outcome);
    if (c.win == 0 && c.lose == 0) h.gs.battleLog.clear();  // and an empty log
    h.gs.winner = c.win;
    h.gs.loser = c.lose;
    ui::ResultScreen screen(h.ctx, h.gs.battleLog);  // shown as written
    EXPECT_EQ(screen.outcomeText(), c.outcome);
    EXPECT_EQ(screen.findChild<QLabel*>("Label1")->text(),
              QString::fromUtf8(c.outcome).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    // The heading lists slot 0 first whoever won.
    const std::string heading =
        "戦いの時の文章のログ\r\na.datのぽこ(1) ＶＳ a.datのぽこ(2)\r\n\r\n";
    EXPECT_EQ(screen.logText(), heading + h.gs.battleLog);
  }
}

TEST_F(ResultScreenTest, LongLogIsReachedWithTheScrollBarsAndChangesNoState) {
  for (int i = 0; i < 200; ++i) h.gs.battleLog += std::string(300, 'x') + "\r\n";
  const GameState before = h.gs;
  ui::ResultScreen screen(h.ctx, h.gs.battleLog);  // shown as written
  screen.show();
  auto* text = screen.findChild<QPlainTextEdit*>("Text1");
  EXPECT_EQ(text->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_GT(text->verticalScrollBar()->maximum(), 0);
  EXPECT_GT(text->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(h.gs.battleLog, before.battleLog);
  EXPECT_EQ(h.gs.combatant, before.combatant);
}

// Every line of the outcome lies inside its label, measured with the label's own font, for
// short, long and extreme names; what fits is shown whole, only the extreme is shortened.
TEST_F(ResultScreenTest, EveryOutcomeLineFitsItsLabelWhateverTheNames) {
  const std::string longest = std::string(251, 'n') + ".datの" + std::string(340, 'x');
  const struct {
    std::string winner, loser;
    bool whole;
  } cases[] = {
      {"a.datのぽこ(1)", "a.datのぽこ(2)", true},
      {"gansekimaru-saikyou-backup.datのがんせきまる", "nenrikibou-lv22-final.datのねんりきぼう",
       true},
      {"nenrikibou-lv22-final-final-really-final.datのねんりきぼうＬＶ２２(1)",
       "nenrikibou-lv22-final-final-really-final.datのねんりきぼうＬＶ２２(2)", true},
      {longest, "b.datのＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷ", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.winner);
    h.gs.combatant[0].name = c.winner;
    h.gs.combatant[1].name = c.loser;
    h.gs.winner = 0;
    h.gs.loser = 1;
    ui::ResultScreen screen(h.ctx, h.gs.battleLog);  // shown as written
    auto* label = screen.findChild<QLabel*>("Label1");
    const QRect area = label->contentsRect();
    const QFontMetricsF metrics(label->font());
    const QStringList lines = label->text().split(QLatin1Char('\n'));
    for (const QString& line : lines) {
      EXPECT_LE(metrics.horizontalAdvance(line), area.width()) << line.toStdString();
    }
    EXPECT_LE(metrics.lineSpacing() * static_cast<qreal>(lines.size() - 1) + metrics.height(),
              area.height());
    const QString full = QString::fromStdString(screen.outcomeText()).remove(QLatin1Char('\r'));
    EXPECT_EQ(label->accessibleName(), full);  // heard whole
    if (c.whole) {
      EXPECT_EQ(label->text().remove(QLatin1Char('\n')), QString(full).remove(QLatin1Char('\n')));
    } else {
      EXPECT_TRUE(label->text().contains(QChar(0x2026)));
      EXPECT_TRUE(label->text().contains(QStringLiteral("の勝ち！！")));
    }
  }
}

}  // namespace
}  // namespace momiru::uitest
