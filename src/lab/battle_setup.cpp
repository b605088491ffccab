// Loading characters for the commands that play battles.
#include "lab/battle_setup.h"

#include "data/platform.h"
#include "data/registration.h"
#include "data/save_data.h"
#include "data/text_safety.h"

namespace momiru::lab {

std::optional<std::string> whyNotACharacter(GameState& gs, int slot, const std::string& file) {
  const SaveDataResult r = LoadSaveData(gs, slot, utf8ToPath(file));
  if (r.outcome == LoadOutcome::Tampered) {
    return "the save data has been altered (" + r.reason + ")";
  }
  if (r.outcome != LoadOutcome::Loaded) return "cannot be used: " + r.reason;
  if (!hasCharacter(r.record)) return "cannot be used: no character has been entered (level 0)";
  return std::nullopt;
}

std::optional<std::string> loadCharacter(GameState& gs, int slot, const std::string& file) {
  const auto why = whyNotACharacter(gs, slot, file);
  if (!why) return std::nullopt;
  return visibleText(file + ": " + *why);
}

std::optional<std::string> loadPairing(GameState& gs, const std::string& fileA,
                                       const std::string& fileB, bool halve) {
  const std::string* files[kSlots] = {&fileA, &fileB};
  for (int slot = 0; slot < kSlots; ++slot) {
    if (auto error = loadCharacter(gs, slot, *files[slot])) return error;
  }
  markEqualNames(gs);
  gs.settings.halveDamage = halve ? 1 : 0;
  gs.lineBreak = "\r\n";
  return std::nullopt;
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
