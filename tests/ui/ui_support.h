// Shared by the screen tests: answered dialogs, a scratch folder, a context and characters.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "data/game_state.h"
#include "support/test_support.h"
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
  void terminateProgram(int exitStatus) override {
    ++terminated;
    lastExitStatus = exitStatus;
  }
  int lastExitStatus = -1;
  std::optional<std::filesystem::path> saveReplayAs(QWidget*, const QString& suggested) override {
    suggestedNames.push_back(suggested.toStdString());
    if (saveAnswers.empty()) return std::nullopt;
    auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
  }
  void replayMessage(QWidget*, const QString& text) override {
    replayMessages.push_back(text.toStdString());
  }

  std::deque<std::optional<std::filesystem::path>> saveAnswers;  // empty queue: cancel
  std::vector<std::string> suggestedNames;
  std::vector<std::string> replayMessages;
};

// A scratch folder with the file helpers of the data tests.
class ScratchDir : public momiru::testing::ScratchDir {
 public:
  std::filesystem::path write(const std::string& name, const std::string& bytes) const {
    momiru::testing::writeFile(path() / name, bytes);
    return path() / name;
  }
  std::string read(const std::string& name) const {
    return momiru::testing::readFile(path() / name);
  }
};

// Everything a screen needs, with the settings in a scratch folder and no pictures at all.
struct Harness {
  GameState gs;
  ui::PictureBank pictures{[](const std::filesystem::path&) { return std::filesystem::path(); }};
  FakeDialogs dialogs;
  ScratchDir dir;
  ui::ScreenContext ctx{gs, pictures, dialogs, dir.path()};
};

// The data tests' character (level 12, key 3 here) under the stored name `name`.
inline momiru::testing::Character testCharacter(const std::string& name, std::int32_t key = 3) {
  auto c = momiru::testing::testCharacter(key);
  c.values.storedNames[0] = name;
  return c;
}

using momiru::testing::encode;

// Runs the deletions that closing screens asked for.
inline void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// XDG_DATA_HOME pointed at `home` while this lives.
class DataHome {
 public:
  explicit DataHome(const std::filesystem::path& home) : previous_(qgetenv("XDG_DATA_HOME")) {
    qputenv("XDG_DATA_HOME", QFile::encodeName(QString::fromStdString(home.string())));
  }
  ~DataHome() { qputenv("XDG_DATA_HOME", previous_); }
  DataHome(const DataHome&) = delete;
  DataHome& operator=(const DataHome&) = delete;

 private:
  QByteArray previous_;
};

}  // namespace momiru::uitest
