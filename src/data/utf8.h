// UTF-8 as the program meets it in names: text from files and file names may hold any bytes, and
// everything written as UTF-8 (JSON, replays) must be valid.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace momiru {

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

}  // namespace momiru
