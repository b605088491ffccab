// Listing the replay folder through its index.
#include "battle/replay_index.h"

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <system_error>
#include <utility>

#include "data/platform.h"

namespace momiru::battle {
namespace {

using Json = nlohmann::json;

constexpr std::string_view kIndexFormat = "momiru-replay-index";
constexpr std::int64_t kIndexVersion = 1;
// An index of 500 kept replays takes some 150 KB; one of 100,000 foreign ones some 30 MB.
constexpr std::size_t kIndexMaxBytes = 64u << 20;

struct Stamp {
  std::uintmax_t size = 0;
  std::int64_t mtime = 0;  // nanoseconds of the file clock
  bool operator==(const Stamp&) const = default;
};

struct Entry {
  Stamp stamp;
  std::optional<ReplaySummary> summary;  // nothing: not a replay to list
};

std::optional<std::string> readSmallFile(const std::filesystem::path& file, std::size_t cap) {
  InputFile in(file);
  if (in.status() != InputFile::Status::Open) return std::nullopt;
  std::string bytes;
  char buf[16384];
  for (std::streamsize n; (n = in.sgetn(buf, sizeof buf)) > 0;) {
    bytes.append(buf, static_cast<std::size_t>(n));
    if (bytes.size() > cap) return std::nullopt;
  }
  return bytes;
}

// A summary from the index, every value checked: the index lies in a folder others may write.
std::optional<ReplaySummary> summaryFromJson(const Json& j, const std::string& file) {
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
  s.file = file;
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

std::map<std::string, Entry> readIndex(const std::filesystem::path& file) {
  std::map<std::string, Entry> entries;
  const auto bytes = readSmallFile(file, kIndexMaxBytes);
  if (!bytes) return entries;
  const Json j = Json::parse(*bytes, nullptr, false);
  if (!j.is_object() || j.value("format", "") != kIndexFormat ||
      j.value("version", std::int64_t{0}) != kIndexVersion) {
    return entries;
  }
  const auto files = j.find("files");
  if (files == j.end() || !files->is_object()) return entries;
  for (const auto& [name, e] : files->items()) {
    if (!e.is_object()) continue;
    const auto size = e.find("size");
    const auto mtime = e.find("mtime");
    const auto replay = e.find("replay");
    if (size == e.end() || !size->is_number_unsigned() || mtime == e.end() ||
        !mtime->is_number_integer() || replay == e.end()) {
      continue;
    }
    Entry entry;
    entry.stamp = {size->get<std::uintmax_t>(), mtime->get<std::int64_t>()};
    if (!replay->is_null()) {
      entry.summary = summaryFromJson(*replay, name);
      if (!entry.summary) continue;
    }
    entries.emplace(name, std::move(entry));
  }
  return entries;
}

void writeIndex(const std::filesystem::path& file, const std::map<std::string, Entry>& entries) {
  Json files = Json::object();
  for (const auto& [name, e] : entries) {
    files[name] = {{"size", e.stamp.size},
                   {"mtime", e.stamp.mtime},
                   {"replay", e.summary ? summaryToJson(*e.summary) : Json(nullptr)}};
  }
  const Json j = {{"format", kIndexFormat}, {"version", kIndexVersion}, {"files", files}};
  // Bytes that are not UTF-8 (a file name) are replaced, never a reason to fail.
  const std::string text = j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
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

}  // namespace

std::optional<ReplaySummary> summarize(const Replay& replay, std::string file) {
  const ReplayResult played = playReplay(replay);
  if (replayMismatch(replay.result, played)) return std::nullopt;
  ReplaySummary s;
  s.file = std::move(file);
  s.date = replay.date;
  for (std::size_t i = 0; i < kSlots; ++i) s.names[i] = replay.characters[i].record.name;
  s.winner = played.winner;
  s.draw = played.draw;
  s.finished = played.finished;
  s.turns = played.turns;
  return s;
}

ReplayListing listReplays(const std::filesystem::path& dir, bool useIndex) {
  ReplayListing out;
  const std::filesystem::path indexFile = dir / std::string(kReplayIndexName);
  std::map<std::string, Entry> index;
  if (useIndex) index = readIndex(indexFile);
  std::map<std::string, Entry> now;
  bool changed = false;

  std::error_code ec;
  std::filesystem::directory_iterator it(dir, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::filesystem::directory_entry& entry = *it;
    const std::string name = pathToUtf8(entry.path().filename());
    if (isBookkeeping(name)) continue;
    std::error_code typeError;
    const std::filesystem::file_status status = entry.symlink_status(typeError);
    if (typeError || std::filesystem::is_directory(status)) continue;
    if (!std::filesystem::is_regular_file(status)) {
      ++out.skipped;  // a FIFO, a device, a socket or a link: never opened
      continue;
    }
    std::error_code statError;
    Stamp stamp;
    stamp.size = entry.file_size(statError);
    if (!statError) {
      stamp.mtime =
          static_cast<std::int64_t>(entry.last_write_time(statError).time_since_epoch().count());
    }
    if (statError) {
      ++out.skipped;  // gone or unreadable since the folder was read
      continue;
    }
    Entry e;
    const auto known = index.find(name);
    if (known != index.end() && known->second.stamp == stamp) {
      e = std::move(known->second);
    } else {
      changed = true;
      ++out.read;
      e.stamp = stamp;
      if (stamp.size <= kReplayMaxBytes) {
        if (const auto replay = readReplayFile(entry.path(), nullptr)) {
          e.summary = summarize(*replay, name);
        }
      }
    }
    if (e.summary) {
      e.summary->file = name;
      out.replays.push_back(*e.summary);
    } else {
      ++out.skipped;
    }
    now.emplace(name, std::move(e));
  }
  if (useIndex && (changed || now.size() != index.size()) && !ec) writeIndex(indexFile, now);
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
