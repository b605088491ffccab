// A tournament a player hosts: the rules, the registered entries, the draw's values, every match
// and battle, and the standings, as its file *.momiru-tournament keeps them; the names each value
// has in the file, the limits a file is read within, and the one check of the rules.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/game_state.h"

namespace momiru::report {

inline constexpr std::string_view kTournamentFormat = "momiru-tournament";
// Version 2 declares the beacon's kind and source (tournament_draw.h); a file of version 1, which
// has no declaration, is read and written back as version 1.
inline constexpr std::int32_t kTournamentVersion = 2;
inline constexpr std::int32_t kTournamentUndeclaredVersion = 1;
inline constexpr std::string_view kTournamentExtension = ".momiru-tournament";
inline constexpr std::string_view kSecretExtension = ".momiru-secret";
// The element of a page that carries its tournament.
inline constexpr std::string_view kTournamentPageScript =
    R"(<script type="application/json" id="momiru-tournament">)";
inline constexpr std::size_t kTournamentMaxBytes = 64u << 20;
inline constexpr std::size_t kMaxTextBytes = 4096;
inline constexpr std::size_t kMinEntries = 2;
inline constexpr std::size_t kMaxEntries = 1024;
// Every pair plays: a larger field would give matches by the hundred thousand.
inline constexpr std::size_t kMaxRoundRobinEntries = 256;
inline constexpr int kMaxSwissRounds = 64;
inline constexpr std::size_t kMaxMatches = 1u << 17;

enum class Format { Single, Double, RoundRobin, Swiss };
enum class Seeding { Draw, Listed, Strength };
enum class Stage { Open, Closed, Finished };
// What the beacon is, declared when the tournament is made: decimal numbers (a lottery's winning
// numbers) or hex (a public hash).
enum class BeaconKind { Numbers, Hex };
// Why a beacon is not of its declared kind.
enum class BeaconProblem {
  NoNumber,  // numbers: it holds no decimal digit
  LooksHex,  // numbers: a word of it is hex (digits and a to f mixed, or 0x...), not numbers
  NotHex,    // hex: it holds something other than hex digits, white space and a leading 0x
};

std::string_view formatName(Format f);
std::string_view seedingName(Seeding s);
std::string_view stageName(Stage s);
std::optional<Format> formatFromName(std::string_view name);
std::optional<Seeding> seedingFromName(std::string_view name);

// A value and its name in the file: one row of an enum's one table of names.
template <class Enum>
struct Named {
  Enum value;
  std::string_view name;
};

// The part of the draw a match belongs to: the winners' and the losers' brackets, the final (the
// grand finals of a double elimination), the match for third place, a round robin's or a Swiss
// round's match.
enum class Bracket { Winners, Losers, Final, ThirdPlace, League, Swiss };
// Every value, in the enum's order, with its name in the file.
inline constexpr std::array<Named<Bracket>, 6> kBracketNames = {{
    {Bracket::Winners, "winners"},
    {Bracket::Losers, "losers"},
    {Bracket::Final, "final"},
    {Bracket::ThirdPlace, "third-place"},
    {Bracket::League, "league"},
    {Bracket::Swiss, "swiss"},
}};
std::string_view bracketName(Bracket b);
// Nothing for a name that is none of the table's.
std::optional<Bracket> bracketFromName(std::string_view name);

// The standings' tie-breaks.
enum class TieBreak {
  Buchholz,
  MedianBuchholz,
  SonnebornBerger,
  HeadToHead,
  MatchWins,
  BattleDifference,
  DrawOrder,
  LastPlace,  // in elimination: the lowest of the places an entry shares
};
// Every value, in the enum's order, with its name in the file.
inline constexpr std::array<Named<TieBreak>, 8> kTieBreakNames = {{
    {TieBreak::Buchholz, "buchholz"},
    {TieBreak::MedianBuchholz, "median_buchholz"},
    {TieBreak::SonnebornBerger, "sonneborn_berger"},
    {TieBreak::HeadToHead, "head_to_head"},
    {TieBreak::MatchWins, "match_wins"},
    {TieBreak::BattleDifference, "battle_difference"},
    {TieBreak::DrawOrder, "draw_order"},
    {TieBreak::LastPlace, "last_place"},
}};
std::string_view tieBreakName(TieBreak b);
// Nothing for a name that is none of the table's.
std::optional<TieBreak> tieBreakFromName(std::string_view name);

// The names, as the file has them.
std::ostream& operator<<(std::ostream& out, Bracket b);
std::ostream& operator<<(std::ostream& out, TieBreak b);

struct TournamentRules {
  Format format = Format::Single;
  int rounds = 0;  // Swiss rounds, or round-robin cycles (1 single, 2 double); 0 elsewhere
  int bestOf = 1;  // 1, 3, 5 or 7
  bool halve = false;
  Seeding seeding = Seeding::Draw;
  bool thirdPlace = false;  // single elimination only
};

// What makes rules other than a tournament is played by, checked in this order.
enum class RulesProblem {
  BestOf,             // not 1, 3, 5 or 7
  ThirdPlace,         // a third-place match outside single elimination
  EliminationRounds,  // rounds other than 0 in elimination
  RoundRobinRounds,   // a round robin played other than once or twice
  SwissRounds,        // Swiss rounds beyond 0 (the default) to kMaxSwissRounds
};
// The first problem of `r`, or nothing: the one check of the rules, for a new tournament and
// for a file read.
std::optional<RulesProblem> rulesProblem(const TournamentRules& r);
// The most rounds a Swiss field of `entries` plays: one fewer than the field (each round a new
// opponent), as many as the field when it is odd (each round one entry has the bye).
inline int mostSwissRounds(std::size_t entries) {
  const int n = static_cast<int>(entries);
  return n % 2 == 0 ? n - 1 : n;
}
// The most entries a field of format `f` takes.
std::size_t mostEntries(Format f);

// One registered record: its base file name, the name stored in it, and the record as the game
// registers it (its name is file + "の" + stored name).
struct Entry {
  std::string file;
  std::string storedName;
  Combatant record;
  std::string sha256;  // of the canonical form, entryCanonical()
};

struct BattleRecord {
  std::uint64_t seed = 0;
  int player1 = 0;            // the entry on the left; the other acts first
  std::optional<int> winner;  // an entry, or nothing for a draw or an unfinished battle
  std::int32_t turns = 0;
  std::string logSha256;
  bool operator==(const BattleRecord&) const = default;
};

struct Match {
  std::string id;
  int round = 0;
  Bracket bracket = Bracket::Winners;
  std::array<std::optional<int>, 2> players;  // entries; nothing for a bye
  std::vector<BattleRecord> battles;
  std::optional<int> winner;  // nothing for a drawn match
  bool operator==(const Match&) const = default;
};

struct Standing {
  int rank = 0;
  int entry = 0;
  double points = 0;
  std::vector<std::pair<TieBreak, double>> tieBreaks;  // in the order they apply
  bool operator==(const Standing&) const = default;
};

// Where the beacon will come from and of what kind it is, declared when the tournament is made and
// bound by its commitment.
struct BeaconDeclaration {
  BeaconKind kind = BeaconKind::Numbers;
  std::string source;  // as the host named it; may be empty
  bool operator==(const BeaconDeclaration&) const = default;
};

struct Tournament {
  std::string writtenBy;
  std::string name;
  TournamentRules rules;
  Stage stage = Stage::Open;
  std::optional<std::string> commitment;  // hex SHA-256 of the secret
  std::optional<std::string> secret;      // hex, 32 bytes, once revealed
  std::optional<std::string> beacon;      // as the host gave it; the seed takes its canonical form
  // Nothing in a file written before the beacon was declared: its commitment is SHA-256 of the
  // secret alone and its seed takes the beacon byte for byte (tournament_draw.h).
  std::optional<BeaconDeclaration> declared;
  std::optional<std::string> entriesDigest;
  std::optional<std::string> seed;  // hex SHA-256
  std::vector<Entry> entries;
  std::vector<int> seeds;  // entries in seeding order, best first
  std::vector<Match> matches;
  std::vector<Standing> standings;
};

// How a tournament is played or checked: on how many threads, and who hears the progress.
struct RunOptions {
  unsigned threads = 1;
  std::function<void(std::size_t done, std::size_t total)> progress;
};

}  // namespace momiru::report
