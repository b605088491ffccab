// Runs momiru-lab as a program and reads its JSON output, for the lab tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace momiru::testing {

struct LabRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs momiru-lab with `args` through the shell; `before` goes in front of the command (a ulimit,
// an environment variable), `after` behind it (a redirection of stdout).
inline LabRun labWith(const std::string& before, const std::string& args,
                      const std::string& after) {
  const std::filesystem::path errFile =
      std::filesystem::path(::testing::TempDir()) /
      (std::string("lab-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
       ".stderr");
  const std::string command =
      before + " \"" + MOMIRU_LAB + "\" " + args + " 2>\"" + errFile.string() + "\" " + after;
  LabRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) run.out.append(buf, n);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream err(errFile);
  run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return run;
}

inline LabRun lab(const std::string& args) { return labWith("", args, ""); }

// `path` for the shell: single quotes keep every byte but the quote itself as it is.
inline std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

inline std::filesystem::path samplePath(const char* name) {
  return std::filesystem::path(MOMIRU_SOURCE_DIR) / "samples" / name;
}
inline std::string sample(const char* name) { return quoted(samplePath(name)); }

// Enough JSON to check the output: objects keep their key order; numbers keep their text.
// Anything malformed throws.
struct Json {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  bool flag = false;
  std::string text;  // a string's value or a number's digits
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  const Json& operator[](const std::string& k) const {
    for (const auto& [key, v] : members)
      if (key == k) return v;
    static const Json missing;
    ADD_FAILURE() << "no key " << k;
    return missing;
  }
  const Json& operator[](std::size_t i) const { return items.at(i); }
  long long integer() const { return std::stoll(text); }
  std::vector<std::string> keys() const {
    std::vector<std::string> k;
    for (const auto& m : members) k.push_back(m.first);
    return k;
  }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& s) : s_(s) {}
  Json parse() {
    Json v = value();
    if (space(), i_ != s_.size()) throw std::runtime_error("trailing text");
    return v;
  }

 private:
  void space() { i_ = std::min(s_.find_first_not_of(" \t\r\n", i_), s_.size()); }
  bool take(char c) {
    space();
    return i_ < s_.size() && s_[i_] == c && ++i_ > 0;
  }
  void expect(char c) {
    if (!take(c)) throw std::runtime_error(std::string(1, c) + " expected");
  }
  std::string string() {
    expect('"');
    std::string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (static_cast<unsigned char>(c) < 0x20) throw std::runtime_error("raw control character");
      if (c == '\\') {
        const char e = s_.at(i_++);
        c = e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        if (e == 'u') {
          c = static_cast<char>(std::stoi(s_.substr(i_, 4), nullptr, 16));
          i_ += 4;
        }
      }
      out += c;
    }
    if (i_++ >= s_.size()) throw std::runtime_error("unterminated string");
    return out;
  }
  Json value() {
    space();
    Json v;
    if (s_.compare(i_, 4, "null") == 0) {
      i_ += 4;
    } else if (s_.compare(i_, 4, "true") == 0 || s_.compare(i_, 5, "false") == 0) {
      v.kind = Json::Bool;
      v.flag = s_[i_] == 't';
      i_ += v.flag ? 4 : 5;
    } else if (i_ < s_.size() && s_[i_] == '"') {
      v.kind = Json::String;
      v.text = string();
    } else if (take('[')) {
      v.kind = Json::Array;
      if (take(']')) return v;
      do v.items.push_back(value());
      while (take(','));
      expect(']');
    } else if (take('{')) {
      v.kind = Json::Object;
      if (take('}')) return v;
      do {
        std::string k = string();
        expect(':');
        v.members.emplace_back(std::move(k), value());
      } while (take(','));
      expect('}');
    } else {
      v.kind = Json::Number;
      const std::size_t end = std::min(s_.find_first_not_of("+-0123456789.eE", i_), s_.size());
      if (end == i_) throw std::runtime_error("value expected");
      v.text = s_.substr(i_, end - i_);
      i_ = end;
    }
    return v;
  }
  const std::string& s_;
  std::size_t i_ = 0;
};

inline Json parseJson(const std::string& text) { return JsonParser(text).parse(); }

}  // namespace momiru::testing
