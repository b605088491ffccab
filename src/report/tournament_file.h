// The tournament file, *.momiru-tournament: one UTF-8 JSON object, which anyone can check battle
// by battle, written whole and read back, alone or from the page that carries it.
//
// A tournament file is a stranger's file: reading one caps its size, never blocks, bounds nesting,
// lengths and counts, and range-checks every value before anything is built from it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "data/refusal.h"
#include "report/tournament.h"

namespace momiru::report {

std::string tournamentJson(const Tournament& t);
// The JSON as it may stand in a <script> element of a page that is also XML.
std::string tournamentJsonForPage(const Tournament& t);
// A tournament from its JSON, or from a page's <script type="application/json"
// id="momiru-tournament"> element (one only, and not inside a comment).
// `refusal` says why not.
std::optional<Tournament> parseTournament(std::string_view text, Refusal* refusal);
std::optional<Tournament> readTournamentFile(const std::filesystem::path& file, Refusal* refusal);

}  // namespace momiru::report
