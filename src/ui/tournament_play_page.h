// The tournament window's page once the draw is made: where the tournament stands, the bracket or
// the pairings and standings beside the list of matches, all three following one selection; the
// next match played live (by the flow, on the colosseum) or the rest at once without a screen;
// the replays; and the tournament's page written out.
#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>

#include "report/tournament_session.h"
#include "ui/background_task.h"
#include "ui/screen.h"
#include "ui/tournament_parts.h"

class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableWidget;

namespace momiru::ui {

class BracketView;
class MatchList;
class StandingsView;
class TournamentQuickPlay;

class TournamentPlayPage final : public TournamentPage {
  Q_OBJECT
 public:
  // `session` and `quickPlay` as the window has them; `parent` is the window.
  TournamentPlayPage(ScreenContext& context, TournamentHost& host,
                     std::optional<report::TournamentSession>& session,
                     TournamentQuickPlay& quickPlay, QWidget* parent);
  // Waits for a page being written.
  ~TournamentPlayPage() override;

  // The session's tournament as it stands now.
  void showFollowing();
  // The buttons as the session allows; `idle` while quick play does not run.
  void enableButtons(bool idle);
  // Where the keyboard starts on this page, and where it goes once the draw is made.
  QWidget* firstStep() const;
  void focusNext();

  // The match chosen in the views, or empty; setSelected chooses one before the page is shown,
  // chooseMatch as if in a view.
  QString selectedMatch() const { return selected_; }
  void setSelected(const QString& id) { selected_ = id; }
  void chooseMatch(const QString& id) { matchChosen(id); }

  // What the buttons do.
  void playNext();    // 次の試合
  void playRest();    // 残りを一気に進める
  void cancelPlay();  // 中止
  void viewBattle();  // リプレイを見る
  void exportPage();  // ページに書き出す

  bool exporting() const { return exporting_; }
  // Waits for a page being written, if any.
  void waitForPage() { pageWriter_.wait(); }
  // How a written page is opened; QDesktopServices::openUrl unless a test says otherwise.
  void setUrlOpener(std::function<bool(const QUrl&)> open) { openUrl_ = std::move(open); }

 signals:
  void playMatchRequested(QString matchId);  // 次の試合 (or Enter on a ready match)
  void viewBattleRequested(QString matchId, int battle);  // a played battle, from 1

 private:
  // One of the draw's values in the fairness row: its name, the value whole in a read-only line
  // and its コピー button, which copies what `value` gives and says `copied`.
  QLineEdit* addFairValue(
      QHBoxLayout* row, const char* title, const char* name, const char* accessible,
      const char* copyName, const char* copyAccessible, const char* copied,
      std::function<std::optional<std::string>(const report::Tournament&)> value);
  void showFairness(const report::Tournament& t);
  void fillBattles();
  void showViews(const report::Tournament& t);
  void matchChosen(const QString& id);     // in any view: the others follow
  void matchActivated(const QString& id);  // Enter or a double click in a view
  void playFinished(bool ok, const report::SessionProblem& problem, bool cancelled);
  void pollProgress(std::size_t played, std::size_t total);
  void exportFinished(bool written, const std::filesystem::path& page, const Refusal& why);

  TournamentQuickPlay& quickPlay_;
  QString selected_;

  QLabel* notVerified_ = nullptr;
  QLabel* progress_ = nullptr;
  QLabel* whole_ = nullptr;
  QLabel* winner_ = nullptr;
  // The draw's values, for checking it: kept in view after the start.
  QWidget* fairness_ = nullptr;
  QLineEdit* commitment_ = nullptr;
  QLineEdit* digest_ = nullptr;
  QLineEdit* beacon_ = nullptr;
  QStackedWidget* mainView_ = nullptr;  // the bracket, or the pairings and standings
  QWidget* bracketPane_ = nullptr;      // the bracket and its zoom's controls
  BracketView* bracket_ = nullptr;
  StandingsView* standings_ = nullptr;
  QWidget* matchList_ = nullptr;
  MatchList* matches_ = nullptr;
  // Beside the bracket: the list of matches and the places; the Swiss and league tables have
  // both already, and take the whole width.
  QWidget* side_ = nullptr;
  QLabel* placesLabel_ = nullptr;
  QTableWidget* places_ = nullptr;  // once an elimination is over
  bool syncing_ = false;
  QPushButton* nextButton_ = nullptr;
  QPushButton* restButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QComboBox* battle_ = nullptr;
  QPushButton* viewButton_ = nullptr;
  QPushButton* exportButton_ = nullptr;

  std::function<bool(const QUrl&)> openUrl_;
  BackgroundTask pageWriter_;
  bool exporting_ = false;
};

}  // namespace momiru::ui
