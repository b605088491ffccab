// A character's record as every JSON file holds it (a replay's characters, a tournament's
// entries, `momiru-lab inspect --json`): its level, picture, parts and moves, written and read
// here once, so that an entry's hash, which is taken of this shape, has one definition.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>

#include "data/checked_json.h"
#include "data/game_state.h"

namespace momiru {

// Whether each part carries its screen name ("頭", ...) beside its numbers. A tournament's entry
// and inspect's output name them, for a reader of the file; a replay does not. Readers ignore it.
enum class PartNames { Omitted, Named };

// The parts, as a list of {"name"?, "hp", "ofe", "def"}.
nlohmann::ordered_json recordPartsJson(const Combatant& c, PartNames names);
// The moves, as a list of {"text", "power"}.
nlohmann::ordered_json recordMovesJson(const Combatant& c);

// The record's "level", "picture", "parts" and "moves" put into `into`, after what it holds.
inline void putRecord(nlohmann::ordered_json& into, const Combatant& c, PartNames names) {
  into["level"] = c.level;
  into["picture"] = c.portrait;
  into["parts"] = recordPartsJson(c, names);
  into["moves"] = recordMovesJson(c);
}

// The record's level, picture, parts and moves read from `object` (at `where`, "entries[3].")
// into `record`, each value checked; texts of at most `maxTextBytes`. Refused (JsonFieldRefused)
// where a value is missing or wrong. Json is nlohmann::json or nlohmann::ordered_json.
template <class Json>
void readRecord(const Json& object, const std::string& where, std::size_t maxTextBytes,
                Combatant& record) {
  // `at` ends in '.', as the accessors take it; a refusal of the item itself names it without.
  const auto objectIn = [](const Json& v, const std::string& at) -> const Json& {
    if (!v.is_object())
      refuseValue(Refusal::Kind::WrongType, at.substr(0, at.size() - 1), " is not an object");
    return v;
  };
  record.level = int32At(object, "level", where);
  record.portrait = int32At(object, "picture", where);
  const Json& parts = listOfSize(object, "parts", kParts, where);
  std::string at;
  for (std::size_t p = 0; p < kParts; ++p) {
    at.assign(where).append("parts[").append(std::to_string(p)).append("].");
    const Json& part = objectIn(parts[p], at);
    record.hp[p] = int32At(part, "hp", at);
    record.attack[p] = int32At(part, "ofe", at);
    record.defence[p] = int32At(part, "def", at);
  }
  const Json& moves = listOfSize(object, "moves", kMoves, where);
  for (std::size_t m = 0; m < kMoves; ++m) {
    at.assign(where).append("moves[").append(std::to_string(m)).append("].");
    const Json& move = objectIn(moves[m], at);
    record.moveNames[m] = checkedText(member(move, "text", at), at + "text", maxTextBytes);
    record.movePower[m] = int32At(move, "power", at);
  }
}

}  // namespace momiru
