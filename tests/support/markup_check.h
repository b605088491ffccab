// Whether a page is well-formed XML (the league's HTML is written as XML), asked of xmllint.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace momiru::testing {

// "" when `doc` is well formed, otherwise what xmllint says is wrong.
inline std::string markupProblem(const std::string& doc) {
#ifdef _WIN32
  // No xmllint on Windows: the pages are checked on Linux, and tools/windows/test finds the
  // Windows lab's pages byte for byte the Linux lab's.
  (void)doc;
  return "";
#endif
  const std::filesystem::path file =
      std::filesystem::path(::testing::TempDir()) /
      (std::string("markup-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
       ".html");
  std::ofstream(file, std::ios::binary) << doc;
  FILE* pipe = ::popen(("xmllint --noout \"" + file.string() + "\" 2>&1").c_str(), "r");
  if (pipe == nullptr) return "xmllint could not be started";
  std::string said;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) said.append(buf, n);
  const int status = ::pclose(pipe);
  if (status != 0 && said.empty()) return "xmllint failed (is libxml2-utils installed?)";
  return said;
}

}  // namespace momiru::testing
