// Where a line of text on a screen may break, and text broken into lines of a given width there:
// Japanese is broken between words, never inside one (ダメージ, サイコウェーブ), and never where
// the Japanese rules forbid it (before 。、！ or ー, after an opening bracket).
#pragma once

#include <QFontMetricsF>
#include <QString>
#include <QStringList>
#include <vector>

namespace momiru::ui {

// The places (UTF-16 offsets, 0 and the end excluded) where `text` may break between two words:
// where ICU's line breaking for Japanese allows a break and its dictionary-based word breaking
// sees a word end. Empty when ICU cannot break the text.
std::vector<qsizetype> wordBreaks(const QString& text);

// The places where the line breaking alone allows a break, inside words too; for a word too wide
// for its line.
std::vector<qsizetype> lineBreaks(const QString& text);

// The furthest place in `text` where a first line that fits `width` may end, inside words too: at
// a place the line breaking allows, else between two characters; 0 when not even one character
// fits. For text that must show whole rather than keep its words.
qsizetype fullestBreak(const QString& text, const QFontMetricsF& metrics, qreal width);

// `paragraph` (one line of the text, without '\n') broken into the fewest lines the greedy way,
// each at most `width` wide in `metrics` (spaces at a line's end hang beyond it): between words
// where it can, inside a word only when the word alone is wider than the line (at a place the
// line breaking allows, else between two characters, never inside one). Nothing is lost or added:
// the lines joined give the paragraph again. A single character wider than `width` stands alone
// on its line.
QStringList wrapParagraph(const QString& paragraph, const QFontMetricsF& metrics, qreal width);

// Every line of `text` (lines separated by '\n') broken as wrapParagraph breaks it; the breaks it
// adds are U+2028 LINE SEPARATOR, a break inside a paragraph, so that a text box lays the text out
// at exactly these places and its paragraphs stay as they were.
QString wrappedText(const QString& text, const QFontMetricsF& metrics, qreal width);

}  // namespace momiru::ui
