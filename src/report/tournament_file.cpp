// The tournament file: the JSON written, and read with every value checked; a kept file saved
// only over the version it was read as.
#include "report/tournament_file.h"

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>

#include "data/checked_json.h"
#include "data/record_json.h"
#include "data/strangers_file.h"
#include "data/text_safety.h"
#include "replay/replay.h"
#include "report/entry_json.h"
#include "report/text_file.h"
#include "report/tournament_draw.h"

namespace momiru::report {

namespace {

using nlohmann::ordered_json;
// Read keeping the file's key order: a standing's tie-breaks are in the order they apply.
using ojson = nlohmann::ordered_json;

// root, matches, a match, battles, a battle (or entries, an entry, parts, a part).
constexpr int kMaxDepth = 8;

ordered_json optionalText(const std::optional<std::string>& s) {
  return s ? ordered_json(*s) : ordered_json(nullptr);
}
ordered_json optionalIndex(const std::optional<int>& i) {
  return i ? ordered_json(*i) : ordered_json(nullptr);
}

}  // namespace

nlohmann::ordered_json detail::entryJson(const Entry& e) {
  const Combatant& c = e.record;
  ordered_json j;
  j["file"] = e.file;
  j["name"] = e.storedName;
  putRecord(j, c, PartNames::Named);
  return j;
}

nlohmann::ordered_json detail::rulesJson(const TournamentRules& r) {
  ordered_json rules;
  rules["format"] = formatName(r.format);
  rules["rounds"] = r.rounds;
  rules["best_of"] = r.bestOf;
  rules["halve"] = r.halve;
  rules["seeding"] = seedingName(r.seeding);
  rules["third_place"] = r.thirdPlace;
  return rules;
}

namespace {

using detail::entryJson;
// The points a standing shows: whole numbers as integers, halves as decimals.
ordered_json pointsJson(double v) {
  const double whole = static_cast<double>(static_cast<long long>(v));
  if (whole == v) return static_cast<long long>(v);
  return v;
}

ordered_json tournamentObject(const Tournament& t) {
  ordered_json j;
  j["format"] = kTournamentFormat;
  j["version"] = t.declared ? kTournamentVersion : kTournamentUndeclaredVersion;
  j["written_by"] = t.writtenBy;
  j["name"] = t.name;
  j["state"] = stageName(t.stage);
  j["rules"] = detail::rulesJson(t.rules);
  j["fairness"] = fairnessText(t);
  j["commitment"] = optionalText(t.commitment);
  j["secret"] = optionalText(t.secret);
  if (t.declared) {
    j["beacon_kind"] = beaconKindName(t.declared->kind);
    j["beacon_source"] = t.declared->source;
  }
  j["beacon"] = optionalText(t.beacon);
  j["entries_digest"] = optionalText(t.entriesDigest);
  j["seed"] = optionalText(t.seed);
  ordered_json entries = ordered_json::array();
  for (const Entry& e : t.entries) {
    ordered_json one = entryJson(e);
    one["sha256"] = e.sha256;
    entries.push_back(std::move(one));
  }
  j["entries"] = std::move(entries);
  j["seeds"] = t.seeds;
  ordered_json matches = ordered_json::array();
  for (const Match& m : t.matches) {
    ordered_json one;
    one["id"] = m.id;
    one["round"] = m.round;
    one["bracket"] = bracketName(m.bracket);
    one["players"] = {optionalIndex(m.players[0]), optionalIndex(m.players[1])};
    ordered_json battles = ordered_json::array();
    for (const BattleRecord& b : m.battles) {
      ordered_json battle;
      battle["seed"] = b.seed;
      battle["player1"] = b.player1;
      battle["winner"] = optionalIndex(b.winner);
      battle["turns"] = b.turns;
      battle["log_sha256"] = b.logSha256;
      battles.push_back(std::move(battle));
    }
    one["battles"] = std::move(battles);
    one["winner"] = optionalIndex(m.winner);
    matches.push_back(std::move(one));
  }
  j["matches"] = std::move(matches);
  ordered_json standings = ordered_json::array();
  for (const Standing& s : t.standings) {
    ordered_json one;
    one["rank"] = s.rank;
    one["entry"] = s.entry;
    one["points"] = pointsJson(s.points);
    for (const auto& [tieBreak, value] : s.tieBreaks)
      one[std::string(tieBreakName(tieBreak))] = pointsJson(value);
    standings.push_back(std::move(one));
  }
  j["standings"] = std::move(standings);
  return j;
}

// --- reading -------------------------------------------------------------------------------

using Refused = JsonFieldRefused;
using Kind = Refusal::Kind;

const ojson& arrayAt(const ojson& parent, const char* key, const std::string& where,
                     std::size_t maxCount) {
  return listUpTo(parent, key, where, maxCount);
}

// An object holds only the keys its reader knows: a key this version does not know may be one a
// newer writer meant, or one another reader would show, and nothing here checks it. `where`
// ends in '.', or is empty for the root.
void onlyKeys(const ojson& object, std::initializer_list<std::string_view> known,
              const std::string& where) {
  for (const auto& [key, value] : object.items()) {
    if (std::find(known.begin(), known.end(), key) != known.end()) continue;
    // The key is the file's: shown with its control characters escaped, and cut short.
    refuseValue(Kind::NotAllowed, where + visibleText(key.substr(0, 64)),
                " is no key of a tournament file");
  }
}

std::string checkedText(const ojson& v, const std::string& name) {
  return momiru::checkedText(v, name, kMaxTextBytes);
}

std::string textAt(const ojson& parent, const char* key, const std::string& where) {
  return checkedText(member(parent, key, where), where + key);
}

std::optional<std::string> optionalTextAt(const ojson& parent, const char* key,
                                          const std::string& where) {
  const ojson& v = member(parent, key, where);
  if (v.is_null()) return std::nullopt;
  return checkedText(v, where + key);
}

std::optional<std::string> hashAt(const ojson& parent, const char* key, const std::string& where) {
  std::optional<std::string> h = optionalTextAt(parent, key, where);
  if (!h) return h;
  return sha256Digest(std::move(*h), where + key);
}

std::optional<int> indexAt(const ojson& v, const std::string& name, std::size_t entries) {
  if (v.is_null()) return std::nullopt;
  return static_cast<int>(wholeNumber(v, name, 0, static_cast<std::int64_t>(entries) - 1));
}

double pointsAt(const ojson& v, const std::string& name) {
  if (!v.is_number()) refuseValue(Kind::WrongType, name, " is not a number");
  const double d = v.get<double>();
  if (!(d >= -1e9 && d <= 1e9)) refuseValue(Kind::OutOfRange, name, " is out of range");
  return d;
}

Entry readEntry(const ojson& e, const std::string& where) {
  if (!e.is_object())
    refuseValue(Kind::WrongType, where.substr(0, where.size() - 1), " is not an object");
  Entry out;
  out.file = textAt(e, "file", where);
  if (out.file.find('/') != std::string::npos || out.file.find('\0') != std::string::npos)
    refuseValue(Kind::NotAllowed, where + "file", " is not a bare file name");
  out.storedName = textAt(e, "name", where);
  Combatant& r = out.record;
  r.name = out.file + "の" + out.storedName;
  readRecord(e, where, kMaxTextBytes, r);
  // readRecord has checked that each part and move is an object.
  const ojson& parts = e.at("parts");
  for (std::size_t p = 0; p < parts.size(); ++p)
    onlyKeys(parts[p], {"name", "hp", "ofe", "def"}, where + "parts[" + std::to_string(p) + "].");
  const ojson& moves = e.at("moves");
  for (std::size_t m = 0; m < moves.size(); ++m)
    onlyKeys(moves[m], {"text", "power"}, where + "moves[" + std::to_string(m) + "].");
  if (r.level == 0) refuseValue(Kind::NotAllowed, where + "level", " is 0: no character");
  const std::optional<std::string> h = hashAt(e, "sha256", where);
  if (!h) refuseValue(Kind::Missing, where + "sha256", " is missing");
  out.sha256 = *h;
  onlyKeys(e, {"file", "name", "level", "picture", "parts", "moves", "sha256"}, where);
  return out;
}

Match readMatch(const ojson& m, const std::string& where, std::size_t entries) {
  if (!m.is_object())
    refuseValue(Kind::WrongType, where.substr(0, where.size() - 1), " is not an object");
  Match out;
  out.id = textAt(m, "id", where);
  out.round = int32At(m, "round", where, 0, 1 << 16);
  const std::optional<Bracket> bracket = bracketFromName(textAt(m, "bracket", where));
  if (!bracket) {
    // The names from their one table: "winners, losers, ... or swiss".
    std::string names;
    for (std::size_t i = 0; i < kBracketNames.size(); ++i)
      names.append(i == 0                          ? ""
                   : i + 1 == kBracketNames.size() ? " or "
                                                   : ", ")
          .append(kBracketNames[i].name);
    refuseValue(Kind::NotAllowed, where + "bracket", " is not " + names);
  }
  out.bracket = *bracket;
  const ojson& players = arrayAt(m, "players", where, 2);
  if (players.size() != 2) refuseValue(Kind::OutOfRange, where + "players", " does not hold 2");
  for (std::size_t s = 0; s < 2; ++s)
    out.players[s] = indexAt(players[s], where + "players[" + std::to_string(s) + "]", entries);
  // A match of best of 7 that is level plays at most 7 more.
  const ojson& battles = arrayAt(m, "battles", where, 14);
  for (std::size_t k = 0; k < battles.size(); ++k) {
    const std::string at = where + "battles[" + std::to_string(k) + "].";
    const ojson& b = battles[k];
    if (!b.is_object())
      refuseValue(Kind::WrongType, at.substr(0, at.size() - 1), " is not an object");
    BattleRecord r;
    const ojson& seed = member(b, "seed", at);
    if (!seed.is_number_unsigned())
      refuseValue(Kind::WrongType, at + "seed", " is not a whole number from 0 to 2^64-1");
    r.seed = seed.get<std::uint64_t>();
    const std::optional<int> p1 = indexAt(member(b, "player1", at), at + "player1", entries);
    if (!p1) refuseValue(Kind::Missing, at + "player1", " is null");
    r.player1 = *p1;
    r.winner = indexAt(member(b, "winner", at), at + "winner", entries);
    r.turns = int32At(b, "turns", at, 0);
    const std::optional<std::string> h = hashAt(b, "log_sha256", at);
    if (!h) refuseValue(Kind::Missing, at + "log_sha256", " is null");
    r.logSha256 = *h;
    onlyKeys(b, {"seed", "player1", "winner", "turns", "log_sha256"}, at);
    out.battles.push_back(std::move(r));
  }
  out.winner = indexAt(member(m, "winner", where), where + "winner", entries);
  onlyKeys(m, {"id", "round", "bracket", "players", "battles", "winner"}, where);
  return out;
}

// What the reader says of rules no tournament is played by, naming the key.
[[noreturn]] void refuseRules(RulesProblem p) {
  switch (p) {
    case RulesProblem::BestOf:
      refuseValue(Kind::NotAllowed, "rules.best_of", " is not 1, 3, 5 or 7");
    case RulesProblem::ThirdPlace:
      refuseValue(Kind::NotAllowed, "rules.third_place", " is true outside single elimination");
    case RulesProblem::EliminationRounds:
      refuseValue(Kind::NotAllowed, "rules.rounds", " is not 0 in elimination");
    case RulesProblem::RoundRobinRounds:
      refuseValue(Kind::NotAllowed, "rules.rounds", " of a round robin is not 1 or 2");
    case RulesProblem::SwissRounds:
      break;
  }
  refuseValue(Kind::OutOfRange, "rules.rounds",
              " of Swiss is more than " + std::to_string(kMaxSwissRounds));
}

Tournament readTournament(const ojson& root) {
  // Version 1 is the file before the beacon was declared: read as it always was.
  const auto version = root.is_object() ? root.find("version") : root.end();
  const bool undeclared = version != root.end() && version->is_number_integer() &&
                          *version == kTournamentUndeclaredVersion;
  checkFormatAndVersion(root, "tournament", kTournamentFormat,
                        undeclared ? kTournamentUndeclaredVersion : kTournamentVersion);
  Tournament t;
  t.writtenBy = textAt(root, "written_by", "");
  t.name = textAt(root, "name", "");
  const std::string state = textAt(root, "state", "");
  if (state == "open") {
    t.stage = Stage::Open;
  } else if (state == "closed") {
    t.stage = Stage::Closed;
  } else if (state == "finished") {
    t.stage = Stage::Finished;
  } else {
    refuseValue(Kind::NotAllowed, "state", " is not open, closed or finished");
  }
  const ojson& rules = member(root, "rules", "");
  if (!rules.is_object()) refuseValue(Kind::WrongType, "rules", " is not an object");
  const auto f = formatFromName(textAt(rules, "format", "rules."));
  if (!f)
    refuseValue(Kind::NotAllowed, "rules.format", " is not single, double, round-robin or swiss");
  t.rules.format = *f;
  t.rules.rounds = int32At(rules, "rounds", "rules.", 0, kMaxSwissRounds);
  t.rules.bestOf = int32At(rules, "best_of", "rules.", 1, 7);
  t.rules.halve = boolAt(rules, "halve", "rules.");
  const auto s = seedingFromName(textAt(rules, "seeding", "rules."));
  if (!s) refuseValue(Kind::NotAllowed, "rules.seeding", " is not draw, listed or strength");
  t.rules.seeding = *s;
  t.rules.thirdPlace = boolAt(rules, "third_place", "rules.");
  if (const std::optional<RulesProblem> problem = rulesProblem(t.rules)) refuseRules(*problem);
  onlyKeys(rules, {"format", "rounds", "best_of", "halve", "seeding", "third_place"}, "rules.");

  t.commitment = hashAt(root, "commitment", "");
  t.secret = hashAt(root, "secret", "");
  if (!undeclared) {
    const auto kind = beaconKindFromName(textAt(root, "beacon_kind", ""));
    if (!kind) refuseValue(Kind::NotAllowed, "beacon_kind", " is not numbers or hex");
    t.declared = BeaconDeclaration{*kind, textAt(root, "beacon_source", "")};
  }
  t.beacon = optionalTextAt(root, "beacon", "");
  // A beacon of another kind than declared gives no seed: no session lets one in.
  BeaconProblem beaconProblem{};
  if (t.beacon && t.declared && !canonicalBeacon(*t.beacon, t.declared->kind, &beaconProblem))
    refuseValue(Kind::NotAllowed, "beacon",
                " is not of the declared kind (" +
                    beaconProblemText(beaconProblem, t.declared->kind) + ")");
  t.entriesDigest = hashAt(root, "entries_digest", "");
  t.seed = hashAt(root, "seed", "");

  const ojson& entries = arrayAt(root, "entries", "", kMaxEntries);
  for (std::size_t i = 0; i < entries.size(); ++i)
    t.entries.push_back(readEntry(entries[i], "entries[" + std::to_string(i) + "]."));
  const std::size_t n = t.entries.size();
  // Past the list's own limit, only a round robin has too many.
  if (n > mostEntries(t.rules.format))
    throw Refused{Refusal::said(
        Kind::OutOfRange,
        "a round robin of more than " + std::to_string(kMaxRoundRobinEntries) + " entries",
        "entries")};
  const ojson& seeds = arrayAt(root, "seeds", "", kMaxEntries);
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    const auto e = indexAt(seeds[i], "seeds[" + std::to_string(i) + "]", n);
    if (!e) refuseValue(Kind::Missing, "seeds[" + std::to_string(i) + "]", " is null");
    t.seeds.push_back(*e);
  }
  const ojson& matches = arrayAt(root, "matches", "", kMaxMatches);
  for (std::size_t i = 0; i < matches.size(); ++i)
    t.matches.push_back(readMatch(matches[i], "matches[" + std::to_string(i) + "].", n));
  const ojson& standings = arrayAt(root, "standings", "", kMaxEntries);
  for (std::size_t i = 0; i < standings.size(); ++i) {
    const std::string at = "standings[" + std::to_string(i) + "].";
    const ojson& row = standings[i];
    const std::string rowName = at.substr(0, at.size() - 1);
    if (!row.is_object()) refuseValue(Kind::WrongType, rowName, " is not an object");
    if (row.size() > 16) refuseValue(Kind::OutOfRange, rowName, " holds too many keys");
    Standing st;
    st.rank = int32At(row, "rank", at, 1, static_cast<std::int32_t>(kMaxEntries));
    const auto e = indexAt(member(row, "entry", at), at + "entry", n);
    if (!e) refuseValue(Kind::Missing, at + "entry", " is null");
    st.entry = *e;
    st.points = pointsAt(member(row, "points", at), at + "points");
    for (const auto& [key, value] : row.items()) {
      if (key == "rank" || key == "entry" || key == "points") continue;
      if (key.size() > 64) refuseValue(Kind::OutOfRange, at, " holds a key longer than 64 bytes");
      const std::optional<TieBreak> tieBreak = tieBreakFromName(key);
      // The key is the file's: shown with its control characters escaped.
      if (!tieBreak)
        refuseValue(Kind::NotAllowed, at + visibleText(key), " is no tie-break of these rules");
      st.tieBreaks.emplace_back(*tieBreak, pointsAt(value, at + key));
    }
    t.standings.push_back(std::move(st));
  }
  // Unknown keys once the known ones are read, so that a wrong value is named first.
  if (undeclared) {
    onlyKeys(
        root,
        {"format", "version", "written_by", "name", "state", "rules", "fairness", "commitment",
         "secret", "beacon", "entries_digest", "seed", "entries", "seeds", "matches", "standings"},
        "");
  } else {
    onlyKeys(root,
             {"format", "version", "written_by", "name", "state", "rules", "fairness", "commitment",
              "secret", "beacon_kind", "beacon_source", "beacon", "entries_digest", "seed",
              "entries", "seeds", "matches", "standings"},
             "");
  }
  return t;
}

// The JSON of a page's tournament element, found as a browser finds it, or the text itself when
// it is no page.
std::optional<std::string_view> tournamentText(std::string_view text, Refusal* refusal) {
  if (!looksLikePage(text).value_or(false)) return text;
  return pageElementText(text, kTournamentPageScript, kTournamentMaxBytes, "tournament", refusal);
}

}  // namespace

std::string tournamentJson(const Tournament& t) {
  return tournamentObject(t).dump(1, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

std::string tournamentJsonForPage(const Tournament& t) {
  return jsonForPage(
      tournamentObject(t).dump(-1, ' ', false, ordered_json::error_handler_t::replace));
}

std::optional<Tournament> parseTournament(std::string_view text, Refusal* refusal) {
  if (text.size() > kTournamentMaxBytes) {
    refuse(refusal, Refusal(Kind::TooLarge, "tournament", kTournamentMaxBytes));
    return std::nullopt;
  }
  const std::optional<std::string_view> body = tournamentText(text, refusal);
  if (!body) return std::nullopt;
  Refusal why(Kind::NotJson, "tournament");
  const std::optional<ojson> root = parseBoundedJson<ojson>(*body, kMaxDepth, &why);
  if (!root) {
    refuse(refusal, why);
    return std::nullopt;
  }
  try {
    return readTournament(*root);
  } catch (const Refused& r) {
    refuse(refusal, r.refusal);
  } catch (const nlohmann::json::exception&) {
    refuse(refusal, Refusal(Kind::NotOfKind, "tournament"));
  } catch (const std::bad_alloc&) {
    refuse(refusal, Refusal(Kind::OutOfMemory, "tournament"));
  }
  return std::nullopt;
}

std::optional<Tournament> readTournamentFile(const std::filesystem::path& file, Refusal* refusal) {
  const std::optional<std::string> text =
      readStrangersFile(file, kTournamentMaxBytes, kTournamentMaxBytes, "tournament", refusal);
  if (!text) return std::nullopt;
  return parseTournament(*text, refusal);
}

// --- saving -------------------------------------------------------------------------------

KeptVersion keptVersion(const std::filesystem::path& file, std::string_view bytes,
                        const std::optional<FileIdentity>& before) {
  KeptVersion kept;
  kept.exists = true;
  kept.sha256 = sha256Bytes(bytes);
  // Written between the two looks, the file read may be either: only its bytes then tell.
  const std::optional<FileIdentity> after = fileIdentity(file);
  if (before && after == before && after->size == bytes.size()) kept.identity = after;
  return kept;
}

std::optional<Refusal> changedSince(const std::filesystem::path& file, const KeptVersion& kept) {
  const std::string name = pathToUtf8(file);
  const auto changed = [&](const char* how) {
    return Refusal::said(Kind::ChangedSince,
                         name + ": " + how + " since it was read; it is left as it is", name);
  };
  const std::optional<FileIdentity> now = fileIdentity(file);
  if (!now) {
    if (errno == ENOENT && !kept.exists) return std::nullopt;
    return changed("another program has removed it");
  }
  if (!kept.exists) return changed("another program has made it");
  if (kept.identity && *now == *kept.identity) return std::nullopt;
  const std::optional<std::string> bytes =
      readStrangersFile(file, kTournamentMaxBytes, kTournamentMaxBytes, "tournament", nullptr);
  if (bytes && sha256Bytes(*bytes) == kept.sha256) return std::nullopt;
  return changed("another program has written it");
}

namespace {

// `kept` as the file `file` just written with `text`. Looked at after the rename: a writer that
// holds the file keeps every other holder out meanwhile.
void keepWritten(const std::filesystem::path& file, std::string_view text, KeptVersion& kept) {
  kept.exists = true;
  kept.sha256 = sha256Bytes(text);
  kept.identity = fileIdentity(file);
  if (kept.identity && kept.identity->size != text.size()) kept.identity.reset();
}

}  // namespace

bool saveTournamentFile(const std::filesystem::path& file, const Tournament& t, KeptVersion& kept,
                        Refusal* refusal) {
  const std::string text = tournamentJson(t);
  const auto whyNot = [&] { return changedSince(file, kept); };
  if (!replaceTextFileIf(file, text, whyNot, refusal)) return false;
  keepWritten(file, text, kept);
  return true;
}

bool saveNewTournamentFile(const std::filesystem::path& file, const Tournament& t,
                           KeptVersion& kept, Refusal* refusal) {
  const std::string text = tournamentJson(t);
  if (!writeTextFile(file, text, true, refusal)) return false;
  keepWritten(file, text, kept);
  return true;
}

}  // namespace momiru::report
