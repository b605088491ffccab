// The tournament window's page before the draw: the fair draw's commitment, the field gathered
// from files, folders and drops with the files refused and why, the close with the entries'
// digest, and 開始.
#pragma once

#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <optional>
#include <vector>

#include "report/tournament_session.h"
#include "ui/screen.h"
#include "ui/tournament_parts.h"

class QLabel;
class QListWidget;
class QMimeData;
class QPushButton;
class QTreeWidget;

namespace momiru::ui {

class TournamentEntriesPage final : public TournamentPage {
  Q_OBJECT
 public:
  // `session` as the window has it; `parent` is the window.
  TournamentEntriesPage(ScreenContext& context, TournamentHost& host,
                        std::optional<report::TournamentSession>& session, QWidget* parent);

  // What the buttons do.
  void loadFiles();  // 読み込み
  void loadFolder();
  void addFiles(const std::vector<std::filesystem::path>& files);  // files and folders
  void removeSelectedEntry();
  void closeEntries();     // 締め切り
  void startTournament();  // 開始

  // The session's gathering as it stands.
  void showGathering();
  // The buttons as the session's stage allows; `idle` while quick play does not run.
  void enableButtons(bool idle);
  // Where the keyboard starts on this page, and the first step after the tournament was made.
  QWidget* firstStep() const;
  void focusLoad();
  // The lines of the files last refused.
  QStringList refusals() const;

  // The local files and folders of a drop that may be entries.
  static std::vector<std::filesystem::path> droppedEntries(const QMimeData* data);

 signals:
  // The draw was made (the tournament is shown on the next page).
  void tournamentStarted();

 private:
  void showEntries();

  QLabel* commitment_ = nullptr;
  QPushButton* copyCommitment_ = nullptr;
  QLabel* publishLine_ = nullptr;
  QPushButton* loadButton_ = nullptr;
  QPushButton* folderButton_ = nullptr;
  QPushButton* removeButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QPushButton* startButton_ = nullptr;
  QLabel* count_ = nullptr;
  QTreeWidget* entries_ = nullptr;
  QListWidget* refused_ = nullptr;
  QLabel* digest_ = nullptr;
  QPushButton* copyDigest_ = nullptr;
};

}  // namespace momiru::ui
