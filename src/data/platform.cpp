// What the platform layer does the same way on every system, over the calls each system's side
// gives (platform_posix.cpp here): the order of the data and library folders, AtomicFile, and the
// name of a hold's lock file.
#include "data/platform.h"

#include <cerrno>
#include <chrono>
#include <system_error>

#include "data/random_unit.h"

namespace momiru {

namespace fs = std::filesystem;

std::vector<fs::path> dataDirectories() {
  const fs::path dir = programDirectory();
  std::vector<fs::path> dirs{dir, (dir / ".." / "share" / "momiru-battle").lexically_normal()};
#ifdef MOMIRU_INSTALLED_DATADIR
  const fs::path installed(MOMIRU_INSTALLED_DATADIR);
  if (installed != dirs.back()) dirs.push_back(installed);
#endif
  return dirs;
}

std::vector<fs::path> libraryDirectories() {
  const fs::path dir = programDirectory();
  std::vector<fs::path> dirs{dir};
#ifdef MOMIRU_LIBDIR_FROM_PREFIX
  dirs.push_back((dir / ".." / MOMIRU_LIBDIR_FROM_PREFIX).lexically_normal());
#endif
#ifdef MOMIRU_INSTALLED_LIBDIR
  const fs::path installed(MOMIRU_INSTALLED_LIBDIR);
  if (installed != dirs.back()) dirs.push_back(installed);
#endif
  return dirs;
}

fs::path findDataFile(const fs::path& relative) {
  std::error_code ec;
  for (const fs::path& dir : dataDirectories()) {
    fs::path candidate = dir / relative;
    if (fs::is_regular_file(candidate, ec)) return candidate;
  }
  return {};
}

namespace {

constexpr char kNameLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kNameLetterCount = sizeof kNameLetters - 1;
constexpr std::size_t kTemporarySuffix = 6;
// Distinctive enough that no file of the user's (say "settei.sei.backup") is taken for a leftover.
constexpr std::string_view kTemporaryInfix = ".saving-";

// Removes the temporary files a killed save left beside `target`. A save running at the same time
// in another process may lose its temporary file this way; its rename then fails and it reports
// the failure, leaving the old file whole.
void removeLeftovers(const fs::path& target) {
  const std::string name = pathToUtf8(target.filename());
  std::error_code ec;
  for (fs::directory_iterator it(target.parent_path().empty() ? "." : target.parent_path(), ec),
       end;
       !ec && it != end; it.increment(ec)) {
    if (!isTemporaryName(pathToUtf8(it->path().filename()), name)) continue;
    if (it->is_regular_file(ec) && !it->is_symlink(ec)) removeFile(it->path());
  }
}

}  // namespace

fs::path lockFileOf(const fs::path& file) {
  fs::path lock = file;
  lock += ".lock";
  return lock;
}

bool isTemporaryName(std::string_view name, std::string_view target) {
  if (name.size() != target.size() + kTemporaryInfix.size() + kTemporarySuffix) return false;
  if (name.substr(0, target.size()) != target) return false;
  if (name.substr(target.size(), kTemporaryInfix.size()) != kTemporaryInfix) return false;
  for (const char c : name.substr(target.size() + kTemporaryInfix.size())) {
    if (std::string_view(kNameLetters).find(c) == std::string_view::npos) return false;
  }
  return true;
}

AtomicFile::AtomicFile(const fs::path& target) : target_(target) {
  if (const std::optional<FileStatus> st = targetStatus(target)) {
    if (st->kind != FileKind::Regular || (st->permissions & 0222) == 0 || !mayWrite(target)) return;
    keepMode_ = static_cast<int>(st->permissions);
  } else if (errno != ENOENT) {
    return;
  }
  removeLeftovers(target);
  // Mode 0666 lets the umask decide a new file's permissions.
  std::uint64_t state = RandomUnit::splitMix64(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (processId() << 32));
  for (int attempt = 0; attempt < 100 && !file_.isOpen(); ++attempt) {
    temp_ = pathToUtf8(target) + std::string(kTemporaryInfix);
    for (std::size_t i = 0; i < kTemporarySuffix; ++i) {
      state = RandomUnit::splitMix64(state);
      temp_ += kNameLetters[state % kNameLetterCount];
    }
    file_ = createNewFile(utf8ToPath(temp_), 0666);
    if (!file_.isOpen() && errno != EEXIST) break;
  }
}

AtomicFile::~AtomicFile() {
  if (file_.isOpen()) {
    file_.close();
    removeFile(utf8ToPath(temp_));
  }
}

bool AtomicFile::writeAndClose(std::string_view contents) {
  bool ok = file_.write(contents);
  if (keepMode_ >= 0) ok = ok && file_.setPermissions(static_cast<unsigned>(keepMode_));
  ok = ok && file_.flushToDisk();
  ok = file_.close() && ok;
  return ok;
}

// Makes a rename or a link itself durable; a failure here cannot be undone and is ignored.
void AtomicFile::syncFolder() const {
  flushFolderToDisk(target_.parent_path().empty() ? "." : target_.parent_path());
}

// A hold moves with its value; each system's side only takes and lets go of the lock.
FileHold::~FileHold() { release(); }

FileHold::FileHold(FileHold&& other) noexcept
    : handle_(other.handle_), lockFile_(std::move(other.lockFile_)) {
  other.handle_ = -1;
  other.lockFile_.clear();
}

FileHold& FileHold::operator=(FileHold&& other) noexcept {
  if (this != &other) {
    release();
    handle_ = other.handle_;
    lockFile_ = std::move(other.lockFile_);
    other.handle_ = -1;
    other.lockFile_.clear();
  }
  return *this;
}

bool AtomicFile::commit(std::string_view contents) { return install(contents, renameOver); }

bool AtomicFile::commitNew(std::string_view contents) { return install(contents, renameIfAbsent); }

bool AtomicFile::commitIf(std::string_view contents, const std::function<bool()>& mayReplace) {
  return install(contents, renameOver, mayReplace);
}

bool AtomicFile::install(std::string_view contents,
                         bool (*rename)(const std::filesystem::path&, const std::filesystem::path&),
                         const std::function<bool()>& mayReplace) {
  if (!file_.isOpen()) return false;  // temp_ may name a file of someone else's
  if (!writeAndClose(contents)) {
    const int saved = errno;
    removeFile(utf8ToPath(temp_));
    errno = saved;
    return false;
  }
  if (mayReplace && !mayReplace()) {
    removeFile(utf8ToPath(temp_));
    errno = 0;
    return false;
  }
  if (!rename(utf8ToPath(temp_), target_)) {
    const int saved = errno;
    removeFile(utf8ToPath(temp_));
    errno = saved;
    return false;
  }
  syncFolder();
  return true;
}

}  // namespace momiru
