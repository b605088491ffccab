// Listing the replay folder through its index.
#include "battle/replay_index.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <new>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>
#include <utility>

#include "battle/bounded_json.h"
#include "data/platform.h"

namespace momiru::battle {
namespace {

using Json = nlohmann::json;

constexpr std::string_view kIndexFormat = "momiru-replay-index";
constexpr std::int64_t kIndexVersion = 2;
// An entry takes some 70 bytes: this holds the verdicts of more than 200,000 replays.
constexpr std::size_t kIndexMaxBytes = 16u << 20;
// The root object (depth 0) and its two lists of digests (depth 1): nothing opens deeper.
constexpr int kIndexMaxDepth = 2;
constexpr std::string_view kPlays = "as_recorded";
constexpr std::string_view kDiffers = "not_as_recorded";

using Verdicts = ReplayVerdicts;

bool isDigest(const Json& j) {
  if (!j.is_string()) return false;
  const auto& s = j.get_ref<const std::string&>();
  return s.size() == 64 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

Verdicts readIndex(const std::filesystem::path& file) {
  try {
    InputFile in(file);
    if (in.status() != InputFile::Status::Open) return {};
    std::string bytes;
    char buf[16384];
    for (std::streamsize n; (n = in.sgetn(buf, sizeof buf)) > 0;) {
      bytes.append(buf, static_cast<std::size_t>(n));
      if (bytes.size() > kIndexMaxBytes) return {};
    }
    return parseReplayIndex(bytes).value_or(Verdicts{});
  } catch (const std::bad_alloc&) {
    return {};  // an index too large to hold is rebuilt
  }
}

void writeIndex(const std::filesystem::path& file, const Verdicts& verdicts) {
  const std::string text = replayIndexText(verdicts);
  AtomicFile out(file);
  if (out.created()) out.commit(text);
}

// Names that are the folder's own, not kept files: the index, hidden files (locks), and what
// an atomic save leaves while it writes.
bool isBookkeeping(const std::string& name) {
  if (name.empty() || name[0] == '.' || name == kReplayIndexName) return true;
  const std::size_t saving = name.rfind(".saving-");
  return saving != std::string::npos &&
         isTemporaryName(name, std::string_view(name).substr(0, saving));
}

// A replay that plays as recorded, as the list shows it: its recorded result is the one these
// rules play.
ReplaySummary summaryOf(const Replay& replay, std::string file) {
  ReplaySummary s;
  s.file = std::move(file);
  s.date = replay.date;
  for (std::size_t i = 0; i < kSlots; ++i) s.names[i] = replay.characters[i].record.name;
  s.winner = replay.result.winner;
  s.draw = replay.result.draw;
  s.finished = replay.result.finished;
  s.turns = replay.result.turns;
  return s;
}

// A regular file of the folder, to be read.
struct Candidate {
  std::filesystem::path path;
  std::string name;
  std::uintmax_t size = 0;
};

// What reading one file gave.
struct Reading {
  std::optional<ReplaySummary> summary;  // listed
  std::string digest;                    // of a replay, listed or not; empty for other files
  bool asRecorded = false;
  bool played = false;
  bool failed = false;  // ran out of memory: neither listed nor kept in the index
};

Reading readOne(const Candidate& c, const Verdicts& known) {
  Reading r;
  if (c.size > kReplayMaxBytes) return r;  // refused unread
  const std::optional<std::string> bytes = readReplayBytes(c.path, nullptr);
  if (!bytes) return r;
  const std::optional<Replay> replay = parseReplay(*bytes, nullptr);
  if (!replay) return r;
  r.digest = sha256Hex(*bytes);
  if (const auto it = known.find(r.digest); it != known.end()) {
    r.asRecorded = it->second;
  } else {
    r.played = true;
    r.asRecorded = !replayMismatch(replay->result, playReplay(*replay));
  }
  if (r.asRecorded) r.summary = summaryOf(*replay, c.name);
  return r;
}

// Reads every candidate, on as many threads as there are cores (this one among them); a thread
// that cannot be started leaves its share to the others. readings[i] is candidates[i]'s.
std::vector<Reading> readAll(const std::vector<Candidate>& candidates, const Verdicts& known) {
  std::vector<Reading> readings(candidates.size());
  constexpr std::size_t kChunk = 16;
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (;;) {
      const std::size_t from = next.fetch_add(kChunk);
      if (from >= candidates.size()) return;
      const std::size_t to = std::min(candidates.size(), from + kChunk);
      for (std::size_t i = from; i < to; ++i) {
        try {
          readings[i] = readOne(candidates[i], known);
        } catch (const std::exception&) {
          readings[i] = Reading{};
          readings[i].failed = true;
        }
      }
    }
  };
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t jobs = std::min({cores, std::size_t{16}, candidates.size() / kChunk + 1});
  std::vector<std::thread> threads;
  for (std::size_t t = 1; t < jobs; ++t) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;
    } catch (const std::bad_alloc&) {
      break;
    }
  }
  work();
  for (std::thread& th : threads) th.join();
  return readings;
}

}  // namespace

std::optional<ReplayVerdicts> parseReplayIndex(std::string_view text) {
  if (text.size() > kIndexMaxBytes) return std::nullopt;
  const std::optional<Json> j = parseBoundedJson(text, kIndexMaxDepth, nullptr);
  const auto is = [&](const char* key, const Json& expected) {
    const auto it = j->find(key);
    return it != j->end() && *it == expected;
  };
  if (!j || !j->is_object() || !is("format", kIndexFormat) || !is("version", kIndexVersion) ||
      !is("rules", kRulesVersion)) {
    return std::nullopt;
  }
  try {
    Verdicts verdicts;
    for (const auto& [key, plays] : {std::pair{kPlays, true}, std::pair{kDiffers, false}}) {
      const auto list = j->find(key);
      if (list == j->end() || !list->is_array()) return std::nullopt;
      for (const Json& digest : *list) {
        if (!isDigest(digest)) return std::nullopt;
        // Bytes said to both play and not: neither is believed.
        const auto [it, added] = verdicts.emplace(digest.get<std::string>(), plays);
        if (!added && it->second != plays) return std::nullopt;
      }
    }
    return verdicts;
  } catch (const std::bad_alloc&) {
    return std::nullopt;  // an index too large to hold is rebuilt
  }
}

std::string replayIndexText(const ReplayVerdicts& verdicts) {
  Json plays = Json::array();
  Json differs = Json::array();
  for (const auto& [digest, asRecorded] : verdicts)
    (asRecorded ? plays : differs).push_back(digest);
  const Json j = {{"format", kIndexFormat},
                  {"version", kIndexVersion},
                  {"rules", kRulesVersion},
                  {std::string(kPlays), std::move(plays)},
                  {std::string(kDiffers), std::move(differs)}};
  return j.dump() + "\n";
}

std::optional<ReplaySummary> summarize(const Replay& replay, std::string file) {
  const ReplayResult played = playReplay(replay);
  if (replayMismatch(replay.result, played)) return std::nullopt;
  return summaryOf(replay, std::move(file));
}

ReplayListing listReplays(const std::filesystem::path& dir, bool useIndex) {
  ReplayListing out;
  const std::filesystem::path indexFile = dir / std::string(kReplayIndexName);
  Verdicts known;
  if (useIndex) known = readIndex(indexFile);

  std::vector<Candidate> candidates;
  std::error_code ec;
  std::filesystem::directory_iterator it(dir, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::filesystem::directory_entry& entry = *it;
    std::string name = pathToUtf8(entry.path().filename());
    if (isBookkeeping(name)) continue;
    std::error_code typeError;
    const std::filesystem::file_status status = entry.symlink_status(typeError);
    if (typeError || std::filesystem::is_directory(status)) continue;
    if (!std::filesystem::is_regular_file(status)) {
      ++out.skipped;  // a FIFO, a device, a socket or a link: never opened
      continue;
    }
    std::error_code statError;
    const std::uintmax_t size = entry.file_size(statError);
    if (statError) {
      ++out.skipped;  // gone or unreadable since the folder was read
      continue;
    }
    candidates.push_back({entry.path(), std::move(name), size});
  }

  const std::vector<Reading> readings = readAll(candidates, known);
  Verdicts now;
  for (const Reading& r : readings) {
    if (r.played) ++out.played;
    if (!r.digest.empty() && !r.failed) now.emplace(r.digest, r.asRecorded);
    if (r.summary) {
      out.replays.push_back(*r.summary);
    } else {
      ++out.skipped;
    }
  }
  if (useIndex && now != known && !ec) writeIndex(indexFile, now);
  std::sort(out.replays.begin(), out.replays.end(),
            [](const ReplaySummary& a, const ReplaySummary& b) {
              if (a.date != b.date) return a.date > b.date;
              return a.file > b.file;
            });
  return out;
}

std::string_view baseName(std::string_view name) {
  if (name.size() >= 3 && name[name.size() - 3] == '(' && name.back() == ')' &&
      (name[name.size() - 2] == '1' || name[name.size() - 2] == '2')) {
    return name.substr(0, name.size() - 3);
  }
  return name;
}

bool matchesName(const ReplaySummary& replay, std::string_view filter) {
  if (filter.empty()) return true;
  return std::any_of(replay.names.begin(), replay.names.end(),
                     [&](const std::string& n) { return n.find(filter) != std::string::npos; });
}

CharacterRecord recordOf(const std::vector<ReplaySummary>& replays, std::string_view name) {
  CharacterRecord r;
  bool streakOver = false;
  for (const ReplaySummary& s : replays) {
    int side = -1;
    for (int slot = kSlots - 1; slot >= 0; --slot) {
      if (baseName(s.names[static_cast<std::size_t>(slot)]) == name) side = slot;
    }
    if (side < 0) continue;
    ++r.battles;
    char kind = 0;
    if (!s.finished) {
      ++r.unfinished;
    } else if (!s.winner) {
      ++r.draws;
      kind = 'D';
    } else if (*s.winner == side) {
      ++r.wins;
      kind = 'W';
    } else {
      ++r.losses;
      kind = 'L';
    }
    if (kind == 0 || streakOver) continue;
    if (r.streakKind == 0) r.streakKind = kind;
    if (kind == r.streakKind) {
      ++r.streak;
    } else {
      streakOver = true;
    }
  }
  return r;
}

}  // namespace momiru::battle
