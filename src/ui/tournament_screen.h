// The window "大会": a new tournament's rules, the gathering of its field, the draw, and the
// tournament followed match by match, played live (by the flow, on the colosseum) or all at once
// without a screen, kept in its file after every step. It holds the session and shows the page
// the session's stage calls for, under a row with the tournament's name and its file.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "report/tournament_session.h"
#include "ui/screen.h"
#include "ui/tournament_parts.h"
#include "ui/tournament_quick_play.h"

class QLabel;
class QPushButton;
class QStackedWidget;

namespace momiru::ui {

class TournamentEntriesPage;
class TournamentFormPage;
class TournamentPlayPage;

class TournamentScreen final : public Screen, private TournamentHost {
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
  QString selectedMatch() const;

  // Shows the session as it stands (after the flow recorded a match).
  void refresh();

  // What the buttons do, for the keys and for tests.
  void createTournament();
  // 新しい大会: the form again, at any stage; the tournament shown stays in its file.
  void newTournament();
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

  bool playing() const override { return quickPlay_.playing(); }
  bool exporting() const;
  QString statusText() const;
  QStringList refusals() const;
  // How a written page is opened; QDesktopServices::openUrl unless a test says otherwise.
  void setUrlOpener(std::function<bool(const QUrl&)> open);
  // How quick play gets its thread; battle::startThread unless a test says otherwise.
  void setThreadStarter(std::function<std::optional<std::thread>(std::function<void()>)> start) {
    quickPlay_.setThreadStarter(std::move(start));
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
  // What the pages ask of the window.
  void setStatus(const QString& text) override;
  void sayUnsaved(const report::SessionProblem* problem = nullptr) override;
  void showPage() override;
  void updateButtons() override;
  QWidget* dialogParent() override { return this; }
  void dialogClosed() override { takeFocusBackFromDialog(); }

  void stopWorkers();
  // Tells, on stderr, in the status line and in a message, that `session` (opened from `file`)
  // may only be looked at, and why; nothing when it holds its file.
  void sayLookingOnly(const report::TournamentSession& session, const std::filesystem::path& file);

  std::optional<report::TournamentSession>& session_;
  // Quick play: on a worker thread, or in slices on this one when no thread can start.
  TournamentQuickPlay quickPlay_;

  QStackedWidget* pages_ = nullptr;
  QLabel* title_ = nullptr;  // the tournament's name and rules
  QLabel* status_ = nullptr;
  QPushButton* newButton_ = nullptr;
  QPushButton* openButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  TournamentFormPage* form_ = nullptr;
  TournamentEntriesPage* entries_ = nullptr;
  TournamentPlayPage* play_ = nullptr;
};

}  // namespace momiru::ui
