// A tournament's values by their names in the file, and the one check of the rules.
#include "report/tournament.h"

#include <ostream>

namespace momiru::report {

std::string_view formatName(Format f) {
  switch (f) {
    case Format::Double:
      return "double";
    case Format::RoundRobin:
      return "round-robin";
    case Format::Swiss:
      return "swiss";
    case Format::Single:
      break;
  }
  return "single";
}

std::string_view seedingName(Seeding s) {
  switch (s) {
    case Seeding::Listed:
      return "listed";
    case Seeding::Strength:
      return "strength";
    case Seeding::Draw:
      break;
  }
  return "draw";
}

std::string_view stageName(Stage s) {
  switch (s) {
    case Stage::Closed:
      return "closed";
    case Stage::Finished:
      return "finished";
    case Stage::Open:
      break;
  }
  return "open";
}

std::optional<Format> formatFromName(std::string_view name) {
  for (const Format f : {Format::Single, Format::Double, Format::RoundRobin, Format::Swiss})
    if (formatName(f) == name) return f;
  return std::nullopt;
}

std::optional<Seeding> seedingFromName(std::string_view name) {
  for (const Seeding s : {Seeding::Draw, Seeding::Listed, Seeding::Strength})
    if (seedingName(s) == name) return s;
  return std::nullopt;
}

namespace {

// Each table lists every value at its own place, so a name is found by the value alone.
template <class Enum, std::size_t N>
constexpr bool inEnumOrder(const std::array<Named<Enum>, N>& table) {
  for (std::size_t i = 0; i < N; ++i)
    if (static_cast<std::size_t>(table[i].value) != i) return false;
  return true;
}
static_assert(inEnumOrder(kBracketNames));
static_assert(inEnumOrder(kTieBreakNames));

template <class Enum, std::size_t N>
std::optional<Enum> fromName(const std::array<Named<Enum>, N>& table, std::string_view name) {
  for (const Named<Enum>& row : table)
    if (row.name == name) return row.value;
  return std::nullopt;
}

}  // namespace

std::string_view bracketName(Bracket b) {
  return kBracketNames.at(static_cast<std::size_t>(b)).name;
}

std::optional<Bracket> bracketFromName(std::string_view name) {
  return fromName(kBracketNames, name);
}

std::string_view tieBreakName(TieBreak b) {
  return kTieBreakNames.at(static_cast<std::size_t>(b)).name;
}

std::optional<TieBreak> tieBreakFromName(std::string_view name) {
  return fromName(kTieBreakNames, name);
}

std::ostream& operator<<(std::ostream& out, Bracket b) { return out << bracketName(b); }
std::ostream& operator<<(std::ostream& out, TieBreak b) { return out << tieBreakName(b); }

std::optional<RulesProblem> rulesProblem(const TournamentRules& r) {
  if (r.bestOf < 1 || r.bestOf > 7 || r.bestOf % 2 == 0) return RulesProblem::BestOf;
  if (r.thirdPlace && r.format != Format::Single) return RulesProblem::ThirdPlace;
  switch (r.format) {
    case Format::Single:
    case Format::Double:
      if (r.rounds != 0) return RulesProblem::EliminationRounds;
      break;
    case Format::RoundRobin:
      if (r.rounds != 1 && r.rounds != 2) return RulesProblem::RoundRobinRounds;
      break;
    case Format::Swiss:
      if (r.rounds < 0 || r.rounds > kMaxSwissRounds) return RulesProblem::SwissRounds;
      break;
  }
  return std::nullopt;
}

std::size_t mostEntries(Format f) {
  return f == Format::RoundRobin ? kMaxRoundRobinEntries : kMaxEntries;
}

}  // namespace momiru::report
