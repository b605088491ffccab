// momiru-lab tournament: host a tournament whose draw nobody can bend and whose every battle
// anyone can check. Each command is one step of the tournament session
// (report/tournament_session.h), which holds every rule; here are the options, the words in the
// user's language and the output.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "data/platform.h"
#include "data/text_safety.h"
#include "lab/battle_setup.h"
#include "lab/commands.h"
#include "lab/options.h"
#include "replay/replay.h"
#include "report/format.h"
#include "report/json_output.h"
#include "report/match_play.h"
#include "report/tournament.h"
#include "report/tournament_draw.h"
#include "report/tournament_file.h"
#include "report/tournament_page.h"
#include "report/tournament_session.h"
#include "report/tournament_verify.h"
#include "report/translation.h"

namespace momiru::lab {

using namespace report;
namespace {

using report::Tournament;
using report::TournamentSession;

constexpr const char* kWrittenBy = "momiru-lab " MOMIRU_VERSION;

constexpr const char* kHelp = N_(
    "usage: momiru-lab tournament new T.momiru-tournament --name NAME\n"
    "                  --format single|double|round-robin|swiss [--rounds N] [--best-of N]\n"
    "                  [--halve] [--seeding draw|listed|strength] [--third-place]\n"
    "                  [--beacon-kind numbers|hex] [--beacon-source TEXT]\n"
    "                  [--secret-file FILE] [--no-commitment]\n"
    "       momiru-lab tournament add T FILE.dat...\n"
    "       momiru-lab tournament close T\n"
    "       momiru-lab tournament run T [--secret-file FILE] [--beacon TEXT] [--html PAGE.html]\n"
    "                  [--jobs N]\n"
    "       momiru-lab tournament verify T|PAGE.html [--commitment HEX] [--digest HEX]\n"
    "       momiru-lab tournament show T|PAGE.html [--json] [--html PAGE.html]\n"
    "       momiru-lab tournament battle T|PAGE.html --match ID --battle K [--json] [--crlf]\n"
    "                  [--save-replay FILE] [--html PAGE]\n"
    "\n"
    "new      makes the tournament file and a 256-bit secret from the system's random source\n"
    "         (getrandom), kept in T.momiru-secret (or --secret-file), readable by its owner\n"
    "         only and never overwritten. Prints the commitment (SHA-256 of the secret, the\n"
    "         name, the rules and the beacon's kind and source) to publish before entries\n"
    "         close.\n"
    "add      registers save-data files as the entry screen does; a tampered or unreadable\n"
    "         file, one of level 0, or a record already entered is refused, and then nothing\n"
    "         is added. Entries are told apart by their number, #1 the first.\n"
    "close    fixes the field and prints the entries digest to publish; refused for a\n"
    "         Swiss of more --rounds than the field can play.\n"
    "run      reveals the secret, takes the beacon, plays everything and writes the matches\n"
    "         and standings into T.\n"
    "verify   plays the tournament again from its secret, entries and beacon (a part-way\n"
    "         one: the matches played so far) and prints the commitment, the entries digest\n"
    "         and the beacon as it enters the draw, to compare with what the host published.\n"
    "         Exit 0 when everything agrees; 1 with one line naming the first difference;\n"
    "         2 when the file cannot be read; 3 when it has not been started (nothing to\n"
    "         play again); 4 when --commitment or --digest is not the file's.\n"
    "show     the standings and the matches; a file that does not verify is said so first,\n"
    "         and exits 1.\n"
    "battle   prints one battle as 'momiru-lab battle' prints a replay.\n"
    "\n"
    "options:\n"
    "  --name NAME        (new) the tournament's name\n"
    "  --format F         (new) single, double, round-robin or swiss\n"
    "  --rounds N         (new) Swiss rounds (default: log2 of the field, rounded up), or 2 for\n"
    "                     a round robin played twice with the sides swapped\n"
    "  --best-of N        (new) battles a match: 1, 3, 5 or 7\n"
    "  --halve            (new) halved damage, as the options screen's switch\n"
    "  --seeding S        (new) draw (default), listed or strength\n"
    "  --third-place      (new) a match for third place (single elimination)\n"
    "  --secret-file FILE (new, run) where the secret is kept; T.momiru-secret by default\n"
    "  --no-commitment    (new) a quick tournament without a commitment, marked as such\n"
    "  --beacon-kind K    (new) numbers (default: a lottery's winning numbers; only the\n"
    "                     runs of digits count) or hex (a public hash; only its hex digits)\n"
    "  --beacon-source S  (new) where the beacon will be published, bound by the commitment\n"
    "  --beacon TEXT      (run) a public value nobody knew when entries closed (a published\n"
    "                     lottery draw, a public randomness round), of the declared kind\n"
    "  --html PAGE        (run, show) also write the tournament's page: one page in Japanese\n"
    "                     that opens anywhere without a network, with the fairness statement,\n"
    "                     the bracket, the tables, the standings, every match and the entries;\n"
    "                     it carries the tournament, so verify, show and battle read it.\n"
    "                     (battle) the battle's page, as 'momiru-lab battle --html'\n"
    "  --jobs N           (run, verify) threads (default: all cores); results never depend on it\n"
    "  --commitment HEX   (verify) the commitment the host published: exit 4 when it differs\n"
    "  --digest HEX       (verify) the entries digest the host published: exit 4 when it differs\n"
    "  --json             (show) the tournament as one JSON object; (battle) as 'battle --json'\n"
    "  --match ID         (battle) the match, as show lists it (R1-1, W2-3, L4-1, GF1, 3P)\n"
    "  --battle K         (battle) the battle of the match, from 1\n"
    "  --crlf             (battle) CR LF line ends, as 'momiru-lab battle --crlf'\n"
    "  --save-replay FILE (battle) also write the battle as a replay\n"
    "\n"
    "Exit status: 0 done; 1 refused (an entry, a wrong secret, a file that exists, a\n"
    "tournament in the wrong state) or a difference found; 2 a file that cannot be read;\n"
    "3 (verify) not started; 4 (verify) not the published commitment or digest; 64 usage;\n"
    "75 another game or momiru-lab has the tournament open, or another program wrote it\n"
    "meanwhile: nothing was written; try again once it is closed.\n"
    "\n"
    "examples:\n"
    "  momiru-lab tournament new cup.momiru-tournament --name 'Spring cup' --format swiss \\\n"
    "      --beacon-source 'national lottery, draw of 2026-12-08'\n"
    "  momiru-lab tournament add cup.momiru-tournament saves/*.dat\n"
    "  momiru-lab tournament close cup.momiru-tournament\n"
    "  momiru-lab tournament run cup.momiru-tournament --beacon 'lottery 2026-12-08: 12 34 56'\n"
    "  momiru-lab tournament verify cup.momiru-tournament --commitment HEX --digest HEX\n"
    "  momiru-lab tournament battle cup.momiru-tournament --match R1-1 --battle 1\n");

int fail(const char* command, const std::string& message, int status = 1) {
  std::fprintf(stderr, "momiru-lab tournament %s: %s\n", command, visibleText(message).c_str());
  return status;
}

// "#3": an entry's number, counted from 1 as people count.
std::string number(int e) { return "#" + std::to_string(e + 1); }

// "#3 name (file)": the number tells apart entries with equal names and files.
std::string label(const Tournament& t, std::optional<int> e) {
  if (!e) return _("(bye)");
  const report::Entry& entry = t.entries[static_cast<std::size_t>(*e)];
  return number(*e) + " " + visibleText(entry.storedName) + " (" + visibleText(entry.file) + ")";
}

// Why a beacon is not of its tournament's kind, in words of the lab's catalogue.
const char* beaconWords(report::BeaconProblem p) {
  switch (p) {
    case report::BeaconProblem::NoNumber:
      return N_("it holds no number");
    case report::BeaconProblem::LooksHex:
      return N_("it holds hex (0x..., or digits mixed with a to f)");
    case report::BeaconProblem::NotHex:
      break;
  }
  return N_("it holds characters other than hex digits and white space");
}

// Reads the tournament `file` for `command`; nothing after one line on stderr.
std::optional<Tournament> load(const char* command, const std::string& file) {
  Refusal refusal;
  auto t = report::readTournamentFile(utf8ToPath(file), &refusal);
  if (!t) fail(command, file + ": " + describe(refusal, translated));
  return t;
}

// The exit status of a tournament another has open or has written meanwhile: the step may
// simply be tried again.
constexpr int kHeldElsewhere = 75;

// A step refused or a save that failed, in the lab's words, with its exit status: the file held
// by another, or written by another since it was read, is kHeldElsewhere; the rest 1.
int stepFailed(const char* command, const report::SessionProblem& problem) {
  const std::optional<Refusal>& cause = problem.cause;
  const std::string file = cause ? cause->subject : std::string();
  if (cause && cause->kind == Refusal::Kind::HeldElsewhere)
    return fail(command,
                report::format(_("%s: another game or momiru-lab has the tournament open; nothing "
                                 "was written (try again once it is closed)"),
                               file.c_str()),
                kHeldElsewhere);
  if (cause && cause->kind == Refusal::Kind::ChangedSince)
    return fail(command,
                report::format(_("%s: another program has written the file since it was read; "
                                 "nothing was written, and it is left as it is"),
                               file.c_str()),
                kHeldElsewhere);
  if (cause && cause->kind == Refusal::Kind::CannotHold) {
    const std::string why = cause->systemError != 0 ? std::strerror(cause->systemError)
                                                    : translated(N_("not a regular file"));
    return fail(command,
                report::format(_("%s: the tournament cannot be held, so nothing was written "
                                 "(%s: %s)"),
                               file.c_str(), pathToUtf8(lockFileOf(utf8ToPath(file))).c_str(),
                               why.c_str()));
  }
  return fail(command, problem.english);
}

// Opens the tournament `file` for `command`, one step of its session: the file as it stands,
// its secret in `secretFile`, held for the step's whole length. Nothing after one line on
// stderr, with the exit status in `status`: 2 for a file that cannot be read, the status of
// stepFailed for one that cannot be held.
std::optional<TournamentSession> openStep(const char* command, const std::string& file,
                                          const std::filesystem::path& secretFile, int* status) {
  report::SessionProblem problem;
  auto session = TournamentSession::open(utf8ToPath(file), secretFile, kWrittenBy, &problem,
                                         report::Opening::AsItStands);
  if (!session) {
    // A file that cannot be read says why in the lab's words; other steps say theirs.
    *status = fail(command,
                   problem.why == report::SessionRefusal::Unreadable && problem.cause
                       ? pathToUtf8(utf8ToPath(file)) + ": " + describe(*problem.cause, translated)
                       : problem.english,
                   2);
    return session;
  }
  if (const auto& notHeld = session->lookOnly()) {
    *status = stepFailed(command, *notHeld);
    return std::nullopt;
  }
  return session;
}

// What new says of rules the session refuses, as the options that gave them.
std::string rulesUsage(report::RulesProblem problem, int rounds) {
  switch (problem) {
    case report::RulesProblem::BestOf:
      return _("--best-of takes 1, 3, 5 or 7");
    case report::RulesProblem::ThirdPlace:
      return _("--third-place is for single elimination");
    case report::RulesProblem::EliminationRounds:
      return _("--rounds is for swiss and round-robin");
    case report::RulesProblem::RoundRobinRounds:
      return _("--rounds of a round robin is 1 or 2");
    case report::RulesProblem::SwissRounds:
      break;
  }
  return report::format(_("%s %s '%s'"), "--rounds", translated(N_("takes 1 to 64, not")),
                        std::to_string(rounds).c_str());
}

int newCommand(const Args& args) {
  std::optional<std::string> name, format, seeding, secretFile, beaconKind, beaconSource;
  std::optional<std::uint64_t> rounds, bestOf;
  bool halve = false, thirdPlace = false, noCommitment = false;
  OptionParser options("tournament", kHelp);
  options.text("--name", N_("a name"), [&](std::string v) { name = std::move(v); });
  options.text("--format", N_("a format"), [&](std::string v) { format = std::move(v); });
  options.text("--seeding", N_("a seeding"), [&](std::string v) { seeding = std::move(v); });
  options.text("--secret-file", N_("a file name"),
               [&](std::string v) { secretFile = std::move(v); });
  options.number("--rounds", 1, report::kMaxSwissRounds, N_("takes 1 to 64, not"),
                 [&](std::uint64_t v) { rounds = v; });
  options.number("--best-of", 1, 7, N_("takes 1, 3, 5 or 7, not"),
                 [&](std::uint64_t v) { bestOf = v; });
  options.flag("--halve", halve).flag("--third-place", thirdPlace);
  options.flag("--no-commitment", noCommitment);
  options.text("--beacon-kind", N_("a beacon kind"),
               [&](std::string v) { beaconKind = std::move(v); });
  options.text("--beacon-source", N_("a text"),
               [&](std::string v) { beaconSource = std::move(v); });
  const OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return *parsed.exitStatus;
  if (parsed.operands.size() != 1) return options.usage(_("new takes one tournament file"));
  report::BeaconDeclaration declared;
  if (beaconKind) {
    const auto kind = report::beaconKindFromName(*beaconKind);
    if (!kind) return options.usage(_("--beacon-kind is numbers or hex"));
    declared.kind = *kind;
  }
  if (beaconSource) {
    if (beaconSource->size() > report::kMaxTextBytes)
      return options.usage(_("--beacon-source is too long"));
    declared.source = *beaconSource;
  }
  if (!name) return options.usage(_("new needs --name"));
  if (!format) return options.usage(_("new needs --format"));
  const auto f = report::formatFromName(*format);
  const auto s = seeding ? report::seedingFromName(*seeding) : std::optional(report::Seeding::Draw);
  report::TournamentRules rules;
  rules.format = f.value_or(report::Format::Single);
  rules.rounds = static_cast<int>(rounds.value_or(0));
  rules.bestOf = static_cast<int>(bestOf.value_or(1));
  rules.halve = halve;
  rules.seeding = s.value_or(report::Seeding::Draw);
  rules.thirdPlace = thirdPlace;
  // The session's checks, each told as the option that fails it, between the names read.
  if (TournamentSession::whyNotNew(*name, rules) == report::SessionRefusal::NameTooLong)
    return options.usage(_("--name is too long"));
  if (!f) return options.usage(_("--format is single, double, round-robin or swiss"));
  const auto problem = report::rulesProblem(TournamentSession::newRules(rules));
  if (problem == report::RulesProblem::BestOf) return options.usage(rulesUsage(*problem, 0));
  if (!s) return options.usage(_("--seeding is draw, listed or strength"));
  if (problem) return options.usage(rulesUsage(*problem, rules.rounds));
  if (noCommitment && secretFile) return options.usage(_("--no-commitment keeps no secret file"));

  const std::string& file = parsed.operands[0];
  const std::filesystem::path secretPath =
      secretFile ? utf8ToPath(*secretFile) : report::secretFileOf(utf8ToPath(file));
  report::SessionProblem refused;
  const auto session = TournamentSession::create(utf8ToPath(file), secretPath, *name, rules,
                                                 !noCommitment, kWrittenBy, &refused, declared);
  if (!session) {
    const report::SessionRefusal why = refused.why;
    if (why == report::SessionRefusal::Exists)
      return fail("new", report::format(
                             _("%s: exists already; a tournament is never replaced by a new one"),
                             file.c_str()));
    if (why == report::SessionRefusal::NoRandomSource)
      return fail("new", _("the system's random source gives no secret"));
    return stepFailed("new", refused);
  }
  if (const auto& commitment = session->tournament().commitment) {
    std::printf("%s\n", commitment->c_str());
    std::fprintf(stderr,
                 _("momiru-lab tournament new: publish the commitment above before entries "
                   "close; the secret is in %s\n"),
                 visibleText(pathToUtf8(secretPath)).c_str());
  }
  return 0;
}

int addCommand(const Args& args) {
  OptionParser options("tournament", kHelp);
  const OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return *parsed.exitStatus;
  if (parsed.operands.size() < 2)
    return options.usage(_("add takes a tournament and save-data files"));
  const std::string& file = parsed.operands[0];
  int status = 2;
  auto session = openStep("add", file, {}, &status);
  if (!session) return status;
  std::vector<std::filesystem::path> files;
  for (std::size_t i = 1; i < parsed.operands.size(); ++i)
    files.push_back(utf8ToPath(parsed.operands[i]));
  std::optional<report::SessionProblem> unsaved;
  const std::vector<report::EntryResult> results =
      session->addEntries(files, &unsaved, report::EntriesAdded::AllOrNothing);
  if (results.front().refusal == report::EntryRefusal::Closed)
    return fail("add", report::format(_("%s: entries are closed"), file.c_str()));
  bool refused = false, full = false;
  for (const report::EntryResult& r : results) {
    if (!r.refusal) continue;
    refused = true;
    const std::string dat = pathToUtf8(r.file);
    switch (*r.refusal) {
      case report::EntryRefusal::Tampered:
        fail("add", dat + ": " +
                        report::format(_("the save data has been altered (%s)"), r.reason.c_str()));
        break;
      case report::EntryRefusal::Unreadable:
        fail("add", dat + ": " + report::format(_("cannot be used: %s"), r.reason.c_str()));
        break;
      case report::EntryRefusal::NoCharacter:
        fail("add", dat + ": " + _("cannot be used: no character has been entered (level 0)"));
        break;
      case report::EntryRefusal::Duplicate:
        fail("add", report::format(_("%s: the same record as entry #%zu"), dat.c_str(),
                                   static_cast<std::size_t>(r.sameAs.value_or(0)) + 1));
        break;
      case report::EntryRefusal::Full:
        full = true;
        break;
      case report::EntryRefusal::Closed:  // every file or none, told above
        break;
    }
  }
  const report::Format f = session->tournament().rules.format;
  if (full)
    fail("add", report::format(_("a %s tournament takes at most %zu entries"),
                               std::string(report::formatName(f)).c_str(), report::mostEntries(f)));
  if (refused) return fail("add", _("nothing was added"));
  if (unsaved) return stepFailed("add", *unsaved);
  for (const report::EntryResult& r : results)
    if (r.entry) std::printf("%s\n", label(session->tournament(), r.entry).c_str());
  return 0;
}

int closeCommand(const Args& args) {
  OptionParser options("tournament", kHelp);
  const OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return *parsed.exitStatus;
  if (parsed.operands.size() != 1) return options.usage(_("close takes one tournament file"));
  const std::string& file = parsed.operands[0];
  int status = 2;
  auto session = openStep("close", file, {}, &status);
  if (!session) return status;
  report::SessionProblem problem;
  if (!session->closeEntries(&problem)) {
    const report::SessionRefusal why = problem.why;
    if (why == report::SessionRefusal::Closed)
      return fail("close", report::format(_("%s: entries are closed already"), file.c_str()));
    if (why == report::SessionRefusal::FewerThanTwo)
      return fail("close", report::format(_("%s: fewer than 2 entries"), file.c_str()));
    if (why == report::SessionRefusal::TooManyRounds) {
      const std::size_t n = session->tournament().entries.size();
      return fail("close",
                  report::format(_("%s: a Swiss field of %zu plays at most %d rounds, not the %d "
                                   "it was made for; add entries"),
                                 file.c_str(), n, report::mostSwissRounds(n),
                                 session->tournament().rules.rounds));
    }
    return stepFailed("close", problem);
  }
  std::printf("%s\n", session->tournament().entriesDigest->c_str());
  return 0;
}

// The beacon as the draw takes it: the canonical form with the kind and the source declared, or,
// in a file that declares none, the text in quotes, since every byte of it counts.
std::string beaconLine(const Tournament& t) {
  if (!t.beacon) return "-";
  if (!t.declared)
    return "'" + visibleText(*t.beacon) + "' " + translated(N_("(as typed: no kind declared)"));
  return visibleText(report::seedBeacon(t).value_or(*t.beacon));
}

// One value of the draw: its name, padded, and the value or "-".
void printValue(const char* key, const std::string& value) {
  std::printf("  %s%s\n", (padRight(key, 14) + " ").c_str(), value.c_str());
}
void printValue(const char* key, const std::optional<std::string>& v) {
  printValue(key, v ? visibleText(*v) : std::string("-"));
}

void printTournament(const Tournament& t) {
  std::printf("%s\n", visibleText(t.name).c_str());
  std::printf(_("format %s, best of %d, seeding %s, %zu entries, %s\n"),
              std::string(report::formatName(t.rules.format)).c_str(), t.rules.bestOf,
              std::string(report::seedingName(t.rules.seeding)).c_str(), t.entries.size(),
              std::string(report::stageName(t.stage)).c_str());
  std::printf("%s\n", report::fairnessText(t).c_str());
  printValue(_("commitment"), t.commitment);
  printValue(_("entries digest"), t.entriesDigest);
  printValue(_("secret"), t.secret);
  if (t.declared) {
    printValue(_("beacon kind"), std::string(report::beaconKindName(t.declared->kind)));
    printValue(_("beacon source"),
               t.declared->source.empty() ? std::string("-") : visibleText(t.declared->source));
  }
  printValue(_("beacon"), beaconLine(t));
  printValue(_("seed"), t.seed);
  if (!t.standings.empty()) {
    std::fputs(_("\nstandings\n"), stdout);
    // The heading names each column; the tie-breaks follow the entry, each by its name.
    std::printf("%s  %s  %s\n", padLeft(_("rank"), 5).c_str(), padLeft(_("pts"), 4).c_str(),
                _("entry and tie-breaks"));
    for (const report::Standing& s : t.standings) {
      std::string breaks;
      for (const auto& [key, value] : s.tieBreaks) {
        char v[32];
        std::snprintf(v, sizeof v, "%g", value);
        // Appended piece by piece: GCC's -O3 misreads `" " + string&&` as an overlapping copy.
        breaks.append(" ").append(report::tieBreakName(key)).append("=").append(v);
      }
      std::printf("%5d  %4g  %s %s\n", s.rank, s.points, label(t, s.entry).c_str(), breaks.c_str());
    }
  }
  if (!t.matches.empty()) std::fputs(_("\nmatches\n"), stdout);
  for (const report::Match& m : t.matches) {
    std::string battles;
    for (const report::BattleRecord& b : m.battles)
      battles.append(" ")
          .append(b.winner ? number(*b.winner) : std::string("-"))
          .append("/")
          .append(std::to_string(b.turns));
    std::printf(_("  %-8s %s vs %s: %s%s\n"), visibleText(m.id).c_str(),
                label(t, m.players[0]).c_str(), label(t, m.players[1]).c_str(),
                m.winner ? report::format(_("winner #%d"), *m.winner + 1).c_str() : _("drawn"),
                battles.empty() ? "" : (_("  battles") + battles).c_str());
  }
  if (t.matches.empty() && !t.entries.empty()) {
    std::fputs(_("\nentries\n"), stdout);
    for (std::size_t i = 0; i < t.entries.size(); ++i)
      std::printf("  %s\n", label(t, static_cast<int>(i)).c_str());
  }
}

bool writePage(const char* command, const std::optional<std::string>& page, const Tournament& t,
               report::PageVerdict verdict = report::PageVerdict::Verified) {
  if (!page) return true;
  Refusal refusal;
  if (report::writeTournamentPage(utf8ToPath(*page), t, &refusal, {}, verdict)) return true;
  fail(command, describe(refusal, translated));
  return false;
}

int runCommand(const Args& args) {
  std::optional<std::string> secretFile, beacon, page;
  std::optional<std::uint64_t> jobs;
  OptionParser options("tournament", kHelp);
  options.text("--secret-file", N_("a file name"),
               [&](std::string v) { secretFile = std::move(v); });
  options.text("--beacon", N_("a text"), [&](std::string v) { beacon = std::move(v); });
  options.text("--html", N_("a file name"), [&](std::string v) { page = std::move(v); });
  options.number("--jobs", 1, 256, N_("takes 1 to 256, not"), [&](std::uint64_t v) { jobs = v; });
  const OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return *parsed.exitStatus;
  if (parsed.operands.size() != 1) return options.usage(_("run takes one tournament file"));
  const std::string& file = parsed.operands[0];
  int status = 2;
  auto session = openStep(
      "run", file, secretFile ? utf8ToPath(*secretFile) : report::secretFileOf(utf8ToPath(file)),
      &status);
  if (!session) return status;
  report::RunOptions run;
  run.threads =
      jobs ? static_cast<unsigned>(*jobs) : std::max(1u, std::thread::hardware_concurrency());
  const bool bar = stderrIsTerminal();
  if (bar)
    run.progress = [](std::size_t done, std::size_t total) {
      std::fputc('\r', stderr);
      std::fprintf(stderr, _("match %zu / %zu"), done, total);
    };
  report::SessionProblem problem;
  const bool ran = session->run(beacon, secretFile.has_value(), run, &problem);
  const report::SessionRefusal why = problem.why;
  // The progress line, once matches were being played, is ended before anything else is said.
  const bool played = ran || why == report::SessionRefusal::NotPlayable ||
                      why == report::SessionRefusal::OutOfMemory ||
                      why == report::SessionRefusal::Unsaved;
  if (bar && played) std::fputs("\n", stderr);
  if (!ran) {
    switch (why) {
      case report::SessionRefusal::NotClosed:
        return fail("run", report::format(_("%s: entries are not closed yet"), file.c_str()));
      case report::SessionRefusal::Finished:
        return fail("run", report::format(_("%s: has been run already"), file.c_str()));
      case report::SessionRefusal::BeaconTooLong:
        return options.usage(_("--beacon is too long"));
      case report::SessionRefusal::BeaconWrongKind:
        return fail(
            "run",
            report::format(
                _("--beacon is not of the kind this tournament "
                  "declared (%s): %s"),
                std::string(report::beaconKindName(session->tournament().declared->kind)).c_str(),
                translated(beaconWords(*problem.beacon))));
      case report::SessionRefusal::SecretFileNamed:
        return options.usage(_("a tournament without a commitment has no secret file"));
      case report::SessionRefusal::WrongSecret:
        return fail("run", _("the secret does not match the tournament's commitment"));
      case report::SessionRefusal::NoRandomSource:
        return fail("run", _("the system's random source gives no secret"));
      case report::SessionRefusal::OutOfMemory:
        return fail("run", _("out of memory"));
      default:  // the secret file's own words, a round that cannot be paired, a failed save
        return stepFailed("run", problem);
    }
  }
  if (!writePage("run", page, session->tournament())) return 1;
  printTournament(session->tournament());
  return 0;
}

// verify's exit statuses beyond 0, 1 (a difference) and 2 (unreadable).
constexpr int kNotStarted = 3;
constexpr int kNotPublished = 4;

// What verify and show find of a tournament: nothing to check yet (not started), the first
// difference, or agreement with how much has been played. Out of memory is thrown on.
struct Checked {
  bool started = false;
  std::optional<std::string> difference;
  report::MatchesPlayed count;
};
Checked check(const Tournament& t, unsigned threads) {
  Checked c;
  c.started = t.stage == report::Stage::Finished || t.seed.has_value();
  if (!c.started) return c;
  report::RunOptions run;
  run.threads = threads;
  try {
    c.difference = report::verifyPartialTournament(t, run, &c.count);
  } catch (const std::runtime_error& e) {
    c.difference = e.what();
  }
  return c;
}

unsigned threadsOf(const std::optional<std::uint64_t>& jobs) {
  return jobs ? static_cast<unsigned>(*jobs) : std::max(1u, std::thread::hardware_concurrency());
}

int verifyCommand(const Args& args) {
  std::optional<std::uint64_t> jobs;
  std::optional<std::string> commitment, digest;
  OptionParser options("tournament", kHelp);
  options.number("--jobs", 1, 256, N_("takes 1 to 256, not"), [&](std::uint64_t v) { jobs = v; });
  options.text("--commitment", N_("64 hex digits"),
               [&](std::string v) { commitment = std::move(v); });
  options.text("--digest", N_("64 hex digits"), [&](std::string v) { digest = std::move(v); });
  const OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return *parsed.exitStatus;
  if (parsed.operands.size() != 1)
    return options.usage(_("verify takes one tournament file or page"));
  // A published value as 64 hex digits in lower case, or nothing when it is not one.
  const auto published = [](std::string v) -> std::optional<std::string> {
    if (v.size() != 64 || !report::hexBytes(v)) return std::nullopt;
    std::transform(v.begin(), v.end(), v.begin(), [](char c) {
      return c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return v;
  };
  if (commitment && !(commitment = published(*commitment)))
    return options.usage(_("--commitment takes the 64 hex digits the host published"));
  if (digest && !(digest = published(*digest)))
    return options.usage(_("--digest takes the 64 hex digits the host published"));
  const std::string& file = parsed.operands[0];
  auto t = load("verify", file);
  if (!t) return 2;
  Checked c;
  try {
    c = check(*t, threadsOf(jobs));
    if (!c.difference) c.difference = report::pageFileDifference(utf8ToPath(file), *t);
  } catch (const std::bad_alloc&) {
    return fail("verify", _("out of memory"), 2);
  }
  if (c.difference) return fail("verify", file + ": " + *c.difference);
  if (!c.started) {
    fail("verify",
         report::format(_("%s: the tournament has not been started: there is nothing to "
                          "play again yet"),
                        file.c_str()),
         kNotStarted);
  } else if (t->stage == report::Stage::Finished) {
    std::printf(_("%s: every pairing, battle and standing agrees\n"), visibleText(file).c_str());
  } else {
    std::printf(_("%s: the %zu matches played of %zu agree; the tournament is not finished\n"),
                visibleText(file).c_str(), c.count.played, c.count.total);
  }
  // The values a stranger compares with what the host published.
  printValue(_("commitment"), t->commitment);
  printValue(_("entries digest"), t->entriesDigest);
  if (t->declared) {
    printValue(_("beacon kind"), std::string(report::beaconKindName(t->declared->kind)));
    printValue(_("beacon source"),
               t->declared->source.empty() ? std::string("-") : visibleText(t->declared->source));
  }
  printValue(_("beacon"), beaconLine(*t));
  std::fputs(_("Compare these with what the host published: the commitment before entries "
               "closed, the entries digest when they closed, and the beacon with its source.\n"),
             stdout);
  int status = c.started ? 0 : kNotStarted;
  const auto compare = [&](const std::optional<std::string>& given,
                           const std::optional<std::string>& held, const char* what) {
    if (!given) return;
    if (held == given) {
      std::printf(_("the %s is the one published\n"), translated(what));
      return;
    }
    fail("verify",
         report::format(_("%s: the %s is not the one published"), file.c_str(), translated(what)));
    status = kNotPublished;
  };
  compare(commitment, t->commitment, N_("commitment"));
  compare(digest, t->entriesDigest, N_("entries digest"));
  return status;
}

int showCommand(const Args& args) {
  bool asJson = false;
  std::optional<std::string> page;
  OptionParser options("tournament", kHelp);
  options.flag("--json", asJson);
  options.text("--html", N_("a file name"), [&](std::string v) { page = std::move(v); });
  const OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return *parsed.exitStatus;
  if (parsed.operands.size() != 1)
    return options.usage(_("show takes one tournament file or page"));
  const std::string& file = parsed.operands[0];
  auto t = load("show", file);
  if (!t) return 2;
  // A file is shown as genuine only once it verifies; one that does not is said so first.
  Checked c;
  try {
    c = check(*t, threadsOf(std::nullopt));
  } catch (const std::bad_alloc&) {
    return fail("show", _("out of memory"), 2);
  }
  if (c.difference) {
    fail("show", report::format(_("%s: does not verify (%s); what follows is what the file "
                                  "claims, not a tournament that was played"),
                                file.c_str(), c.difference->c_str()));
  }
  if (!writePage("show", page, *t,
                 c.difference ? report::PageVerdict::NotVerified : report::PageVerdict::Verified))
    return 1;
  if (asJson) {
    std::fputs(jsonText(Json::parse(report::tournamentJson(*t))).c_str(), stdout);
    std::fputs("\n", stdout);
  } else {
    if (c.difference)
      std::printf("%s\n\n",
                  report::format(_("DOES NOT VERIFY: %s"), c.difference->c_str()).c_str());
    printTournament(*t);
  }
  return c.difference ? 1 : 0;
}

int battleOfCommand(const Args& args) {
  std::optional<std::string> matchId;
  std::optional<std::uint64_t> number;
  BattleOutput output;
  OptionParser options("tournament", kHelp);
  options.text("--match", N_("a match id"), [&](std::string v) { matchId = std::move(v); });
  options.number("--battle", 1, 14, N_("takes a battle number from 1, not"),
                 [&](std::uint64_t v) { number = v; });
  options.flag("--json", output.asJson).flag("--crlf", output.crlf);
  options.text("--save-replay", N_("a file name"),
               [&](std::string v) { output.saveReplayTo = std::move(v); });
  options.text("--html", N_("a file name"), [&](std::string v) { output.pageTo = std::move(v); });
  const OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return *parsed.exitStatus;
  if (parsed.operands.size() != 1 || !matchId || !number)
    return options.usage(_("battle takes one tournament file or page, --match ID and --battle K"));
  auto t = load("battle", parsed.operands[0]);
  if (!t) return 2;
  const report::Match* match = nullptr;
  for (const report::Match& m : t->matches)
    if (m.id == *matchId) match = &m;
  if (match == nullptr) return fail("battle", report::format(_("no match %s"), matchId->c_str()));
  if (*number > match->battles.size())
    return fail("battle", report::format(_("match %s has %zu battles"), matchId->c_str(),
                                         match->battles.size()));
  if (!match->players[0] || !match->players[1])
    return fail("battle", report::format(_("match %s is a bye"), matchId->c_str()));
  const report::BattleRecord& b = match->battles[*number - 1];
  const auto replay =
      report::tournamentBattleReplay(*t, *match, static_cast<int>(*number), kWrittenBy);
  if (!replay)
    return fail("battle", report::format(_("match %s has no such battle"), matchId->c_str()));
  // Printed exactly as 'momiru-lab battle' prints this replay.
  int status = showBattle(
      replay::replayStart(*replay), [&] { return *replay; }, output);
  if (replay->result.logSha256 != b.logSha256 || replay->result.turns != b.turns) {
    fail("battle", _("these rules play another battle than the tournament records"));
    status = 1;
  }
  return status;
}

}  // namespace

int tournamentCommand(const Args& args) {
  if (args.empty()) {
    std::fputs(
        _("momiru-lab tournament: no subcommand given (try 'momiru-lab tournament --help')\n"),
        stderr);
    return kUsageError;
  }
  const std::string& sub = args[0];
  const Args rest(args.begin() + 1, args.end());
  if (sub == "--help" || sub == "-h" || sub == "help") {
    std::fputs(translated(kHelp), stdout);
    return 0;
  }
  if (sub == "new") return newCommand(rest);
  if (sub == "add") return addCommand(rest);
  if (sub == "close") return closeCommand(rest);
  if (sub == "run") return runCommand(rest);
  if (sub == "verify") return verifyCommand(rest);
  if (sub == "show") return showCommand(rest);
  if (sub == "battle") return battleOfCommand(rest);
  std::fprintf(stderr,
               _("momiru-lab tournament: unknown subcommand '%s' (try 'momiru-lab tournament "
                 "--help')\n"),
               visibleText(sub).c_str());
  return kUsageError;
}

}  // namespace momiru::lab
