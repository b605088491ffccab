// momiru-lab inspect: what the game reads from save-data files, and why it refuses one.
#include <cstdio>
#include <string>
#include <vector>

#include "data/arith.h"
#include "data/game_state.h"
#include "data/platform.h"
#include "data/save_data.h"
#include "data/text_safety.h"
#include "lab/commands.h"
#include "lab/options.h"
#include "report/format.h"
#include "report/json_output.h"
#include "report/translation.h"

namespace momiru::lab {

using namespace report;

namespace {

constexpr const char* kHelp = N_(
    "usage: momiru-lab inspect [--json] FILE...\n"
    "\n"
    "Reads each save-data file as the game's first load of a run would, and shows the decoded\n"
    "character, the key, the stored check value, the computed sum, the numbers that are not\n"
    "multiples of the key, and the verdict with its reason.\n"
    "\n"
    "options:\n"
    "  --json     one JSON object per file, one per line; bytes of a file name that are not\n"
    "             UTF-8 are replaced by U+FFFD\n"
    "  -h, --help this text\n"
    "\n"
    "Control characters in names are shown escaped (\\n, \\x1B, \\u202E) in the plain output.\n"
    "\n"
    "exit status: 0 every file loads, 1 some file is tampered, 2 some file is unreadable or not a\n"
    "regular file\n"
    "\n"
    "examples:\n"
    "  momiru-lab inspect samples/pochimaru.dat\n"
    "  momiru-lab inspect --json saves/*.dat\n");

// The verdict as JSON names it; the plain output shows it translated.
const char* verdictOf(LoadOutcome o) {
  switch (o) {
    case LoadOutcome::Loaded:
      return N_("ok");
    case LoadOutcome::Tampered:
      return N_("tampered");
    case LoadOutcome::Failed:
      break;
  }
  return N_("unreadable");
}

std::string jsonLine(const std::string& file, const SaveDataResult& r) {
  const bool readable = r.outcome != LoadOutcome::Failed;
  Json j;
  j["file"] = file;
  j["verdict"] = verdictOf(r.outcome);
  j["reason"] = r.reason;
  j["key"] = readable ? Json(r.values.key) : Json(nullptr);
  j["check"] = readable ? Json(r.values.checkSum) : Json(nullptr);
  j["sum"] = orNull(r.sum);
  j["not_multiples"] = readable ? Json(r.notMultiples) : Json::array();
  if (!readable) {
    for (const char* k : {"level", "picture", "name", "parts", "moves"}) j[k] = nullptr;
    return jsonText(std::move(j));
  }
  j["level"] = r.record.level;
  j["picture"] = r.record.portrait;
  j["name"] = r.values.storedNames[0];
  Json& parts = j["parts"] = Json::array();
  for (std::size_t p = 0; p < kParts; ++p) {
    Json part;
    part["name"] = kPartNames[p];
    part["hp"] = r.record.hp[p];
    part["ofe"] = r.record.attack[p];
    part["def"] = r.record.defence[p];
    parts.push_back(std::move(part));
  }
  Json& moves = j["moves"] = Json::array();
  for (std::size_t m = 0; m < kMoves; ++m) {
    Json move;
    move["text"] = r.record.moveNames[m];
    move["power"] = r.record.movePower[m];
    moves.push_back(std::move(move));
  }
  return jsonText(std::move(j));
}

std::string plainText(const std::string& file, const SaveDataResult& r) {
  std::string out = visibleText(file) + ": " + translated(verdictOf(r.outcome));
  if (!r.reason.empty()) out += " (" + visibleText(r.reason) + ")";
  out += "\n";
  if (r.outcome == LoadOutcome::Failed) return out;
  const auto line = [&out](const std::string& label, const std::string& value) {
    out += "  " + padRight(label, 9) + " " + value + "\n";
  };
  line(_("name"), visibleText(r.values.storedNames[0]));
  line(_("level"), decimal(r.record.level));
  line(_("picture"), decimal(r.record.portrait));
  // The body part's heading; HP, OFE and DEF are the save data's own names.
  out += "  " + padRight(_("part"), 8) + "        HP        OFE        DEF\n";
  for (std::size_t p = 0; p < kParts; ++p) {
    char row[96];
    std::snprintf(row, sizeof row, " %11d%11d%11d\n", r.record.hp[p], r.record.attack[p],
                  r.record.defence[p]);
    // The part names are two or three double-width characters; pad them to the same width.
    const std::string name = kPartNames[p];
    out += "  " + name + std::string(name.size() == 3 ? 4 : 2, ' ') + row;
  }
  for (std::size_t m = 0; m < kMoves; ++m) {
    line(format(_("move %zu"), m + 1),
         format(_("%s  power %s"), visibleText(r.record.moveNames[m]).c_str(),
                decimal(r.record.movePower[m]).c_str()));
  }
  line(_("key"), decimal(r.values.key));
  line(_("check"), decimal(r.values.checkSum));
  line(_("sum"), r.sum ? decimal(*r.sum) : std::string(_("not formed")));
  std::string names;
  for (const std::string& n : r.notMultiples) names += (names.empty() ? "" : ", ") + n;
  out += format(_("  not multiples of the key: %s\n"), names.empty() ? _("none") : names.c_str());
  return out;
}

}  // namespace

int inspectCommand(const Args& args) {
  bool json = false;
  OptionParser options("inspect", kHelp);
  options.flag("--json", json);
  const OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return *parsed.exitStatus;
  const std::vector<std::string>& files = parsed.operands;
  if (files.empty()) return options.usage(_("no file given"));

  int status = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    // A fresh state per file: each is read as the first load of a run.
    GameState gs;
    const SaveDataResult r = loadSaveData(gs, 0, utf8ToPath(files[i]));
    if (r.outcome == LoadOutcome::Failed) {
      status = 2;
    } else if (r.outcome == LoadOutcome::Tampered && status == 0) {
      status = 1;
    }
    if (json) {
      std::fputs((jsonLine(files[i], r) + "\n").c_str(), stdout);
    } else {
      if (i > 0) std::fputc('\n', stdout);
      std::fputs(plainText(files[i], r).c_str(), stdout);
    }
  }
  return status;
}

}  // namespace momiru::lab
