// The tool's --json output: objects keep the order their keys are added in, strings go out as
// valid UTF-8, fractional numbers with six significant digits.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>

#include "data/text_safety.h"

namespace momiru::report {

using Json = nlohmann::ordered_json;

// A fractional figure as the reports give it: rounded to six significant digits (what the
// figures mean, and what the tool has always printed), nothing when it is not finite.
inline Json jsonNumber(double v) {
  if (!std::isfinite(v)) return nullptr;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return std::strtod(buf, nullptr);
}
inline Json jsonNumber(const std::optional<double>& v) { return v ? jsonNumber(*v) : nullptr; }

// A value that may be missing: null when it is.
template <typename T>
Json orNull(const std::optional<T>& v) {
  return v ? Json(*v) : Json(nullptr);
}

namespace detail {
inline void validStrings(Json& j) {
  if (j.is_string()) {
    std::string& s = j.get_ref<std::string&>();
    s = validUtf8(s);
  } else if (j.is_structured()) {
    for (Json& item : j) validStrings(item);
  }
}
}  // namespace detail

// `j` as one line of compact JSON, without a line end. Every string is made valid UTF-8 first,
// each byte that is not part of a valid sequence becoming U+FFFD, as the plain output shows each
// such byte (the library's own replacement would fold a cut-off sequence into one U+FFFD).
inline std::string jsonText(Json j) {
  detail::validStrings(j);
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace momiru::report
