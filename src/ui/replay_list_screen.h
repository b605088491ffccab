// The window "リプレイ一覧": the kept replays, newest first, with a filter by a character's name
// and that character's record, and the actions on one replay: watch it, save a copy, write its
// battle page, delete it.
#pragma once

#include <QAbstractTableModel>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "data/refusal.h"
#include "replay/replay_index.h"
#include "ui/background_task.h"
#include "ui/screen.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace momiru::ui {

// The rows of the list: date and time, the two names, the outcome, the turns.
class ReplayListModel final : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void setRows(std::vector<replay::ReplaySummary> rows);
  const std::vector<replay::ReplaySummary>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<replay::ReplaySummary> rows_;
};

class ReplayListScreen final : public Screen {
  Q_OBJECT
 public:
  ReplayListScreen(ScreenContext& context, std::filesystem::path folder);
  // Waits for a page being written: it is finished, though no longer opened.
  ~ReplayListScreen() override;

  // What is listed now, after the filter, newest first.
  const std::vector<replay::ReplaySummary>& shown() const { return model_.rows(); }
  QString statusText() const;
  QString recordText() const;

  // Reads the folder again (through its index), keeping the selected replay when it is still
  // there. Runs by itself when the folder changes.
  void reload();
  void setFilter(const QString& text);
  // Selects the replay kept under `file` (its name in the folder) when it is listed; otherwise the
  // selection stays as it is.
  void selectFile(const std::string& file);
  // The actions on the selected replay, as its buttons and keys run them.
  void watchSelected();
  void saveSelected();
  // Writes the page on a thread of its own, the list going on meanwhile; when it is written it is
  // opened, or the player is told that it could not be.
  void exportSelected();
  void deleteSelected();
  bool exporting() const { return exporting_; }
  // How a written page is opened; QDesktopServices::openUrl unless a test says otherwise.
  void setUrlOpener(std::function<bool(const QUrl&)> open) { openUrl_ = std::move(open); }

 signals:
  // A replay to watch (chosen and 見る pressed, Enter, or a file dropped on the window).
  void watchRequested(const QString& file);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;  // Escape closes the list
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void applyFilter();
  void updateRecord();
  void updateButtons();
  // The selected replay's file when it is still in the folder; otherwise nothing, after telling
  // the player and listing the folder again.
  std::optional<std::filesystem::path> selectedFile();
  std::optional<replay::Replay> selectedReplay(std::filesystem::path* file = nullptr);
  void exportFinished(bool written, const std::filesystem::path& page, const Refusal& why);

  std::filesystem::path folder_;
  replay::ReplayListing listing_;
  ReplayListModel model_;
  QComboBox* filter_ = nullptr;
  QLabel* record_ = nullptr;
  QTableView* view_ = nullptr;
  QPushButton* watchButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  QLabel* status_ = nullptr;
  QFileSystemWatcher watcher_;
  QTimer reloadTimer_;  // folder changes come in bursts; one listing after them
  std::function<bool(const QUrl&)> openUrl_;
  BackgroundTask pageWriter_;  // writes one page; joined when it has told it is done
  bool exporting_ = false;
};

// "<name>の勝利", "引き分け" or "決着つかず".
QString outcomeText(const replay::ReplaySummary& replay);

}  // namespace momiru::ui
