// A tournament played a match at a time: on screen one match live, the rest at once, in any mix
// and any order. Each match is decided by its players, its id and the tournament's seed alone, so
// whatever the order and the way each match was played, the tournament that comes out is the one
// playTournament makes: playTournament itself is this class, played to the end on threads.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/tournament.h"

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

// The rounds a Swiss tournament of `t`'s entries plays: its rules' rounds, or for 0 the smallest
// N with 2^N at least the field; never more than there are opponents.
int swissRounds(const Tournament& t);

// Plays the whole tournament from t.seed: fills seeds, matches and standings. Throws
// std::runtime_error when it cannot (a Swiss round that cannot be paired), std::bad_alloc when
// memory runs out.
void playTournament(Tournament& t, const RunOptions& options = {});

}  // namespace momiru::report
