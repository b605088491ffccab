// The tournament page: one self-contained HTML page in Japanese (no script, no network) with the
// fairness statement, the bracket as inline SVG, the round-robin cross table or the Swiss rounds,
// the standings, every match with its battles, and the entries with their portraits, each picture
// embedded once. It carries the tournament file in a <script type="application/json"
// id="momiru-tournament"> element, so that the page can be verified and opened as the file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "report/battle_page.h"
#include "report/tournament.h"

namespace momiru::report {

// `notVerified`, the first difference of a file that does not verify, puts a warning before all
// the file claims.
std::string tournamentPage(const Tournament& t, const report::BattlePageOptions& options = {},
                           const std::optional<std::string>& notVerified = std::nullopt);

// Written atomically. False, with `refusal` set, when it cannot be.
bool writeTournamentPage(const std::filesystem::path& file, const Tournament& t, Refusal* refusal,
                         const report::BattlePageOptions& options = {},
                         const std::optional<std::string>& notVerified = std::nullopt);

}  // namespace momiru::report
