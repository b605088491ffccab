// The folder of kept replays: names, saving without taking another's name, and retention.
#include "replay/replay_store.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "data/platform.h"
#include "data/text_safety.h"

namespace momiru::replay {

namespace fs = std::filesystem;

namespace {

// Bytes of a name kept in a file name: the whole name stays well under the 255 bytes that file
// systems allow, with the date, the other name and a counter.
constexpr std::size_t kNameBytes = 60;
// Names tried for one save: `name`, `name-2`, ... A folder where all of them are taken is in a
// state no game leaves it in.
constexpr int kNameAttempts = 1000;

// A path for an error line: nothing in it may break the line or reorder it.
std::string shown(const fs::path& p) { return visibleText(pathToUtf8(p)); }

// "20261208-123456" from "2026-12-08T12:34:56Z"; "replay" for a date of another form.
std::string datePart(std::string_view date) {
  static constexpr std::string_view kForm = "dddd-dd-ddTdd:dd:dd";
  if (date.size() < kForm.size()) return "replay";
  std::string out;
  for (std::size_t i = 0; i < kForm.size(); ++i) {
    const char c = date[i];
    if (kForm[i] == 'd') {
      if (c < '0' || c > '9') return "replay";
      out += c;
    } else if (c != kForm[i]) {
      return "replay";
    } else if (c == 'T') {
      out += '-';
    }
  }
  return out;
}

std::string stemOf(const Replay& replay) {
  return datePart(replay.date) + "-" + safeFileName(replay.characters[0].record.name) + "-vs-" +
         safeFileName(replay.characters[1].record.name);
}

bool endsWith(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// Removes the oldest replays of `dir` beyond `keep`, by the dates they hold (then by name);
// `saved` is never removed. Only files that read as replays count and are ever removed.
void removeOldest(const fs::path& dir, const fs::path& saved, std::size_t keep) {
  std::vector<fs::path> candidates;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = pathToUtf8(it->path().filename());
    if (!endsWith(name, kReplayExtension)) continue;
    if (it->is_symlink(ec) || !it->is_regular_file(ec)) continue;
    candidates.push_back(it->path());
  }
  if (candidates.size() <= keep) return;  // fewer files than that: none needs reading
  std::vector<std::pair<std::string, fs::path>> replays;
  bool savedCounted = false;
  for (fs::path& file : candidates) {
    const std::optional<Replay> r = readReplayFile(file, nullptr);
    if (!r) continue;
    if (file == saved) {
      savedCounted = true;
      continue;
    }
    replays.emplace_back(r->date, std::move(file));
  }
  const std::size_t others = keep - (savedCounted && keep > 0 ? 1 : 0);
  if (replays.size() <= others) return;
  const std::size_t remove = replays.size() - others;
  std::partial_sort(replays.begin(), replays.begin() + static_cast<std::ptrdiff_t>(remove),
                    replays.end());
  for (std::size_t i = 0; i < remove; ++i) {
    // Still the regular file that was read, not something put in its place since.
    const std::optional<FileStatus> st = fileStatus(replays[i].second);
    if (st && st->kind == FileKind::Regular) removeFile(replays[i].second);
  }
}

}  // namespace

std::string safeFileName(std::string_view name) {
  std::string out;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(name.data());
  const auto length = static_cast<std::int32_t>(std::min<std::size_t>(name.size(), 1 << 20));
  for (std::int32_t i = 0; i < length;) {
    const std::int32_t start = i;
    UChar32 c = 0;
    U8_NEXT(bytes, i, length, c);
    const bool keep =
        c >= 0 && ((U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_N_MASK | U_GC_M_MASK)) != 0 ||
                   c == '-' || c == '_' || c == '(' || c == ')' ||
                   (c == '.' && !out.empty() && out.back() != '_' && out.back() != '.'));
    const std::size_t add = keep ? static_cast<std::size_t>(i - start) : 1;
    if (out.size() + add > kNameBytes) break;  // never cut inside a character
    if (keep) {
      out.append(name.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
    } else if (out.empty() || out.back() != '_') {
      out += '_';
    }
  }
  return out.empty() ? "_" : out;
}

fs::path replayDirectory() {
  const fs::path game = userDataDirectory();
  return game.empty() ? game : game / "replays";
}

std::string replayFileName(const Replay& replay) {
  return stemOf(replay) + std::string(kReplayExtension);
}

std::optional<fs::path> saveReplay(const fs::path& dir, const Replay& replay, Refusal* refusal,
                                   std::size_t keep) {
  const auto fail = [&](Refusal::Kind kind, std::string english,
                        int systemError = 0) -> std::optional<fs::path> {
    refuse(refusal, Refusal::said(kind, std::move(english), shown(dir), systemError));
    return std::nullopt;
  };
  if (dir.empty()) {
    refuse(refusal, Refusal::said(Refusal::Kind::NoHomeFolder,
                                  "no folder for replays (neither XDG_DATA_HOME nor HOME is set)"));
    return std::nullopt;
  }
  const std::optional<FileStatus> folder = targetStatus(dir);
  if (!folder) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec)
      return fail(Refusal::Kind::CannotCreateFolder,
                  "cannot create the replay folder " + shown(dir) + ": " + ec.message(),
                  ec.value());
  } else if (folder->kind != FileKind::Folder) {
    return fail(Refusal::Kind::NotAFolder, "the replay folder " + shown(dir) + " is not a folder");
  }

  const std::string contents = replayJson(replay);
  const std::string stem = stemOf(replay);
  for (int n = 1; n <= kNameAttempts; ++n) {
    // Appended piece by piece, which GCC's -O3 does not misread as an overlapping copy.
    std::string name = stem;
    if (n > 1) {
      name += '-';
      name += std::to_string(n);
    }
    name += kReplayExtension;
    const fs::path target = dir / utf8ToPath(name);
    // Anything of that name (a file, a folder, a FIFO, a link) takes it: the next one is tried.
    if (fileStatus(target)) continue;
    AtomicFile file(target);
    if (!file.created()) {
      const int why = errno != 0 ? errno : EACCES;
      return fail(Refusal::Kind::CannotWrite,
                  "cannot save a replay in " + shown(dir) + ": " + std::strerror(why), why);
    }
    if (file.commitNew(contents)) {
      removeOldest(dir, target, keep);
      return target;
    }
    // Taken meanwhile by another game, or its temporary file removed by one saving the same
    // name: the next name is tried. Anything else is the disk's or the folder's failure.
    if (const int why = errno; why != EEXIST && why != ENOENT)
      return fail(Refusal::Kind::CannotWrite,
                  "cannot save a replay in " + shown(dir) + ": " + std::strerror(why), why);
  }
  return fail(Refusal::Kind::NamesTaken,
              "cannot save a replay in " + shown(dir) + ": every name for it is taken");
}

bool writeReplayFile(const fs::path& file, const Replay& replay, Refusal* refusal) {
  if (const std::optional<FileStatus> st = targetStatus(file);
      st && st->kind != FileKind::Regular) {
    return refuse(refusal, Refusal::said(Refusal::Kind::NotAFile,
                                         shown(file) + " is not a regular file", shown(file)));
  }
  errno = 0;
  AtomicFile out(file);
  if (!out.created() || !out.commit(replayJson(replay))) {
    const int why = errno != 0 ? errno : EACCES;
    return refuse(refusal, Refusal::said(Refusal::Kind::CannotWrite,
                                         "cannot write " + shown(file) + ": " + std::strerror(why),
                                         shown(file), why));
  }
  return true;
}

}  // namespace momiru::replay
