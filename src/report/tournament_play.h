// A tournament played a match at a time: on screen one match live, the rest at once, in any mix
// and any order. Each match is decided by its players, its id and the tournament's seed alone, so
// whatever the order and the way each match was played, the tournament that comes out is the one
// playTournament makes: playTournament itself is this class, played to the end on threads.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "battle/headless.h"
#include "data/game_state.h"
#include "report/tournament.h"

namespace momiru::battle {
struct Replay;
}

namespace momiru::report {

// Where a player of a scheduled match comes from.
struct SlotSource {
  enum Kind { Entry, Bye, WinnerOf, LoserOf } kind = Bye;
  int entry = -1;       // Entry: the entry
  std::string matchId;  // WinnerOf, LoserOf: the match it waits for
  bool operator==(const SlotSource&) const = default;
};

// A match of the schedule, played or not. match.players holds the players known so far (nothing
// for one not known yet, or for a bye); match.battles and match.winner are filled once played.
struct ScheduledMatch {
  Match match;
  std::array<SlotSource, 2> from;
  bool played = false;
  // Decided without a battle: a bye. Such a match is never ready; it is played by itself as soon
  // as its players are known, and is kept in the file only when it has a player.
  bool bye = false;
};

// The next battle of a match: battle k (from 1) with its derived seed, `player1` on the left and
// `player2`, who acts first, on the right.
struct MatchBattle {
  int k = 0;
  std::uint64_t seed = 0;
  int player1 = 0;
  int player2 = 0;
};

// One match, battle by battle: the best-of count, the sides swapping, sudden death and the
// better seed's tie-break of elimination, written once for the headless run and the screen.
class MatchPlay {
 public:
  // `m` has both players; `t` has its seed and seeds.
  MatchPlay(const Tournament& t, Match m);

  // The battle to play next, or nothing once the match is decided.
  std::optional<MatchBattle> nextBattle() const;
  // Records the battle nextBattle() named, played. Throws std::invalid_argument when `r` is not
  // that battle (another seed or left player).
  void record(BattleRecord r);
  bool decided() const { return !nextBattle(); }
  // The match so far; its winner is set once decided.
  const Match& match() const { return match_; }

 private:
  const Tournament* t_;
  Match match_;
  bool elimination_ = false;
  int winsA_ = 0;
  int winsB_ = 0;
  bool over_ = false;
  void decide();
};

// The state a battle of the tournament starts from: the two records as registered ("(1)"/"(2)"
// on equal names), the tournament's halving, CR LF line breaks.
GameState tournamentBattleState(const Tournament& t, const MatchBattle& b);
// The record of battle `b`, played from tournamentBattleState to its end (finished or stopped at
// battle::kDefaultMaxTurns turns) and left in `end`.
BattleRecord battleRecordOf(const MatchBattle& b, const GameState& end,
                            const battle::Outcome& outcome);
// Battle k (from 1) of a played match as a replay, for the viewer and `tournament battle`.
// Nothing when the match has no such battle.
std::optional<battle::Replay> tournamentBattleReplay(const Tournament& t, const Match& m, int k,
                                                     const std::string& writtenBy);
// The battles of a match played without a screen.
Match playMatchHeadless(const Tournament& t, const Match& m);

class TournamentPlay {
 public:
  // `t` is closed and has its seed. Its seeds are drawn here when empty (Strength seeding plays
  // its short round robin on `options.threads`). Its matches are the matches played so far, as a
  // file written during play keeps them, and are taken in as played. Throws std::runtime_error,
  // saying why in English, when a recorded match is not one this schedule plays (an unknown id,
  // other players, a match played before its players were known, one recorded twice).
  explicit TournamentPlay(Tournament t, const RunOptions& options = {});
  ~TournamentPlay();
  TournamentPlay(TournamentPlay&&) noexcept;
  TournamentPlay& operator=(TournamentPlay&&) noexcept;

  // The tournament as played so far: the matches played (with a player) in schedule order and
  // the standings they give. Once every match is played, its stage is Finished and it equals
  // what playTournament makes.
  // It is brought up to date on the first call after a change: one thread at a time.
  const Tournament& tournament() const;

  // Every match known so far, in schedule order: the whole bracket in elimination (the second
  // grand final once it is due), the rounds paired so far in Swiss, every match in round robin.
  const std::vector<ScheduledMatch>& schedule() const;
  // The matches whose players are known and that are not played yet, in schedule order.
  std::vector<std::string> readyMatches() const;
  // The scheduled match with this id, or nothing.
  const ScheduledMatch* find(std::string_view id) const;

  // Records a ready match, played on screen or without one. Throws std::invalid_argument when
  // it is not ready or its players are not the scheduled ones; std::runtime_error when the next
  // Swiss round cannot be paired.
  void record(Match played);
  // Plays the ready matches without a screen, on `threads` threads, and records them; repeats
  // until nothing is ready or `cancelled` says so (looked at between matches). `progress` hears
  // the played and the total count after each match, on the calling thread.
  void playRest(unsigned threads, const std::function<bool()>& cancelled = {},
                const std::function<void(std::size_t played, std::size_t total)>& progress = {});

  bool finished() const;
  // Matches with battles played and to play, as far as known (byes are not counted). In Swiss
  // the rounds not yet paired count (entries / 2) each; in double elimination a second grand
  // final is counted only once it is due.
  std::size_t playedCount() const;
  std::size_t totalCount() const;
  // The round the first ready match belongs to (the last round once finished).
  int currentRound() const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// Checks a tournament from someone else. A finished one as verifyTournament does; a closed one
// with a seed (played part way) by playing the whole tournament again: every recorded match must
// equal the match of that id. Nothing when everything agrees, otherwise the first difference in
// English.
std::optional<std::string> verifyPartialTournament(const Tournament& t,
                                                   const RunOptions& options = {});

// The secret file: created for its owner only (0600) and never replaced, holding the secret's
// 64 hex digits and a line feed. Reading gives the lower-case hex or nothing, with `error` set.
bool writeSecretFile(const std::filesystem::path& file, const std::string& secretHex,
                     std::string* error);
std::optional<std::string> readSecretFile(const std::filesystem::path& file, std::string* error);

// Why the draw's values cannot be made.
enum class DrawRefusal {
  SecretUnreadable,  // the secret file cannot be read or holds no secret (`error` says which)
  WrongSecret,       // its SHA-256 is not the commitment
  NoRandomSource,    // a tournament without a commitment, and the system gives no secret
};
// Makes the draw's values in `t`, once its entries are closed: reveals the secret (read from
// `secretFile` and checked against the commitment; for a tournament without a commitment, drawn
// from the system's random source), then the entries digest and the tournament seed from the
// secret, the entries and t.beacon. Refused, with `error` (if given) saying why in English:
// `t` is left as it was.
std::optional<DrawRefusal> revealDraw(Tournament& t, const std::filesystem::path& secretFile,
                                      std::string* error);

}  // namespace momiru::report
