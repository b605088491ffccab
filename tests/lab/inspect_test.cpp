// momiru-lab inspect, run as a program: the JSON shape, the verdicts and the exit statuses.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/lab_support.h"

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
    EXPECT_EQ(keysOf(j), kKeys);
    EXPECT_EQ(j.at("verdict").get<std::string>(), "ok");
    EXPECT_EQ(j.at("reason").get<std::string>(), "");
    EXPECT_EQ(j.at("sum"), j.at("check"));
    EXPECT_TRUE(j.at("not_multiples").is_array());
    EXPECT_EQ(j.at("parts").size(), 4u);
    EXPECT_EQ(j.at("moves").size(), 8u);
  }
  EXPECT_EQ(lines[0].at("name").get<std::string>(), "からっぽ①号");
  EXPECT_EQ(lines[0].at("moves").at(1).at("text").get<std::string>(), "---NO DATA");
  EXPECT_EQ(lines[1].at("level").get<long long>(), 16);
  EXPECT_EQ(lines[1].at("parts").at(1).at("ofe").get<long long>(), 30);
}

TEST(InspectJson, TamperedAndUnreadableFiles) {
  const fs::path empty = fs::path(::testing::TempDir()) / "inspect-empty.dat";
  std::ofstream(empty).close();
  const LabRun run = lab("inspect --json " + sample("altered-number.dat") + " " +
                         sample("altered-check.dat") + " \"" + empty.string() + "\"");
  EXPECT_EQ(run.status, 2) << "an unreadable file wins over a tampered one";
  const auto lines = jsonLines(run.out);
  ASSERT_EQ(lines.size(), 3u);

  EXPECT_EQ(lines[0].at("verdict").get<std::string>(), "tampered");
  ASSERT_EQ(lines[0].at("not_multiples").size(), 1u);
  EXPECT_EQ(lines[0].at("not_multiples").at(0).get<std::string>(), "HP[0]");
  EXPECT_EQ(lines[0].at("parts").at(0).at("hp").get<long long>(), 80 * 8 + 1);  // kept as stored
  EXPECT_EQ(lines[0].at("parts").at(1).at("hp").get<long long>(), 65);          // divided

  EXPECT_EQ(lines[1].at("verdict").get<std::string>(), "tampered");
  EXPECT_TRUE(lines[1].at("not_multiples").empty());
  EXPECT_EQ(lines[1].at("check").get<long long>(), lines[1].at("sum").get<long long>() + 1);

  EXPECT_EQ(keysOf(lines[2]), kKeys);
  EXPECT_EQ(lines[2].at("verdict").get<std::string>(), "unreadable");
  EXPECT_FALSE(lines[2].at("reason").get<std::string>().empty());
  for (const char* k : {"key", "check", "sum", "level", "picture", "name", "parts", "moves"})
    EXPECT_TRUE(lines[2].at(k).is_null()) << k;
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
