// A small JSON writer for the tool's --json output: one value after another, commas by itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace momiru::lab {

class JsonWriter {
 public:
  JsonWriter& beginObject() { return open('{'); }
  JsonWriter& endObject() { return close('}'); }
  JsonWriter& beginArray() { return open('['); }
  JsonWriter& endArray() { return close(']'); }

  JsonWriter& key(std::string_view k) {
    comma();
    quote(k);
    out_ += ':';
    afterKey_ = true;
    return *this;
  }
  JsonWriter& value(std::string_view s) {
    comma();
    quote(s);
    return *this;
  }
  JsonWriter& value(const char* s) { return value(std::string_view(s)); }
  JsonWriter& value(std::int64_t v) {
    comma();
    out_ += std::to_string(v);
    return *this;
  }
  JsonWriter& value(std::int32_t v) { return value(static_cast<std::int64_t>(v)); }
  JsonWriter& value(std::uint64_t v) {
    comma();
    out_ += std::to_string(v);
    return *this;
  }
  JsonWriter& value(double v);
  JsonWriter& value(bool b) {
    comma();
    out_ += b ? "true" : "false";
    return *this;
  }
  JsonWriter& null() {
    comma();
    out_ += "null";
    return *this;
  }
  template <typename T>
  JsonWriter& value(const std::optional<T>& v) {
    return v ? value(*v) : null();
  }

  const std::string& str() const { return out_; }

 private:
  JsonWriter& open(char c) {
    comma();
    out_ += c;
    first_ = true;
    return *this;
  }
  JsonWriter& close(char c) {
    out_ += c;
    first_ = false;
    return *this;
  }
  void comma() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (!first_ && !out_.empty()) out_ += ',';
    first_ = false;
  }
  void quote(std::string_view s);

  std::string out_;
  bool first_ = true;
  bool afterKey_ = false;
};

}  // namespace momiru::lab
