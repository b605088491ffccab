// Visible escapes for the tool's output.
#include "lab/text.h"

#include <cstdio>

namespace momiru::lab {

namespace {

// Characters that move the cursor, end a line or reorder what follows on a terminal.
bool isInvisibleControl(long cp) {
  return (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
         (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

std::string visibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char buf[16];
  for (std::size_t pos = 0; pos < text.size();) {
    const Utf8Char c = decodeUtf8(text, pos);
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (c.codePoint == '\n') {
      out += "\\n";
    } else if (c.codePoint == '\r') {
      out += "\\r";
    } else if (c.codePoint == '\t') {
      out += "\\t";
    } else if (c.codePoint < 0 || c.codePoint < 0x20 || c.codePoint == 0x7F) {
      std::snprintf(buf, sizeof buf, "\\x%02X", byte);
      out += buf;
    } else if (isInvisibleControl(c.codePoint)) {
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c.codePoint & 0xFFFFF));
      out += buf;
    } else {
      out.append(text.substr(pos, c.length));
    }
    pos += c.length;
  }
  return out;
}

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool isControlOrNonCharacter(char32_t cp) {
  return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0) || cp == 0xFFFE || cp == 0xFFFF;
}

template <class Keep>
std::string cleaned(std::string_view text, Keep keep) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Char c = decodeUtf8(text, i);
    if (c.codePoint >= 0 && keep(static_cast<char32_t>(c.codePoint))) {
      out.append(text.substr(i, c.length));
    } else {
      out += kReplacement;
    }
    i += c.length;
  }
  return out;
}

}  // namespace

std::string printable(std::string_view text) {
  return cleaned(text, [](char32_t cp) { return !isControlOrNonCharacter(cp); });
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

std::string shellQuote(const std::string& bytes) {
  bool control = false;
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) control = true;
  }
  if (!control) {
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
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\'' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (u < 0x20 || u == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", u);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace momiru::lab
