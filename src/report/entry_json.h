// The JSON of an entry without its hash: the entry as the tournament file holds it, and the form
// its hash is taken of; and the rules, as the file and the declaration hold them. Internal to the
// report library.
#pragma once

#include <nlohmann/json.hpp>

#include "report/tournament.h"

namespace momiru::report::detail {

nlohmann::ordered_json entryJson(const Entry& e);
// The rules as the file's "rules" object holds them.
nlohmann::ordered_json rulesJson(const TournamentRules& r);

}  // namespace momiru::report::detail
