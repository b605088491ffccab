// The JSON of an entry without its hash: the entry as the tournament file holds it, and the form
// its hash is taken of. Internal to the report library.
#pragma once

#include <nlohmann/json.hpp>

#include "report/tournament.h"

namespace momiru::report::detail {

nlohmann::ordered_json entryJson(const Entry& e);

}  // namespace momiru::report::detail
