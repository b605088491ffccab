// printf-style formatting into a string, for the pages and reports: the whole text, however long.
#pragma once

#include <string>

namespace momiru::report {

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace momiru::report
