// Loading a pairing for momiru-lab, and small option helpers.
#include "lab/battle_setup.h"

#include <charconv>

#include "data/save_data.h"

namespace momiru::lab {

void registerNames(GameState& gs) {
  if (gs.combatant[1].name == gs.combatant[0].name) {
    gs.combatant[0].name += "(1)";
    gs.combatant[1].name += "(2)";
  }
}

std::optional<std::string> loadPairing(GameState& gs, const std::string& fileA,
                                       const std::string& fileB, bool halve) {
  const std::string* files[2] = {&fileA, &fileB};
  for (int slot = 0; slot < kSlots; ++slot) {
    const SaveDataResult r = LoadSaveData(gs, slot, *files[slot]);
    if (r.outcome == LoadOutcome::Tampered) {
      return *files[slot] + ": the save data has been altered (" + r.reason + ")";
    }
    if (r.outcome != LoadOutcome::Loaded) return *files[slot] + ": cannot be used: " + r.reason;
  }
  registerNames(gs);
  gs.settings.halveDamage = halve ? 1 : 0;
  gs.lineBreak = "\r\n";
  return std::nullopt;
}

std::optional<std::uint64_t> parseCount(std::string_view text, std::uint64_t min,
                                        std::uint64_t max) {
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (v < min || v > max) return std::nullopt;
  return v;
}

std::string lineEnds(std::string_view text, bool crlf) {
  if (crlf) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace momiru::lab
