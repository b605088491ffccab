#include "report/format.h"

#include <unicode/uchar.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "data/utf8.h"
#ifdef _WIN32
#include <libintl.h>
#undef vsnprintf
#endif

namespace momiru::report {

namespace {

int formatInto(char* buf, std::size_t size, const char* fmt, va_list args) {
#ifdef _WIN32
  // A catalogue's text may number its arguments ("%2$u"), which only gettext's printf reads on
  // Windows; every other format goes to MinGW's C99 printf, which rounds a tie as glibc does
  // (gettext's hands floating point to Windows' C library, which rounds a tie away from zero).
  if (std::strchr(fmt, '$') != nullptr) return ::libintl_vsnprintf(buf, size, fmt, args);
  return ::__mingw_vsnprintf(buf, size, fmt, args);
#else
  return std::vsnprintf(buf, size, fmt, args);
#endif
}

}  // namespace

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  char buf[256];
  const int n = formatInto(buf, sizeof buf, fmt, args);
  va_end(args);
  std::string out;
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof buf) {
    out.assign(buf, static_cast<std::size_t>(n));
  } else if (n >= 0) {
    // Too long for the buffer: formatted again into a string of the size it needs.
    out.resize(static_cast<std::size_t>(n) + 1);
    formatInto(out.data(), out.size(), fmt, again);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

std::size_t displayWidth(std::string_view text) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto decoded = decodeUtf8(text, i);
    i += decoded.length;
    const auto c = static_cast<UChar32>(decoded.codePoint);
    if (u_getCombiningClass(c) != 0 || u_charType(c) == U_NON_SPACING_MARK) continue;
    const int width = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
    columns += width == U_EA_WIDE || width == U_EA_FULLWIDTH ? 2 : 1;
  }
  return columns;
}

std::string padRight(std::string_view text, std::size_t columns) {
  const std::size_t width = displayWidth(text);
  std::string out(text);
  if (width < columns) out.append(columns - width, ' ');
  return out;
}

std::string padLeft(std::string_view text, std::size_t columns) {
  const std::size_t width = displayWidth(text);
  std::string out;
  if (width < columns) out.assign(columns - width, ' ');
  out += text;
  return out;
}

}  // namespace momiru::report
