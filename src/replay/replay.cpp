// Replays: a battle's inputs and result as JSON, played again by the rules.
#include "replay/replay.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <istream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

#include "data/checked_json.h"
#include "data/platform.h"
#include "data/record_json.h"
#include "data/strangers_file.h"
#include "data/utf8.h"
#include "replay/replay_page.h"

namespace momiru::replay {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// Nesting a replay needs: the root, `characters`, a character, `parts`, a part.
constexpr int kMaxDepth = 8;

ordered_json optionalSlot(const std::optional<std::int32_t>& slot) {
  return slot ? ordered_json(*slot) : ordered_json(nullptr);
}

ordered_json hpJson(const Hp& hp) {
  ordered_json sides = ordered_json::array();
  for (const battle::SideHp& side : hp) sides.push_back(side);
  return sides;
}

// A file name as the replay keeps it: the base name alone, as valid UTF-8.
std::string baseName(std::string_view file) {
  if (const std::size_t slash = file.rfind('/'); slash != std::string_view::npos)
    file.remove_prefix(slash + 1);
  std::string name = validUtf8(file);
  std::replace(name.begin(), name.end(), '\0', '_');
  return name;
}

// --- reading -------------------------------------------------------------------------------

// The values of a replay are read by the shared readers of a stranger's JSON; a refusal is
// caught by parseReplay.
using Refused = JsonFieldRefused;

const json& arrayAt(const json& parent, const char* key, std::size_t count,
                    const std::string& where) {
  return listOfSize(parent, key, count, where);
}

std::string textAt(const json& parent, const char* key, const std::string& where) {
  return checkedText(member(parent, key, where), where + key, kReplayMaxTextBytes);
}

std::optional<std::int32_t> slotAt(const json& parent, const char* key, const std::string& where) {
  const json& v = member(parent, key, where);
  if (v.is_null()) return std::nullopt;
  return static_cast<std::int32_t>(wholeNumber(v, where + key, 0, kSlots - 1));
}

ReplayCharacter readCharacter(const json& c, const std::string& where) {
  if (!c.is_object())
    refuseValue(Refusal::Kind::WrongType, where.substr(0, where.size() - 1), " is not an object");
  ReplayCharacter out;
  out.file = textAt(c, "file", where);
  // The name is only ever shown; it must never lead anywhere on this machine.
  if (out.file.find('/') != std::string::npos || out.file.find('\0') != std::string::npos)
    refuseValue(Refusal::Kind::NotAllowed, where + "file", " is not a bare file name");
  out.record.name = textAt(c, "name", where);
  readRecord(c, where, kReplayMaxTextBytes, out.record);
  return out;
}

ReplayResult readResult(const json& root) {
  const std::string where = "result.";
  const json& r = objectAt(root, "result", "");
  ReplayResult out;
  out.winner = slotAt(r, "winner", where);
  out.loser = slotAt(r, "loser", where);
  out.draw = boolAt(r, "draw", where);
  out.finished = boolAt(r, "finished", where);
  out.turns = int32At(r, "turns", where, 0);
  const json& hp = arrayAt(r, "final_hp", kSlots, where);
  for (std::size_t s = 0; s < kSlots; ++s) {
    const std::string name = where + "final_hp[" + std::to_string(s) + "]";
    if (!hp[s].is_array() || hp[s].size() != kParts)
      refuseValue(Refusal::Kind::WrongType, name,
                  " is not a list of " + std::to_string(kParts) + " numbers");
    for (std::size_t p = 0; p < kParts; ++p)
      out.finalHp[s][p] = static_cast<std::int32_t>(wholeNumber(
          hp[s][p], name + "[" + std::to_string(p) + "]", std::numeric_limits<std::int32_t>::min(),
          std::numeric_limits<std::int32_t>::max()));
  }
  out.logSha256 = sha256Digest(textAt(r, "log_sha256", where), where + "log_sha256");
  return out;
}

Replay readReplay(const json& root) {
  checkFormatAndVersion(root, "replay", kReplayFormat, kReplayVersion);

  Replay out;
  out.writtenBy = textAt(root, "written_by", "");
  out.date = textAt(root, "date", "");
  const json& seed = member(root, "seed", "");
  if (!seed.is_number_unsigned())
    refuseValue(Refusal::Kind::WrongType, "seed", " is not a whole number from 0 to 2^64-1");
  out.seed = seed.get<std::uint64_t>();
  out.halve = boolAt(root, "halve", "");
  out.speed = int32At(root, "speed", "", Settings::kMinSpeed, Settings::kMaxSpeed);
  const json& switches = objectAt(root, "switches", "");
  out.messageBox = boolAt(switches, "message_box", "switches.");
  out.hitBackground = boolAt(switches, "hit_background", "switches.");
  const json& characters = arrayAt(root, "characters", kSlots, "");
  for (std::size_t s = 0; s < kSlots; ++s)
    out.characters[s] = readCharacter(characters[s], "characters[" + std::to_string(s) + "].");
  out.result = readResult(root);
  return out;
}

}  // namespace

BattleStart replayStart(const Replay& replay) {
  BattleStart start;
  for (std::size_t s = 0; s < kSlots; ++s) start.records[s] = replay.characters[s].record;
  start.seed = replay.seed;
  start.halve = replay.halve;
  start.messageBox = replay.messageBox;
  start.hitBackground = replay.hitBackground;
  start.speed = replay.speed;
  return start;
}

ReplayResult playReplay(const Replay& replay, std::string* log, std::vector<TurnRecord>* turns) {
  GameState gs = battle::startState(replayStart(replay));
  if (turns != nullptr) turns->clear();
  const battle::Outcome out = battle::playBattle(gs, replay.seed, battle::kDefaultMaxTurns, turns);
  ReplayResult r;
  if (out.winner >= 0) r.winner = out.winner;
  if (out.loser >= 0) r.loser = out.loser;
  r.finished = out.finished;
  r.draw = out.finished && out.winner < 0;
  r.turns = out.turns;
  for (std::size_t s = 0; s < kSlots; ++s) r.finalHp[s] = gs.combatant[s].hp;
  r.logSha256 = sha256Hex(gs.battleLog);
  if (log != nullptr) *log = std::move(gs.battleLog);
  return r;
}

Replay makeReplay(const BattleStart& start, const std::array<std::string, kSlots>& files,
                  std::string date, std::string writtenBy) {
  Replay r;
  r.writtenBy = validUtf8(writtenBy);
  r.date = validUtf8(date);
  r.seed = start.seed;
  r.halve = start.halve;
  r.speed = std::clamp(start.speed, Settings::kMinSpeed, Settings::kMaxSpeed);
  r.messageBox = start.messageBox;
  r.hitBackground = start.hitBackground;
  for (std::size_t s = 0; s < kSlots; ++s) {
    r.characters[s].file = baseName(files[s]);
    Combatant& c = r.characters[s].record;
    c = start.records[s];
    // The file holds valid UTF-8 only, and the result must be the one its records give: names
    // take no part in the rules, so this changes only the log's texts.
    c.name = validUtf8(c.name);
    for (std::string& move : c.moveNames) move = validUtf8(move);
  }
  r.result = playReplay(r);
  return r;
}

std::optional<std::string> replayMismatch(const ReplayResult& recorded,
                                          const ReplayResult& played) {
  std::string what;
  const auto differs = [&what](bool d, const char* key) {
    if (d) what += (what.empty() ? "" : ", ") + std::string(key);
  };
  differs(recorded.winner != played.winner, "winner");
  differs(recorded.loser != played.loser, "loser");
  differs(recorded.draw != played.draw, "draw");
  differs(recorded.finished != played.finished, "finished");
  differs(recorded.turns != played.turns, "turns");
  differs(recorded.finalHp != played.finalHp, "final_hp");
  differs(recorded.logSha256 != played.logSha256, "log_sha256");
  if (what.empty()) return std::nullopt;
  return what;
}

std::string replayJson(const Replay& replay) {
  ordered_json j;
  j["format"] = kReplayFormat;
  j["version"] = kReplayVersion;
  j["written_by"] = replay.writtenBy;
  j["date"] = replay.date;
  j["seed"] = replay.seed;
  j["halve"] = replay.halve;
  j["speed"] = replay.speed;
  j["switches"] = {{"message_box", replay.messageBox}, {"hit_background", replay.hitBackground}};
  ordered_json characters = ordered_json::array();
  for (const ReplayCharacter& ch : replay.characters) {
    ordered_json one;
    one["file"] = ch.file;
    one["name"] = ch.record.name;
    putRecord(one, ch.record, PartNames::Omitted);
    characters.push_back(std::move(one));
  }
  j["characters"] = std::move(characters);
  const ReplayResult& r = replay.result;
  ordered_json result;
  result["winner"] = optionalSlot(r.winner);
  result["loser"] = optionalSlot(r.loser);
  result["draw"] = r.draw;
  result["finished"] = r.finished;
  result["turns"] = r.turns;
  result["final_hp"] = hpJson(r.finalHp);
  result["log_sha256"] = r.logSha256;
  j["result"] = std::move(result);
  // Texts a caller put in without makeReplay may hold bytes that are not UTF-8: replaced, never
  // thrown over.
  return j.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

std::optional<Replay> parseReplay(std::string_view text, Refusal* refusal) {
  const bool page = looksLikePage(text).value_or(false);
  const std::size_t limit = page ? kPageMaxBytes : kReplayMaxBytes;
  if (text.size() > limit) {
    refuse(refusal, Refusal(Refusal::Kind::TooLarge, "replay", limit));
    return std::nullopt;
  }
  const std::optional<std::string_view> body = page ? pageReplayJson(text, refusal) : text;
  if (!body) return std::nullopt;
  Refusal why(Refusal::Kind::NotJson, "replay");
  const std::optional<json> root = parseBoundedJson<json>(*body, kMaxDepth, &why);
  if (!root) {
    refuse(refusal, why);
    return std::nullopt;
  }
  try {
    return readReplay(*root);
  } catch (const Refused& r) {
    refuse(refusal, r.refusal);
  } catch (const json::exception&) {
    refuse(refusal, Refusal(Refusal::Kind::NotOfKind, "replay"));
  }
  return std::nullopt;
}

std::optional<std::string> readReplayBytes(const std::filesystem::path& file, Refusal* refusal) {
  return readStrangersFile(file, kReplayMaxBytes, kPageMaxBytes, "replay", refusal);
}

std::optional<Replay> readReplayFile(const std::filesystem::path& file, Refusal* refusal) {
  const std::optional<std::string> text = readReplayBytes(file, refusal);
  if (!text) return std::nullopt;
  return parseReplay(*text, refusal);
}

}  // namespace momiru::replay
