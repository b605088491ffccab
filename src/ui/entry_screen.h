// The entry screen `Form5`: each player loads a save-data file and registers the character.
#pragma once

#include <QFont>
#include <filesystem>
#include <string>

#include "ui/screen.h"

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace momiru::ui {

class PictureView;
class PlatformDialogs;

// Shown until the first load or registration: the 23 half-width spaces wrap it in the label.
inline constexpr const char* kEntryInstruction =
    "読み込みでモミルＮｏ．１の                       SAVEDATAを開いてください";
inline constexpr const char* kNotRegistered = "データが登録されてません";

// Registers the character in slot `slot` and passes the turn to the next slot (++slot). A slot
// whose level is 0 holds no character: nothing changes and the result is false. When both slots
// then hold the same name, each name gets its slot number in parentheses, "(1)" and "(2)".
// The one place where a registration happens, on the screen and from the command line alike.
bool registerCurrentSlot(GameState& gs, int& slot);

// How loading one save-data file into a slot ended, for the entry screen and the command line.
enum class FileLoad { Loaded, Failed, Tampered };

// How the program ends after the integrity message. On the entry screen it ends as the game
// always has, with status 0 and nothing said; a file named on the command line ends it with a
// failure status and one line on stderr, so that whoever started it learns what happened.
struct TamperedEnding {
  int exitStatus = 0;
  std::string stderrLine;  // written before the message, when not empty
};

// Loads `file` into slot `slot` as "読み込み" does. A file that fails its integrity test shows
// the integrity message (over `parent`) and ends the program as `ending` says; with test dialogs
// that return, the result is Tampered and nothing has changed. A file that cannot be used
// changes nothing; `reason`, when given, then says why.
FileLoad loadSaveDataFile(GameState& gs, int slot, const std::filesystem::path& file,
                          PlatformDialogs& dialogs, QWidget* parent, std::string* reason = nullptr,
                          const TamperedEnding& ending = {});

class EntryScreen final : public Screen {
  Q_OBJECT
 public:
  explicit EntryScreen(ScreenContext& context);

  // Shows the slot being entered: the moves, the status text and the picture.
  void showSlot();

  // The slot being entered: player 1's (0) when the screen opens, player 2's after the first
  // registration, kSlots once both are registered.
  int slot() const { return slot_; }

  // Loads `file` into the current slot, then shows the slot, as "読み込み" with that file.
  void loadFile(const std::filesystem::path& file);

  // A file that may be dropped here: one regular file whose name ends in ".dat".
  static bool isDroppableSaveData(const std::filesystem::path& file);

 signals:
  void bothRegistered();  // the second "登録": both slots hold a registered character
  // A save-data file was loaded into `slot` (for the line that replays the battle).
  void fileLoaded(int slot, const std::filesystem::path& file);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void load();
  void loadFromDialog();     // "読み込み"
  void registerCharacter();  // "登録"
  void showPlayerInCaption();
  void showPicture(int number);
  void showStatusMessage(const QString& text);  // a message of the game's, at the label's size

  PictureView* picture_ = nullptr;
  QLabel* status_ = nullptr;
  QFont statusFont_;  // the status label's own font, before any shrinking
  // The smallest size the status shrinks to for long names and numbers.
  static constexpr qreal kStatusMinPoints = 6.75;
  QComboBox* moves_ = nullptr;
  QPushButton* registerButton_ = nullptr;  // "登録"
  QPushButton* loadButton_ = nullptr;      // "読み込み"
  int slot_ = 0;
};

}  // namespace momiru::ui
