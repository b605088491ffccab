// momiru-lab battle: one whole battle headless, printed as the result screen shows it.
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "battle/headless.h"
#include "battle/move_code.h"
#include "battle/texts.h"
#include "lab/battle_setup.h"
#include "lab/commands.h"
#include "lab/json_output.h"
#include "lab/options.h"
#include "lab/text.h"

namespace momiru::lab {
namespace {

constexpr const char* kHelp =
    "usage: momiru-lab battle A.dat B.dat [--seed N] [--halve] [--json] [--crlf]\n"
    "\n"
    "Loads A as player 1 and B as player 2 the way the entry screen does (equal names get\n"
    "\"(1)\" and \"(2)\"), plays one whole battle without a screen, and prints what the result\n"
    "screen shows: the log box, an empty line, the outcome label.\n"
    "\n"
    "  --seed N   replay the battle of seed N (0 to 2^64-1); the battle screen given the same\n"
    "             seed plays the same battle. Without it a seed is taken from the clock and\n"
    "             printed on stderr.\n"
    "  --halve    halved damage, as the options screen's switch\n"
    "  --json     one JSON object: seed, names, log, result_text, result_label, winner, loser,\n"
    "             draw, finished, turns (attacker, move, part, cost_hp_before, cost_hp_after,\n"
    "             blows, hp) and final_hp; texts keep the game's CR LF line ends, and bytes of\n"
    "             a name that are not UTF-8 are replaced by U+FFFD\n"
    "  --crlf     end the printed lines in CR LF, as in the game, instead of LF\n"
    "\n"
    "Control characters in names are shown escaped (\\n, \\x1B, \\u202E) in the plain output.\n"
    "A file that does not load, fails its integrity check or holds no character (level 0) is\n"
    "refused with one line naming it. A battle that has not ended after 10000 turns (possible\n"
    "with altered records) is reported as unfinished. Exit status: 0 finished, 1 a file cannot\n"
    "be used, 2 unfinished, 64 usage.\n"
    "\n"
    "examples:\n"
    "  momiru-lab battle samples/pochimaru.dat samples/rendaa.dat\n"
    "  momiru-lab battle a.dat b.dat --seed 12345 --json\n";

// Names and move names as the plain output shows them: control characters escaped. A move's code
// characters stay as they are, so the battle chooses and plays its moves exactly as with the
// stored names; names take no part in the rules.
void showNamesVisibly(GameState& gs) {
  for (Combatant& c : gs.combatant) {
    c.name = visibleText(c.name);
    for (std::string& move : c.moveNames) {
      const std::size_t display = battle::parseMoveCode(move).displayOffset;
      move = move.substr(0, display) + visibleText(std::string_view(move).substr(display));
    }
  }
}

const char* kindName(battle::MoveKind k) {
  switch (k) {
    case battle::MoveKind::Repeat:
      return "repeat";
    case battle::MoveKind::Special:
      return "special";
    case battle::MoveKind::Normal:
      break;
  }
  return "normal";
}

Json hpJson(const std::array<std::array<std::int32_t, kParts>, kSlots>& hp) {
  Json sides = Json::array();
  for (const auto& side : hp) sides.push_back(side);
  return sides;
}

std::string json(const GameState& gs, std::uint64_t seed, const battle::Outcome& out,
                 const std::vector<battle::TurnRecord>& turns) {
  const battle::ResultTexts texts = battle::resultTexts(gs);
  Json j;
  j["seed"] = seed;
  j["names"] = {gs.combatant[0].name, gs.combatant[1].name};
  j["log"] = gs.battleLog;
  j["result_text"] = texts.text1;
  j["result_label"] = out.finished ? Json(texts.label1) : Json(nullptr);
  j["winner"] = out.winner >= 0 ? Json(out.winner) : Json(nullptr);
  j["loser"] = out.loser >= 0 ? Json(out.loser) : Json(nullptr);
  j["draw"] = out.finished && out.winner < 0;
  j["finished"] = out.finished;
  Json& turnList = j["turns"] = Json::array();
  for (const battle::TurnRecord& t : turns) {
    Json turn;
    turn["attacker"] = t.attacker;
    turn["move"] = t.move;
    turn["part"] = t.part;
    turn["cost_hp_before"] = t.costHpBefore;
    turn["cost_hp_after"] = t.costHpAfter;
    Json& blows = turn["blows"] = Json::array();
    for (const battle::BlowRecord& b : t.blows) {
      Json blow;
      blow["kind"] = kindName(b.kind);
      blow["target"] = b.target;
      blow["damage"] = orNull(b.damage);
      blows.push_back(std::move(blow));
    }
    turn["hp"] = hpJson(t.hp);
    turnList.push_back(std::move(turn));
  }
  j["final_hp"] = hpJson({gs.combatant[0].hp, gs.combatant[1].hp});
  return jsonText(std::move(j)) + "\n";
}

}  // namespace

int battleCommand(const Args& args) {
  std::optional<std::uint64_t> seed;
  bool halve = false;
  bool asJson = false;
  bool crlf = false;
  OptionParser options("battle", kHelp);
  options.number("--seed", 0, std::numeric_limits<std::uint64_t>::max(),
                 "takes a whole number from 0 to 2^64-1, not", [&](std::uint64_t v) { seed = v; });
  options.flag("--halve", halve).flag("--json", asJson).flag("--crlf", crlf);
  const OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return *parsed.exitStatus;
  const std::vector<std::string>& files = parsed.operands;
  if (files.size() != 2) return options.usage("give exactly two save-data files");

  GameState gs;
  if (const auto error = loadPairing(gs, files[0], files[1], halve)) {
    std::fprintf(stderr, "momiru-lab battle: %s\n", error->c_str());
    return 1;
  }
  if (!asJson) showNamesVisibly(gs);
  if (!seed) {
    seed = clockSeed();
    std::fprintf(stderr, "momiru-lab battle: seed %llu\n", static_cast<unsigned long long>(*seed));
  }
  std::vector<battle::TurnRecord> turns;
  const battle::Outcome out =
      battle::playBattle(gs, *seed, battle::kDefaultMaxTurns, asJson ? &turns : nullptr);

  if (asJson) {
    std::fputs(json(gs, *seed, out, turns).c_str(), stdout);
  } else {
    const battle::ResultTexts texts = battle::resultTexts(gs);
    std::string page = texts.text1;
    if (page.size() < 2 || page.compare(page.size() - 2, 2, "\r\n") != 0) page += "\r\n";
    page += "\r\n";
    if (out.finished) page += texts.label1 + "\r\n";
    std::fputs(lineEnds(page, crlf).c_str(), stdout);
  }
  if (!out.finished) {
    std::fprintf(stderr, "momiru-lab battle: unfinished after %d turns\n", out.turns);
    return 2;
  }
  return 0;
}

}  // namespace momiru::lab
