// Text from files (names, move names, dates, file names) made safe for every place that shows it:
// a terminal or stderr, a screen, a page. A name is data: it is one line, and no control
// character, bidirectional control or line or paragraph separator in it may act. Everything that
// shows such text goes through here, so every output treats a name alike.
#pragma once

#include <string>
#include <string_view>

#include "data/utf8.h"

namespace momiru {

// `text` as it may go to a terminal: line feed, carriage return and tab as \n, \r, \t, other
// control characters (C0, DEL) and invalid bytes as \xNN, and the C1 controls, line and paragraph
// separators and bidirectional marks, embeddings, overrides and isolates as \uNNNN. Everything
// else, Japanese included, is kept as it is, so a name can neither break a line nor drive the
// terminal nor reorder what follows it.
std::string visibleText(std::string_view text);

// A name as a screen shows it in plain text: visibleText, and, only when it holds a right-to-left
// letter, between U+2068 FIRST STRONG ISOLATE and U+2069 POP DIRECTIONAL ISOLATE, so that it
// cannot reorder the text around it. A name without such characters is shown byte for byte.
std::string plainName(std::string_view name);

// validUtf8, and control characters (C0, DEL, C1) and the non-characters U+FFFE and U+FFFF
// replaced by U+FFFD too: for XML, which cannot hold most of them even as references.
std::string printable(std::string_view text);

// Printable text with & < > " ' as references, for HTML and SVG text and attribute values.
std::string escapeMarkup(std::string_view text);

// A name inside the content of an HTML element: visibleText, escaped for markup, in <bdi>, so
// that it holds no markup, stays on its line and cannot reorder the text around it. (In an
// attribute, a <title> or SVG text, where no element may stand, escapeMarkup(plainName(name)).)
std::string markupName(std::string_view name);

// `bytes` as one shell word: in single quotes, or in $'...' with escapes when it holds anything
// visibleText escapes, so that the word stays on one line, a terminal shows no control codes and
// nothing reorders the line. The escapes (\xNN for every byte of such a character) give back the
// same bytes in any locale.
std::string shellQuote(std::string_view bytes);

}  // namespace momiru
