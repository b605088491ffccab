// JSON text escaping and numbers for JsonWriter.
#include "lab/json.h"

#include <cmath>
#include <cstdio>

#include "lab/text.h"

namespace momiru::lab {

JsonWriter& JsonWriter::value(double v) {
  comma();
  if (!std::isfinite(v)) {
    out_ += "null";
    return *this;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  out_ += buf;
  return *this;
}

// Strings are written as valid UTF-8: a byte that is not part of a valid sequence (a file name
// in another encoding) becomes U+FFFD.
void JsonWriter::quote(std::string_view raw) {
  const std::string s = validUtf8(raw);
  out_ += '"';
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out_ += "\\\"";
        break;
      case '\\':
        out_ += "\\\\";
        break;
      case '\n':
        out_ += "\\n";
        break;
      case '\r':
        out_ += "\\r";
        break;
      case '\t':
        out_ += "\\t";
        break;
      default:
        if (u < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", u);
          out_ += buf;
        } else {
          out_ += c;
        }
    }
  }
  out_ += '"';
}

}  // namespace momiru::lab
