// Result screen: the log heading and the outcome for a win by either slot and for a draw.
#include "ui/result_screen.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <array>

#include "report/tournament.h"
#include "ui/match_caption.h"
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

// Escape does what the first button does, whatever it says and wherever the focus stands, and
// once however long it is held; a match's line sits between the log and the outcome and fits.
TEST_F(ResultScreenTest, EscapeDoesWhatTheFirstButtonDoes) {
  ui::ResultScreen screen(h.ctx, h.gs.battleLog);
  screen.setBackText(QStringLiteral("次の対戦へ"));
  ui::MatchCaption caption;
  caption.match = QStringLiteral("W1-1");
  caption.battle = 2;
  caption.bestOf = 3;
  caption.names = {QString(40, QChar(0x30DD)), QStringLiteral("タマ")};
  caption.wins = {1, 1};
  screen.showMatch(caption);
  screen.show();
  QSignalSpy back(&screen, &ui::ResultScreen::backToTitleClicked);
  QKeyEvent held(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
  QCoreApplication::sendEvent(&screen, &held);
  EXPECT_EQ(back.count(), 0);
  for (const char* focus : {"Text1", "replayWatch", "Command1"}) {
    screen.findChild<QWidget*>(focus)->setFocus();
    QTest::keyClick(&screen, Qt::Key_Escape);
  }
  EXPECT_EQ(back.count(), 3);

  auto* line = screen.findChild<QLabel*>("matchInfo");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->accessibleName(), QStringLiteral("W1-1　第2戦（3戦2勝）　") + caption.names[0] +
                                        QStringLiteral(" 1－1 タマ"));
  EXPECT_FALSE(line->geometry().intersects(screen.findChild<QWidget*>("Text1")->geometry()));
  EXPECT_FALSE(line->geometry().intersects(screen.findChild<QWidget*>("Label1")->geometry()));
  const QFontMetricsF metrics(line->font());
  for (const QString& shown : line->text().split(QLatin1Char('\n')))
    EXPECT_LE(metrics.horizontalAdvance(shown), line->contentsRect().width());
  EXPECT_LE(metrics.height() * static_cast<qreal>(line->text().count(QLatin1Char('\n')) + 1),
            line->contentsRect().height());
  EXPECT_TRUE(screen.windowTitle().contains(QStringLiteral("W1-1")));
}

// The words of a battle of sudden death and of the battle that decided the match.
TEST(MatchCaptionTest, SaysTheBattleTheRuleAndTheScoreFromTheColosseumsLeft) {
  report::Tournament t;
  t.rules.format = report::Format::Single;
  t.rules.bestOf = 3;
  for (const char* n : {"ポチ", "タマ"}) {
    report::Entry e;
    e.storedName = n;
    t.entries.push_back(e);
  }
  report::Match m;
  m.id = "W1-1";
  m.players = {0, 1};
  // Battles 1 to 4: タマ, ポチ, drawn, タマ.
  for (const std::optional<int> winner : {std::optional<int>(1), {0}, {}, {1}}) {
    report::BattleRecord r;
    r.winner = winner;
    m.battles.push_back(r);
  }
  m.winner = 1;
  // Battle 4 with タマ on the left: before it 1－1; with it, decided.
  const ui::MatchCaption before = ui::matchCaption(t, m, 4, 1, false, false);
  EXPECT_EQ(before.names, (std::array<QString, 2>{QStringLiteral("タマ"), QStringLiteral("ポチ")}));
  EXPECT_EQ(ui::scoreText(before), QStringLiteral("1－1"));
  EXPECT_EQ(ui::battleRuleText(before), QStringLiteral("延長戦"));
  EXPECT_EQ(ui::matchCaptionLine(before), QStringLiteral("W1-1　第4戦（延長戦）　タマ 1－1 ポチ"));
  const ui::MatchCaption after = ui::matchCaption(t, m, 4, 1, true, true);
  EXPECT_EQ(ui::scoreText(after), QStringLiteral("2－1"));
  EXPECT_EQ(ui::matchCaptionLine(after),
            QStringLiteral("W1-1　第4戦（延長戦）　2勝1敗1分でタマの勝ち"));
  const ui::MatchCaption first = ui::matchCaption(t, m, 1, 0, false, false);
  EXPECT_EQ(ui::scoreText(first), QStringLiteral("0－0"));
  EXPECT_EQ(ui::battleRuleText(first), QStringLiteral("3戦2勝"));
}

}  // namespace
}  // namespace momiru::uitest
