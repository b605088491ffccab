// Helpers shared by the data tests: a character of our own and a scratch folder.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>

#include "data/game_state.h"
#include "data/platform.h"
#include "data/refusal.h"
#include "data/save_data_writer.h"

namespace momiru {
// A refusal in a test's message reads as the lab's English.
inline std::ostream& operator<<(std::ostream& out, const Refusal& refusal) {
  return out << describe(refusal);
}
}  // namespace momiru

namespace momiru::testing {

struct Character {
  Combatant record;
  LoadValues values;
};

// A plain character with key 7 whose numbers are all different, so that a field read into the
// wrong place shows.
inline Character testCharacter(std::int32_t key = 7) {
  Character c;
  c.values.key = key;
  c.values.storedLevels = {12, 30};
  c.values.storedPortraits = {3, 4};
  c.values.storedNames = {"もぐら丸", "予備"};
  c.values.storedText = "メモ";
  c.values.fiveNumbers = {5, 6, 7, 8, 9};
  c.values.threeNumbers = {10, 11, 12};
  c.record.level = 12;
  c.record.portrait = 3;
  c.record.name = "もぐら丸";
  c.record.hp = {101, 102, 103, 104};
  c.record.attack = {21, 22, 23, 24};
  c.record.defence = {31, 32, 33, 34};
  c.record.moveNames = {"B--体当たり", "A--ひっかき", "HR-連続ずつき", "H-S念力",
                        "L--けり",     "---NO DATA",  "---NO DATA",    "---NO DATA"};
  c.record.movePower = {8, 9, 4, 15, 10, 0, 0, 0};
  return c;
}

// The save-data file of `c`, with its true check value unless one is given.
inline std::string encode(const Character& c, std::optional<std::int32_t> check = std::nullopt) {
  std::string error;
  const auto bytes = encodeSaveData(c.record, c.values, check, &error);
  EXPECT_TRUE(bytes.has_value()) << error;
  return bytes.value_or(std::string());
}

// A fresh folder under the test's temporary directory, removed at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
#ifdef _WIN32
    if (auto made = makePrivateTemporaryFolder("momiru-"))
      path_ = *made;
    else
      ADD_FAILURE() << "no temporary folder";
#else
    std::string pattern = (std::filesystem::path(::testing::TempDir()) / "momiru-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
#endif
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#ifndef _WIN32
// Runs `read`, which opens the FIFO `fifo` for reading, and returns whether it came back without
// waiting for a writer. A read that blocks is released by opening the FIFO for writing, so that a
// failing test ends instead of hanging.
template <typename Read>
bool returnsWithoutWriter(const std::filesystem::path& fifo, Read read) {
  auto done = std::async(std::launch::async, read);
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
  const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  if (fd >= 0) ::close(fd);
  done.wait();
  return false;
}
#endif

}  // namespace momiru::testing
