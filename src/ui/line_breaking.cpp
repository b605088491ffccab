// Line breaks between words, from ICU's line and word break iterators, and the greedy wrap.
#include "ui/line_breaking.h"

#include <unicode/ubrk.h>

#include <QTextBoundaryFinder>
#include <algorithm>

namespace momiru::ui {

namespace {

// The boundaries ICU's iterator of `kind` finds in `text`, 0 and the end included; empty when
// ICU cannot open the iterator.
std::vector<qsizetype> boundaries(UBreakIteratorType kind, const QString& text) {
  UErrorCode status = U_ZERO_ERROR;
  // Strict line breaking: not before a small kana or the long vowel mark either.
  const char* locale = kind == UBRK_LINE ? "ja@lb=strict" : "ja";
  UBreakIterator* it = ubrk_open(kind, locale, reinterpret_cast<const UChar*>(text.utf16()),
                                 static_cast<int32_t>(text.size()), &status);
  std::vector<qsizetype> found;
  if (U_FAILURE(status) || it == nullptr) {
    if (it != nullptr) ubrk_close(it);
    return found;
  }
  for (int32_t at = ubrk_first(it); at != UBRK_DONE; at = ubrk_next(it)) found.push_back(at);
  ubrk_close(it);
  return found;
}

std::vector<qsizetype> inner(std::vector<qsizetype> all, qsizetype size) {
  all.erase(std::remove_if(all.begin(), all.end(),
                           [size](qsizetype at) { return at <= 0 || at >= size; }),
            all.end());
  return all;
}

// A katakana letter, small kana and the long vowel mark included (full and half width); not the
// middle dot, which parts words.
bool katakana(QChar c) {
  const char16_t u = c.unicode();
  return (u >= 0x30A1 && u <= 0x30FA) || (u >= 0x30FC && u <= 0x30FF) ||
         (u >= 0x31F0 && u <= 0x31FF) || (u >= 0xFF66 && u <= 0xFF9F);
}

std::vector<qsizetype> graphemeBreaks(const QString& text) {
  std::vector<qsizetype> found;
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
  for (qsizetype at = graphemes.toNextBoundary(); at > 0 && at < text.size();
       at = graphemes.toNextBoundary()) {
    found.push_back(at);
  }
  return found;
}

// The line's width as laid out: spaces at its end hang beyond the edge.
qreal lineWidth(const QFontMetricsF& metrics, const QString& text, qsizetype from, qsizetype to) {
  qsizetype end = to;
  while (end > from && text.at(end - 1).isSpace()) --end;
  return metrics.horizontalAdvance(text.mid(from, end - from));
}

// The furthest of `breaks` after `from` (and before `before`) at which the line from `from`
// still fits; -1 when none does.
qsizetype furthestFit(const std::vector<qsizetype>& breaks, const QString& text, qsizetype from,
                      qsizetype before, const QFontMetricsF& metrics, qreal width) {
  qsizetype best = -1;
  for (const qsizetype at : breaks) {
    if (at <= from) continue;
    if (at > before) break;
    if (lineWidth(metrics, text, from, at) > width) break;
    best = at;
  }
  return best;
}

}  // namespace

std::vector<qsizetype> lineBreaks(const QString& text) {
  return inner(boundaries(UBRK_LINE, text), text.size());
}

std::vector<qsizetype> wordBreaks(const QString& text) {
  const std::vector<qsizetype> lines = boundaries(UBRK_LINE, text);
  const std::vector<qsizetype> words = boundaries(UBRK_WORD, text);
  std::vector<qsizetype> both;
  std::set_intersection(lines.begin(), lines.end(), words.begin(), words.end(),
                        std::back_inserter(both));
  both = inner(std::move(both), text.size());
  // The dictionary parts a run of katakana it does not know into words it knows (サイコ／ウェーブ);
  // a run of katakana is one word on screen.
  both.erase(std::remove_if(both.begin(), both.end(),
                            [&text](qsizetype at) {
                              return katakana(text.at(at - 1)) && katakana(text.at(at));
                            }),
             both.end());
  return both;
}

qsizetype fullestBreak(const QString& text, const QFontMetricsF& metrics, qreal width) {
  const qsizetype size = text.size();
  if (lineWidth(metrics, text, 0, size) <= width) return size;
  qsizetype at = furthestFit(lineBreaks(text), text, 0, size, metrics, width);
  if (at < 0) at = furthestFit(graphemeBreaks(text), text, 0, size, metrics, width);
  return std::max<qsizetype>(at, 0);
}

QStringList wrapParagraph(const QString& paragraph, const QFontMetricsF& metrics, qreal width) {
  QStringList lines;
  const qsizetype size = paragraph.size();
  if (lineWidth(metrics, paragraph, 0, size) <= width) return {paragraph};

  std::vector<qsizetype> words = wordBreaks(paragraph);
  words.push_back(size);
  // Made only when a word must be broken.
  std::vector<qsizetype> inside;
  std::vector<qsizetype> graphemes;
  bool insideMade = false;

  qsizetype start = 0;
  while (start < size && lineWidth(metrics, paragraph, start, size) > width) {
    qsizetype split = furthestFit(words, paragraph, start, size, metrics, width);
    if (split < 0) {
      // The next word alone is wider than the line: it is broken where the line breaking
      // allows, else between two characters.
      if (!insideMade) {
        inside = lineBreaks(paragraph);
        graphemes = graphemeBreaks(paragraph);
        inside.push_back(size);
        graphemes.push_back(size);
        insideMade = true;
      }
      const auto nextWord = std::upper_bound(words.begin(), words.end(), start);
      const qsizetype wordEnd = nextWord != words.end() ? *nextWord : size;
      split = furthestFit(inside, paragraph, start, wordEnd, metrics, width);
      if (split < 0) split = furthestFit(graphemes, paragraph, start, wordEnd, metrics, width);
      if (split < 0) {
        // One character wider than the line: it stands alone.
        const auto next = std::upper_bound(graphemes.begin(), graphemes.end(), start);
        split = next != graphemes.end() ? *next : size;
      }
    }
    lines.append(paragraph.mid(start, split - start));
    start = split;
  }
  if (start < size) lines.append(paragraph.mid(start));
  return lines;
}

QString wrappedText(const QString& text, const QFontMetricsF& metrics, qreal width) {
  QStringList paragraphs = text.split(QLatin1Char('\n'));
  for (QString& paragraph : paragraphs)
    paragraph = wrapParagraph(paragraph, metrics, width).join(QChar(QChar::LineSeparator));
  return paragraphs.join(QLatin1Char('\n'));
}

}  // namespace momiru::ui
