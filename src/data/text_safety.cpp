// Visible escapes, isolation and quoting of text from files.
#include "data/text_safety.h"

#include <unicode/uchar.h>

#include <cstdio>

namespace momiru {

namespace {

// Characters that end a line, move the cursor or reorder what follows: the C1 controls, U+061C
// ARABIC LETTER MARK, the directional marks, the line and paragraph separators, the embeddings
// and overrides, and the isolates.
bool isInvisibleControl(long cp) {
  return (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
         (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

// What visibleText writes for one character, or nothing when the character stays as it is.
bool escapeOf(const Utf8Char& c, unsigned char firstByte, char (&buf)[16]) {
  if (c.codePoint == '\n') {
    std::snprintf(buf, sizeof buf, "\\n");
  } else if (c.codePoint == '\r') {
    std::snprintf(buf, sizeof buf, "\\r");
  } else if (c.codePoint == '\t') {
    std::snprintf(buf, sizeof buf, "\\t");
  } else if (c.codePoint < 0x20 || c.codePoint == 0x7F) {  // invalid bytes are -1
    std::snprintf(buf, sizeof buf, "\\x%02X", firstByte);
  } else if (isInvisibleControl(c.codePoint)) {
    std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c.codePoint));
  } else {
    return false;
  }
  return true;
}

bool isRightToLeft(long cp) {
  const UCharDirection d = u_charDirection(static_cast<UChar32>(cp));
  return d == U_RIGHT_TO_LEFT || d == U_RIGHT_TO_LEFT_ARABIC;
}

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr const char* kFirstStrongIsolate = "\xE2\x81\xA8";
constexpr const char* kPopDirectionalIsolate = "\xE2\x81\xA9";

bool isControlOrNonCharacter(long cp) {
  return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0) || cp == 0xFFFE || cp == 0xFFFF;
}

}  // namespace

std::string visibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char buf[16];
  for (std::size_t pos = 0; pos < text.size();) {
    const Utf8Char c = decodeUtf8(text, pos);
    if (escapeOf(c, static_cast<unsigned char>(text[pos]), buf)) {
      out += buf;
    } else {
      out.append(text.substr(pos, c.length));
    }
    pos += c.length;
  }
  return out;
}

std::string plainName(std::string_view name) {
  std::string shown = visibleText(name);
  for (std::size_t pos = 0; pos < shown.size();) {
    const Utf8Char c = decodeUtf8(shown, pos);
    if (isRightToLeft(c.codePoint)) return kFirstStrongIsolate + shown + kPopDirectionalIsolate;
    pos += c.length;
  }
  return shown;
}

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const Utf8Char c = decodeUtf8(text, pos);
    if (c.codePoint < 0 || isControlOrNonCharacter(c.codePoint)) {
      out += kReplacement;
    } else {
      out.append(text.substr(pos, c.length));
    }
    pos += c.length;
  }
  return out;
}

std::string escapeMarkup(std::string_view text) {
  const std::string clean = printable(text);
  std::string out;
  out.reserve(clean.size());
  for (const char c : clean) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string markupName(std::string_view name) {
  return "<bdi>" + escapeMarkup(visibleText(name)) + "</bdi>";
}

std::string shellQuote(std::string_view bytes) {
  if (visibleText(bytes) == bytes) {
    std::string quoted = "'";
    for (const char c : bytes) {
      if (c == '\'') {
        quoted += "'\\''";
      } else {
        quoted += c;
      }
    }
    return quoted + "'";
  }
  std::string quoted = "$'";
  char buf[16];
  for (std::size_t pos = 0; pos < bytes.size();) {
    const Utf8Char c = decodeUtf8(bytes, pos);
    if (escapeOf(c, static_cast<unsigned char>(bytes[pos]), buf)) {
      for (std::size_t i = 0; i < c.length; ++i) {
        std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(bytes[pos + i]));
        quoted += buf;
      }
    } else {
      for (const char b : bytes.substr(pos, c.length)) {
        if (b == '\'' || b == '\\') quoted += '\\';
        quoted += b;
      }
    }
    pos += c.length;
  }
  return quoted + "'";
}

}  // namespace momiru
