// Fuzzes the tool's output text: any bytes as a name must give valid UTF-8 for JSON (valid input
// unchanged), and a terminal text with no control character, no bidirectional override and no
// invalid byte left in it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lab/text.h"

namespace {

bool allValid(const std::string& text, bool printable) {
  for (std::size_t pos = 0; pos < text.size();) {
    const momiru::lab::Utf8Char c = momiru::lab::decodeUtf8(text, pos);
    if (c.codePoint < 0) return false;
    if (printable) {
      const long cp = c.codePoint;
      if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E ||
          cp == 0x200F || (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069))
        return false;
    }
    pos += c.length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string json = momiru::lab::validUtf8(bytes);
  if (!allValid(json, false)) std::abort();
  if (allValid(bytes, false) && json != bytes) std::abort();
  if (!allValid(momiru::lab::visibleText(bytes), true)) std::abort();
  return 0;
}
