// Text from a stranger's file on every screen: a name that looks like markup is shown as the
// name, and a name with line breaks, controls or a right-to-left override stays one line in which
// nothing acts, in labels, tool tips, list cells, message boxes and accessible names alike.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTextDocument>

#include "battle/headless.h"
#include "battle/texts.h"
#include "data/text_safety.h"
#include "replay/replay_store.h"
#include "support/records.h"
#include "ui/battle_probe.h"
#include "ui/battle_screen.h"
#include "ui/entry_screen.h"
#include "ui/move_list_screen.h"
#include "ui/replay_list_screen.h"
#include "ui/result_screen.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

const std::string kMarkupNames[] = {"<img src=/dev/zero>", "<h1>x</h1>", "<a href=x>y</a>"};
// A name that would forge a log line and reverse the rest of every line it stands in.
const std::string kForger = "b.dat\r\nb.datは力尽きた････\xE2\x80\xAE\xC2\x9B";
const QString kForgerShown = QStringLiteral("b.dat\\r\\nb.datは力尽きた････\\u202E\\u009B");

QString q(const std::string& s) { return QString::fromStdString(s); }

// What a tool tip shows: Qt reads it as rich text when it looks like markup.
QString shownTip(const QString& tip) {
  if (!Qt::mightBeRichText(tip)) return tip;
  QTextDocument doc;
  doc.setHtml(tip);
  return doc.toPlainText();
}

// No line of `text` begins with the forged line, and no override or C1 control is in it.
void expectNothingActs(const QString& text) {
  for (const QString& line : text.split(QLatin1Char('\n')))
    EXPECT_FALSE(line.startsWith(QStringLiteral("b.datは力尽きた"))) << line.toStdString();
  EXPECT_FALSE(text.contains(QChar(0x202E)));
  EXPECT_FALSE(text.contains(QChar(0x9B)));
}

TEST(FileText, ReplayListCellsAndTipsShowTheNamesAndTheDateAsWritten) {
  Harness h;
  ScratchDir folder;
  for (std::size_t i = 0; i < std::size(kMarkupNames); ++i) {
    GameState gs = momiru::testing::sanePair();
    gs.combatant[0].name = kMarkupNames[i];
    gs.combatant[1].name = "%2" + kMarkupNames[(i + 1) % std::size(kMarkupNames)];
    // A date that is no date is shown as the text it is.
    const replay::Replay replay = replay::makeReplay(battle::startOf(gs, i), {"a.dat", "b.dat"},
                                                     "<b>" + std::to_string(i) + "</b>", "test");
    Refusal error;
    ASSERT_TRUE(
        replay::writeReplayFile(folder / (std::to_string(i) + ".momiru-replay"), replay, &error))
        << error;
  }
  ui::ReplayListScreen list(h.ctx, folder.path());
  const QAbstractItemModel* model = list.findChild<QTableView*>("Replays")->model();
  ASSERT_EQ(model->rowCount(), 3);
  for (int row = 0; row < 3; ++row) {
    const replay::ReplaySummary& r = list.shown()[static_cast<std::size_t>(row)];
    const QString expected[] = {q(r.date), q(r.names[0]), q(r.names[1])};
    for (int column = 0; column < model->columnCount(); ++column) {
      const QModelIndex cell = model->index(row, column);
      const QString text = model->data(cell, Qt::DisplayRole).toString();
      SCOPED_TRACE(text.toStdString());
      if (column < 3) {
        EXPECT_EQ(text, expected[column]);
      }
      EXPECT_EQ(shownTip(model->data(cell, Qt::ToolTipRole).toString()), text);
      EXPECT_EQ(model->data(cell, Qt::AccessibleTextRole).toString(), text);
    }
  }
  // A name holding "%2" stays the name in the record.
  list.setFilter(q("%2" + kMarkupNames[0]));
  EXPECT_TRUE(list.recordText().startsWith(q("%2" + kMarkupNames[0]) + "の戦績：1戦"))
      << list.recordText().toStdString();
  EXPECT_EQ(list.findChild<QLabel*>("Record")->textFormat(), Qt::PlainText);
}

class HostileBattleTest : public ::testing::Test {
 protected:
  Harness h;

  HostileBattleTest() {
    const GameState pair = momiru::testing::twoFighters();
    h.gs.combatant = pair.combatant;
    h.gs.combatant[0].name = "a.datの" + kMarkupNames[0];
    h.gs.combatant[1].name = kForger;
    h.gs.combatant[1].moveNames[2] = "A--<h1>ジャブ\r\n</h1>";
    h.ctx.settings = {1, 0, 1, 150};
  }
};

TEST_F(HostileBattleTest, EveryScreenOfTheBattleShowsTheNamesAsOneInertLine) {
  const QString names[] = {q(h.gs.combatant[0].name), kForgerShown};
  GameState start = h.gs;
  std::string shownLog;
  {
    ui::BattleScreen screen(h.ctx, std::uint64_t{7});
    for (int i = 0; i < kSlots; ++i) {
      auto* line = screen.findChild<QLabel*>(QStringLiteral("name12_%1").arg(i));
      EXPECT_EQ(line->textFormat(), Qt::PlainText);
      EXPECT_EQ(line->accessibleName(), QStringLiteral("Lv.10　") + names[i]);
      EXPECT_EQ(line->text().remove(QLatin1Char('\n')), line->accessibleName());
      EXPECT_EQ(screen.findChild<QWidget*>(QStringLiteral("iras_%1").arg(i))->accessibleName(),
                names[i] + QStringLiteral("の持ち技"));
      EXPECT_EQ(screen.findChild<QWidget*>(QStringLiteral("timeg_%1").arg(i))->accessibleName(),
                names[i] + QStringLiteral("の時間ゲージ"));
    }
    auto* box = screen.findChild<QPlainTextEdit*>("bun");
    bool forgerSpoke = false;
    while (tick(screen)) {
      expectNothingActs(box->toPlainText());
      forgerSpoke = forgerSpoke || box->toPlainText().startsWith(kForgerShown + "の");
    }
    EXPECT_TRUE(forgerSpoke);
    EXPECT_FALSE(ui::BattleScreenProbe(screen).player().message().empty());
    shownLog = screen.shownLog();
  }
  flushDeletes();

  ui::ResultScreen result(h.ctx, shownLog);
  const QString log = result.findChild<QPlainTextEdit*>("Text1")->toPlainText();
  auto* outcome = result.findChild<QLabel*>("Label1");
  expectNothingActs(log);
  expectNothingActs(outcome->text());
  EXPECT_EQ(outcome->textFormat(), Qt::PlainText);
  EXPECT_TRUE(log.contains(QStringLiteral("\n") + names[0] + " ＶＳ " + kForgerShown + "\n"));
  // The log shown is the battle's log line for line: the battle of the names as shown.
  GameState shown = start;
  battle::showTexts(shown, plainName);
  battle::playBattle(shown, 7);
  EXPECT_EQ(log, ui::displayText(battle::resultTexts(shown).logBox));
  // The texts kept for the record are the battle's own.
  EXPECT_EQ(result.logText(), battle::resultTexts(h.gs).logBox);
}

TEST_F(HostileBattleTest, TheMoveListAndTheEntryScreenShowTheNamesAsWritten) {
  ui::MoveListScreen moves(h.ctx, 1, nullptr);
  const QString listing = moves.findChild<QLabel*>("Label1")->text();
  EXPECT_TRUE(listing.startsWith(kForgerShown + "\n")) << listing.toStdString();
  EXPECT_TRUE(listing.contains(QStringLiteral("\nA--<h1>ジャブ\\r\\n</h1>／2\n")));
  expectNothingActs(listing);
  EXPECT_EQ(moves.accessibleDescription(), listing);

  for (const std::string& name : kMarkupNames) {
    SCOPED_TRACE(name);
    Harness entry;
    const auto file = entry.dir.write("x.dat", encode(testCharacter(name)));
    entry.dialogs.answers.push_back(file);
    ui::EntryScreen screen(entry.ctx);
    screen.findChild<QPushButton*>("Command1")->click();  // 読み込み
    auto* status = screen.findChild<QLabel*>("MYST");
    EXPECT_EQ(status->textFormat(), Qt::PlainText);
    EXPECT_TRUE(status->text().startsWith(q("Lv.12　x.datの" + name + "\r\n")))
        << status->text().toStdString();
  }
}

}  // namespace
}  // namespace momiru::uitest
