// Screen flow: which event leads to which screen, and the end of the program.
#include "app/screen_flow.h"

#include <QApplication>
#include <utility>

#include "ui/battle_screen.h"
#include "ui/entry_screen.h"
#include "ui/options_screen.h"
#include "ui/result_screen.h"
#include "ui/title_screen.h"

namespace momiru::app {

ScreenFlow::ScreenFlow(ui::ScreenContext& context, std::function<void()> endProgram)
    : ctx_(context), endProgram_(std::move(endProgram)) {
  if (!endProgram_) endProgram_ = [] { QCoreApplication::quit(); };
  // The flow decides when the program ends: between the close of one screen and the show of
  // the next no window is visible, and that must not count as the last window closing.
  QApplication::setQuitOnLastWindowClosed(false);
}

ScreenFlow::~ScreenFlow() {
  switching_ = true;
  delete current_.data();
}

void ScreenFlow::start() { go(Where::Title); }

void ScreenFlow::go(Where next) {
  if (current_) {
    switching_ = true;
    current_->close();
    switching_ = false;
  }
  current_ = create(next);
  where_ = current_ ? next : Where::End;
  if (current_) current_->show();
}

ui::Screen* ScreenFlow::create(Where where) {
  ui::Screen* screen = nullptr;
  switch (where) {
    case Where::Title: {
      auto* title = new ui::TitleScreen(ctx_);
      connect(title, &ui::TitleScreen::startClicked, this, [this] { go(Where::Options); });
      screen = title;
      break;
    }
    case Where::Options: {
      auto* options = new ui::OptionsScreen(ctx_);
      connect(options, &ui::OptionsScreen::cancelClicked, this, [this] { go(Where::Title); });
      connect(options, &ui::OptionsScreen::changeClicked, this, [this] { go(Where::Title); });
      connect(options, &ui::OptionsScreen::vsBattleClicked, this, [this] { go(Where::Entry); });
      screen = options;
      break;
    }
    case Where::Entry: {
      auto* entry = new ui::EntryScreen(ctx_);
      connect(entry, &ui::EntryScreen::bothRegistered, this, [this] { go(Where::Battle); });
      screen = entry;
      break;
    }
    case Where::Battle: {
      auto* battle = new ui::BattleScreen(ctx_);
      connect(battle, &ui::BattleScreen::battleFinished, this, [this] { go(Where::Result); });
      screen = battle;
      break;
    }
    case Where::End:
      return nullptr;
    case Where::Result: {
      auto* result = new ui::ResultScreen(ctx_);
      connect(result, &ui::ResultScreen::backToTitleClicked, this, [this] { go(Where::Title); });
      screen = result;
      break;
    }
  }
  connect(screen, &ui::Screen::closed, this, [this, screen] { screenClosed(screen); });
  return screen;
}

void ScreenFlow::screenClosed(ui::Screen* screen) {
  if (switching_ || screen != current_) return;
  // Closed through the window system: no other screen remains, so the program ends.
  current_ = nullptr;
  where_ = Where::End;
  endProgram_();
}

}  // namespace momiru::app
