// Linux and other POSIX systems: /proc/self/exe, access(2) and the XDG base directories.
#include "data/platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "data/random_unit.h"

namespace momiru {

namespace fs = std::filesystem;

fs::path programDirectory() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return fs::current_path(ec);
  return exe.parent_path();
}

namespace {

// The configuration folder under the user's home, when the environment names one.
std::optional<fs::path> homeConfigDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return fs::path(xdg) / "momiru-battle";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return fs::path(home) / ".config" / "momiru-battle";
  return std::nullopt;
}

std::string errnoText() { return std::strerror(errno); }

}  // namespace

fs::path userConfigDirectory() {
  if (auto home = homeConfigDirectory()) return *home;
  // The temporary folder is shared by every user: the user id in the name keeps users apart, and
  // settingsDirectory() checks that the folder really is this user's before using it.
  std::error_code ec;
  fs::path temp = fs::temp_directory_path(ec);
  if (ec) temp = "/tmp";
  return temp / ("momiru-battle-" + std::to_string(::geteuid()));
}

fs::path userDataDirectory() {
  const char* data = std::getenv("XDG_DATA_HOME");
  // A relative XDG_DATA_HOME is to be ignored, as the base directory rules say.
  if (data != nullptr && data[0] == '/') return fs::path(data) / "momiru-battle";
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
    return fs::path(home) / ".local" / "share" / "momiru-battle";
  return {};
}

std::optional<fs::path> privateDirectory(const fs::path& dir, std::string* why) {
  const auto refuse = [&](const std::string& text) -> std::optional<fs::path> {
    if (why != nullptr) *why = pathToUtf8(dir) + " " + text;
    return std::nullopt;
  };
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    return refuse("cannot be created: " + errnoText());
  }
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) return refuse("cannot be examined: " + errnoText());
  if (!S_ISDIR(st.st_mode)) return refuse("is not a folder");
  if (st.st_uid != ::geteuid()) return refuse("belongs to another user");
  if ((st.st_mode & 077) != 0) return refuse("is open to other users");
  return dir;
}

fs::path settingsDirectory() {
  const fs::path dir = programDirectory();
  if (::access(dir.c_str(), W_OK) == 0) return dir;
  if (auto home = homeConfigDirectory()) {
    std::error_code ec;
    fs::create_directories(*home, ec);
    return *home;
  }
  std::string why;
  if (auto own = privateDirectory(userConfigDirectory(), &why)) return *own;
  static bool told = false;
  if (!told) {
    told = true;
    std::fprintf(stderr, "momiru-battle: settings are not saved: %s\n", why.c_str());
  }
  return {};
}

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

const void* loadLibraryEntry(const fs::path& file, const char* entry) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return nullptr;
  void* library = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  if (const void* symbol = ::dlsym(library, entry)) return symbol;
  ::dlclose(library);
  return nullptr;
}

fs::path findDataFile(const fs::path& relative) {
  std::error_code ec;
  for (const fs::path& dir : dataDirectories()) {
    fs::path candidate = dir / relative;
    if (fs::is_regular_file(candidate, ec)) return candidate;
  }
  return {};
}

InputFile::InputFile(const fs::path& file) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever.
  fd_ = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) return;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    status_ = Status::CannotOpen;
  } else if (S_ISDIR(st.st_mode)) {
    status_ = Status::Folder;
  } else if (!S_ISREG(st.st_mode)) {
    status_ = Status::NotRegular;
  } else {
    status_ = Status::Open;
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    return;
  }
  ::close(fd_);
  fd_ = -1;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

InputFile::int_type InputFile::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (fd_ < 0) return traits_type::eof();
  for (;;) {
    const ssize_t n = ::read(fd_, buffer_, sizeof buffer_);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return traits_type::eof();  // a read error ends the file like its end
    setg(buffer_, buffer_, buffer_ + n);
    return traits_type::to_int_type(*gptr());
  }
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
  const std::string name = target.filename().string();
  std::error_code ec;
  for (fs::directory_iterator it(target.parent_path().empty() ? "." : target.parent_path(), ec),
       end;
       !ec && it != end; it.increment(ec)) {
    if (!isTemporaryName(it->path().filename().string(), name)) continue;
    if (it->is_regular_file(ec) && !it->is_symlink(ec)) ::unlink(it->path().c_str());
  }
}

}  // namespace

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
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
      return;
    keepMode_ = static_cast<int>(st.st_mode & 0777);
  } else if (errno != ENOENT) {
    return;
  }
  removeLeftovers(target);
  // Mode 0666 lets the umask decide a new file's permissions.
  std::uint64_t state = RandomUnit::splitMix64(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (static_cast<std::uint64_t>(::getpid()) << 32));
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_ = target.string() + std::string(kTemporaryInfix);
    for (std::size_t i = 0; i < kTemporarySuffix; ++i) {
      state = RandomUnit::splitMix64(state);
      temp_ += kNameLetters[state % kNameLetterCount];
    }
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temp_.c_str());
  }
}

bool AtomicFile::writeAndClose(std::string_view contents) {
  bool ok = true;
  for (std::size_t done = 0; ok && done < contents.size();) {
    const ssize_t n = ::write(fd_, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  if (keepMode_ >= 0) ok = ok && ::fchmod(fd_, static_cast<mode_t>(keepMode_)) == 0;
  ok = ok && ::fsync(fd_) == 0;
  ok = (::close(fd_) == 0) && ok;
  fd_ = -1;
  return ok;
}

// Makes a rename or a link itself durable; a failure here cannot be undone and is ignored.
void AtomicFile::syncFolder() const {
  const int dirFd = ::open(target_.parent_path().empty() ? "." : target_.parent_path().c_str(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

bool AtomicFile::commit(std::string_view contents) {
  if (fd_ < 0) return false;  // temp_ may name a file of someone else's
  if (!writeAndClose(contents) || ::rename(temp_.c_str(), target_.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temp_.c_str());
    errno = saved;
    return false;
  }
  syncFolder();
  return true;
}

bool AtomicFile::commitNew(std::string_view contents) {
  if (fd_ < 0) return false;
  if (!writeAndClose(contents)) {
    const int saved = errno;
    ::unlink(temp_.c_str());
    errno = saved;
    return false;
  }
  if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0) {
    syncFolder();
    return true;
  }
  // A file system that cannot rename without replacing: a hard link never replaces either.
  const bool linked =
      (errno == EINVAL || errno == ENOSYS) && ::link(temp_.c_str(), target_.c_str()) == 0;
  const int saved = errno;
  ::unlink(temp_.c_str());
  errno = saved;
  if (linked) syncFolder();
  return linked;
}

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }
bool stdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

void returnLargeBlocksWhenFreed() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

void returnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

bool haveDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && v[0] != '\0') return true;
  }
  return false;
}

std::string pathToUtf8(const fs::path& p) { return p.string(); }
fs::path utf8ToPath(const std::string& s) { return fs::path(s); }

}  // namespace momiru
