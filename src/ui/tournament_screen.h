// The window "大会": a new tournament's rules, the gathering of its field, the draw, and the
// tournament followed match by match, played live (by the flow, on the colosseum) or all at once
// without a screen, kept in its file after every step.
#pragma once

#include <QString>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "report/tournament_session.h"
#include "ui/background_task.h"
#include "ui/screen.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;

namespace momiru::ui {

class BracketView;
class MatchList;
class StandingsView;

class TournamentScreen final : public Screen {
  Q_OBJECT
 public:
  // `session` lives in the flow and outlives the window; when empty the window offers a new
  // tournament and 開く. `directory`: where the game keeps tournaments (nothing when it could
  // not be made; the window then says so and asks where to keep a new one via 保存).
  TournamentScreen(ScreenContext& context, std::optional<report::TournamentSession>& session,
                   std::optional<std::filesystem::path> directory);
  // Stops a quick play and waits for it and for a page being written.
  ~TournamentScreen() override;

  // Selects a match (after the flow returns from playing it, it selects the match played).
  // The window is first shown as the session now stands.
  void selectMatch(const QString& id);
  // The match chosen in the views, or empty.
  QString selectedMatch() const { return selected_; }

  // Shows the session as it stands (after the flow recorded a match).
  void refresh();

  // What the buttons do, for the keys and for tests.
  void createTournament();
  void loadFiles();  // 読み込み
  void loadFolder();
  void addFiles(const std::vector<std::filesystem::path>& files);  // files and folders
  void removeSelectedEntry();
  void closeEntries();     // 締め切り
  void startTournament();  // 開始
  void playNext();         // 次の試合
  void playRest();         // 残りを一気に進める
  void cancelPlay();       // 中止
  void viewBattle();       // リプレイを見る
  void openFile();         // 開く
  void saveFile();         // 保存
  void exportPage();       // ページに書き出す

  bool playing() const { return playing_; }
  bool exporting() const { return exporting_; }
  QString statusText() const;
  QStringList refusals() const;
  // How a written page is opened; QDesktopServices::openUrl unless a test says otherwise.
  void setUrlOpener(std::function<bool(const QUrl&)> open) { openUrl_ = std::move(open); }
  // How quick play gets its thread; battle::startThread unless a test says otherwise.
  void setThreadStarter(std::function<std::optional<std::thread>(std::function<void()>)> start) {
    startThread_ = std::move(start);
  }

 signals:
  void playMatchRequested(QString matchId);  // 次の試合 (or Enter on a ready match)
  void viewBattleRequested(QString matchId, int battle);  // a played battle, from 1

 protected:
  void keyPressEvent(QKeyEvent* event) override;  // Escape closes the window
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void stopEverything() override;

 private:
  QWidget* buildNewPage();
  QWidget* buildGatherPage();
  QWidget* buildFollowPage();
  void showPage();
  void showGathering();
  void showFollowing();
  void updateButtons();
  void updateRuleControls();
  void setStatus(const QString& text);
  // Tells that the tournament holds a change its file lacks (the last save failed).
  // Says the file holds less than the window; `problem`, when given, says why.
  void sayUnsaved(const report::SessionProblem* problem = nullptr);
  void showEntries();
  void fillBattles();
  void showViews(const report::Tournament& t);
  void matchChosen(const QString& id);     // in any view: the others follow
  void matchActivated(const QString& id);  // Enter or a double click in a view
  void setSession(report::TournamentSession opened);
  void playFinished(bool ok, const report::SessionProblem& problem);
  void playSlice();
  void pollProgress();
  void exportFinished(bool written, const std::filesystem::path& page, const Refusal& why);
  void stopWorkers();

  std::optional<report::TournamentSession>& session_;
  std::optional<std::filesystem::path> directory_;
  QString selected_;

  QStackedWidget* pages_ = nullptr;
  QLabel* title_ = nullptr;  // the tournament's name and rules
  QLabel* status_ = nullptr;
  QPushButton* openButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;

  // New tournament.
  QLabel* noDirectory_ = nullptr;
  QLineEdit* name_ = nullptr;
  QComboBox* format_ = nullptr;
  QComboBox* bestOf_ = nullptr;
  QSpinBox* rounds_ = nullptr;
  QComboBox* seeding_ = nullptr;
  QCheckBox* thirdPlace_ = nullptr;
  QCheckBox* halve_ = nullptr;
  QCheckBox* fairDraw_ = nullptr;
  QPushButton* createButton_ = nullptr;

  // Gathering.
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

  // Following.
  QLabel* notVerified_ = nullptr;
  QLabel* progress_ = nullptr;
  QLabel* whole_ = nullptr;
  QLabel* winner_ = nullptr;
  QStackedWidget* mainView_ = nullptr;  // the bracket, or the pairings and standings
  BracketView* bracket_ = nullptr;
  StandingsView* standings_ = nullptr;
  QWidget* matchList_ = nullptr;
  MatchList* matches_ = nullptr;
  bool syncing_ = false;
  QPushButton* nextButton_ = nullptr;
  QPushButton* restButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QComboBox* battle_ = nullptr;
  QPushButton* viewButton_ = nullptr;
  QPushButton* exportButton_ = nullptr;

  // Quick play: on a worker thread, or in slices on this one when no thread can start.
  std::function<std::optional<std::thread>(std::function<void()>)> startThread_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<std::size_t> played_{0};
  std::atomic<std::size_t> total_{0};
  bool playing_ = false;
  bool slicing_ = false;
  QTimer pollTimer_;
  QTimer sliceTimer_;

  std::function<bool(const QUrl&)> openUrl_;
  BackgroundTask pageWriter_;
  bool exporting_ = false;
};

}  // namespace momiru::ui
