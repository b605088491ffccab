// A replay: one battle kept as its inputs (the two records as they were registered, the seed and
// the switches), with the result it had, so that these rules can play it again exactly and tell
// when they no longer give the same battle. Stored as one UTF-8 JSON object, *.momiru-replay.
//
// A replay file is a stranger's file: reading one caps its size, never blocks, bounds nesting and
// lengths, and range-checks every value before anything is built from it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "battle/battle_start.h"
#include "battle/headless.h"
#include "battle/rules.h"
#include "data/game_state.h"
#include "data/strangers_file.h"

namespace momiru::replay {

// What a replay is made of is the engine's: its start, its parts' hit points, its turns.
using battle::BattleStart;
using battle::Hp;
using battle::TurnRecord;

inline constexpr std::string_view kReplayFormat = "momiru-replay";
inline constexpr std::int32_t kReplayVersion = 1;
inline constexpr std::string_view kReplayExtension = ".momiru-replay";
// Larger files are refused unread: two records and a result take a few kilobytes, and even with
// every text at its longest and escaped six bytes for one, a replay's JSON stays near half this.
// The replay inside a battle page is held to it too.
inline constexpr std::size_t kReplayMaxBytes = 1 << 20;
// A battle page is larger: it shows the texts many times over, with two pictures, the charts and
// the log. Its writer keeps each part bounded; with every text at its longest the page stays
// under a quarter of this, and the writer reads each page back before writing it.
inline constexpr std::size_t kPageMaxBytes = 8 << 20;
// A name or a move text longer than this (in bytes of UTF-8) is refused. A save-data text takes
// up to 1024 bytes of code page 932, which are up to 3072 of UTF-8 (half-width katakana), and a
// name has the file's name in front of it: every record the game can load fits.
inline constexpr std::size_t kReplayMaxTextBytes = 4096;

struct ReplayCharacter {
  std::string file;  // the base name the screen showed; never used as a path
  Combatant record;  // as registered for the battle: name with "(1)"/"(2)", HP as it started
};

// How the battle ended, as `momiru-lab battle --json` names it.
struct ReplayResult {
  std::optional<std::int32_t> winner;  // nothing for a draw or an unfinished battle
  std::optional<std::int32_t> loser;
  bool draw = false;
  bool finished = false;
  std::int32_t turns = 0;
  Hp finalHp{};
  std::string logSha256;  // lower-case hex SHA-256 of the battle log (CR LF line ends)

  bool operator==(const ReplayResult&) const = default;
};

struct Replay {
  std::string writtenBy;  // the game's version that wrote it
  std::string date;       // UTC, ISO 8601: 2026-12-08T12:34:56Z
  std::uint64_t seed = 0;
  bool halve = false;
  std::int32_t speed = Settings::kDefaultSpeed;  // the battle-step interval it was played at, in
                                                 // ms, Settings::kMinSpeed..kMaxSpeed
  bool messageBox = true;  // presentation only: the rules never read these two
  bool hitBackground = true;
  std::array<ReplayCharacter, kSlots> characters;
  ReplayResult result;
};

// The start of a replayed battle: both records, the seed, the switches and the speed.
BattleStart replayStart(const Replay& replay);

// Plays the replay's battle by these rules, up to kDefaultMaxTurns turns. The log and the
// turns are handed back when asked for.
ReplayResult playReplay(const Replay& replay, std::string* log = nullptr,
                        std::vector<TurnRecord>* turns = nullptr);

// The replay of the battle of `start` (the records as registered, before the battle): plays it
// to fill in the result. `files` are the base names shown (anything up to a last '/' is
// dropped). Texts are kept as valid UTF-8, bytes that are not replaced by U+FFFD; names take no
// part in the rules, so the battle is the same. A speed outside Settings::kMinSpeed..kMaxSpeed
// is brought into it.
Replay makeReplay(const BattleStart& start, const std::array<std::string, kSlots>& files,
                  std::string date, std::string writtenBy);

// What differs between the recorded result and the one these rules play ("winner", "turns",
// "final_hp", "log_sha256", ...), comma-separated; nothing when they agree.
std::optional<std::string> replayMismatch(const ReplayResult& recorded, const ReplayResult& played);

// The replay as one JSON object, ending in a newline.
std::string replayJson(const Replay& replay);

// A replay from its JSON text, or, from an HTML page (a text that starts with '<'), from the
// JSON of its replay element (see pageReplayJson).
// `refusal` says what is wrong: its kind, and where a value stood; its English (describe) names
// keys and positions, never quotes the file's bytes. Unknown keys are ignored. Texts keep
// any characters, control characters included: whoever shows them escapes them.
std::optional<Replay> parseReplay(std::string_view text, Refusal* refusal);

// Reads and parses a replay file (or a battle page that carries one): a regular file of at most
// kReplayMaxBytes (kPageMaxBytes for a page), opened without blocking, so a FIFO or a device fails
// at once. `refusal` does not name the file: the caller shows its name as it shows names.
std::optional<Replay> readReplayFile(const std::filesystem::path& file, Refusal* refusal);

// The bytes readReplayFile parses, read the same way.
std::optional<std::string> readReplayBytes(const std::filesystem::path& file, Refusal* refusal);

}  // namespace momiru::replay
