// Shared by the screen tests: answered dialogs, a scratch folder, a context and characters.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QEvent>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "data/game_state.h"
#include "data/save_data_writer.h"
#include "ui/picture_bank.h"
#include "ui/platform_dialogs.h"
#include "ui/screen.h"

namespace momiru::uitest {

// Dialogs that answer from a queue and record what was asked of them.
class FakeDialogs final : public ui::PlatformDialogs {
 public:
  std::deque<std::optional<std::filesystem::path>> answers;  // empty queue: cancel
  int opened = 0;
  int messages = 0;
  int terminated = 0;

  std::optional<std::filesystem::path> openSaveData(QWidget*) override {
    ++opened;
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void integrityMessage(QWidget*) override { ++messages; }
  void terminateProgram() override { ++terminated; }
};

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern =
        (std::filesystem::path(::testing::TempDir()) / "momiru-ui-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path write(const std::string& name, const std::string& bytes) const {
    const auto file = path_ / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::filesystem::path path_;
};

// Everything a screen needs, with the settings in a scratch folder and no pictures at all.
struct Harness {
  GameState gs;
  ui::PictureBank pictures{[](const std::filesystem::path&) { return std::filesystem::path(); }};
  FakeDialogs dialogs;
  ScratchDir dir;
  ui::ScreenContext ctx{gs, pictures, dialogs, dir.path()};

  Harness() { gs.CrLf = "\r\n"; }
};

// A character of our own, stored with key `key`.
struct Character {
  Combatant record;
  LoadValues values;
};

inline Character testCharacter(const std::string& name = "ぽこ", std::int32_t key = 3) {
  Character c;
  c.values.SaveKey = key;
  c.values.SaveLv = {12, 1};
  c.values.SavePic = {5, 0};
  c.values.SaveName = {name, ""};
  c.values.SaveF = 2;
  c.values.SaveG = 3;
  c.values.SaveA = 4;
  c.record.HP = {120, 80, 90, 150};
  c.record.OFE = {10, 25, 30, 5};
  c.record.DEF = {7, 8, 9, 11};
  c.record.WazaName = {"H--ずつき", "A--パンチ", "L--キック",  "B--体当たり",
                       "AR-れんだ", "H-S光線",   "---NO DATA", "---NO DATA"};
  c.record.WazaPow = {10, 12, 14, 16, 6, 30, 0, 0};
  return c;
}

inline std::string encode(const Character& c, std::optional<std::int32_t> check = std::nullopt) {
  std::string error;
  const auto bytes = EncodeSaveData(c.record, c.values, check, &error);
  EXPECT_TRUE(bytes.has_value()) << error;
  return bytes.value_or(std::string());
}

// Runs the deletions that closing screens asked for.
inline void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

}  // namespace momiru::uitest
