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

// Just enough JSON to check the shape of the output: objects keep their key order, escapes
// other than \" and \\ are kept as written. Anything malformed fails the test.
struct Json {
  enum Kind { Null, Number, String, Array, Object } kind = Null;
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

Json parseJson(const std::string& s, std::size_t& i) {
  Json v;
  const auto expect = [&](char c) {
    if (i < s.size() && s[i] == c) return ++i, true;
    ADD_FAILURE() << "expected '" << c << "' at " << i << " in " << s;
    i = s.size();
    return false;
  };
  const auto string = [&] {
    std::string out;
    expect('"');
    while (i < s.size() && s[i] != '"') {
      if (static_cast<unsigned char>(s[i]) < 0x20) ADD_FAILURE() << "raw control character";
      if (s[i] == '\\' && i + 1 < s.size()) ++i;
      out += s[i++];
    }
    expect('"');
    return out;
  };
  if (i >= s.size()) {
    ADD_FAILURE() << "unexpected end of " << s;
  } else if (s[i] == '{' || s[i] == '[') {
    const bool object = s[i++] == '{';
    v.kind = object ? Json::Object : Json::Array;
    const char close = object ? '}' : ']';
    while (i < s.size() && s[i] != close) {
      if (!v.members.empty() || !v.items.empty()) expect(',');
      if (object) {
        std::string k = string();
        expect(':');
        v.members.emplace_back(std::move(k), parseJson(s, i));
      } else {
        v.items.push_back(parseJson(s, i));
      }
    }
    expect(close);
  } else if (s[i] == '"') {
    v.kind = Json::String;
    v.text = string();
  } else if (s.compare(i, 4, "null") == 0) {
    i += 4;
  } else {
    std::size_t used = 0;
    v.kind = Json::Number;
    v.number = std::stod(s.substr(i), &used);
    i += used;
  }
  return v;
}

std::vector<Json> jsonLines(const std::string& out) {
  std::vector<Json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    std::size_t i = 0;
    lines.push_back(parseJson(line, i));
    EXPECT_EQ(i, line.size()) << "trailing text in " << line;
  }
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
