// Text that comes from files (file names, stored names, move names) made safe for output: plain
// text shows control characters visibly, JSON gets valid UTF-8 whatever bytes a name holds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "data/utf8.h"

namespace momiru::lab {

// The UTF-8 decoder and repair of the core library, under the names the tool has always used.
using momiru::decodeUtf8;
using momiru::Utf8Char;
using momiru::validUtf8;

// `text` as it may go to a terminal: line feed, carriage return and tab as \n, \r, \t, other
// control characters (C0, DEL) and invalid bytes as \xNN, and the C1 controls, line and paragraph
// separators and bidirectional marks and overrides as \uNNNN. Everything else, Japanese included,
// is kept as it is, so a name can neither break a line nor drive the terminal.
std::string visibleText(std::string_view text);

// validUtf8, and control characters (C0, DEL, C1) and the non-characters U+FFFE and U+FFFF
// replaced by U+FFFD too: for a terminal, and for XML, which cannot hold most of them even as
// references.
std::string printable(std::string_view text);
// Printable text with & < > " ' as references, for HTML and SVG text and attribute values.
std::string escapeMarkup(std::string_view text);

// `bytes` as one shell word: in single quotes, or in $'...' with escapes when it holds control
// characters, so that the word stays on one line and a terminal shows no raw control codes.
std::string shellQuote(const std::string& bytes);

}  // namespace momiru::lab
