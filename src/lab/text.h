// Text that comes from files (file names, stored names, move names) made safe for output: plain
// text shows control characters visibly, JSON gets valid UTF-8 whatever bytes a name holds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace momiru::lab {

// One character of UTF-8 text: its code point, or -1 for a byte that does not start a valid
// sequence (a stray continuation byte, an overlong form, a surrogate, past U+10FFFF, cut off),
// and how many bytes it takes (1 for an invalid byte).
struct Utf8Char {
  long codePoint;
  std::size_t length;
};
Utf8Char decodeUtf8(std::string_view text, std::size_t pos);

// `text` with every invalid byte replaced by U+FFFD.
std::string validUtf8(std::string_view text);

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

}  // namespace momiru::lab
