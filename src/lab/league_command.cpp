// momiru-lab league: every ordered pairing of a set of characters, ratings with intervals, and
// the reports (text, JSON, an HTML page).

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "data/platform.h"
#include "data/save_data.h"
#include "lab/battle_setup.h"
#include "lab/options.h"
#include "lab/commands.h"
#include "lab/league.h"
#include "lab/league_report.h"
#include "lab/ratings.h"

namespace momiru::lab {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHelp =
    "usage: momiru-lab league FILE... [--battles N] [--seed S] [--halve] [--jobs J]\n"
    "                         [--max-turns T] [--json] [--html REPORT.html]\n"
    "\n"
    "Plays every ordered pairing of the given characters: each meets every other N times as\n"
    "player 1 and N times as player 2 (player 2 always acts first). Prints a ranked table\n"
    "(rating and its 95% interval, wins, draws, losses, unfinished battles, win share, mean\n"
    "turns), the first mover's advantage and the win rate of every pairing.\n"
    "\n"
    "Ratings: a Bradley-Terry model fitted by maximum likelihood (Newton's method). Player 2 of\n"
    "a battle wins with odds 10^((R2 + F - R1) / 400), where F is the fitted first-mover\n"
    "advantage; a draw counts as half a win to each side, unfinished battles are left out, and\n"
    "each ordered pairing gets one virtual draw so that a character who wins every battle still\n"
    "has a finite rating. Ratings are on the Elo scale with mean 1500. The 95% intervals come\n"
    "from the curvature of the log-likelihood at its maximum (observed information), not from a\n"
    "bootstrap. Win share is (wins + draws / 2) / finished battles.\n"
    "\n"
    "  --battles N    battles per ordered pairing (default 2000)\n"
    "  --seed S       the seed every battle's seed derives from; without it one is taken from\n"
    "                 the clock and printed on stderr. With two files the battles are those of\n"
    "                 'momiru-lab simulate A B --mirror --battles N --seed S'.\n"
    "  --halve        halved damage, as the options screen's switch\n"
    "  --jobs J       threads (default: all cores); the report does not depend on it\n"
    "  --max-turns T  a battle not over after T turns counts as unfinished (default 10000)\n"
    "  --json         the same report as one JSON object\n"
    "  --html FILE    also write the report as one self-contained HTML page (table, chart of the\n"
    "                 ratings, heat map of the win rates; no scripts, no network)\n"
    "\n"
    "Characters with equal names are told apart by their files. A file that cannot be read,\n"
    "fails its integrity check or holds a character of level 0 is left out with one line on\n"
    "stderr; the league runs over the rest and the exit status is 1. A progress bar is drawn on\n"
    "stderr when it is a terminal.\n"
    "\n"
    "examples:\n"
    "  momiru-lab league samples/*.dat\n"
    "  momiru-lab league samples/*.dat --battles 500 --seed 7 --html league.html\n";

// ---------------------------------------------------------------------------------------------
// Option parsing. Self-contained for now; it reads the same option forms as the other commands
// (--name VALUE, --name=VALUE, "--" before file names that start with '-').

struct LeagueOptions {
  std::vector<std::string> files;
  LeagueSettings settings;
  std::optional<std::uint64_t> seed;
  bool json = false;
  std::optional<std::string> html;
  bool help = false;
};

struct ParsedOptions {
  std::optional<LeagueOptions> options;
  std::string error;  // when options is empty
};

ParsedOptions parseLeagueOptions(const Args& args, unsigned cores) {
  LeagueOptions opt;
  opt.settings.jobs = cores;
  const auto fail = [](std::string message) { return ParsedOptions{std::nullopt, message}; };
  bool filesOnly = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (filesOnly || a.size() < 2 || a[0] != '-') {
      opt.files.push_back(a);
      continue;
    }
    if (a == "--") {
      filesOnly = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      opt.help = true;
      return {opt, {}};
    }
    if (a == "--halve") {
      opt.settings.halve = true;
      continue;
    }
    if (a == "--json") {
      opt.json = true;
      continue;
    }
    const std::string name = a.substr(0, a.find('='));
    if (name != "--battles" && name != "--seed" && name != "--jobs" && name != "--max-turns" &&
        name != "--html") {
      return fail("unknown option '" + a + "'");
    }
    std::string value;
    if (a.size() > name.size()) {
      value = a.substr(name.size() + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return fail(name + (name == "--html" ? " needs a file name" : " needs a number"));
    }
    if (name == "--html") {
      if (value.empty()) return fail("--html needs a file name");
      opt.html = value;
      continue;
    }
    std::optional<std::uint64_t> v;
    if (name == "--battles") {
      v = OptionParser::parseCount(value, 1, std::uint64_t{1} << 40);
      if (v) opt.settings.battles = *v;
    } else if (name == "--seed") {
      v = OptionParser::parseCount(value, 0, std::numeric_limits<std::uint64_t>::max());
      opt.seed = v;
    } else if (name == "--jobs") {
      v = OptionParser::parseCount(value, 1, 1024);
      if (v) opt.settings.jobs = static_cast<unsigned>(*v);
    } else {
      v = OptionParser::parseCount(value, 1, std::numeric_limits<std::int32_t>::max());
      if (v) opt.settings.maxTurns = static_cast<std::int32_t>(*v);
    }
    if (!v) return fail(name + " does not take '" + value + "'");
  }
  if (opt.files.size() < 2) return fail("give at least two save-data files");
  return {opt, {}};
}

// End of option parsing.
// ---------------------------------------------------------------------------------------------

int usage(const std::string& message) {
  std::fprintf(stderr, "momiru-lab league: %s (try 'momiru-lab league --help')\n",
               printable(message).c_str());
  return kUsageError;
}

void complain(const std::string& message) {
  std::fprintf(stderr, "momiru-lab league: %s\n", printable(message).c_str());
}

// Loads one character as the entry screen would, or says why it cannot take part.
std::optional<std::string> loadEntrant(const std::string& file, Combatant& record) {
  const fs::path path = utf8ToPath(file);
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  // Opening a FIFO would wait for a writer for ever; a device could be endless.
  if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status)) {
    return std::string("not a regular file");
  }
  GameState gs;
  const SaveDataResult r = LoadSaveData(gs, 0, path);
  if (r.outcome == LoadOutcome::Tampered) {
    return "the save data has been altered (" + r.reason + ")";
  }
  if (r.outcome != LoadOutcome::Loaded) return "cannot be used: " + r.reason;
  if (gs.combatant[0].level == 0) return std::string("level 0: the game does not register it");
  record = gs.combatant[0];
  return std::nullopt;
}

// Names that stay equal after loading (the same file name and stored name in two folders) take
// the path as given instead of the bare file name; a file given more than once is numbered.
void tellApart(std::vector<LeagueEntrant>& entrants) {
  std::map<std::string, std::vector<LeagueEntrant*>> groups;
  for (LeagueEntrant& e : entrants) groups[e.name].push_back(&e);
  for (auto& [name, group] : groups) {
    if (group.size() < 2) continue;
    std::map<std::string, int> files;
    for (const LeagueEntrant* e : group) ++files[e->file];
    if (files.size() == group.size()) {
      for (LeagueEntrant* e : group) {
        const std::string bare = pathToUtf8(utf8ToPath(e->file).filename());
        if (e->name.rfind(bare, 0) == 0) e->name = e->file + e->name.substr(bare.size());
      }
    } else {
      for (std::size_t k = 0; k < group.size(); ++k)
        group[k]->name += "(" + std::to_string(k + 1) + ")";
    }
  }
}

// Writes `contents` to `file`: a regular file (or a new one) is replaced whole, through a
// temporary file beside it, so a failed write leaves the old file; a read-only one is refused; a
// symbolic link keeps pointing where it did; a FIFO or device is written to as it is. Gives the
// reason on failure.
std::optional<std::string> writeReportFile(const std::string& file, const std::string& contents) {
  fs::path target = utf8ToPath(file);
  std::error_code ec;
  const fs::file_status status = fs::status(target, ec);
  if (fs::is_directory(status)) return std::string("it is a folder");
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    FILE* out = std::fopen(target.c_str(), "wb");
    if (out == nullptr) return std::string(std::strerror(errno));
    const bool written = std::fwrite(contents.data(), 1, contents.size(), out) == contents.size() &&
                         std::fflush(out) == 0;
    const int error = errno;
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) return std::string(std::strerror(written ? errno : error));
    return std::nullopt;
  }
  // A page the user may not write stays as it is, even where its folder would let a rename
  // replace it.
  if (fs::is_regular_file(status) && ::access(target.c_str(), W_OK) != 0) {
    return std::string(std::strerror(errno));
  }
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  AtomicFile out(target);
  if (!out.created())
    return "cannot create a file in its folder: " + std::string(std::strerror(errno));
  errno = 0;
  if (!out.commit(contents)) {
    return std::string(errno != 0 ? std::strerror(errno) : "the write failed");
  }
  return std::nullopt;
}

bool writeStdout(const std::string& text) {
  const bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return std::fflush(stdout) == 0 && ok && std::ferror(stdout) == 0;
}

}  // namespace

int leagueCommand(const Args& args) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const ParsedOptions parsed = parseLeagueOptions(args, cores);
  if (!parsed.options) return usage(parsed.error);
  LeagueOptions opt = *parsed.options;
  if (opt.help) {
    std::fputs(kHelp, stdout);
    return 0;
  }

  LeagueReport report;
  std::vector<Combatant> records;
  for (const std::string& file : opt.files) {
    Combatant record;
    if (const auto why = loadEntrant(file, record)) {
      complain(file + ": left out: " + *why);
      report.leftOut.push_back({file, *why});
      continue;
    }
    report.entrants.push_back({record.name, file});
    records.push_back(std::move(record));
  }
  if (records.size() < 2) {
    complain("fewer than two characters left to play");
    return 1;
  }
  const std::uint64_t pairings = records.size() * (records.size() - 1);
  if (pairings > std::numeric_limits<std::uint64_t>::max() / opt.settings.battles) {
    return usage("too many battles for one league");
  }
  tellApart(report.entrants);

  if (!opt.seed) {
    opt.seed = clockSeed();
    std::fprintf(stderr, "momiru-lab league: seed %llu\n",
                 static_cast<unsigned long long>(*opt.seed));
  }
  opt.settings.seed = *opt.seed;
  report.settings = opt.settings;

  const bool progressBar = stderrIsTerminal();
  std::function<void(std::uint64_t, std::uint64_t)> progress;
  if (progressBar) {
    progress = [](std::uint64_t done, std::uint64_t total) {
      const double part = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
      std::fprintf(stderr, "\r[%-40.*s] %3d%%", static_cast<int>(part * 40),
                   "########################################", static_cast<int>(part * 100));
      std::fflush(stderr);
    };
  }
  report.results = runLeague(records, opt.settings, progress);
  if (progressBar) std::fprintf(stderr, "\r%60s\r", "");
  if (report.results.threadsStarted < report.results.threadsWanted) {
    complain(report.results.threadsStarted == 0
                 ? "no thread could be started; the battles ran on the main thread"
                 : "only " + std::to_string(report.results.threadsStarted) + " of " +
                       std::to_string(report.results.threadsWanted) + " threads could be started");
  }
  report.fit = fitRatings(records.size(), report.results.results);

  int status = report.leftOut.empty() ? 0 : 1;
  std::optional<std::string> htmlError;
  if (opt.html) htmlError = writeReportFile(*opt.html, htmlReport(report));
  if (!writeStdout(opt.json ? jsonReport(report) : textReport(report))) {
    complain(std::string("cannot write the report: ") + std::strerror(errno));
    status = 1;
  }
  if (htmlError) {
    complain("cannot write " + *opt.html + ": " + *htmlError);
    status = 1;
  }
  return status;
}

}  // namespace momiru::lab
