// printf-style formatting into a string, for the pages and reports: the whole text, however long.
// And padding to a number of terminal columns, for tables whose headings may be translated.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace momiru::report {

#ifdef _WIN32
// On Windows the formatting follows POSIX as well (format.cpp), not Windows' C library.
std::string format(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
#endif

// The columns `text` (UTF-8) takes on a terminal: two for a wide or full-width character (East
// Asian Width W or F), none for a combining mark, one otherwise.
std::size_t displayWidth(std::string_view text);

// `text` followed (padRight) or preceded (padLeft) by spaces up to `columns` columns; a longer
// text is kept whole.
std::string padRight(std::string_view text, std::size_t columns);
std::string padLeft(std::string_view text, std::size_t columns);

}  // namespace momiru::report
