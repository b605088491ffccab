// A tournament file's name and state, read without reading the file whole.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "report/tournament.h"

namespace momiru::report {

// A tournament file's name and state, read from its JSON only as far as its "state" (which the
// writer puts near the top), for telling the kept tournaments apart without reading them whole.
// Nothing when the text is no tournament's JSON up to there.
struct TournamentHead {
  std::string name;
  Stage stage = Stage::Open;
};
std::optional<TournamentHead> tournamentHead(std::string_view json);

}  // namespace momiru::report
