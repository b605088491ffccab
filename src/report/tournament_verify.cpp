// The checks that play a tournament again: the draw's values, then match by match, then the
// standings, naming the first difference.
#include "report/tournament_verify.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <vector>

#include "data/strangers_file.h"
#include "report/match_play.h"
#include "report/run_jobs.h"
#include "report/seeding.h"
#include "report/tournament_draw.h"
#include "report/tournament_schedule.h"

namespace momiru::report {

namespace {

using detail::runJobs;

std::string describe(const std::optional<int>& v) { return v ? std::to_string(*v) : "null"; }

// What a tournament's draw rests on: the entries as registered, the secret its commitment
// promised, the digest and the seed that follow from them.
std::optional<std::string> drawDifference(const Tournament& t, const RunOptions& options) {
  // Each entry's hash, on the threads the run uses.
  std::vector<char> changed(t.entries.size(), 0);
  runJobs(t.entries.size(), options.threads,
          [&](std::size_t i) {
            changed[i] = sha256Hex(entryCanonical(t.entries[i])) != t.entries[i].sha256 ? 1 : 0;
          },
          {});
  for (std::size_t i = 0; i < t.entries.size(); ++i)
    if (changed[i] != 0)
      return "entries[" + std::to_string(i) +
             "].sha256 does not match its record (a changed entry)";
  std::map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < t.entries.size(); ++i) {
    const auto [at, fresh] = seen.emplace(t.entries[i].sha256, i);
    if (!fresh)
      return "entries[" + std::to_string(i) + "] is the same record as entries[" +
             std::to_string(at->second) + "]";
  }
  if (t.entries.size() < kMinEntries) return "fewer than 2 entries";
  if (!t.secret) return "the secret is missing";
  if (t.commitment && commitmentOf(t, *t.secret) != *t.commitment)
    return t.declared ? "secret, name, rules and beacon declaration do not match the commitment "
                        "(a wrong secret or a changed declaration)"
                      : "secret does not match the commitment (a wrong secret)";
  const std::string digest = entriesDigestOf(t.entries);
  if (!t.entriesDigest || *t.entriesDigest != digest)
    return "entries_digest does not match the entries";
  if (!t.seed || *t.seed != tournamentSeedOf(t, *t.secret, digest))
    return "seed does not follow from the secret, the entries digest and the beacon (a wrong "
           "secret or beacon)";
  return std::nullopt;
}

// The first thing in which a recorded match differs from the one these rules play; `at` names
// it.
std::optional<std::string> matchDifference(const std::string& at, const Match& got,
                                           const Match& want) {
  if (got.round != want.round || got.bracket != want.bracket)
    return at + ": round or bracket differs";
  if (got.players != want.players)
    return at + ": players are " + describe(got.players[0]) + " and " + describe(got.players[1]) +
           ", these rules pair " + describe(want.players[0]) + " and " + describe(want.players[1]);
  for (std::size_t k = 0; k < std::min(got.battles.size(), want.battles.size()); ++k) {
    const BattleRecord& g = got.battles[k];
    const BattleRecord& w = want.battles[k];
    const std::string b = at + ".battles[" + std::to_string(k) + "]";
    if (g.seed != w.seed) return b + ".seed differs";
    if (g.player1 != w.player1) return b + ".player1 differs";
    if (g.winner != w.winner)
      return b + ".winner is " + describe(g.winner) + ", these rules give " + describe(w.winner) +
             " (an edited result)";
    if (g.turns != w.turns) return b + ".turns differs";
    if (g.logSha256 != w.logSha256) return b + ".log_sha256 differs";
  }
  if (got.battles.size() != want.battles.size())
    return at + ": holds " + std::to_string(got.battles.size()) + " battles, these rules play " +
           std::to_string(want.battles.size());
  if (got.winner != want.winner)
    return at + ": winner is " + describe(got.winner) + ", these rules give " +
           describe(want.winner) + " (an edited result)";
  return std::nullopt;
}

std::optional<std::string> standingsDifference(const std::vector<Standing>& got,
                                               const std::vector<Standing>& want) {
  if (want.size() != got.size()) return "standings differ in length";
  for (std::size_t i = 0; i < got.size(); ++i)
    if (!(want[i] == got[i]))
      return "standings[" + std::to_string(i) + "] differs from the standings these results give";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> verifyTournament(const Tournament& t, const RunOptions& options) {
  if (t.stage != Stage::Finished) return "the tournament has not been run (state is not finished)";
  if (auto d = drawDifference(t, options)) return d;
  Tournament again = t;
  playTournament(again, options);
  if (again.seeds != t.seeds) return "seeds differ from the seeding these rules give";
  const std::size_t common = std::min(again.matches.size(), t.matches.size());
  for (std::size_t i = 0; i < common; ++i) {
    const Match& want = again.matches[i];
    const Match& got = t.matches[i];
    const std::string at = "matches[" + std::to_string(i) + "] (" + want.id + ")";
    if (got.id != want.id)
      return at + ": id is " + got.id + " where these rules play " + want.id +
             " (a reordered match)";
    if (auto d = matchDifference(at, got, want)) return d;
  }
  if (again.matches.size() != t.matches.size())
    return "the file holds " + std::to_string(t.matches.size()) + " matches, these rules play " +
           std::to_string(again.matches.size());
  return standingsDifference(t.standings, again.standings);
}

// A tournament part way through: every recorded match is taken in as the schedule would have it
// at that point (the constructor refuses one out of place), and each is played again from the
// players the schedule gave it. Since a match follows from its players, its id and the seed
// alone, this is the whole tournament played again, compared match by match, without playing
// the matches not recorded yet.
std::optional<std::string> verifyPartialTournament(const Tournament& t, const RunOptions& options,
                                                   MatchesPlayed* count) {
  if (t.stage == Stage::Finished) {
    std::optional<std::string> d = verifyTournament(t, options);
    if (!d && count != nullptr) {
      count->played = static_cast<std::size_t>(
          std::count_if(t.matches.begin(), t.matches.end(),
                        [](const Match& m) { return m.players[0] && m.players[1]; }));
      count->total = count->played;
    }
    return d;
  }
  if (t.stage != Stage::Closed || !t.seed)
    return "the tournament has not been started (it has no seed)";
  if (auto d = drawDifference(t, options)) return d;
  if (seedOrder(t, options) != t.seeds) return "seeds differ from the seeding these rules give";
  std::optional<TournamentPlay> play;
  try {
    play.emplace(t, options);
  } catch (const std::runtime_error& e) {
    return std::string(e.what());
  }
  std::vector<Match> again(t.matches.size());
  runJobs(t.matches.size(), options.threads,
          [&](std::size_t i) {
            const Match& got = t.matches[i];
            if (got.players[0] && got.players[1]) {
              Match m = got;
              m.battles.clear();
              m.winner.reset();
              again[i] = playMatchHeadless(t, m);
            } else {
              again[i] = play->find(got.id)->match;
            }
          },
          {});
  for (std::size_t i = 0; i < t.matches.size(); ++i)
    if (auto d = matchDifference("matches[" + std::to_string(i) + "] (" + t.matches[i].id + ")",
                                 t.matches[i], again[i]))
      return d;
  if (auto d = standingsDifference(t.standings, play->tournament().standings)) return d;
  if (count != nullptr) *count = {play->playedCount(), play->totalCount()};
  return std::nullopt;
}

}  // namespace momiru::report
