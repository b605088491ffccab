// momiru-lab simulate: many battles of one pairing on all cores, with win rates, their confidence
// intervals, battle lengths and a replayable seed for each kind of outcome.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "battle/batch_runner.h"
#include "data/platform.h"
#include "data/text_safety.h"
#include "lab/battle_setup.h"
#include "lab/commands.h"
#include "lab/options.h"
#include "report/format.h"
#include "report/json_output.h"
#include "report/odds.h"
#include "report/translation.h"

namespace momiru::lab {

using namespace report;
namespace {

constexpr const char* kHelp =
    // xgettext:no-c-format
    N_("usage: momiru-lab simulate A.dat B.dat [--battles N] [--seed S] [--halve] [--mirror]\n"
       "                           [--jobs J] [--max-turns T] [--json]\n"
       "\n"
       "Plays N battles of A (player 1) against B (player 2) without a screen and reports the\n"
       "wins of each, draws and unfinished battles with 95% confidence intervals (Wilson), and "
       "the\n"
       "mean, median and 95th percentile of the turns of the finished battles. Player 2 always\n"
       "acts first.\n"
       "\n"
       "  --battles N    battles per pairing (default 10000)\n"
       "  --seed S       the seed every battle's seed derives from; without it one is taken from\n"
       "                 the clock and printed on stderr. The report names one battle's seed for\n"
       "                 each outcome: 'momiru-lab battle A.dat B.dat --seed X' replays it,\n"
       "                 and with --save-replay FILE keeps it as a replay file to share.\n"
       "  --halve        halved damage, as the options screen's switch\n"
       "  --mirror       also play B as player 1 against A, and report the first mover's "
       "advantage\n"
       "  --jobs J       threads (default: all cores); the figures do not depend on it\n"
       "  --max-turns T  a battle not over after T turns counts as unfinished (default 10000)\n"
       "  --json         the same figures as one JSON object; bytes of a name that are not UTF-8\n"
       "                 are replaced by U+FFFD\n"
       "\n"
       "The text report ends each pairing with a bar chart of the battle lengths (block "
       "characters\n"
       "on a terminal, '#' otherwise). Control characters in names are shown escaped (\\n, \\x1B,\n"
       "\\u202E). A progress bar is drawn on stderr when it is a terminal. A file that does not\n"
       "load, fails its integrity check or holds no character (level 0) is refused with one line\n"
       "naming it, exit status 1. When not all threads can be started, the battles run on those\n"
       "that could.\n"
       "\n"
       "examples:\n"
       "  momiru-lab simulate samples/pochimaru.dat samples/rendaa.dat\n"
       "  momiru-lab simulate a.dat b.dat --battles 100000 --seed 7 --mirror --json\n");

using battle::OutcomeKind;
using battle::PairingTally;

// Outcome kinds, in report order, and their keys in the JSON.
constexpr OutcomeKind kKinds[] = {OutcomeKind::Player1Wins, OutcomeKind::Player2Wins,
                                  OutcomeKind::Draw, OutcomeKind::Unfinished};
constexpr const char* kKindKeys[] = {"player1_wins", "player2_wins", "draws", "unfinished"};

std::uint64_t firstOf(const PairingTally& t, OutcomeKind k) {
  return t.firstIndex[static_cast<std::size_t>(k)];
}

struct Options {
  std::uint64_t battles = 10000;
  std::uint64_t seed = 0;
  std::int32_t maxTurns = battle::kDefaultMaxTurns;
  unsigned jobs = 1;
};

// The smallest turn count with at least q of the finished battles at or below it.
std::optional<std::int32_t> quantile(const PairingTally& t, double q) {
  std::uint64_t n = 0;
  for (const auto& [turns, count] : t.lengths) n += count;
  if (n == 0) return std::nullopt;
  const auto rank = static_cast<std::uint64_t>(std::ceil(q * static_cast<double>(n)));
  std::uint64_t seen = 0;
  for (const auto& [turns, count] : t.lengths) {
    seen += count;
    if (seen >= std::max<std::uint64_t>(rank, 1)) return turns;
  }
  return t.lengths.rbegin()->first;
}

std::optional<double> meanTurns(const PairingTally& t) {
  if (t.finished() == 0) return std::nullopt;
  return static_cast<double>(t.turnSum) / static_cast<double>(t.finished());
}

struct Pairing {
  std::string names[2];
  PairingTally tally;
};

std::string percent(double p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f%%", 100.0 * p);
  return buf;
}

// The battle lengths of the finished battles as a small bar chart, one line per range of turns:
// at most kRows ranges of equal width from the shortest to the longest battle. `blocks` draws the
// bars in block characters with eighths (for a terminal), otherwise in '#'.
std::string lengthHistogram(const PairingTally& t, bool blocks) {
  constexpr std::int64_t kRows = 10;
  constexpr int kBarWidth = 40;
  if (t.lengths.empty()) return {};
  const std::int64_t lo = t.lengths.begin()->first;
  const std::int64_t hi = t.lengths.rbegin()->first;
  const std::int64_t width = (hi - lo + kRows) / kRows;  // ceil((hi - lo + 1) / kRows)
  std::vector<std::uint64_t> rows(static_cast<std::size_t>((hi - lo) / width + 1), 0);
  std::uint64_t finished = 0;
  for (const auto& [turns, count] : t.lengths) {
    rows[static_cast<std::size_t>((turns - lo) / width)] += count;
    finished += count;
  }
  const std::uint64_t most = *std::max_element(rows.begin(), rows.end());
  const int digits =
      static_cast<int>(std::to_string(lo + static_cast<std::int64_t>(rows.size()) * width).size());
  static constexpr const char* kEighths[] = {"", "▏", "▎", "▍", "▌", "▋", "▊", "▉"};
  std::string out = _("  battle lengths in turns (finished battles):\n");
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::int64_t from = lo + static_cast<std::int64_t>(r) * width;
    char label[64];
    if (width == 1) {
      std::snprintf(label, sizeof label, "    %*lld  ", 2 * digits + 1,
                    static_cast<long long>(from));
    } else {
      std::snprintf(label, sizeof label, "    %*lld-%-*lld  ", digits, static_cast<long long>(from),
                    digits, static_cast<long long>(from + width - 1));
    }
    out += label;
    const double share = static_cast<double>(rows[r]) / static_cast<double>(finished);
    const auto eighths = static_cast<int>(
        std::lround(static_cast<double>(rows[r]) * kBarWidth * 8 / static_cast<double>(most)));
    int cells = 0;
    if (blocks) {
      for (int i = 0; i < eighths / 8; ++i, ++cells) out += "█";
      if (eighths % 8 != 0) {
        out += kEighths[eighths % 8];
        ++cells;
      }
    } else {
      cells = (eighths + 4) / 8;
      out.append(static_cast<std::size_t>(cells), '#');
    }
    out.append(static_cast<std::size_t>(kBarWidth + 1 - cells), ' ');
    char tail[24];
    std::snprintf(tail, sizeof tail, "%6.2f%%\n", 100.0 * share);
    out += tail;
  }
  return out;
}

void printPairing(const Pairing& p, const Options& opt, int number, bool blocks) {
  const std::string names[2] = {visibleText(p.names[0]), visibleText(p.names[1])};
  std::printf(_("pairing %d: player 1 %s, player 2 %s\n"), number, names[0].c_str(),
              names[1].c_str());
  const std::string labels[] = {format(_("%s wins"), names[0].c_str()),
                                format(_("%s wins"), names[1].c_str()), _("draws"),
                                _("unfinished")};
  for (std::size_t k = 0; k < std::size(kKinds); ++k) {
    const std::uint64_t count = p.tally.count(kKinds[k]);
    const Share s = wilson(count, opt.battles);
    // TRANSLATORS: the count, its share, the interval's ends and what was counted; the numbers
    // keep their widths so that the lines stay aligned.
    std::printf(_("  %-8llu %7s  (95%% CI %6s to %6s)  %s"), static_cast<unsigned long long>(count),
                percent(s.share).c_str(), percent(s.low).c_str(), percent(s.high).c_str(),
                labels[k].c_str());
    const std::uint64_t first = firstOf(p.tally, kKinds[k]);
    if (first != PairingTally::kNoBattle) {
      std::printf(_(", e.g. --seed %llu"),
                  static_cast<unsigned long long>(battle::battleSeed(opt.seed, first)));
    }
    std::printf("\n");
  }
  const auto mean = meanTurns(p.tally);
  if (mean) {
    std::printf(_("  turns of finished battles: mean %.2f, median %d, 95th percentile %d\n"), *mean,
                *quantile(p.tally, 0.5), *quantile(p.tally, 0.95));
    std::fputs(lengthHistogram(p.tally, blocks).c_str(), stdout);
  } else {
    std::fputs(_("  turns of finished battles: none finished\n"), stdout);
  }
}

Json jsonShare(std::uint64_t k, std::uint64_t n) {
  const Share s = wilson(k, n);
  Json j;
  j["count"] = k;
  j["share"] = jsonNumber(s.share);
  j["ci95"] = {jsonNumber(s.low), jsonNumber(s.high)};
  return j;
}

// The first mover (player 2) against the second mover over both pairings.
struct FirstMover {
  std::uint64_t first;
  std::uint64_t second;
  std::uint64_t n;
  double advantage;
  double low;
  double high;
};

FirstMover firstMover(const Pairing& a, const Pairing& b, std::uint64_t battles) {
  FirstMover f;
  f.first = a.tally.player2Wins + b.tally.player2Wins;
  f.second = a.tally.player1Wins + b.tally.player1Wins;
  f.n = 2 * battles;
  const double n = static_cast<double>(f.n);
  const double p1 = static_cast<double>(f.first) / n;
  const double p0 = static_cast<double>(f.second) / n;
  f.advantage = p1 - p0;
  const double half = 1.959963984540054 * std::sqrt((p1 + p0 - f.advantage * f.advantage) / n);
  f.low = f.advantage - half;
  f.high = f.advantage + half;
  return f;
}

// What the command line asks for.
struct Request {
  std::vector<std::string> files;
  Options opt;
  std::optional<std::uint64_t> seed;
  bool halve = false;
  bool mirror = false;
  bool asJson = false;
};

// What a run found: the options it ran with (the seed drawn when none was given) and one pairing,
// or two with --mirror.
struct Report {
  Options opt;
  bool halve = false;
  bool mirror = false;
  std::vector<Pairing> pairings;
};

// Reads the command line into `request`, or gives the exit status when the command ends here.
std::optional<int> parseRequest(const Args& args, Request& request) {
  Options& opt = request.opt;
  opt.jobs = std::max(1u, std::thread::hardware_concurrency());
  OptionParser options("simulate", kHelp);
  options
      .number("--battles", 1, std::uint64_t{1} << 40, N_("does not take"),
              [&](std::uint64_t v) { opt.battles = v; })
      .number("--seed", 0, std::numeric_limits<std::uint64_t>::max(), N_("does not take"),
              [&](std::uint64_t v) { request.seed = v; })
      .number("--jobs", 1, 1024, N_("does not take"),
              [&](std::uint64_t v) { opt.jobs = static_cast<unsigned>(v); })
      .number("--max-turns", 1, std::numeric_limits<std::int32_t>::max(), N_("does not take"),
              [&](std::uint64_t v) { opt.maxTurns = static_cast<std::int32_t>(v); })
      .flag("--halve", request.halve)
      .flag("--mirror", request.mirror)
      .flag("--json", request.asJson);
  OptionParser::Result parsed = options.parse(args);
  if (parsed.exitStatus) return parsed.exitStatus;
  request.files = std::move(parsed.operands);
  if (request.files.size() != 2) return options.usage(_("give exactly two save-data files"));
  return std::nullopt;
}

// Loads the pairing (both ways with --mirror) and plays it. Fills `report`, or gives the exit
// status after one line on stderr.
std::optional<int> run(const Request& request, Report& report) {
  std::vector<battle::BattleStart> setups(request.mirror ? 2 : 1);
  for (std::size_t p = 0; p < setups.size(); ++p) {
    const std::string& first = request.files[p];
    const std::string& second = request.files[1 - p];
    if (const auto error = loadPairing(setups[p], first, second, request.halve)) {
      std::fprintf(stderr, "momiru-lab simulate: %s\n", error->c_str());
      return 1;
    }
  }
  Options opt = request.opt;
  if (request.seed) {
    opt.seed = *request.seed;
  } else {
    opt.seed = clockSeed();
    std::fprintf(stderr, _("momiru-lab simulate: seed %llu\n"),
                 static_cast<unsigned long long>(opt.seed));
  }
  report.opt = opt;
  report.halve = request.halve;
  report.mirror = request.mirror;

  const bool progressBar = stderrIsTerminal();
  battle::BatchSettings batch;
  batch.battles = opt.battles;
  batch.seed = opt.seed;
  batch.maxTurns = opt.maxTurns;
  batch.jobs = opt.jobs;
  batch.keepLengths = true;
  if (progressBar) {
    batch.progress = [](std::uint64_t done, std::uint64_t total) {
      const double part = static_cast<double>(done) / static_cast<double>(total);
      std::fprintf(stderr, "\r[%-40.*s] %3d%%", static_cast<int>(part * 40),
                   "########################################", static_cast<int>(part * 100));
      std::fflush(stderr);
    };
  }
  // Pairing p plays battles p * battles .. p * battles + battles - 1 of the run's seed sequence.
  battle::BatchResult played;
  try {
    played = battle::runBatch(
        setups.size(), [&](std::size_t p) { return battle::startState(setups[p]); }, batch);
  } catch (const std::bad_alloc&) {
    if (progressBar) std::fputc('\n', stderr);
    std::fputs(_("momiru-lab simulate: out of memory\n"), stderr);
    return 1;
  }
  for (std::size_t p = 0; p < setups.size(); ++p) {
    Pairing pairing;
    pairing.names[0] = setups[p].records[0].name;
    pairing.names[1] = setups[p].records[1].name;
    pairing.tally = std::move(played.tallies[p]);
    report.pairings.push_back(std::move(pairing));
  }
  if (progressBar) std::fprintf(stderr, "\r%60s\r", "");
  return std::nullopt;
}

void printJson(const Report& report) {
  const Options& opt = report.opt;
  Json j;
  j["seed"] = opt.seed;
  j["battles"] = opt.battles;
  j["halve"] = report.halve;
  j["max_turns"] = opt.maxTurns;
  Json& pairings = j["pairings"] = Json::array();
  for (const Pairing& p : report.pairings) {
    Json pairing;
    pairing["names"] = {p.names[0], p.names[1]};
    for (std::size_t k = 0; k < std::size(kKinds); ++k)
      pairing[kKindKeys[k]] = jsonShare(p.tally.count(kKinds[k]), opt.battles);
    Json& turns = pairing["turns"];
    turns["mean"] = jsonNumber(meanTurns(p.tally));
    turns["median"] = orNull(quantile(p.tally, 0.5));
    turns["p95"] = orNull(quantile(p.tally, 0.95));
    Json& seeds = pairing["replay_seeds"];
    for (std::size_t k = 0; k < std::size(kKinds); ++k) {
      const std::uint64_t first = firstOf(p.tally, kKinds[k]);
      seeds[kKindKeys[k]] = first == PairingTally::kNoBattle
                                ? Json(nullptr)
                                : Json(battle::battleSeed(opt.seed, first));
    }
    pairings.push_back(std::move(pairing));
  }
  if (report.mirror) {
    const FirstMover f = firstMover(report.pairings[0], report.pairings[1], opt.battles);
    Json& first = j["first_mover"];
    first["first_mover_wins"] = jsonShare(f.first, f.n);
    first["second_mover_wins"] = jsonShare(f.second, f.n);
    first["advantage"] = jsonNumber(f.advantage);
    first["advantage_ci95"] = {jsonNumber(f.low), jsonNumber(f.high)};
  } else {
    j["first_mover"] = nullptr;
  }
  std::printf("%s\n", jsonText(std::move(j)).c_str());
}

void printText(const Report& report) {
  const Options& opt = report.opt;
  std::printf(_("%llu battles per pairing, seed %llu%s, at most %d turns\n"),
              static_cast<unsigned long long>(opt.battles),
              static_cast<unsigned long long>(opt.seed), report.halve ? _(", halved damage") : "",
              opt.maxTurns);
  const bool blocks = stdoutIsTerminal();
  for (std::size_t p = 0; p < report.pairings.size(); ++p) {
    printPairing(report.pairings[p], opt, static_cast<int>(p + 1), blocks);
  }
  if (report.mirror) {
    const FirstMover f = firstMover(report.pairings[0], report.pairings[1], opt.battles);
    std::printf(
        _("first mover (player 2) wins %s, second mover %s: advantage %+.2f points (95%% CI "
          "%+.2f to %+.2f)\n"),
        percent(static_cast<double>(f.first) / static_cast<double>(f.n)).c_str(),
        percent(static_cast<double>(f.second) / static_cast<double>(f.n)).c_str(),
        100 * f.advantage, 100 * f.low, 100 * f.high);
  }
}

}  // namespace

int simulateCommand(const Args& args) {
  try {
    Request request;
    if (const auto status = parseRequest(args, request)) return *status;
    Report report;
    if (const auto status = run(request, report)) return *status;
    if (request.asJson) {
      printJson(report);
    } else {
      printText(report);
    }
    return 0;
  } catch (const std::bad_alloc&) {
    std::fputs(_("momiru-lab simulate: out of memory\n"), stderr);
    return 1;
  }
}

}  // namespace momiru::lab
