// momiru-lab league: every ordered pairing of a set of characters, ratings with intervals, and
// the reports (text, JSON, an HTML page).

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "data/platform.h"
#include "data/save_data.h"
#include "data/text_safety.h"
#include "lab/battle_setup.h"
#include "lab/commands.h"
#include "lab/options.h"
#include "report/format.h"
#include "report/league.h"
#include "report/league_report.h"
#include "report/ratings.h"
#include "report/translation.h"

namespace momiru::lab {

using namespace report;
namespace {

namespace fs = std::filesystem;

constexpr const char* kHelp =
    // xgettext:no-c-format
    N_("usage: momiru-lab league FILE... [--battles N] [--seed S] [--halve] [--jobs J]\n"
       "                         [--max-turns T] [--json] [--html REPORT.html]\n"
       "\n"
       "Plays every ordered pairing of the given characters: each meets every other N times as\n"
       "player 1 and N times as player 2 (player 2 always acts first). Prints a ranked table\n"
       "(rating and its 95% interval, wins, draws, losses, unfinished battles, win share, mean\n"
       "turns), the first mover's advantage and the win rate of every pairing.\n"
       "\n"
       "Ratings: a Bradley-Terry model fitted by maximum likelihood (Newton's method). Player 2 "
       "of\n"
       "a battle wins with odds 10^((R2 + F - R1) / 400), where F is the fitted first-mover\n"
       "advantage; a draw counts as half a win to each side, unfinished battles are left out, and\n"
       "each ordered pairing gets one virtual draw so that a character who wins every battle "
       "still\n"
       "has a finite rating. Ratings are on the Elo scale with mean 1500. The 95% intervals come\n"
       "from the curvature of the log-likelihood at its maximum (observed information), not from "
       "a\n"
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
       "  --html FILE    also write the report as one self-contained HTML page (table, chart of "
       "the\n"
       "                 ratings, heat map of the win rates; no scripts, no network)\n"
       "\n"
       "Characters with equal names are told apart by their files. A file that cannot be read,\n"
       "fails its integrity check or holds a character of level 0 is left out with one line on\n"
       "stderr; the league runs over the rest and the exit status is 1. A progress bar is drawn "
       "on\n"
       "stderr when it is a terminal.\n"
       "\n"
       "examples:\n"
       "  momiru-lab league samples/*.dat\n"
       "  momiru-lab league samples/*.dat --battles 500 --seed 7 --html league.html\n");

struct LeagueOptions {
  std::vector<std::string> files;
  LeagueSettings settings;
  std::optional<std::uint64_t> seed;
  bool json = false;
  std::optional<std::string> html;
};

void complain(const std::string& message) {
  std::fprintf(stderr, "momiru-lab league: %s\n", visibleText(message).c_str());
}

// Loads one character as the entry screen would, or says why it cannot take part (in English,
// as the JSON report keeps it).
std::optional<std::string> loadEntrant(const std::string& file, Combatant& record) {
  GameState gs;
  if (auto why = whyNotACharacter(gs, 0, file, false)) return why;
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
      for (std::size_t k = 0; k < group.size(); ++k) {
        std::string& numbered = group[k]->name;
        numbered += '(';
        numbered += std::to_string(k + 1);
        numbered += ')';
      }
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
  if (fs::is_directory(status)) return std::string(_("it is a folder"));
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    FILE* out = openWritingStream(target);
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
  if (fs::is_regular_file(status) && !mayWrite(target)) {
    return std::string(std::strerror(errno));
  }
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  AtomicFile out(target);
  if (!out.created())
    return format(_("cannot create a file in its folder: %s"), std::strerror(errno));
  errno = 0;
  if (!out.commit(contents)) {
    return std::string(errno != 0 ? std::strerror(errno) : _("the write failed"));
  }
  return std::nullopt;
}

bool writeStdout(const std::string& text) {
  const bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return std::fflush(stdout) == 0 && ok && std::ferror(stdout) == 0;
}

}  // namespace

int leagueCommand(const Args& args) {
  LeagueOptions opt;
  opt.settings.jobs = std::max(1u, std::thread::hardware_concurrency());
  OptionParser options("league", kHelp);
  options.flag("--halve", opt.settings.halve).flag("--json", opt.json);
  options.number("--battles", 1, std::uint64_t{1} << 40, N_("does not take"),
                 [&](std::uint64_t v) { opt.settings.battles = v; });
  options.number("--seed", 0, std::numeric_limits<std::uint64_t>::max(), N_("does not take"),
                 [&](std::uint64_t v) { opt.seed = v; });
  options.number("--jobs", 1, 1024, N_("does not take"),
                 [&](std::uint64_t v) { opt.settings.jobs = static_cast<unsigned>(v); });
  options.number("--max-turns", 1, std::numeric_limits<std::int32_t>::max(), N_("does not take"),
                 [&](std::uint64_t v) { opt.settings.maxTurns = static_cast<std::int32_t>(v); });
  options.text("--html", N_("a file name"), [&](std::string v) { opt.html = std::move(v); });
  OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return *parsed.exitStatus;
  opt.files = std::move(parsed.operands);
  if (opt.files.size() < 2) return options.usage(_("give at least two save-data files"));

  LeagueReport report;
  std::vector<Combatant> records;
  for (const std::string& file : opt.files) {
    Combatant record;
    if (const auto why = loadEntrant(file, record)) {
      GameState again;
      complain(format(_("%s: left out: %s"), file.c_str(),
                      whyNotACharacter(again, 0, file).value_or(*why).c_str()));
      report.leftOut.push_back({file, *why});
      continue;
    }
    report.entrants.push_back({record.name, file});
    records.push_back(std::move(record));
  }
  if (records.size() < 2) {
    complain(_("fewer than two characters left to play"));
    return 1;
  }
  const std::uint64_t pairings = records.size() * (records.size() - 1);
  if (pairings > std::numeric_limits<std::uint64_t>::max() / opt.settings.battles) {
    return options.usage(_("too many battles for one league"));
  }
  tellApart(report.entrants);

  if (!opt.seed) {
    opt.seed = clockSeed();
    std::fprintf(stderr, _("momiru-lab league: seed %llu\n"),
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
  try {
    report.results = runLeague(records, opt.settings, progress);
  } catch (const std::bad_alloc&) {
    if (progressBar) std::fprintf(stderr, "\r%60s\r", "");
    complain(_("out of memory"));
    return 1;
  }
  if (progressBar) std::fprintf(stderr, "\r%60s\r", "");
  if (report.results.threadsStarted < report.results.threadsWanted) {
    complain(report.results.threadsStarted == 0
                 ? std::string(_("no thread could be started; the battles ran on the main thread"))
                 : format(_("only %u of %u threads could be started"),
                          report.results.threadsStarted, report.results.threadsWanted));
  }
  report.fit = fitRatings(records.size(), report.results.results);

  int status = report.leftOut.empty() ? 0 : 1;
  std::optional<std::string> htmlError;
  if (opt.html) htmlError = writeReportFile(*opt.html, htmlReport(report));
  if (!writeStdout(opt.json ? jsonReport(report) : textReport(report))) {
    complain(format(_("cannot write the report: %s"), std::strerror(errno)));
    status = 1;
  }
  if (htmlError) {
    complain(format(_("cannot write %s: %s"), opt.html->c_str(), htmlError->c_str()));
    status = 1;
  }
  return status;
}

}  // namespace momiru::lab
