// Listing the replay folder through its index.
#include "replay/replay_index.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <map>
#include <new>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>
#include <utility>

#include "battle/worker_pool.h"
#include "data/platform.h"
#include "data/strangers_file.h"
#include "data/utf8.h"

namespace momiru::replay {
namespace {

using Json = nlohmann::json;

constexpr std::string_view kIndexFormat = "momiru-replay-index";
// Version 3 added the files by name and the time of the listing; version 2 is still read.
constexpr std::int64_t kIndexVersion = 3;
constexpr std::int64_t kIndexPreviousVersion = 2;
// An entry takes some 250 bytes and a file some 150: this holds those of more than 150,000 files.
constexpr std::size_t kIndexMaxBytes = 64u << 20;
// The root object (depth 0), its lists of entries and files (1), an entry or a file (2), an
// entry's summary (3) and the summary's names (4): nothing opens deeper.
constexpr int kIndexMaxDepth = 5;
// A file name longer than any file system allows is no name of a file in the folder.
constexpr std::size_t kMaxFileName = 4096;

using Contents = decltype(ReplayIndex::contents);

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

ReplayIndex readIndex(const std::filesystem::path& file) {
  try {
    InputFile in(file);
    if (in.status() != InputFile::Status::Open) return {};
    std::string bytes;
    char buf[16384];
    for (std::streamsize n; (n = in.sgetn(buf, sizeof buf)) > 0;) {
      bytes.append(buf, static_cast<std::size_t>(n));
      if (bytes.size() > kIndexMaxBytes) return {};
    }
    return parseReplayIndex(bytes).value_or(ReplayIndex{});
  } catch (const std::bad_alloc&) {
    return {};  // an index too large to hold is rebuilt
  }
}

void writeIndex(const std::filesystem::path& file, const ReplayIndex& index) {
  const std::string text = replayIndexText(index);
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

// A file's modification time in nanoseconds since 1970-01-01 UTC, or nothing when it cannot be
// held so (a time set past the year 2262, or before 1678).
std::optional<std::int64_t> unixNanoseconds(std::filesystem::file_time_type time) {
  using std::chrono::nanoseconds;
  static const std::int64_t epoch =
      std::chrono::duration_cast<nanoseconds>(
          std::chrono::file_clock::to_sys(std::chrono::file_clock::time_point{}).time_since_epoch())
          .count();
  const std::int64_t since =
      std::chrono::duration_cast<nanoseconds>(time.time_since_epoch()).count();
  std::int64_t out = 0;
  if (__builtin_add_overflow(since, epoch, &out)) return std::nullopt;
  return out;
}

// True when a file of this time was read far enough before `listed` that any change after the
// reading would have given it another time.
bool safelyOlder(std::int64_t time, std::int64_t listed) {
  return listed > std::numeric_limits<std::int64_t>::min() + kIndexTickMargin &&
         time < listed - kIndexTickMargin;
}

// A name the index may keep: one a folder can hold, kept as JSON keeps it (valid UTF-8).
bool keepableName(const std::string& name) {
  return !name.empty() && name.size() <= kMaxFileName &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string::npos &&
         validUtf8(name) == name;
}

// A regular file of the folder, to be read.
struct Candidate {
  std::filesystem::path path;
  std::string name;
  std::uintmax_t size = 0;
  std::optional<std::int64_t> time;  // nothing when it could not be had
};

// What reading one file gave.
struct Reading {
  std::optional<ReplaySummary> summary;  // listed
  std::string digest;                    // of the bytes read; empty when they were not
  bool trusted = false;                  // taken from the index unread
  bool played = false;
  bool failed = false;  // ran out of memory: neither listed nor kept in the index
};

Reading readOne(const Candidate& c, const Contents& known) {
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

// The index's word for a file, when its name, size and time are those the index keeps and its
// time is safely older than the listing that wrote the index.
std::optional<Reading> trustedReading(const Candidate& c, const ReplayIndex& index) {
  if (!c.time) return std::nullopt;
  const auto file = index.files.find(c.name);
  if (file == index.files.end() || file->second.size != c.size || file->second.time != *c.time ||
      !safelyOlder(*c.time, index.listed)) {
    return std::nullopt;
  }
  const auto bytes = index.contents.find(file->second.sha256);
  if (bytes == index.contents.end()) return std::nullopt;  // never so in an index read
  Reading r;
  r.trusted = true;
  r.digest = bytes->first;
  r.summary = bytes->second;
  if (r.summary) r.summary->file = c.name;
  return r;
}

// Reads every candidate but those the index vouches for, on as many threads as there are cores
// (this one among them); a thread that cannot be started leaves its share to the others.
// readings[i] is candidates[i]'s.
std::vector<Reading> readAll(const std::vector<Candidate>& candidates, const ReplayIndex& index) {
  std::vector<Reading> readings(candidates.size());
  std::vector<std::size_t> toRead;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (std::optional<Reading> r = trustedReading(candidates[i], index)) {
      readings[i] = std::move(*r);
    } else {
      toRead.push_back(i);
    }
  }
  // A file that cannot be read is a failed reading, whatever went wrong, memory included.
  const auto read = [&](std::size_t k, unsigned) {
    const std::size_t i = toRead[k];
    try {
      readings[i] = readOne(candidates[i], index.contents);
    } catch (const std::exception&) {
      readings[i] = Reading{};
      readings[i].failed = true;
    }
  };
  battle::PoolSettings pool;
  pool.chunk = 16;
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  pool.threads =
      static_cast<unsigned>(std::min({cores, std::size_t{16}, toRead.size() / pool.chunk + 1}) - 1);
  // No memory for one more thread is one thread fewer, as when the system refuses it.
  pool.launch = [](std::function<void()> work) -> std::optional<std::thread> {
    try {
      return battle::startThread(std::move(work));
    } catch (const std::bad_alloc&) {
      return std::nullopt;
    }
  };
  battle::runPool(toRead.size(), read, pool);
  return readings;
}

// A whole number of the index within [low, high].
std::optional<std::int64_t> wholeNumber(const Json& j, std::int64_t low, std::int64_t high) {
  if (j.is_number_unsigned()) {
    const auto v = j.get<std::uint64_t>();
    if (v > static_cast<std::uint64_t>(high)) return std::nullopt;
    return static_cast<std::int64_t>(v);
  }
  if (!j.is_number_integer()) return std::nullopt;
  const auto v = j.get<std::int64_t>();
  if (v < low || v > high) return std::nullopt;
  return v;
}

// The index's files, every value checked; nothing when one is wrong, is named twice or names bytes
// the index does not hold.
std::optional<std::map<std::string, IndexedFile>> filesFromJson(const Json& list,
                                                                const Contents& contents) {
  if (!list.is_array()) return std::nullopt;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::map<std::string, IndexedFile> files;
  for (const Json& f : list) {
    if (!f.is_object()) return std::nullopt;
    const auto name = f.find("name");
    const auto size = f.find("size");
    const auto time = f.find("time");
    const auto digest = f.find("sha256");
    if (name == f.end() || !name->is_string() || size == f.end() || time == f.end() ||
        digest == f.end() || !isDigest(*digest)) {
      return std::nullopt;
    }
    const auto sizeValue = wholeNumber(*size, 0, kMax);
    const auto timeValue = wholeNumber(*time, std::numeric_limits<std::int64_t>::min(), kMax);
    const auto& fileName = name->get_ref<const std::string&>();
    if (!sizeValue || !timeValue || !keepableName(fileName) ||
        !contents.contains(digest->get_ref<const std::string&>())) {
      return std::nullopt;
    }
    IndexedFile kept{static_cast<std::uint64_t>(*sizeValue), *timeValue,
                     digest->get<std::string>()};
    if (!files.emplace(fileName, std::move(kept)).second) return std::nullopt;
  }
  return files;
}

}  // namespace

std::optional<ReplayIndex> parseReplayIndex(std::string_view text) {
  if (text.size() > kIndexMaxBytes) return std::nullopt;
  const std::optional<Json> j = parseBoundedJson<Json>(text, kIndexMaxDepth, nullptr);
  const auto is = [&](const char* key, const Json& expected) {
    const auto it = j->find(key);
    return it != j->end() && *it == expected;
  };
  if (!j || !j->is_object() || !is("format", kIndexFormat) || !is("rules", battle::kRulesVersion)) {
    return std::nullopt;
  }
  const bool previous = is("version", kIndexPreviousVersion);
  if (!previous && !is("version", kIndexVersion)) return std::nullopt;
  try {
    const auto list = j->find("contents");
    if (list == j->end() || !list->is_array()) return std::nullopt;
    ReplayIndex index;
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
      const auto [it, added] =
          index.contents.emplace(digest->get<std::string>(), std::move(summary));
      if (!added) return std::nullopt;
    }
    if (previous) return index;  // it knows bytes only: every file is read once
    const auto listed = j->find("listed");
    const auto files = j->find("files");
    if (listed == j->end() || files == j->end()) return std::nullopt;
    const auto listedValue = wholeNumber(*listed, std::numeric_limits<std::int64_t>::min(),
                                         std::numeric_limits<std::int64_t>::max());
    auto fileEntries = filesFromJson(*files, index.contents);
    if (!listedValue || !fileEntries) return std::nullopt;
    index.listed = *listedValue;
    index.files = std::move(*fileEntries);
    return index;
  } catch (const std::bad_alloc&) {
    return std::nullopt;  // an index too large to hold is rebuilt
  }
}

std::string replayIndexText(const ReplayIndex& index) {
  Json contents = Json::array();
  for (const auto& [digest, summary] : index.contents) {
    contents.push_back(
        {{"sha256", digest}, {"replay", summary ? summaryToJson(*summary) : Json(nullptr)}});
  }
  Json files = Json::array();
  for (const auto& [name, file] : index.files) {
    files.push_back(
        {{"name", name}, {"size", file.size}, {"time", file.time}, {"sha256", file.sha256}});
  }
  const Json j = {{"format", kIndexFormat},          {"version", kIndexVersion},
                  {"rules", battle::kRulesVersion},  {"listed", index.listed},
                  {"contents", std::move(contents)}, {"files", std::move(files)}};
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
  // Taken before any file is looked at: a file changed after its reading has a time from here on.
  const std::optional<std::int64_t> listed =
      unixNanoseconds(std::filesystem::file_time_type::clock::now());
  const std::filesystem::path indexFile = dir / std::string(kReplayIndexName);
  ReplayIndex known;
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
    // The time is taken before the bytes are read, so that it is never newer than they are.
    std::error_code timeError;
    const std::filesystem::file_time_type time = entry.last_write_time(timeError);
    Candidate c{entry.path(), std::move(name), size, std::nullopt};
    if (!timeError) c.time = unixNanoseconds(time);
    candidates.push_back(std::move(c));
  }

  const std::vector<Reading> readings = readAll(candidates, known);
  ReplayIndex now;
  now.listed = listed.value_or(0);
  // A file read this time that the next listing may trust: the index is written for it.
  bool newlyTrustable = false;
  for (std::size_t i = 0; i < readings.size(); ++i) {
    const Reading& r = readings[i];
    const Candidate& c = candidates[i];
    if (r.trusted) {
      ++out.trusted;
    } else if (!r.digest.empty()) {
      ++out.hashed;
    }
    if (r.played) ++out.played;
    if (!r.digest.empty() && !r.failed) {
      std::optional<ReplaySummary> kept = r.summary;
      if (kept) kept->file.clear();  // the same bytes may lie under any name
      now.contents.emplace(r.digest, std::move(kept));
      if (c.time && listed && keepableName(c.name)) {
        now.files.emplace(c.name, IndexedFile{c.size, *c.time, r.digest});
        if (!r.trusted && safelyOlder(*c.time, *listed)) newlyTrustable = true;
      }
    }
    if (r.summary) {
      out.replays.push_back(*r.summary);
    } else {
      ++out.skipped;
    }
  }
  if (useIndex && !ec &&
      (now.contents != known.contents || now.files != known.files || newlyTrustable)) {
    writeIndex(indexFile, now);
  }
  std::sort(out.replays.begin(), out.replays.end(),
            [](const ReplaySummary& a, const ReplaySummary& b) {
              if (a.date != b.date) return a.date > b.date;
              return a.file > b.file;
            });
  return out;
}

void forgetInIndex(const std::filesystem::path& dir, const std::filesystem::path& file) {
  const std::filesystem::path indexFile = dir / std::string(kReplayIndexName);
  ReplayIndex index = readIndex(indexFile);
  bool changed = index.files.erase(pathToUtf8(file.filename())) > 0;
  if (const std::optional<std::string> bytes = readReplayBytes(file, nullptr)) {
    const std::string digest = sha256Hex(*bytes);
    if (index.contents.erase(digest) > 0) {
      changed = true;
      // Every name kept with those bytes is read again too.
      std::erase_if(index.files, [&](const auto& f) { return f.second.sha256 == digest; });
    }
  }
  if (changed) writeIndex(indexFile, index);
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

}  // namespace momiru::replay
