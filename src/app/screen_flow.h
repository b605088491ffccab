// The circle of screens: title → options → entry → battle → result → title. Each transition
// closes the current screen and shows the next, inside the event that asks for it.
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/replay_line.h"
#include "replay/replay.h"
#include "report/match_play.h"
#include "report/tournament_session.h"
#include "ui/match_caption.h"
#include "ui/screen.h"

namespace momiru::app {

class ScreenFlow final : public QObject {
  Q_OBJECT
 public:
  // Viewer: a replay on the battle screen; ViewerResult: that replay's result screen.
  // Replays: the list of kept replays, opened from the title.
  // Tournament: the window 大会; MatchBattle and MatchResult: a tournament match's battle on the
  // colosseum and its result screen.
  enum class Where {
    End,
    Title,
    Options,
    Entry,
    Battle,
    Result,
    Viewer,
    ViewerResult,
    Replays,
    Tournament,
    MatchBattle,
    MatchResult
  };

  // `endProgram` runs when the player closes the visible screen through the window system;
  // by default it quits the event loop.
  explicit ScreenFlow(ui::ScreenContext& context, std::function<void()> endProgram = {});
  ~ScreenFlow() override;
  ScreenFlow(const ScreenFlow&) = delete;
  ScreenFlow& operator=(const ScreenFlow&) = delete;

  void start();  // shows the title screen

  // Opens straight at the colosseum: `first` and `second` are loaded and registered as the entry
  // screen does, with the settings file's switches and speed, and the battle is that of `seed`
  // (one drawn from the clock without it). A file that fails its integrity test ends the program
  // (where() is then End); one that cannot be read opens the title instead, with a line on
  // stderr. Returns true when the battle opened.
  bool startBattle(const std::filesystem::path& first, const std::filesystem::path& second,
                   std::optional<std::uint64_t> seed = std::nullopt);

  // Opens the replay in `file` (a replay file, or a battle page that carries one) in the viewer;
  // closing the viewer leads to the title. A file that cannot be read or does not hold a replay
  // leaves the game at the title with a message. A replay whose battle these rules play
  // otherwise than recorded is said so, and shown as these rules play it. Returns true when the
  // viewer opened.
  // Opened from the replay list (`from` Replays), the viewer and a failure lead back to it.
  bool openReplay(const std::filesystem::path& file, Where from = Where::Title);

  // Opens the tournament in `file` (a kept tournament, one from someone else, or a page that
  // carries one) in the window 大会; one that cannot be read leaves the game at the title with a
  // message. A tournament that does not verify is said so before it is shown. Returns true when
  // the window opened.
  bool openTournament(const std::filesystem::path& file);
  // The tournament the window 大会 shows, kept while its matches are played on the colosseum.
  std::optional<report::TournamentSession>& tournament() { return tournament_; }

  // The replay of the last battle on screen that reached its result, and where it was saved.
  const std::optional<replay::Replay>& lastReplay() const { return lastReplay_; }
  const std::optional<std::filesystem::path>& lastSaved() const { return lastSaved_; }

  Where where() const { return where_; }
  ui::Screen* current() const { return current_; }

 private:
  struct LoadedFile {
    std::filesystem::path file;
    std::array<std::int32_t, kParts> hp{};  // as loaded, to tell whether a battle changed them
  };

  void go(Where next);
  ui::Screen* create(Where where);
  void screenClosed(ui::Screen* screen);
  void fileLoaded(int slot, const std::filesystem::path& file);
  void reportBattle(std::uint64_t seed) const;
  void recordBattle();             // the battle on screen has reached its result: keep its replay
  void openViewer(Where origin);   // shows viewing_, and returns to `origin` when it is closed
  QWidget* messageParent() const;  // the screen a message about a replay stands over

  // A tournament match on the colosseum, battle by battle.
  void playMatch(const QString& id);
  void nextMatchBattle();  // the match's next battle, or the match recorded and the window back
  void matchBattleEnded(const battle::Outcome& outcome);
  void viewTournamentBattle(const QString& id, int battle);
  void offerToContinue();  // a tournament left unfinished, offered once as the game starts

  // The start of the battle on screen; its replay is made from it when it reaches its result.
  std::optional<battle::BattleStart> battleStart_;
  std::optional<replay::Replay> lastReplay_;
  std::optional<std::filesystem::path> lastSaved_;
  // Each battle's log as its screen showed it, for its result screen: the run's, the viewer's
  // and the match's, as each keeps a state of its own.
  std::string shownLog_;
  std::string viewerShownLog_;
  std::string matchShownLog_;

  // The viewer plays in a state of its own: the run's records, log and outcome stay untouched.
  std::optional<replay::Replay> viewing_;
  GameState viewerState_;
  std::unique_ptr<ui::ScreenContext> viewerContext_;
  Where viewerOrigin_ = Where::Title;
  std::optional<std::filesystem::path> viewerFile_;  // the replay file last opened in the viewer
  // A tournament's battle in the viewer: what its colosseum and its result say of the match.
  std::optional<ui::MatchCaption> viewerCaption_;
  std::optional<ui::MatchCaption> viewerResultCaption_;

  // The tournament, and its match being played: the state the colosseum plays it in is its own,
  // so that the VS battle's registered records stay as they were.
  struct LiveMatch {
    report::MatchPlay play;
    std::optional<report::MatchBattle> battle;
  };
  std::optional<report::TournamentSession> tournament_;
  std::optional<LiveMatch> live_;
  GameState matchState_;
  Settings matchShown_;  // the switches and speed the match's battle is shown with
  std::unique_ptr<ui::ScreenContext> matchContext_;
  std::optional<replay::Replay> matchReplay_;  // the battle just played
  QString lastMatch_;                          // selected when the window comes back
  bool offeredContinue_ = false;

  ui::ScreenContext& ctx_;
  std::function<void()> endProgram_;
  QPointer<ui::Screen> current_;
  Where where_ = Where::End;
  bool switching_ = false;  // the flow itself is closing the current screen
  std::array<std::optional<LoadedFile>, kSlots> files_;  // the file behind each slot's record
  std::optional<std::uint64_t> nextSeed_;  // the seed of the next battle, when one is given
};

}  // namespace momiru::app
