// What every screen shares: the run's state and services, its window frame, and its closing.
#pragma once

#include <QColor>
#include <QDeadlineTimer>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <optional>
#include <string_view>

#include "data/game_state.h"

class QMimeData;

namespace momiru::ui {

class PictureBank;
class PlatformDialogs;

// Handed to every screen by the flow; everything here outlives the screens.
struct ScreenContext {
  GameState& gs;
  PictureBank& pictures;
  PlatformDialogs& dialogs;
  std::filesystem::path settingsDir;  // where settei.sei is read and written
  // The run's settings, which the options screen shows and writes and a battle's start takes its
  // switches and speed from; in a context of a battle's own, that battle's (battle::settingsOf).
  // The battle screen shows its battle with their speed, message box and hit background; the
  // damage rule it plays by is the state's (GameState::halveDamage).
  Settings settings{};
};

// A top-level screen with a fixed client area. Closing it (by the flow or through the window
// system) stops its timers and media in stopEverything(), emits closed() and deletes it.
// Enter, like Space, activates the focused button, and the keyboard focus is drawn from the
// start, not only after the first Tab.
class Screen : public QWidget {
  Q_OBJECT
 public:
  Screen(ScreenContext& context, const char* objectName, const QString& caption, QSize clientTwips);

 signals:
  void closed();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

  // Paints the screen's background in this colour. A screen that holds buttons, check boxes or
  // scroll bars takes its colour from here, never from a palette of its own: the style keeps
  // what it has drawn of those controls under their palette, a palette made anew on every visit
  // gave every visit new drawings, and the game grew by some 1.5 KB with every battle.
  void setBackdrop(const QColor& colour);

  // After a modal dialog of this screen's has gone: the keyboard comes back to this window,
  // whatever the window manager gave it to when the dialog (or its completer's popup) closed.
  void takeFocusBackFromDialog();

  // Stops whatever runs on its own (timers, media players). Called once, at the close.
  virtual void stopEverything() {}

  ScreenContext& ctx;
  GameState& gs;

 private:
  void showKeyboardFocus();

  void takeActivation();

  bool closing_ = false;
  QDeadlineTimer dialogGone_;  // while it runs, a dialog of this screen's has just closed
  std::optional<QColor> backdrop_;
};

// Where a screen opens: its client area of `client` centred on `centre` (the centre of the
// screen it replaces, or of the desktop for the first one), then moved just enough that it lies
// on `available` with its window frame's margins `frame` around it. A screen larger than the
// desktop keeps its top left corner (and so its title bar) on it.
QRect placedScreen(QSize client, QPoint centre, const QRect& available, const QMargins& frame);

// Plain text with this game's CR LF line ends, as the window system shows it. Text from a file
// in it must be made safe first (shownName, shownState): this keeps every line break.
QString displayText(const std::string& text);

// A name, or any one-line text from a file (a move name, a date, a file name), as every screen
// shows it: plainName, one line in which nothing acts.
QString shownName(std::string_view name);

// `text` as a tool tip that shows it as it is: a tip that looks like markup is taken for rich
// text (and a name such as <img src=...> would load the file), so it goes escaped, in one
// paragraph that keeps its spaces.
QString plainToolTip(const QString& text);

// `gs` with every name and move name as shownName gives it and `shownLog`, the log as the battle
// screen showed it, in place of the log: what the result screen and the screen reader are given.
GameState shownState(const GameState& gs, const std::string& shownLog);

// The one local file of a drop, named as the file system names it; nothing for several files,
// a remote one or anything but files.
std::optional<std::filesystem::path> droppedLocalFile(const QMimeData* data);

}  // namespace momiru::ui
