// The reports of a league: a text table, one JSON object, and a self-contained HTML page with SVG
// charts. Names go through the escaping each format needs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/text_safety.h"
#include "report/league.h"
#include "report/ratings.h"

namespace momiru::report {

struct LeagueEntrant {
  std::string name;  // as the game shows it: "<file>の<stored name>", told apart when equal
  std::string file;  // as given on the command line
};

struct LeftOut {
  std::string file;
  std::string reason;
};

struct LeagueReport {
  LeagueSettings settings;
  std::vector<LeagueEntrant> entrants;
  LeagueResults results;
  RatingFit fit;
  std::vector<LeftOut> leftOut;
};

// One character's line of the league table (a tournament's is report::Standing).
struct LeagueStanding {
  std::size_t character = 0;  // index into entrants
  std::uint64_t wins = 0;
  std::uint64_t draws = 0;
  std::uint64_t losses = 0;
  std::uint64_t unfinished = 0;
  std::optional<double> winShare;   // (wins + draws / 2) / finished battles
  std::optional<double> meanTurns;  // of the finished battles
};

// The characters from the highest rating down (ties in entry order).
std::vector<LeagueStanding> standings(const LeagueReport& report);

// Share of the score of `row` against `column` over both orders: (wins + draws / 2) / finished.
std::optional<double> pairwiseWinRate(const LeagueResults& results, std::size_t row,
                                      std::size_t column);

std::string textReport(const LeagueReport& report);
std::string jsonReport(const LeagueReport& report);
std::string htmlReport(const LeagueReport& report);
}  // namespace momiru::report
