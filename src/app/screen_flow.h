// The circle of screens: title → options → entry → battle → result → title. Each transition
// closes the current screen and shows the next, inside the event that asks for it.
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "app/replay_line.h"
#include "ui/screen.h"

namespace momiru::app {

class ScreenFlow final : public QObject {
  Q_OBJECT
 public:
  enum class Where { End, Title, Options, Entry, Battle, Result };

  // `endProgram` runs when the player closes the visible screen through the window system;
  // by default it quits the event loop.
  explicit ScreenFlow(ui::ScreenContext& context, std::function<void()> endProgram = {});
  ~ScreenFlow() override;
  ScreenFlow(const ScreenFlow&) = delete;
  ScreenFlow& operator=(const ScreenFlow&) = delete;

  void start();  // shows the title screen

  // Opens straight at the colosseum: `first` and `second` are loaded and registered as the entry
  // screen does, with the settings file's switches and speed, and the battle is that of `seed`
  // (one drawn from the clock without it). A file that fails its integrity test ends the program
  // (where() is then End); one that cannot be read opens the title instead, with a line on
  // stderr. Returns true when the battle opened.
  bool startBattle(const std::filesystem::path& first, const std::filesystem::path& second,
                   std::optional<std::uint64_t> seed = std::nullopt);

  Where where() const { return where_; }
  ui::Screen* current() const { return current_; }

 private:
  struct LoadedFile {
    std::filesystem::path file;
    std::array<std::int32_t, kParts> hp{};  // as loaded, to tell whether a battle changed them
  };

  void go(Where next);
  ui::Screen* create(Where where);
  void screenClosed(ui::Screen* screen);
  void fileLoaded(int slot, const std::filesystem::path& file);
  void reportBattle(std::uint64_t seed) const;

  ui::ScreenContext& ctx_;
  std::function<void()> endProgram_;
  QPointer<ui::Screen> current_;
  Where where_ = Where::End;
  bool switching_ = false;  // the flow itself is closing the current screen
  std::array<std::optional<LoadedFile>, kSlots> files_;  // the file behind each slot's record
  std::optional<std::uint64_t> nextSeed_;  // the seed of the next battle, when one is given
};

}  // namespace momiru::app
