// Listing the replay folder through its index.
#include "replay/replay_index.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <new>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>
#include <utility>

#include "data/platform.h"
#include "data/strangers_file.h"

namespace momiru::battle {
namespace {

using Json = nlohmann::json;

constexpr std::string_view kIndexFormat = "momiru-replay-index";
constexpr std::int64_t kIndexVersion = 2;
// An entry takes some 250 bytes: this holds those of more than 200,000 files.
constexpr std::size_t kIndexMaxBytes = 64u << 20;
// The root object (depth 0), its list of entries (1), an entry (2), its summary (3) and the
// summary's names (4): nothing opens deeper.
constexpr int kIndexMaxDepth = 5;

using Entries = ReplayIndexEntries;

bool isDigest(const Json& j) {
  if (!j.is_string()) return false;
  const auto& s = j.get_ref<const std::string&>();
  return s.size() == 64 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// A summary from the index, every value checked: the index lies in a folder others may write.
std::optional<ReplaySummary> summaryFromJson(const Json& j) {
  const auto text = [&](const char* key) -> const std::string* {
    const auto it = j.find(key);
    if (it == j.end() || !it->is_string() || it->get_ref<const std::string&>().size() > 4096) {
      return nullptr;
    }
    return &it->get_ref<const std::string&>();
  };
  const auto flag = [&](const char* key) -> std::optional<bool> {
    const auto it = j.find(key);
    if (it == j.end() || !it->is_boolean()) return std::nullopt;
    return it->get<bool>();
  };
  if (!j.is_object()) return std::nullopt;
  const std::string* date = text("date");
  const auto names = j.find("names");
  const auto winner = j.find("winner");
  const auto turns = j.find("turns");
  const auto draw = flag("draw");
  const auto finished = flag("finished");
  if (date == nullptr || names == j.end() || !names->is_array() || names->size() != kSlots ||
      winner == j.end() || turns == j.end() || !turns->is_number_integer() || !draw || !finished) {
    return std::nullopt;
  }
  ReplaySummary s;
  s.date = *date;
  for (std::size_t i = 0; i < kSlots; ++i) {
    const Json& n = (*names)[i];
    if (!n.is_string() || n.get_ref<const std::string&>().size() > 4096) return std::nullopt;
    s.names[i] = n.get<std::string>();
  }
  if (winner->is_number_integer()) {
    const auto w = winner->get<std::int64_t>();
    if (w != 0 && w != 1) return std::nullopt;
    s.winner = static_cast<std::int32_t>(w);
  } else if (!winner->is_null()) {
    return std::nullopt;
  }
  const auto t = turns->get<std::int64_t>();
  if (t < 0 || t > INT32_MAX) return std::nullopt;
  s.turns = static_cast<std::int32_t>(t);
  s.draw = *draw;
  s.finished = *finished;
  return s;
}

Json summaryToJson(const ReplaySummary& s) {
  Json j = Json::object();
  j["date"] = s.date;
  j["names"] = Json::array({s.names[0], s.names[1]});
  j["winner"] = s.winner ? Json(*s.winner) : Json(nullptr);
  j["draw"] = s.draw;
  j["finished"] = s.finished;
  j["turns"] = s.turns;
  return j;
}

Entries readIndex(const std::filesystem::path& file) {
  try {
    InputFile in(file);
    if (in.status() != InputFile::Status::Open) return {};
    std::string bytes;
    char buf[16384];
    for (std::streamsize n; (n = in.sgetn(buf, sizeof buf)) > 0;) {
      bytes.append(buf, static_cast<std::size_t>(n));
      if (bytes.size() > kIndexMaxBytes) return {};
    }
    return parseReplayIndex(bytes).value_or(Entries{});
  } catch (const std::bad_alloc&) {
    return {};  // an index too large to hold is rebuilt
  }
}

void writeIndex(const std::filesystem::path& file, const Entries& entries) {
  const std::string text = replayIndexText(entries);
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
  std::string digest;                    // of the bytes read; empty when they were not
  bool played = false;
  bool failed = false;  // ran out of memory: neither listed nor kept in the index
};

Reading readOne(const Candidate& c, const Entries& known) {
  Reading r;
  if (c.size > kReplayMaxBytes) return r;  // refused unread
  const std::optional<std::string> bytes = readReplayBytes(c.path, nullptr);
  if (!bytes) return r;
  r.digest = sha256Hex(*bytes);
  if (const auto it = known.find(r.digest); it != known.end()) {
    r.summary = it->second;
  } else if (const std::optional<Replay> replay = parseReplay(*bytes, nullptr)) {
    r.played = true;
    r.summary = summarize(*replay, {});
  }
  if (r.summary) r.summary->file = c.name;
  return r;
}

// Reads every candidate, on as many threads as there are cores (this one among them); a thread
// that cannot be started leaves its share to the others. readings[i] is candidates[i]'s.
std::vector<Reading> readAll(const std::vector<Candidate>& candidates, const Entries& known) {
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

std::optional<ReplayIndexEntries> parseReplayIndex(std::string_view text) {
  if (text.size() > kIndexMaxBytes) return std::nullopt;
  const std::optional<Json> j = parseBoundedJson<Json>(text, kIndexMaxDepth, nullptr);
  const auto is = [&](const char* key, const Json& expected) {
    const auto it = j->find(key);
    return it != j->end() && *it == expected;
  };
  if (!j || !j->is_object() || !is("format", kIndexFormat) || !is("version", kIndexVersion) ||
      !is("rules", kRulesVersion)) {
    return std::nullopt;
  }
  try {
    const auto list = j->find("contents");
    if (list == j->end() || !list->is_array()) return std::nullopt;
    Entries entries;
    for (const Json& e : *list) {
      if (!e.is_object()) return std::nullopt;
      const auto digest = e.find("sha256");
      const auto replay = e.find("replay");
      if (digest == e.end() || !isDigest(*digest) || replay == e.end()) return std::nullopt;
      std::optional<ReplaySummary> summary;
      if (!replay->is_null()) {
        summary = summaryFromJson(*replay);
        if (!summary) return std::nullopt;
      }
      // The same bytes said to be two things: neither is believed.
      const auto [it, added] = entries.emplace(digest->get<std::string>(), std::move(summary));
      if (!added) return std::nullopt;
    }
    return entries;
  } catch (const std::bad_alloc&) {
    return std::nullopt;  // an index too large to hold is rebuilt
  }
}

std::string replayIndexText(const ReplayIndexEntries& entries) {
  Json contents = Json::array();
  for (const auto& [digest, summary] : entries) {
    contents.push_back(
        {{"sha256", digest}, {"replay", summary ? summaryToJson(*summary) : Json(nullptr)}});
  }
  const Json j = {{"format", kIndexFormat},
                  {"version", kIndexVersion},
                  {"rules", kRulesVersion},
                  {"contents", std::move(contents)}};
  // Texts the list made itself are UTF-8; anything else is replaced, never a reason to fail.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<ReplaySummary> summarize(const Replay& replay, std::string file) {
  const ReplayResult played = playReplay(replay);
  if (replayMismatch(replay.result, played)) return std::nullopt;
  return summaryOf(replay, std::move(file));
}

ReplayListing listReplays(const std::filesystem::path& dir, bool useIndex) {
  ReplayListing out;
  const std::filesystem::path indexFile = dir / std::string(kReplayIndexName);
  Entries known;
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
  Entries now;
  for (const Reading& r : readings) {
    if (r.played) ++out.played;
    if (!r.digest.empty() && !r.failed) {
      std::optional<ReplaySummary> kept = r.summary;
      if (kept) kept->file.clear();  // the same bytes may lie under any name
      now.emplace(r.digest, std::move(kept));
    }
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

void forgetInIndex(const std::filesystem::path& dir, const std::filesystem::path& file) {
  const std::filesystem::path indexFile = dir / std::string(kReplayIndexName);
  Entries entries = readIndex(indexFile);
  const std::optional<std::string> bytes = readReplayBytes(file, nullptr);
  if (bytes && entries.erase(sha256Hex(*bytes)) > 0) writeIndex(indexFile, entries);
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
