#include "report/format.h"

#include <cstdarg>
#include <cstdio>

namespace momiru::report {

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  char buf[256];
  const int n = std::vsnprintf(buf, sizeof buf, fmt, args);
  va_end(args);
  std::string out;
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof buf) {
    out.assign(buf, static_cast<std::size_t>(n));
  } else if (n >= 0) {
    // Too long for the buffer: formatted again into a string of the size it needs.
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), fmt, again);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

}  // namespace momiru::report
