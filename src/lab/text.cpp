// UTF-8 decoding, replacement of invalid bytes and visible escapes for the tool's output.
#include "lab/text.h"

#include <cstdio>

namespace momiru::lab {

Utf8Char decodeUtf8(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = 0;
  long cp = 0;
  long min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
    min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
    min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
    min = 0x10000;
  } else {
    return {-1, 1};
  }
  if (text.size() - pos < length) return {-1, 1};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {-1, 1};
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {-1, 1};
  return {cp, length};
}

std::string validUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const Utf8Char c = decodeUtf8(text, pos);
    if (c.codePoint < 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
    } else {
      out.append(text.substr(pos, c.length));
    }
    pos += c.length;
  }
  return out;
}

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

}  // namespace momiru::lab
