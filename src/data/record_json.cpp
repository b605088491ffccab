// A character's record as JSON.
#include "data/record_json.h"

namespace momiru {

nlohmann::ordered_json recordPartsJson(const Combatant& c, PartNames names) {
  nlohmann::ordered_json parts = nlohmann::ordered_json::array();
  for (std::size_t p = 0; p < kParts; ++p) {
    nlohmann::ordered_json part;
    if (names == PartNames::Named) part["name"] = kPartNames[p];
    part["hp"] = c.hp[p];
    part["ofe"] = c.attack[p];
    part["def"] = c.defence[p];
    parts.push_back(std::move(part));
  }
  return parts;
}

nlohmann::ordered_json recordMovesJson(const Combatant& c) {
  nlohmann::ordered_json moves = nlohmann::ordered_json::array();
  for (std::size_t m = 0; m < kMoves; ++m)
    moves.push_back({{"text", c.moveNames[m]}, {"power", c.movePower[m]}});
  return moves;
}

}  // namespace momiru
