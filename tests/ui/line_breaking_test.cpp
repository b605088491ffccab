// Line breaking for the screens: breaks between words only (never inside ダメージ or another
// katakana word, never before 、 or ！), every line within its width, nothing lost; and the
// colosseum's message box laid out at exactly those breaks, inside the box.
#include "ui/line_breaking.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "support/records.h"
#include "ui/battle_probe.h"
#include "ui/battle_screen.h"
#include "ui/ui_font.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

QFont messageFont() { return ui::uiFont(9.75, true); }

// The offsets at which `word` lies inside `text` whole, its inner places.
std::vector<qsizetype> inside(const QString& text, const QString& word) {
  std::vector<qsizetype> places;
  for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + 1))
    for (qsizetype i = 1; i < word.size(); ++i) places.push_back(at + i);
  return places;
}

const char* const kMessages[] = {
    "longb.datのハイパーエレクトリックドラゴンのかかとおとしキック！！",
    "longa.datのサイコウェーブマスターながいなまえのモンスターは、16のダメージ！！",
    "ポチのサイコウェーブ！！",
    "MISS！！ 攻撃は外れた！！",
    "タマは、116のダメージ！！",
};

TEST(LineBreakingTest, WordsStayWholeAtEveryWidth) {
  const QFontMetricsF metrics(messageFont());
  for (const char* message : kMessages) {
    const QString text = QString::fromUtf8(message);
    SCOPED_TRACE(message);
    const std::vector<qsizetype> breaks = ui::wordBreaks(text);
    for (const char* word : {"ダメージ", "サイコウェーブ", "ハイパーエレクトリックドラゴン",
                             "キック", "！！", "longb.dat"}) {
      for (const qsizetype place : inside(text, QString::fromUtf8(word)))
        EXPECT_EQ(std::count(breaks.begin(), breaks.end(), place), 0) << word << " at " << place;
    }
    // Never before 、 or ！ (where a line must not begin).
    for (const qsizetype b : breaks) {
      EXPECT_NE(text.at(b), QChar(0x3001)) << b;
      EXPECT_NE(text.at(b), QChar(0xFF01)) << b;
    }
    // From the width of the widest word up, no line breaks inside a word.
    qreal widest = 0;
    qsizetype from = 0;
    for (const qsizetype to : breaks) {
      widest = std::max(widest, metrics.horizontalAdvance(text.mid(from, to - from).trimmed()));
      from = to;
    }
    widest = std::max(widest, metrics.horizontalAdvance(text.mid(from)));
    for (int width = static_cast<int>(std::ceil(widest)); width <= 400; width += 7) {
      SCOPED_TRACE(width);
      const QStringList lines = ui::wrapParagraph(text, metrics, width);
      EXPECT_EQ(lines.join(QString()), text);
      qsizetype at = 0;
      for (const QString& line : lines) {
        EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), width) << line.toStdString();
        if (at > 0) {
          EXPECT_NE(std::count(breaks.begin(), breaks.end(), at), 0) << at;
        }
        at += line.size();
      }
      // As few lines as the breaks allow: the next line's first word did not fit.
      for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QString next = lines[i + 1];
        const std::vector<qsizetype> own = ui::wordBreaks(next);
        const qsizetype firstWord = own.empty() ? next.size() : own.front();
        EXPECT_GT(metrics.horizontalAdvance((lines[i] + next.left(firstWord)).trimmed()), width);
      }
    }
  }
}

TEST(LineBreakingTest, AWordWiderThanItsLineBreaksInsideButNeverInsideACharacter) {
  const QFontMetricsF metrics(messageFont());
  const QString dragon = QString::fromUtf8("ハイパーエレクトリックドラゴン");
  QString name;
  for (int i = 0; i < 12; ++i) name += QStringLiteral("🐉");
  for (const QString& text : {dragon, name, QStringLiteral("abcdefghijklmnopqrstuvwxyz")}) {
    SCOPED_TRACE(text.toStdString());
    const qreal width = metrics.horizontalAdvance(text) / 3;
    const QStringList lines = ui::wrapParagraph(text, metrics, width);
    EXPECT_GE(lines.size(), 3);
    EXPECT_EQ(lines.join(QString()), text);
    for (const QString& line : lines) {
      EXPECT_LE(metrics.horizontalAdvance(line), width);
      EXPECT_FALSE(line.front().isLowSurrogate());
      EXPECT_FALSE(line.back().isHighSurrogate());
      // Not before the long vowel mark or a small kana.
      EXPECT_NE(line.front(), QChar(0x30FC));
      EXPECT_NE(line.front(), QChar(0x30C3));
    }
  }
  // A character wider than the line stands alone; an empty text stays one empty line.
  EXPECT_EQ(ui::wrapParagraph(QStringLiteral("あい"), metrics, 2),
            (QStringList{QStringLiteral("あ"), QStringLiteral("い")}));
  EXPECT_EQ(ui::wrapParagraph(QString(), metrics, 50), QStringList{QString()});
}

TEST(LineBreakingTest, WrappedTextBreaksInsideItsParagraphsOnly) {
  const QFontMetricsF metrics(messageFont());
  const QString text =
      QString::fromUtf8(kMessages[0]) + QLatin1Char('\n') + QString::fromUtf8(kMessages[1]);
  const QString wrapped = ui::wrappedText(text, metrics, 200);
  EXPECT_EQ(wrapped.count(QLatin1Char('\n')), 1);
  EXPECT_GT(wrapped.count(QChar(QChar::LineSeparator)), 1);
  QString back = wrapped;
  back.remove(QChar(QChar::LineSeparator));
  EXPECT_EQ(back, text);
}

// On the colosseum, with long names and move names: every message box the battle shows holds
// its lines at the places chosen between words, each inside the box, and all of them within its
// height; what the battle log holds is untouched.
TEST(LineBreakingTest, TheMessageBoxBreaksBetweenWordsInsideItsBox) {
  Harness h;
  h.pictures = ui::PictureBank([](const std::filesystem::path& relative) {
    return std::filesystem::path(MOMIRU_SOURCE_DIR) / "assets" / relative;
  });
  GameState pair = momiru::testing::twoFighters();
  pair.combatant[0].name = "longa.datのサイコウェーブマスターながいなまえのモンスター";
  pair.combatant[1].name = "longb.datのハイパーエレクトリックドラゴン";
  for (auto& c : pair.combatant)
    for (std::string& move : c.moveNames)
      if (move.size() >= 3) move = move.substr(0, 3) + "エレクトリックストリーム";
  h.gs.combatant = pair.combatant;
  h.ctx.settings = {1, 0, 1, 150};
  ui::BattleScreen screen(h.ctx, 77);
  auto* box = screen.findChild<QPlainTextEdit*>("bun");
  ASSERT_NE(box, nullptr);
  screen.show();

  int checked = 0;
  int overfull = 0;
  QString last;
  for (int i = 0; i < 200000 && checked < 12 && tick(screen); ++i) {
    if (box->isHidden() || box->toPlainText() == last) continue;
    last = box->toPlainText();
    QCoreApplication::processEvents();
    ++checked;
    const qreal margin = box->document()->documentMargin();
    const qreal width = box->viewport()->width() - 2 * margin;
    qreal height = 0;
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
      const QString text = block.text();
      // The box lays out one line for each break chosen, no more.
      const QTextLayout* layout = block.layout();
      ASSERT_NE(layout, nullptr);
      EXPECT_EQ(layout->lineCount(), text.count(QChar(QChar::LineSeparator)) + 1)
          << text.toStdString();
      for (int l = 0; l < layout->lineCount(); ++l) {
        const QTextLine line = layout->lineAt(l);
        EXPECT_LE(line.naturalTextWidth(), width) << text.toStdString();
        height += line.height();
      }
      // No break inside a word that fits a line.
      QString plain = text;
      plain.remove(QChar(QChar::LineSeparator));
      qsizetype at = 0;
      for (const QString& part : text.split(QChar(QChar::LineSeparator))) {
        at += part.size();
        if (at >= plain.size()) break;
        for (const QString& word :
             {QStringLiteral("ダメージ"), QStringLiteral("エレクトリックストリーム")}) {
          const std::vector<qsizetype> places = inside(plain, word);
          EXPECT_EQ(std::count(places.begin(), places.end(), at), 0) << text.toStdString();
        }
      }
    }
    if (height + 2 * margin > box->viewport()->height() + 0.5) {
      // More lines than the smallest size holds: the box shows the last ones, the newest.
      EXPECT_DOUBLE_EQ(box->font().pointSizeF(), 7.5) << last.toStdString();
      QTextCursor end(box->document());
      end.movePosition(QTextCursor::End);
      EXPECT_LE(box->cursorRect(end).bottom(), box->viewport()->height());
      ++overfull;
    } else {
      EXPECT_EQ(box->verticalScrollBar()->value(), 0);
    }
    // The words on screen are the message's, in order.
    QString shown = last;
    shown.remove(QLatin1Char('\n'));
    QString said = QString::fromStdString(ui::BattleScreenProbe(screen).player().message());
    said.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    EXPECT_EQ(shown, said);
  }
  EXPECT_GE(checked, 6);
  EXPECT_LT(overfull, checked);
}

}  // namespace
}  // namespace momiru::uitest
