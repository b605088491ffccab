// Values read from a JSON document that someone else wrote: each reader checks the value's type
// and range, and refuses with a Refusal that names where the value stood (its subject,
// "characters[1].level") and says it in English ("characters[1].level is out of range (0 to
// 100)"). Every reader of a stranger's document uses them, so a file of any kind is refused for
// the same faults in the same words.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "data/refusal.h"

namespace momiru {

// A reason to refuse the document, thrown by the readers below; the file's reader catches it.
struct JsonFieldRefused {
  Refusal refusal;
};
// The value at `subject` refused for a reason of `kind`, said in English as the subject followed
// by `tail` ("characters[0].parts", " is not a list").
[[noreturn]] inline void refuseValue(Refusal::Kind kind, const std::string& subject,
                                     std::string_view tail) {
  throw JsonFieldRefused{Refusal::said(kind, subject + std::string(tail), subject)};
}

// Json is nlohmann::json or nlohmann::ordered_json.
template <class Json>
const Json& member(const Json& object, const char* key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end()) refuseValue(Refusal::Kind::Missing, where + key, " is missing");
  return *it;
}

template <class Json>
const Json& objectAt(const Json& parent, const char* key, const std::string& where) {
  const Json& v = member(parent, key, where);
  if (!v.is_object()) refuseValue(Refusal::Kind::WrongType, where + key, " is not an object");
  return v;
}

// A list of exactly `count` items.
template <class Json>
const Json& listOfSize(const Json& parent, const char* key, std::size_t count,
                       const std::string& where) {
  const Json& v = member(parent, key, where);
  if (!v.is_array()) refuseValue(Refusal::Kind::WrongType, where + key, " is not a list");
  if (v.size() != count)
    refuseValue(Refusal::Kind::OutOfRange, where + key,
                " holds " + std::to_string(v.size()) + " entries, not " + std::to_string(count));
  return v;
}

// A list of at most `maxCount` items.
template <class Json>
const Json& listUpTo(const Json& parent, const char* key, const std::string& where,
                     std::size_t maxCount) {
  const Json& v = member(parent, key, where);
  if (!v.is_array()) refuseValue(Refusal::Kind::WrongType, where + key, " is not a list");
  if (v.size() > maxCount)
    refuseValue(Refusal::Kind::OutOfRange, where + key,
                " holds more than " + std::to_string(maxCount) + " items");
  return v;
}

template <class Json>
std::int64_t wholeNumber(const Json& v, const std::string& name, std::int64_t min,
                         std::int64_t max) {
  if (!v.is_number_integer()) refuseValue(Refusal::Kind::WrongType, name, " is not a whole number");
  // Numbers above the signed 64-bit range are unsigned in the document; they are out of range.
  if (v.is_number_unsigned() &&
      v.template get<std::uint64_t>() >
          static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
    refuseValue(Refusal::Kind::OutOfRange, name, " is out of range");
  const auto n = v.template get<std::int64_t>();
  if (n < min || n > max)
    refuseValue(Refusal::Kind::OutOfRange, name,
                " is out of range (" + std::to_string(min) + " to " + std::to_string(max) + ")");
  return n;
}

template <class Json>
std::int32_t int32At(const Json& parent, const char* key, const std::string& where,
                     std::int32_t min = std::numeric_limits<std::int32_t>::min(),
                     std::int32_t max = std::numeric_limits<std::int32_t>::max()) {
  return static_cast<std::int32_t>(wholeNumber(member(parent, key, where), where + key, min, max));
}

template <class Json>
bool boolAt(const Json& parent, const char* key, const std::string& where) {
  const Json& v = member(parent, key, where);
  if (!v.is_boolean()) refuseValue(Refusal::Kind::WrongType, where + key, " is not true or false");
  return v.template get<bool>();
}

// A text of at most `maxBytes` bytes.
template <class Json>
std::string checkedText(const Json& v, const std::string& name, std::size_t maxBytes) {
  if (!v.is_string()) refuseValue(Refusal::Kind::WrongType, name, " is not a text");
  const auto& s = v.template get_ref<const std::string&>();
  if (s.size() > maxBytes)
    refuseValue(Refusal::Kind::OutOfRange, name,
                " is longer than " + std::to_string(maxBytes) + " bytes");
  return s;
}

// The document's "format" and "version": a document of another kind, of a newer version (said
// so, for the player to update) or of an unknown one is refused. `kind` names it in the reasons
// ("replay", "tournament").
template <class Json>
void checkFormatAndVersion(const Json& root, std::string_view kind, std::string_view format,
                           std::int64_t version) {
  const auto notOfKind = [&](const std::string& english) {
    Refusal r = Refusal::said(Refusal::Kind::NotOfKind, english);
    r.what = kind;
    throw JsonFieldRefused{std::move(r)};
  };
  if (!root.is_object())
    notOfKind("not a " + std::string(kind) + ": the document is not a JSON object");
  const Json& f = member(root, "format", "");
  if (!f.is_string() || f.template get_ref<const std::string&>() != format)
    notOfKind("not a " + std::string(kind) + ": format is not \"" + std::string(format) + "\"");
  const Json& v = member(root, "version", "");
  if (!v.is_number_integer())
    refuseValue(Refusal::Kind::WrongType, "version", " is not a whole number");
  if (v.is_number_unsigned() &&
      v.template get<std::uint64_t>() > static_cast<std::uint64_t>(version)) {
    Refusal r = Refusal::said(Refusal::Kind::NewerVersion,
                              "written by a newer version of momiru-battle (" + std::string(kind) +
                                  " version " + v.dump() + "; this one reads version " +
                                  std::to_string(version) + ")",
                              "version");
    r.what = kind;
    r.limit = static_cast<std::size_t>(version);
    throw JsonFieldRefused{std::move(r)};
  }
  if (v.template get<std::int64_t>() != version) {
    Refusal r = Refusal::said(Refusal::Kind::UnknownVersion,
                              "unknown " + std::string(kind) + " version " + v.dump(), "version");
    r.what = kind;
    throw JsonFieldRefused{std::move(r)};
  }
}

// A SHA-256 digest as 64 hexadecimal digits, in lower case whatever case it was written in.
inline std::string sha256Digest(std::string text, const std::string& name) {
  if (text.size() != 64 || !std::all_of(text.begin(), text.end(), [](char ch) {
        return std::isxdigit(static_cast<unsigned char>(ch)) != 0;
      }))
    refuseValue(Refusal::Kind::WrongType, name, " is not 64 hexadecimal digits");
  std::transform(text.begin(), text.end(), text.begin(), [](char ch) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  });
  return text;
}

}  // namespace momiru
