// momiru-lab inspect, run as a program: the JSON shape, the verdicts and the exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(MOMIRU_SOURCE_DIR) / "samples";

struct LabRun {
  int status = -1;
  std::string out;
  std::string err;
};

LabRun lab(const std::string& args) {
  const fs::path errFile =
      fs::path(::testing::TempDir()) /
      (std::string("inspect-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
       ".stderr");
  const std::string command =
      std::string("\"") + MOMIRU_LAB + "\" inspect " + args + " 2>\"" + errFile.string() + "\"";
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

std::string sample(const char* name) { return "\"" + (kSamples / name).string() + "\""; }

// Just enough JSON to check the shape of the output: objects keep their key order.
struct Json {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  const Json& operator[](const std::string& k) const {
    for (const auto& [key, v] : members)
      if (key == k) return v;
    static const Json missing;
    ADD_FAILURE() << "no key " << k;
    return missing;
  }
  std::vector<std::string> keys() const {
    std::vector<std::string> ks;
    for (const auto& m : members) ks.push_back(m.first);
    return ks;
  }
};

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}
  Json document() {
    Json v = value();
    if (pos_ != s_.size()) fail("trailing text");
    return v;
  }
  bool ok() const { return ok_; }

 private:
  void fail(const char* why) {
    if (ok_) ADD_FAILURE() << "bad JSON (" << why << ") at " << pos_ << ": " << s_;
    ok_ = false;
    pos_ = s_.size();
  }
  bool eat(char c) {
    if (pos_ < s_.size() && s_[pos_] == c) return ++pos_, true;
    return false;
  }
  bool word(const char* w) {
    if (s_.compare(pos_, std::char_traits<char>::length(w), w) != 0) return false;
    pos_ += std::char_traits<char>::length(w);
    return true;
  }
  std::string string() {
    std::string out;
    if (!eat('"')) return fail("expected a string"), out;
    while (pos_ < s_.size() && s_[pos_] != '"') {
      const char c = s_[pos_++];
      if (static_cast<unsigned char>(c) < 0x20) return fail("raw control character"), out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) break;
      const char e = s_[pos_++];
      if (e == 'u') {
        pos_ += 4;
        out += '?';
      } else {
        out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
      }
    }
    if (!eat('"')) fail("unterminated string");
    return out;
  }
  Json value() {
    Json v;
    if (pos_ >= s_.size()) return fail("unexpected end"), v;
    const char c = s_[pos_];
    if (c == '{') {
      v.kind = Json::Object;
      ++pos_;
      if (eat('}')) return v;
      do {
        std::string k = string();
        if (!eat(':')) return fail("expected ':'"), v;
        v.members.emplace_back(std::move(k), value());
      } while (eat(','));
      if (!eat('}')) fail("expected '}'");
    } else if (c == '[') {
      v.kind = Json::Array;
      ++pos_;
      if (eat(']')) return v;
      do v.items.push_back(value());
      while (eat(','));
      if (!eat(']')) fail("expected ']'");
    } else if (c == '"') {
      v.kind = Json::String;
      v.text = string();
    } else if (word("null")) {
      v.kind = Json::Null;
    } else if (word("true") || word("false")) {
      v.kind = Json::Bool;
    } else {
      std::size_t used = 0;
      try {
        v.number = std::stod(s_.substr(pos_), &used);
      } catch (...) {
        fail("not a value");
      }
      pos_ += used;
      v.kind = Json::Number;
    }
    return v;
  }

  const std::string& s_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

std::vector<Json> jsonLines(const std::string& out) {
  std::vector<Json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(Parser(line).document());
  return lines;
}

const std::vector<std::string> kKeys = {"file",    "verdict", "reason",        "key",
                                        "check",   "sum",     "not_multiples", "level",
                                        "picture", "name",    "parts",         "moves"};

TEST(InspectJson, GoodSamplesHaveTheFullShape) {
  const LabRun run = lab("--json " + sample("karappo.dat") + " " + sample("rendaa.dat"));
  EXPECT_EQ(run.status, 0) << run.err;
  const auto lines = jsonLines(run.out);
  ASSERT_EQ(lines.size(), 2u);
  for (const Json& j : lines) {
    EXPECT_EQ(j.keys(), kKeys);
    EXPECT_EQ(j["verdict"].text, "ok");
    EXPECT_EQ(j["reason"].text, "");
    EXPECT_EQ(j["sum"].number, j["check"].number);
    EXPECT_EQ(j["not_multiples"].kind, Json::Array);
    ASSERT_EQ(j["parts"].items.size(), 4u);
    ASSERT_EQ(j["moves"].items.size(), 8u);
    const char* names[] = {"頭", "両腕", "両脚", "胴体"};
    for (std::size_t p = 0; p < 4; ++p) {
      const Json& part = j["parts"].items[p];
      EXPECT_EQ(part.keys(), (std::vector<std::string>{"name", "hp", "ofe", "def"}));
      EXPECT_EQ(part["name"].text, names[p]);
      EXPECT_EQ(part["hp"].kind, Json::Number);
    }
    for (const Json& move : j["moves"].items)
      EXPECT_EQ(move.keys(), (std::vector<std::string>{"text", "power"}));
  }
  EXPECT_EQ(lines[0]["name"].text, "からっぽ①号");
  EXPECT_EQ(lines[0]["key"].number, 6);
  EXPECT_EQ(lines[0]["moves"].items[1]["text"].text, "---NO DATA");
  EXPECT_EQ(lines[1]["level"].number, 16);
  EXPECT_EQ(lines[1]["parts"].items[1]["ofe"].number, 30);
}

TEST(InspectJson, TamperedAndUnreadableFiles) {
  const fs::path empty = fs::path(::testing::TempDir()) / "inspect-empty.dat";
  std::ofstream(empty).close();
  const LabRun run = lab("--json " + sample("altered-number.dat") + " " +
                         sample("altered-check.dat") + " \"" + empty.string() + "\"");
  EXPECT_EQ(run.status, 2) << "an unreadable file wins over a tampered one";
  const auto lines = jsonLines(run.out);
  ASSERT_EQ(lines.size(), 3u);

  EXPECT_EQ(lines[0]["verdict"].text, "tampered");
  ASSERT_EQ(lines[0]["not_multiples"].items.size(), 1u);
  EXPECT_EQ(lines[0]["not_multiples"].items[0].text, "HP[0]");
  EXPECT_EQ(lines[0]["parts"].items[0]["hp"].number, 80 * 8 + 1);  // kept as stored
  EXPECT_EQ(lines[0]["parts"].items[1]["hp"].number, 65);          // divided

  EXPECT_EQ(lines[1]["verdict"].text, "tampered");
  EXPECT_TRUE(lines[1]["not_multiples"].items.empty());
  EXPECT_EQ(lines[1]["check"].number, lines[1]["sum"].number + 1);

  EXPECT_EQ(lines[2].keys(), kKeys);
  EXPECT_EQ(lines[2]["verdict"].text, "unreadable");
  EXPECT_FALSE(lines[2]["reason"].text.empty());
  for (const char* k : {"key", "check", "sum", "level", "picture", "name", "parts", "moves"})
    EXPECT_EQ(lines[2][k].kind, Json::Null) << k;
}

TEST(InspectCommand, ExitStatusesAndUsage) {
  EXPECT_EQ(lab(sample("pochimaru.dat")).status, 0);
  EXPECT_EQ(lab(sample("pochimaru.dat") + " " + sample("altered-check.dat")).status, 1);
  EXPECT_EQ(lab(sample("altered-check.dat") + " /no/such/file.dat").status, 2);

  const LabRun plain = lab(sample("altered-number.dat"));
  EXPECT_NE(plain.out.find("tampered"), std::string::npos) << plain.out;
  EXPECT_NE(plain.out.find("HP[0]"), std::string::npos) << plain.out;

  const LabRun help = lab("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("example"), std::string::npos);

  const LabRun unknown = lab("--frobnicate " + sample("pochimaru.dat"));
  EXPECT_EQ(unknown.status, 64);
  EXPECT_TRUE(unknown.out.empty());
  EXPECT_EQ(std::count(unknown.err.begin(), unknown.err.end(), '\n'), 1) << unknown.err;

  EXPECT_EQ(lab("").status, 64);
}

}  // namespace
