// momiru-lab inspect, run as a program: the JSON shape, the verdicts and the exit statuses.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "lab/lab_support.h"

namespace {

using namespace momiru::testing;
namespace fs = std::filesystem;

std::vector<Json> jsonLines(const std::string& out) {
  std::vector<Json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(parseJson(line));
  return lines;
}

const std::vector<std::string> kKeys = {"file",    "verdict", "reason",        "key",
                                        "check",   "sum",     "not_multiples", "level",
                                        "picture", "name",    "parts",         "moves"};

TEST(InspectJson, GoodSamplesHaveTheFullShape) {
  const LabRun run = lab("inspect --json " + sample("karappo.dat") + " " + sample("rendaa.dat"));
  EXPECT_EQ(run.status, 0) << run.err;
  const auto lines = jsonLines(run.out);
  ASSERT_EQ(lines.size(), 2u);
  for (const Json& j : lines) {
    EXPECT_EQ(j.keys(), kKeys);
    EXPECT_EQ(j["verdict"].text, "ok");
    EXPECT_EQ(j["reason"].text, "");
    EXPECT_EQ(j["sum"].text, j["check"].text);
    EXPECT_EQ(j["not_multiples"].kind, Json::Array);
    EXPECT_EQ(j["parts"].items.size(), 4u);
    EXPECT_EQ(j["moves"].items.size(), 8u);
  }
  EXPECT_EQ(lines[0]["name"].text, "からっぽ①号");
  EXPECT_EQ(lines[0]["moves"].items[1]["text"].text, "---NO DATA");
  EXPECT_EQ(lines[1]["level"].integer(), 16);
  EXPECT_EQ(lines[1]["parts"].items[1]["ofe"].integer(), 30);
}

TEST(InspectJson, TamperedAndUnreadableFiles) {
  const fs::path empty = fs::path(::testing::TempDir()) / "inspect-empty.dat";
  std::ofstream(empty).close();
  const LabRun run = lab("inspect --json " + sample("altered-number.dat") + " " +
                         sample("altered-check.dat") + " \"" + empty.string() + "\"");
  EXPECT_EQ(run.status, 2) << "an unreadable file wins over a tampered one";
  const auto lines = jsonLines(run.out);
  ASSERT_EQ(lines.size(), 3u);

  EXPECT_EQ(lines[0]["verdict"].text, "tampered");
  ASSERT_EQ(lines[0]["not_multiples"].items.size(), 1u);
  EXPECT_EQ(lines[0]["not_multiples"].items[0].text, "HP[0]");
  EXPECT_EQ(lines[0]["parts"].items[0]["hp"].integer(), 80 * 8 + 1);  // kept as stored
  EXPECT_EQ(lines[0]["parts"].items[1]["hp"].integer(), 65);          // divided

  EXPECT_EQ(lines[1]["verdict"].text, "tampered");
  EXPECT_TRUE(lines[1]["not_multiples"].items.empty());
  EXPECT_EQ(lines[1]["check"].integer(), lines[1]["sum"].integer() + 1);

  EXPECT_EQ(lines[2].keys(), kKeys);
  EXPECT_EQ(lines[2]["verdict"].text, "unreadable");
  EXPECT_FALSE(lines[2]["reason"].text.empty());
  for (const char* k : {"key", "check", "sum", "level", "picture", "name", "parts", "moves"})
    EXPECT_EQ(lines[2][k].kind, Json::Null) << k;
}

// The plain form of a tampered file, and status 1 when no file is unreadable (the JSON tests
// above end with 0 and 2). Usage errors are checked with the other commands' in one table.
TEST(InspectCommand, PlainTextAndTheTamperedStatus) {
  const LabRun plain =
      lab("inspect " + sample("pochimaru.dat") + " " + sample("altered-number.dat"));
  EXPECT_EQ(plain.status, 1);
  EXPECT_NE(plain.out.find("altered-number.dat: tampered"), std::string::npos) << plain.out;
  EXPECT_NE(plain.out.find("HP[0]"), std::string::npos) << plain.out;
}

}  // namespace
