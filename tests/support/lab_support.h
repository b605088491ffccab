// Runs momiru-lab as a program and reads its JSON output, for the lab tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace momiru::testing {

struct LabRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs momiru-lab with `args` through the shell; `before` goes in front of the command (a ulimit,
// an environment variable), `after` behind it (a redirection of stdout). The lab runs in the C
// locale, so that it speaks English whatever the tester's own locale; `before` may set another.
inline LabRun labWith(const std::string& before, const std::string& args,
                      const std::string& after) {
  const std::filesystem::path errFile =
      std::filesystem::path(::testing::TempDir()) /
      (std::string("lab-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
       ".stderr");
  const std::string command = "export LC_ALL=C LANGUAGE=; " + before + " \"" + MOMIRU_LAB + "\" " +
                              args + " 2>\"" + errFile.string() + "\" " + after;
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

// The tools' JSON output as the packaged library reads it: objects keep their key order;
// malformed text (raw control characters and bytes that are not UTF-8 included) throws.
using Json = nlohmann::ordered_json;

inline Json parseJson(const std::string& text) { return Json::parse(text); }

inline std::vector<std::string> keysOf(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& item : object.items()) keys.push_back(item.key());
  return keys;
}

}  // namespace momiru::testing
