// momiru-lab battle: one whole battle headless, printed as the result screen shows it.
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "battle/headless.h"
#include "battle/move_code.h"
#include "battle/texts.h"
#include "data/platform.h"
#include "data/text_safety.h"
#include "lab/battle_setup.h"
#include "lab/commands.h"
#include "lab/options.h"
#include "replay/replay.h"
#include "replay/replay_store.h"
#include "report/battle_page.h"
#include "report/format.h"
#include "report/json_output.h"
#include "report/translation.h"

namespace momiru::lab {

using namespace report;
namespace {

// What a replay the tool makes says wrote it.
constexpr const char* kWrittenBy = "momiru-lab " MOMIRU_VERSION;

constexpr const char* kHelp = N_(
    "usage: momiru-lab battle A.dat B.dat [--seed N] [--halve] [--json] [--crlf]\n"
    "                         [--save-replay FILE] [--html PAGE]\n"
    "       momiru-lab battle REPLAY [--json] [--crlf] [--save-replay FILE] [--html PAGE]\n"
    "\n"
    "Loads A as player 1 and B as player 2 the way the entry screen does (equal names get\n"
    "\"(1)\" and \"(2)\"), plays one whole battle without a screen, and prints what the result\n"
    "screen shows: the log box, an empty line, the outcome label.\n"
    "\n"
    "One operand is a replay (a .momiru-replay file, or a page that carries one), whatever\n"
    "its name unless it ends in .dat: its two records, seed and halving switch are played\n"
    "again by these rules and printed exactly as the battle of the save-data files, with the\n"
    "names it stores. A replay whose battle comes out otherwise than it records (made under\n"
    "other rules, or edited) is printed as these rules play it, followed by one line on\n"
    "stderr that names what differs (winner, turns, final_hp, log_sha256, ...).\n"
    "\n"
    "  --seed N   replay the battle of seed N (0 to 2^64-1); the battle screen given the same\n"
    "             seed plays the same battle. Without it a seed is taken from the clock and\n"
    "             printed on stderr. Not with a replay, which holds its own.\n"
    "  --halve    halved damage, as the options screen's switch. Not with a replay, which\n"
    "             holds its own.\n"
    "  --json     one JSON object: seed, names, log, result_text, result_label, winner, loser,\n"
    "             draw, finished, turns (attacker, move, part, cost_hp_before, cost_hp_after,\n"
    "             blows, hp) and final_hp; texts keep the game's CR LF line ends, and bytes of\n"
    "             a name that are not UTF-8 are replaced by U+FFFD\n"
    "  --crlf     end the printed lines in CR LF, as in the game, instead of LF\n"
    "  --save-replay FILE\n"
    "             also write the battle as a replay to FILE (replaced whole, never left half\n"
    "             written): the two records as registered, the seed, the switches and the\n"
    "             result, with the base names of A and B as its files. The game opens it; the\n"
    "             message box and hit backgrounds are on and the speed is 150, as the options\n"
    "             screen starts. Given a replay, writes it again as it was read.\n"
    "  --html PAGE\n"
    "             also write the battle's page to PAGE (replaced whole): one HTML page in\n"
    "             Japanese that opens anywhere without a network, with both characters, the\n"
    "             outcome, a chart of each side's hit points, the log turn by turn and the\n"
    "             pairing's odds over 100000 battles (seeds derived from the battle's seed as\n"
    "             simulate --seed derives them), or over the first of them that play\n"
    "             5000000 turns, as the page says, when the battles are long. It carries the\n"
    "             replay: 'momiru-lab battle PAGE' and the game open it as the battle it shows.\n"
    "\n"
    "Control characters in names are shown escaped (\\n, \\x1B, \\u202E) in the plain output.\n"
    "A file that does not load, fails its integrity check or holds no character (level 0) is\n"
    "refused with one line naming it. A battle that has not ended after 10000 turns (possible\n"
    "with altered records) is reported as unfinished. Exit status: 0 finished; 1 a save-data\n"
    "file cannot be used, a replay's battle differs from its record, or the replay cannot be\n"
    "written; 2 unfinished, or a replay that cannot be read (not a regular file, too large,\n"
    "not a replay, a value out of range); 64 usage.\n"
    "\n"
    "examples:\n"
    "  momiru-lab battle samples/pochimaru.dat samples/rendaa.dat\n"
    "  momiru-lab battle a.dat b.dat --seed 12345 --json\n"
    "  momiru-lab battle a.dat b.dat --seed 12345 --save-replay a-vs-b.momiru-replay\n"
    "  momiru-lab battle a-vs-b.momiru-replay\n"
    "  momiru-lab battle a-vs-b.momiru-replay --html a-vs-b.html\n");

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
  j["result_text"] = texts.logBox;
  j["result_label"] = out.finished ? Json(texts.outcome) : Json(nullptr);
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

// A lone operand is a replay unless it is named as save data is (*.dat), which wants a second.
bool endsInDat(const std::string& file) {
  if (file.size() < 4) return false;
  std::string ext = file.substr(file.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".dat";
}

// Plays the battle of `gs` from `seed` and prints it; the outcome for the exit status.
battle::Outcome printBattle(GameState& gs, std::uint64_t seed, bool asJson, bool crlf) {
  if (!asJson) battle::showTexts(gs, visibleText);  // control characters shown escaped
  std::vector<battle::TurnRecord> turns;
  const battle::Outcome out =
      battle::playBattle(gs, seed, battle::kDefaultMaxTurns, asJson ? &turns : nullptr);
  if (asJson) {
    std::fputs(json(gs, seed, out, turns).c_str(), stdout);
  } else {
    const battle::ResultTexts texts = battle::resultTexts(gs);
    std::string page = texts.logBox;
    if (page.size() < 2 || page.compare(page.size() - 2, 2, "\r\n") != 0) page += "\r\n";
    page += "\r\n";
    if (out.finished) page += texts.outcome + "\r\n";
    std::fputs(lineEnds(page, crlf).c_str(), stdout);
  }
  return out;
}

// The time now, UTC, as a replay dates itself: 2026-12-08T12:34:56Z.
std::string utcNow() {
  const std::time_t now = std::time(nullptr);
  char buf[32] = "1970-01-01T00:00:00Z";
  if (const auto utc = utcCalendarTime(std::chrono::system_clock::from_time_t(now)))
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &*utc);
  return buf;
}

// Writes `replay` to `file`; false after one line on stderr.
bool saveReplayTo(const std::string& file, const replay::Replay& replay) {
  Refusal refusal;
  if (replay::writeReplayFile(utf8ToPath(file), replay, &refusal)) return true;
  std::fprintf(stderr, "momiru-lab battle: %s\n",
               visibleText(describe(refusal, report::translated)).c_str());
  return false;
}

// Writes the battle page of `replay` to `file`; false after one line on stderr.
bool writePageTo(const std::string& file, const replay::Replay& replay) {
  Refusal refusal;
  if (writeBattlePage(utf8ToPath(file), replay, &refusal)) return true;
  std::fprintf(stderr, "momiru-lab battle: %s\n",
               visibleText(describe(refusal, report::translated)).c_str());
  return false;
}

int finishedStatus(const battle::Outcome& out) {
  if (out.finished) return 0;
  std::fprintf(stderr, _("momiru-lab battle: unfinished after %d turns\n"), out.turns);
  return 2;
}

int replayBattle(const std::string& file, const BattleOutput& output) {
  Refusal refusal;
  const std::optional<replay::Replay> replay = replay::readReplayFile(utf8ToPath(file), &refusal);
  if (!replay) {
    std::fprintf(stderr, "momiru-lab battle: %s: %s\n", visibleText(file).c_str(),
                 visibleText(describe(refusal, report::translated)).c_str());
    return 2;
  }
  // Written again as it was read.
  int status = showBattle(
      replay::replayStart(*replay), [&] { return *replay; }, output);
  // Played from the stored names: the log the recorded hash was taken of.
  const auto mismatch = replay::replayMismatch(replay->result, replay::playReplay(*replay));
  if (mismatch) {
    std::fprintf(stderr,
                 _("momiru-lab battle: %s: these rules play another battle than the replay "
                   "records (%s differ)\n"),
                 visibleText(file).c_str(), mismatch->c_str());
    status = 1;
  }
  return status;
}

}  // namespace

int showBattle(const battle::BattleStart& start, const std::function<replay::Replay()>& replay,
               const BattleOutput& output) {
  GameState gs = battle::startState(start);
  const battle::Outcome out = printBattle(gs, start.seed, output.asJson, output.crlf);
  int status = finishedStatus(out);
  if (output.saveReplayTo || output.pageTo) {
    const replay::Replay made = replay();
    if (output.saveReplayTo && !saveReplayTo(*output.saveReplayTo, made)) status = 1;
    if (output.pageTo && !writePageTo(*output.pageTo, made)) status = 1;
  }
  return status;
}

int battleCommand(const Args& args) {
  std::optional<std::uint64_t> seed;
  BattleOutput output;
  bool halve = false;
  OptionParser options("battle", kHelp);
  options.number("--seed", 0, std::numeric_limits<std::uint64_t>::max(),
                 N_("takes a whole number from 0 to 2^64-1, not"),
                 [&](std::uint64_t v) { seed = v; });
  options.flag("--halve", halve).flag("--json", output.asJson).flag("--crlf", output.crlf);
  options.text("--save-replay", N_("a file name"),
               [&](std::string v) { output.saveReplayTo = std::move(v); });
  options.text("--html", N_("a file name"), [&](std::string v) { output.pageTo = std::move(v); });
  const OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return *parsed.exitStatus;
  const std::vector<std::string>& files = parsed.operands;
  if (files.size() == 1 && !endsInDat(files[0])) {
    if (seed || halve)
      return options.usage(
          _("a replay holds its own seed and halving switch: no --seed or --halve"));
    return replayBattle(files[0], output);
  }
  if (files.size() != 2) return options.usage(_("give two save-data files, or one replay"));

  for (const auto& [option, target] :
       {std::pair{"--save-replay", output.saveReplayTo}, {"--html", output.pageTo}}) {
    for (const std::string& file : files) {
      std::error_code ec;
      if (target && std::filesystem::equivalent(utf8ToPath(*target), utf8ToPath(file), ec))
        return options.usage(
            format(_("%s would replace the save-data file %s"), option, file.c_str()));
    }
  }
  battle::BattleStart start;
  if (const auto error = loadPairing(start, files[0], files[1], halve)) {
    std::fprintf(stderr, "momiru-lab battle: %s\n", error->c_str());
    return 1;
  }
  if (!seed) {
    seed = clockSeed();
    std::fprintf(stderr, _("momiru-lab battle: seed %llu\n"),
                 static_cast<unsigned long long>(*seed));
  }
  start.seed = *seed;
  const auto replay = [&] {
    // The lab has no options screen: a replay it makes is watched as that screen starts.
    battle::BattleStart shown = start;
    shown.hitBackground = true;
    shown.messageBox = true;
    return replay::makeReplay(shown, {files[0], files[1]}, utcNow(), kWrittenBy);
  };
  return showBattle(start, replay, output);
}

}  // namespace momiru::lab
