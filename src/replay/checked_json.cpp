// Refusing a value of a stranger's JSON document.
#include "replay/checked_json.h"

#include <utility>

namespace momiru::battle {

void refuseJson(std::string why) { throw JsonFieldRefused{std::move(why)}; }

}  // namespace momiru::battle
