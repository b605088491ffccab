// Checks of a tournament from someone else: played again from its secret, entries and beacon,
// and compared with what it records.
#pragma once

#include <optional>
#include <string>

#include "report/tournament.h"

namespace momiru::report {

// Plays `t` again from its secret, entries and beacon and names the first thing that differs
// from what it records; nothing when everything agrees.
std::optional<std::string> verifyTournament(const Tournament& t, const RunOptions& options = {});

// How much of a tournament has been played: matches with battles (byes not counted), of all
// it will play as far as they are known (TournamentPlay::totalCount).
struct MatchesPlayed {
  std::size_t played = 0;
  std::size_t total = 0;
};

// Checks a tournament from someone else. A finished one as verifyTournament does; a closed one
// with a seed (played part way) by playing the whole tournament again: every recorded match must
// equal the match of that id. Nothing when everything agrees, otherwise the first difference in
// English. When everything agrees, `count` (if given) says how much has been played.
std::optional<std::string> verifyPartialTournament(const Tournament& t,
                                                   const RunOptions& options = {},
                                                   MatchesPlayed* count = nullptr);

}  // namespace momiru::report
