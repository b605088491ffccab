// The platform dialogs: the save-data load and the forced end after a tampered file, the saving of
// a replay and the messages about replays, behind one interface so that tests can answer them.
#pragma once

#include <QString>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QWidget;

class QFileDialog;

namespace momiru::ui {

// The open dialog's one filter: display text (ending in one half-width space) and pattern.
inline constexpr const char* kSaveDataFilterText = "datﾌｧｲﾙ ";
inline constexpr const char* kSaveDataFilterPattern = "*.dat";

// The integrity message, two lines.
inline constexpr const char* kIntegrityLine1 = "パスワードが変造されています！";
inline constexpr const char* kIntegrityLine2 = "プログラムが強制終了されます！！";

class PlatformDialogs {
 public:
  virtual ~PlatformDialogs() = default;

  // A new modal file-open dialog with the save-data filter; nothing when the user cancels.
  virtual std::optional<std::filesystem::path> openSaveData(QWidget* parent) = 0;

  // The integrity message with an OK button only; returns once dismissed.
  virtual void integrityMessage(QWidget* parent) = 0;

  // Ends the program at once with `exitStatus`: no further screen, nothing written. A test's
  // version returns, and the caller then does nothing more in that event.
  virtual void terminateProgram(int exitStatus = 0) = 0;

  // A new modal file-save dialog filtered to replay files, starting at `suggestedName`; the file
  // chosen, or nothing when the user cancels.
  virtual std::optional<std::filesystem::path> saveReplayAs(QWidget* parent,
                                                            const QString& suggestedName) = 0;

  // A message about a replay (one that cannot be opened or saved, or plays otherwise than
  // recorded), as plain text with an OK button; returns once dismissed.
  virtual void replayMessage(QWidget* parent, const QString& text) = 0;

  // A modal save dialog filtered to `pattern` ("*.html") under `filterText`, starting at
  // `suggested`; nothing when the user cancels. (Cancels unless the dialogs are the real ones.)
  virtual std::optional<std::filesystem::path> saveFile(
      QWidget* /*parent*/, const QString& /*filterText*/, const QString& /*pattern*/,
      const std::filesystem::path& /*suggested*/) {
    return std::nullopt;
  }
  // A question with "はい" and "いいえ"; true for "はい". (No unless the dialogs are the real
  // ones.)
  virtual bool confirm(QWidget* /*parent*/, const QString& /*question*/) { return false; }
  // A modal open dialog for several files of one kind (`pattern` such as "*.dat"); the files
  // chosen, none when the user cancels. (None unless the dialogs are the real ones.)
  virtual std::vector<std::filesystem::path> openFiles(QWidget* /*parent*/,
                                                       const QString& /*filterText*/,
                                                       const QString& /*pattern*/) {
    return {};
  }
  // A modal open dialog for one file of one kind; nothing when the user cancels.
  virtual std::optional<std::filesystem::path> openFile(QWidget* /*parent*/,
                                                        const QString& /*filterText*/,
                                                        const QString& /*pattern*/) {
    return std::nullopt;
  }
  // A modal dialog choosing a folder; nothing when the user cancels.
  virtual std::optional<std::filesystem::path> openFolder(QWidget* /*parent*/) {
    return std::nullopt;
  }
  // A small modal dialog asking for one line of text, with a line saying what it is for; the
  // text given (maybe empty), nothing when the user cancels.
  virtual std::optional<QString> askLine(QWidget* /*parent*/, const QString& /*title*/,
                                         const QString& /*explanation*/) {
    return std::nullopt;
  }
};

// The save dialog's filter.
inline constexpr const char* kReplayFilterText = "リプレイファイル ";
inline constexpr const char* kReplayFilterPattern = "*.momiru-replay";

// The real dialogs of the window system. Each kind of file dialog (saving a tournament, writing
// a page, opening entries, opening a tournament, ...) opens in the folder it last used, kept in
// the settings folder (loadFolders), else in the home folder.
class QtPlatformDialogs final : public PlatformDialogs {
 public:
  // `settingsDir`: where the folders are kept; with none, they are remembered for this run only.
  explicit QtPlatformDialogs(std::filesystem::path settingsDir = {});
  std::optional<std::filesystem::path> openSaveData(QWidget* parent) override;
  void integrityMessage(QWidget* parent) override;
  [[noreturn]] void terminateProgram(int exitStatus = 0) override;
  std::optional<std::filesystem::path> saveReplayAs(QWidget* parent,
                                                    const QString& suggestedName) override;
  void replayMessage(QWidget* parent, const QString& text) override;
  std::optional<std::filesystem::path> saveFile(QWidget* parent, const QString& filterText,
                                                const QString& pattern,
                                                const std::filesystem::path& suggested) override;
  bool confirm(QWidget* parent, const QString& question) override;
  std::vector<std::filesystem::path> openFiles(QWidget* parent, const QString& filterText,
                                               const QString& pattern) override;
  std::optional<std::filesystem::path> openFile(QWidget* parent, const QString& filterText,
                                                const QString& pattern) override;
  std::optional<std::filesystem::path> openFolder(QWidget* parent) override;
  std::optional<QString> askLine(QWidget* parent, const QString& title,
                                 const QString& explanation) override;

  // The kind of a file dialog for `pattern` ("*.html"), saving or opening: the save-data files
  // and the folder of them are one kind, the entries.
  static std::string folderKind(bool saving, const QString& pattern);
  // The folder a dialog of `kind` starts in: the one it last used while it is still a folder,
  // else the home folder.
  QString startFolder(const std::string& kind) const;

 private:
  // Keeps `folder` for `kind`, in the settings folder too.
  void remember(const std::string& kind, const std::filesystem::path& folder);

  std::filesystem::path settingsDir_;
  std::map<std::string, std::filesystem::path> folders_;
};

// Has Qt's own file dialog show its sizes and dates in the default locale, as the game's other
// texts: Qt writes them in the system's locale, which may not be Japanese. Its type column says
// フォルダー, ファイル or "DAT ファイル", which Qt's catalogue does not translate.
void showFileDetailsInDefaultLocale(QFileDialog& dialog);

}  // namespace momiru::ui
