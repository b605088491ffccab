// The circle of screens: title → options → entry → battle → result → title. Each transition
// closes the current screen and shows the next, inside the event that asks for it.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

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

  Where where() const { return where_; }
  ui::Screen* current() const { return current_; }

 private:
  void go(Where next);
  ui::Screen* create(Where where);
  void screenClosed(ui::Screen* screen);

  ui::ScreenContext& ctx_;
  std::function<void()> endProgram_;
  QPointer<ui::Screen> current_;
  Where where_ = Where::End;
  bool switching_ = false;  // the flow itself is closing the current screen
};

}  // namespace momiru::app
