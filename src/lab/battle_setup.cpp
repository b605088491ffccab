// Loading characters for the commands that play battles.
#include "lab/battle_setup.h"

#include "data/platform.h"
#include "data/registration.h"
#include "data/save_data.h"
#include "data/text_safety.h"
#include "report/format.h"
#include "report/translation.h"

namespace momiru::lab {

std::optional<std::string> whyNotACharacter(GameState& gs, int slot, const std::string& file,
                                            bool translate) {
  const auto text = [translate](const char* english) {
    return translate ? report::translated(english) : english;
  };
  const SaveDataResult r = loadSaveData(gs, slot, utf8ToPath(file));
  if (r.outcome == LoadOutcome::Tampered) {
    return report::format(text(N_("the save data has been altered (%s)")), r.reason.c_str());
  }
  if (r.outcome != LoadOutcome::Loaded)
    return report::format(text(N_("cannot be used: %s")), r.reason.c_str());
  if (!hasCharacter(r.record))
    return text(N_("cannot be used: no character has been entered (level 0)"));
  return std::nullopt;
}

std::optional<std::string> loadCharacter(GameState& gs, int slot, const std::string& file) {
  const auto why = whyNotACharacter(gs, slot, file);
  if (!why) return std::nullopt;
  return visibleText(file + ": " + *why);
}

std::optional<std::string> loadPairing(battle::BattleStart& start, const std::string& fileA,
                                       const std::string& fileB, bool halve) {
  GameState gs;
  const std::string* files[kSlots] = {&fileA, &fileB};
  for (int slot = 0; slot < kSlots; ++slot) {
    if (auto error = loadCharacter(gs, slot, *files[slot])) return error;
  }
  start = battle::pairingStart(gs.combatant[0], gs.combatant[1], halve, start.seed);
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
