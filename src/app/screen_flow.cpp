// Screen flow: which event leads to which screen, the start at the colosseum, and the end of
// the program.
#include "app/screen_flow.h"

#include <QApplication>
#include <QDateTime>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "app/battle_recording.h"
#include "app/command_line.h"
#include "app/replay_line.h"
#include "battle/battle_start.h"
#include "data/platform.h"
#include "data/random_unit.h"
#include "data/settings_file.h"
#include "data/strangers_file.h"
#include "data/text_safety.h"
#include "replay/replay_store.h"
#include "report/match_play.h"
#include "report/tournament_head.h"
#include "report/tournament_schedule.h"
#include "ui/battle_screen.h"
#include "ui/entry_screen.h"
#include "ui/match_caption.h"
#include "ui/options_screen.h"
#include "ui/platform_dialogs.h"
#include "ui/refusal_text.h"
#include "ui/replay_list_screen.h"
#include "ui/result_screen.h"
#include "ui/title_screen.h"
#include "ui/tournament_screen.h"

#ifndef MOMIRU_VERSION
#define MOMIRU_VERSION "unknown"
#endif

namespace momiru::app {

namespace {

constexpr const char* kWrittenBy = "momiru-battle " MOMIRU_VERSION;

std::filesystem::path absoluteOrAsGiven(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(file, ec);
  return ec ? file : absolute;
}

// Why a save-data file named on the command line could not be used, in the player's words.
QString unreadableFileMessage(const std::filesystem::path& file) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(file, ec);
  QString why;
  if (status.type() == std::filesystem::file_type::not_found) {
    why = QStringLiteral("ファイルが見つかりません。");
  } else if (status.type() == std::filesystem::file_type::directory) {
    why = QStringLiteral("フォルダはセーブデータではありません。");
  } else if (ec || status.type() != std::filesystem::file_type::regular) {
    why = QStringLiteral("ファイルを開けません。");
  } else {
    why = QStringLiteral("モミルＮｏ．１のセーブデータとして読めません。");
  }
  return QStringLiteral("セーブデータを読み込めませんでした。\n") +
         ui::shownName(pathToUtf8(file.filename())) + QLatin1Char('\n') + why +
         QStringLiteral("\nタイトル画面から始めます。");
}

// The run's state as the battle of `start` begins: made from the start alone.
void beginBattle(GameState& gs, const battle::BattleStart& start) {
  gs = battle::startState(start);
}

}  // namespace

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

void ScreenFlow::start() {
  go(Where::Title);
  if (!offeredContinue_) {
    offeredContinue_ = true;
    // Once the title is up: the question stands over it.
    QTimer::singleShot(0, this, [this] {
      if (where_ == Where::Title) offerToContinue();
    });
  }
}

bool ScreenFlow::startBattle(const std::filesystem::path& first,
                             const std::filesystem::path& second,
                             std::optional<std::uint64_t> seed) {
  GameState& gs = ctx_.gs;
  loadSettingsForBattle(ctx_.settings, ctx_.settingsDir);
  gs.battleLog.clear();
  int entering = 0;  // the slot being registered, as on the entry screen
  const std::filesystem::path* files[kSlots] = {&first, &second};
  for (int slot = 0; slot < kSlots; ++slot) {
    std::string reason;
    // Quoted as the shell would take it: a file name cannot break the one line.
    const std::string quoted = shellQuote(files[slot]->string());
    const ui::TamperedEnding ending{
        kTamperedFileStatus,
        "momiru-battle: " + quoted + ": the file failed its integrity check; the game ends\n"};
    switch (ui::loadSaveDataFile(gs, slot, *files[slot], ctx_.dialogs, nullptr, &reason, ending)) {
      case ui::FileLoad::Tampered:
        where_ = Where::End;  // the program has ended
        return false;
      case ui::FileLoad::Failed:
        std::fprintf(stderr, "momiru-battle: %s: %s; the game opens at the title\n", quoted.c_str(),
                     visibleText(reason).c_str());
        // A player who double-clicked never sees stderr: the window says it too.
        ctx_.dialogs.replayMessage(nullptr, unreadableFileMessage(*files[slot]));
        start();
        return false;
      case ui::FileLoad::Loaded:
        fileLoaded(slot, *files[slot]);
        ui::registerCurrentSlot(gs, entering);
        break;
    }
  }
  nextSeed_ = seed;
  go(Where::Battle);
  return true;
}

void ScreenFlow::go(Where next) {
  // The next screen opens where the player's eyes are: on the centre of the one it replaces.
  std::optional<QRect> previous;
  QMargins frame;
  QScreen* desktop = QGuiApplication::primaryScreen();
  if (current_ && current_->isVisible()) {
    previous = current_->geometry();
    const QRect outer = current_->frameGeometry();
    frame = QMargins(previous->left() - outer.left(), previous->top() - outer.top(),
                     outer.right() - previous->right(), outer.bottom() - previous->bottom());
    desktop = current_->screen();
  }
  if (current_) {
    switching_ = true;
    current_->close();
    switching_ = false;
  }
  current_ = create(next);
  where_ = current_ ? next : Where::End;
  if (!current_) return;
  if (desktop != nullptr) {
    const QRect available = desktop->availableGeometry();
    current_->setGeometry(ui::placedScreen(
        current_->size(), previous ? previous->center() : available.center(), available, frame));
  }
  current_->show();
}

ui::Screen* ScreenFlow::create(Where where) {
  ui::Screen* screen = nullptr;
  switch (where) {
    case Where::Title: {
      auto* title = new ui::TitleScreen(ctx_);
      connect(title, &ui::TitleScreen::startClicked, this, [this] { go(Where::Options); });
      connect(title, &ui::TitleScreen::replaysClicked, this, [this] { go(Where::Replays); });
      connect(title, &ui::TitleScreen::tournamentClicked, this, [this] { go(Where::Tournament); });
      // After the drop has ended: the flow may ask a modal question about the file.
      connect(
          title, &ui::TitleScreen::replayDropped, this,
          [this](const std::filesystem::path& file) {
            if (where_ == Where::Title) openReplay(file);
          },
          Qt::QueuedConnection);
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
      connect(entry, &ui::EntryScreen::fileLoaded, this, &ScreenFlow::fileLoaded);
      connect(entry, &ui::EntryScreen::bothRegistered, this, [this] { go(Where::Battle); });
      screen = entry;
      break;
    }
    case Where::Battle: {
      // The records as registered, before the battle lowers any HP, with the player's switches
      // and speed; the seed given, or one from the clock.
      battleStart_ = battle::startOf(ctx_.gs, ctx_.settings,
                                     std::exchange(nextSeed_, std::nullopt).value_or(clockSeed()));
      beginBattle(ctx_.gs, *battleStart_);
      auto* battle = new ui::BattleScreen(ctx_, battleStart_->seed);
      connect(battle, &ui::BattleScreen::battleFinished, this, [this, battle] {
        shownLog_ = battle->shownLog();
        recordBattle();
        go(Where::Result);
      });
      reportBattle(battle->seed());
      screen = battle;
      break;
    }
    case Where::Viewer: {
      const battle::BattleStart start = replay::replayStart(*viewing_);
      viewerState_ = battle::startState(start);
      // Made once: a closed viewer or result, not yet deleted, may still hold it.
      if (!viewerContext_) {
        viewerContext_ = std::make_unique<ui::ScreenContext>(
            ui::ScreenContext{viewerState_, ctx_.pictures, ctx_.dialogs, ctx_.settingsDir});
      }
      viewerContext_->settings = battle::settingsOf(start);
      auto* viewer =
          new ui::BattleScreen(*viewerContext_, ui::BattleScreen::Replay{viewing_->seed});
      if (viewerCaption_) viewer->showMatch(*viewerCaption_);
      connect(viewer, &ui::BattleScreen::battleFinished, this, [this, viewer] {
        viewerShownLog_ = viewer->shownLog();
        go(Where::ViewerResult);
      });
      screen = viewer;
      break;
    }
    case Where::ViewerResult: {
      auto* result = new ui::ResultScreen(*viewerContext_, viewerShownLog_, &*viewing_);
      if (viewerResultCaption_) result->showMatch(*viewerResultCaption_);
      // A tournament's battle watched again leads back into the tournament, not out of it; a
      // replay watched from the list, back to the list.
      Where back = Where::Title;
      if (viewerOrigin_ == Where::Replays) {
        back = Where::Replays;
        result->setBackText(QStringLiteral("一覧に戻る"));
      } else if (viewerOrigin_ == Where::Tournament) {
        back = Where::Tournament;
        result->setBackText(QStringLiteral("大会に戻る"));
      } else if (viewerOrigin_ == Where::MatchResult) {
        back = Where::MatchResult;
        result->setBackText(QStringLiteral("結果に戻る"));
      }
      connect(result, &ui::ResultScreen::backToTitleClicked, this, [this, back] { go(back); });
      connect(result, &ui::ResultScreen::watchReplayClicked, this,
              [this] { openViewer(viewerOrigin_); });
      screen = result;
      break;
    }
    case Where::Replays: {
      auto* list = new ui::ReplayListScreen(ctx_, replay::replayDirectory());
      // Back from the viewer: the replay just watched is the one selected.
      if (viewerFile_ && (where_ == Where::Viewer || where_ == Where::ViewerResult))
        list->selectFile(pathToUtf8(viewerFile_->filename()));
      // Queued, as for the title: a drop or a key has ended before a message may be asked.
      connect(
          list, &ui::ReplayListScreen::watchRequested, this,
          [this](const QString& file) {
            if (where_ == Where::Replays)
              openReplay(utf8ToPath(file.toStdString()), Where::Replays);
          },
          Qt::QueuedConnection);
      screen = list;
      break;
    }
    case Where::Tournament: {
      Refusal why;
      std::optional<std::filesystem::path> directory = report::tournamentDirectory(&why);
      if (!directory) {
        std::fprintf(stderr, "momiru-battle: tournaments cannot be kept: %s\n",
                     visibleText(describe(why)).c_str());
      }
      auto* window = new ui::TournamentScreen(ctx_, tournament_, std::move(directory));
      // Queued: the press that asked has ended before the window closes.
      connect(window, &ui::TournamentScreen::playMatchRequested, this, &ScreenFlow::playMatch,
              Qt::QueuedConnection);
      connect(window, &ui::TournamentScreen::viewBattleRequested, this,
              &ScreenFlow::viewTournamentBattle, Qt::QueuedConnection);
      if (!lastMatch_.isEmpty()) window->selectMatch(lastMatch_);
      screen = window;
      break;
    }
    case Where::MatchBattle: {
      if (!matchContext_) {
        matchContext_ = std::make_unique<ui::ScreenContext>(
            ui::ScreenContext{matchState_, ctx_.pictures, ctx_.dialogs, ctx_.settingsDir});
      }
      matchContext_->settings = matchShown_;
      auto* battle = new ui::BattleScreen(*matchContext_, live_->battle->seed);
      battle->setTurnLimit(battle::kDefaultMaxTurns);
      if (tournament_ && tournament_->play() != nullptr) {
        battle->showMatch(ui::matchCaption(tournament_->play()->tournament(), live_->play.match(),
                                           live_->battle->k, live_->battle->player1, false, false));
      }
      connect(battle, &ui::BattleScreen::battleFinished, this, [this, battle] {
        matchShownLog_ = battle->shownLog();
        matchBattleEnded(battle->outcome());
      });
      screen = battle;
      break;
    }
    case Where::MatchResult: {
      auto* result = new ui::ResultScreen(*matchContext_, matchShownLog_,
                                          matchReplay_ ? &*matchReplay_ : nullptr);
      const bool decided = !live_ || live_->play.decided();
      result->setBackText(decided ? QStringLiteral("大会に戻る") : QStringLiteral("次の対戦へ"));
      if (live_ && live_->battle && tournament_ && tournament_->play() != nullptr) {
        viewerCaption_ = ui::matchCaption(tournament_->play()->tournament(), live_->play.match(),
                                          live_->battle->k, live_->battle->player1, false, false);
        viewerResultCaption_ =
            ui::matchCaption(tournament_->play()->tournament(), live_->play.match(),
                             live_->battle->k, live_->battle->player1, true, decided);
        result->showMatch(*viewerResultCaption_);
      }
      connect(result, &ui::ResultScreen::backToTitleClicked, this, [this] { nextMatchBattle(); });
      connect(result, &ui::ResultScreen::watchReplayClicked, this, [this] {
        if (!matchReplay_) return;
        viewing_ = matchReplay_;
        openViewer(Where::MatchResult);
      });
      screen = result;
      break;
    }
    case Where::End:
      return nullptr;
    case Where::Result: {
      auto* result = new ui::ResultScreen(ctx_, shownLog_, lastReplay_ ? &*lastReplay_ : nullptr);
      connect(result, &ui::ResultScreen::backToTitleClicked, this, [this] { go(Where::Title); });
      connect(result, &ui::ResultScreen::watchReplayClicked, this, [this] {
        if (!lastReplay_) return;
        viewing_ = lastReplay_;
        viewerCaption_.reset();
        viewerResultCaption_.reset();
        openViewer(Where::Result);
      });
      screen = result;
      break;
    }
  }
  connect(screen, &ui::Screen::closed, this, [this, screen] { screenClosed(screen); });
  return screen;
}

void ScreenFlow::screenClosed(ui::Screen* screen) {
  if (switching_ || screen != current_) return;
  if (where_ == Where::Viewer || where_ == Where::ViewerResult) {
    // The viewer and its result lead back to where the viewer was opened from.
    current_ = nullptr;
    go(viewerOrigin_);
    return;
  }
  if (where_ == Where::MatchBattle || where_ == Where::MatchResult) {
    // A match left half way is played again from its first battle next time: its battles are
    // fixed by its seed, so nothing is lost.
    current_ = nullptr;
    live_.reset();
    go(Where::Tournament);
    return;
  }
  if (where_ == Where::Replays || where_ == Where::Tournament) {
    // The list is a window of the title's: closing it leads back there.
    current_ = nullptr;
    go(Where::Title);
    return;
  }
  // Closed through the window system: no other screen remains, so the program ends.
  current_ = nullptr;
  where_ = Where::End;
  endProgram_();
}

void ScreenFlow::fileLoaded(int slot, const std::filesystem::path& file) {
  if (slot < 0 || slot >= kSlots) return;
  const auto s = static_cast<std::size_t>(slot);
  files_[s] = LoadedFile{absoluteOrAsGiven(file), ctx_.gs.combatant[s].hp};
}

void ScreenFlow::reportBattle(std::uint64_t seed) const {
  ReplaySource sources[kSlots];
  for (std::size_t s = 0; s < kSlots; ++s) {
    if (!files_[s]) continue;
    sources[s].file = files_[s]->file;
    sources[s].changedSinceLoad = files_[s]->hp != ctx_.gs.combatant[s].hp;
  }
  const std::string line = replayLine(seed, sources[0], sources[1], ctx_.settings.halveDamage != 0);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

void ScreenFlow::recordBattle() {
  if (!battleStart_) return;
  std::array<std::string, kSlots> files;
  for (std::size_t s = 0; s < kSlots; ++s) {
    if (files_[s]) files[s] = pathToUtf8(files_[s]->file.filename());
  }
  BattleRecording recording = app::recordBattle(*battleStart_, files);
  battleStart_.reset();
  lastReplay_ = std::move(recording.replay);
  lastSaved_ = std::move(recording.saved);
}

QWidget* ScreenFlow::messageParent() const {
  // A screen the window system has not placed yet would put the box in a corner of the desktop;
  // without a parent it stands in the middle, where the new screen comes too.
  if (current_ == nullptr || current_->windowHandle() == nullptr ||
      !current_->windowHandle()->isExposed()) {
    return nullptr;
  }
  return current_;
}

void ScreenFlow::openViewer(Where origin) {
  viewerOrigin_ = origin;
  go(Where::Viewer);
}

bool ScreenFlow::openReplay(const std::filesystem::path& file, Where from) {
  Refusal why;
  std::optional<replay::Replay> replay = replay::readReplayFile(file, &why);
  if (!replay) {
    if (where_ != from) go(from);
    const std::string shown = visibleText(describe(why));
    std::fprintf(stderr, "momiru-battle: %s: %s; the game goes on at the %s\n",
                 shellQuote(pathToUtf8(file)).c_str(), shown.c_str(),
                 from == Where::Replays ? "replay list" : "title");
    std::fflush(stderr);
    // The box speaks Japanese; the English line above is for scripts.
    ctx_.dialogs.replayMessage(
        messageParent(), QStringLiteral("リプレイを開けませんでした。\n") + ui::refusalText(why));
    return false;
  }
  const replay::ReplayResult played = replay::playReplay(*replay);
  if (const auto differs = replay::replayMismatch(replay->result, played)) {
    ctx_.dialogs.replayMessage(
        messageParent(),
        QStringLiteral("このリプレイは、記録された結果とこのバージョンのルールで戦った結果が"
                       "違います（違うところ: %1）。\nこのバージョンのルールで戦った様子を"
                       "表示します。")
            .arg(ui::japaneseMismatch(*differs)));
  }
  viewing_ = std::move(replay);
  viewerFile_ = file;
  viewerCaption_.reset();
  viewerResultCaption_.reset();
  openViewer(from);
  return true;
}

void ScreenFlow::playMatch(const QString& id) {
  if (where_ != Where::Tournament || !tournament_) return;
  const report::TournamentPlay* play = tournament_->play();
  // A tournament only looked at is not played on: its result could not be kept.
  if (play == nullptr || tournament_->lookOnly()) return;
  const std::string matchId = id.toStdString();
  const std::vector<std::string> ready = play->readyMatches();
  if (std::find(ready.begin(), ready.end(), matchId) == ready.end()) return;
  live_.emplace(LiveMatch{report::MatchPlay(play->tournament(), play->find(matchId)->match), {}});
  lastMatch_ = id;
  nextMatchBattle();
}

void ScreenFlow::nextMatchBattle() {
  if (!live_ || !tournament_) {
    go(Where::Tournament);
    return;
  }
  live_->battle = live_->play.nextBattle();
  if (!live_->battle) {
    // The match is decided: into the tournament and its file, and the window shows it.
    report::SessionProblem problem;
    report::Match played = live_->play.match();
    live_.reset();
    bool saved = false;
    try {
      saved = tournament_->record(std::move(played), &problem);
    } catch (const std::bad_alloc&) {
      problem.why = report::SessionRefusal::OutOfMemory;
      problem.english = "out of memory";
    }
    go(Where::Tournament);
    if (!saved) {
      std::fprintf(stderr, "momiru-battle: the tournament was not saved: %s\n",
                   visibleText(problem.english).c_str());
      ctx_.dialogs.replayMessage(messageParent(),
                                 QStringLiteral("大会のファイルを保存できませんでした。\n") +
                                     ui::sessionProblemText(problem));
    }
    return;
  }
  const report::Tournament& t = tournament_->play()->tournament();
  battle::BattleStart start = report::tournamentBattleStart(t, *live_->battle);
  // The player's own switches and speed, the tournament's damage rule. The settings file is
  // read over the tournament's halving, as over any state that holds it.
  Settings player;
  player.halveDamage = start.halve ? 1 : 0;
  loadSettingsForBattle(player, ctx_.settingsDir);
  start.hitBackground = player.showHitBackground != 0;
  start.messageBox = player.showMessageBox != 0;
  start.speed = player.battleSpeed;
  matchState_ = battle::startState(start);
  matchShown_ = battle::settingsOf(start);
  go(Where::MatchBattle);
}

void ScreenFlow::matchBattleEnded(const battle::Outcome& outcome) {
  if (!live_ || !live_->battle || !tournament_) return;
  const report::MatchBattle b = *live_->battle;
  try {
    live_->play.record(report::battleRecordOf(b, matchState_, outcome));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "momiru-battle: %s\n", e.what());
    live_.reset();
    go(Where::Tournament);
    return;
  }
  const report::Tournament& t = tournament_->play()->tournament();
  matchReplay_ = report::tournamentBattleReplay(t, live_->play.match(), b.k, kWrittenBy);
  if (outcome.finished) {
    go(Where::MatchResult);
    return;
  }
  // Stopped at the turn limit: no winner, no result to announce; the match goes on.
  ctx_.dialogs.replayMessage(
      messageParent(),
      QStringLiteral("%1ターンたっても決着がつきませんでした。この対戦は勝者なしとします。")
          .arg(battle::kDefaultMaxTurns));
  nextMatchBattle();
}

void ScreenFlow::viewTournamentBattle(const QString& id, int battle) {
  if (where_ != Where::Tournament || !tournament_) return;
  const report::Tournament& t = tournament_->tournament();
  for (const report::Match& m : t.matches) {
    if (m.id != id.toStdString()) continue;
    std::optional<replay::Replay> replay = report::tournamentBattleReplay(t, m, battle, kWrittenBy);
    if (!replay) return;
    const int left = m.battles[static_cast<std::size_t>(battle - 1)].player1;
    const bool last = static_cast<std::size_t>(battle) == m.battles.size();
    viewerCaption_ = ui::matchCaption(t, m, battle, left, false, false);
    viewerResultCaption_ = ui::matchCaption(t, m, battle, left, true, last);
    lastMatch_ = id;
    viewing_ = std::move(replay);
    openViewer(Where::Tournament);
    return;
  }
}

bool ScreenFlow::openTournament(const std::filesystem::path& file) {
  std::error_code same;
  if (tournament_ && !tournament_->lookOnly() &&
      std::filesystem::equivalent(file, tournament_->file(), same)) {
    // Opened again beside itself, it would only be looked at: the game has it already.
    go(Where::Tournament);
    return true;
  }
  report::SessionProblem problem;
  std::optional<report::TournamentSession> session =
      report::TournamentSession::open(file, report::secretFileOf(file), kWrittenBy, &problem);
  if (!session) {
    if (where_ != Where::Title) go(Where::Title);
    std::fprintf(stderr, "momiru-battle: %s; the game goes on at the title\n",
                 visibleText(problem.english).c_str());
    std::fflush(stderr);
    ctx_.dialogs.replayMessage(
        messageParent(),
        QStringLiteral("大会のファイルを開けませんでした。\n") + ui::sessionProblemText(problem));
    return false;
  }
  tournament_ = std::move(session);
  live_.reset();
  lastMatch_.clear();
  offeredContinue_ = true;
  go(Where::Tournament);
  if (const std::optional<report::SessionProblem>& notHeld = tournament_->lookOnly()) {
    std::fprintf(stderr, "momiru-battle: %s: opened to look only\n",
                 visibleText(notHeld->english).c_str());
    ctx_.dialogs.replayMessage(messageParent(), ui::lookingOnlyText(*notHeld));
  }
  return true;
}

void ScreenFlow::offerToContinue() {
  // Looked at, not made: a game that never held a tournament leaves no folder behind.
  const std::filesystem::path game = userDataDirectory();
  if (game.empty()) return;
  const std::vector<std::filesystem::path> unfinished =
      report::unfinishedTournaments(game / "tournaments");
  if (unfinished.empty()) return;
  const std::optional<std::string> bytes =
      readStrangersFile(unfinished.front(), report::kTournamentMaxBytes,
                        report::kTournamentMaxBytes, "tournament", nullptr);
  const std::optional<report::TournamentHead> head =
      bytes ? report::tournamentHead(*bytes) : std::nullopt;
  if (!head) return;
  const QString question = QStringLiteral("途中の大会「%1」があります。続きから始めますか？")
                               .arg(ui::shownName(head->name));
  if (!ctx_.dialogs.confirm(messageParent(), question)) return;
  openTournament(unfinished.front());
}

}  // namespace momiru::app
