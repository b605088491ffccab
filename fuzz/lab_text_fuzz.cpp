// Fuzzes the text made safe for output: any bytes as a name must give valid UTF-8 for JSON (valid
// input unchanged); a terminal text, a screen's plain name and a shell word with no control
// character, no bidirectional control, no separator and no invalid byte left in them (a screen's
// name only between one isolate pair); and markup with no element but its own <bdi>.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "data/text_safety.h"

namespace {

bool isActingControl(long cp) {
  return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E ||
         cp == 0x200F || (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

bool allValid(const std::string& text, bool printable) {
  for (std::size_t pos = 0; pos < text.size();) {
    const momiru::Utf8Char c = momiru::decodeUtf8(text, pos);
    if (c.codePoint < 0) return false;
    if (printable && isActingControl(c.codePoint)) return false;
    pos += c.length;
  }
  return true;
}

constexpr std::string_view kIsolate = "\xE2\x81\xA8";
constexpr std::string_view kPop = "\xE2\x81\xA9";

// The plain name: visible text as it is, or the visible text between one isolate pair.
bool isolatedAtMost(const std::string& shown, const std::string& visible) {
  if (shown == visible) return true;
  return shown.size() == visible.size() + kIsolate.size() + kPop.size() &&
         shown.compare(0, kIsolate.size(), kIsolate) == 0 &&
         shown.compare(shown.size() - kPop.size(), kPop.size(), kPop) == 0 &&
         shown.compare(kIsolate.size(), visible.size(), visible) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string json = momiru::validUtf8(bytes);
  if (!allValid(json, false)) std::abort();
  if (allValid(bytes, false) && json != bytes) std::abort();
  const std::string visible = momiru::visibleText(bytes);
  if (!allValid(visible, true)) std::abort();
  if (!isolatedAtMost(momiru::plainName(bytes), visible)) std::abort();
  if (!allValid(momiru::shellQuote(bytes), true)) std::abort();
  const std::string markup = momiru::markupName(bytes);
  if (!allValid(markup, true) || markup.rfind("<bdi>", 0) != 0) std::abort();
  const std::string inside = markup.substr(5, markup.size() - 11);
  if (markup.compare(markup.size() - 6, 6, "</bdi>") != 0 ||
      inside.find_first_of("<>\"'") != std::string::npos)
    std::abort();
  return 0;
}
