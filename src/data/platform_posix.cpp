// The platform layer's Linux side, over POSIX and a few Linux calls: /proc/self/exe, the XDG
// base directories, open(2) and its flags, renameat2(2), flock(2), getrandom(2), dlopen(3).
#include <dlfcn.h>
#include <fcntl.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "data/platform.h"

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

FileStatus statusFrom(const struct stat& st) {
  FileStatus out;
  if (S_ISREG(st.st_mode)) {
    out.kind = FileKind::Regular;
  } else if (S_ISDIR(st.st_mode)) {
    out.kind = FileKind::Folder;
  } else if (S_ISLNK(st.st_mode)) {
    out.kind = FileKind::SymbolicLink;
  }
  out.size = static_cast<std::uint64_t>(st.st_size);
  out.permissions = static_cast<unsigned>(st.st_mode & 0777);
  out.ownedByThisUser = st.st_uid == ::geteuid();
  return out;
}

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

fs::path userCacheDirectory() {
  // Relative paths in these variables are to be ignored, as if unset.
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return fs::path(xdg) / "momiru-battle";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return fs::path(home) / ".cache" / "momiru-battle";
  return {};
}

std::optional<fs::path> privateDirectory(const fs::path& dir, Refusal* why) {
  const auto refuse = [&](Refusal::Kind kind, const std::string& text,
                          int systemError = 0) -> std::optional<fs::path> {
    if (why != nullptr) {
      const std::string name = pathToUtf8(dir);
      *why = Refusal::said(kind, name + " " + text, name, systemError);
    }
    return std::nullopt;
  };
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    const int error = errno;
    return refuse(Refusal::Kind::CannotCreateFolder, "cannot be created: " + errnoText(), error);
  }
  const std::optional<FileStatus> st = fileStatus(dir);
  if (!st) {
    const int error = errno;
    return refuse(Refusal::Kind::CannotOpen, "cannot be examined: " + errnoText(), error);
  }
  if (st->kind != FileKind::Folder) return refuse(Refusal::Kind::NotAFolder, "is not a folder");
  if (!st->ownedByThisUser) return refuse(Refusal::Kind::NotPrivate, "belongs to another user");
  if ((st->permissions & 077) != 0)
    return refuse(Refusal::Kind::NotPrivate, "is open to other users");
  return dir;
}

fs::path settingsDirectory() {
  const fs::path dir = programDirectory();
  if (mayWrite(dir)) return dir;
  if (auto home = homeConfigDirectory()) {
    std::error_code ec;
    fs::create_directories(*home, ec);
    return *home;
  }
  Refusal why;
  if (auto own = privateDirectory(userConfigDirectory(), &why)) return *own;
  static bool told = false;
  if (!told) {
    told = true;
    std::fprintf(stderr, "momiru-battle: settings are not saved: %s\n", describe(why).c_str());
  }
  return {};
}

std::optional<fs::path> makePrivateTemporaryFolder(std::string_view prefix) {
  std::error_code ec;
  const fs::path temp = fs::temp_directory_path(ec);
  if (ec) {
    errno = ec.value();
    return std::nullopt;
  }
  std::string name = temp.string() + "/" + std::string(prefix) + "XXXXXX";
  if (::mkdtemp(name.data()) == nullptr) return std::nullopt;
  return fs::path(name);
}

fs::path soundModuleFileName() { return "momiru-sound.so"; }

const void* loadLibraryEntry(const fs::path& file, const char* entry) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return nullptr;
  void* library = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  if (const void* symbol = ::dlsym(library, entry)) return symbol;
  ::dlclose(library);
  return nullptr;
}

// --- Files -------------------------------------------------------------------------------------

std::optional<FileStatus> fileStatus(const fs::path& file) {
  struct stat st {};
  if (::lstat(file.c_str(), &st) != 0) return std::nullopt;
  return statusFrom(st);
}

std::optional<FileStatus> targetStatus(const fs::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return std::nullopt;
  return statusFrom(st);
}

bool mayWrite(const fs::path& file) { return ::access(file.c_str(), W_OK) == 0; }

bool removeFile(const fs::path& file) { return ::unlink(file.c_str()) == 0; }

bool renameOver(const fs::path& from, const fs::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool renameIfAbsent(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  // A file system that cannot rename without replacing: a hard link never replaces either.
  if ((errno != EINVAL && errno != ENOSYS) || ::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

void flushFolderToDisk(const fs::path& folder) {
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

std::optional<FileIdentity> fileIdentity(const fs::path& file) {
  struct stat st {};
  if (::lstat(file.c_str(), &st) != 0) return std::nullopt;
  FileIdentity id;
  id.device = static_cast<std::uint64_t>(st.st_dev);
  id.number = static_cast<std::uint64_t>(st.st_ino);
  id.size = static_cast<std::uint64_t>(st.st_size);
  id.writtenNanoseconds =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  return id;
}

// --- One writer at a time ----------------------------------------------------------------------

namespace {

// Each retry of a take means that a holder let go between its open and its lock; bounded all
// the same.
constexpr int kHoldAttempts = 100;

}  // namespace

FileHold FileHold::take(const fs::path& file, Outcome* outcome) {
  Outcome ignored;
  Outcome& said = outcome != nullptr ? *outcome : ignored;
  const fs::path lock = lockFileOf(file);
  for (int attempt = 0; attempt < kHoldAttempts; ++attempt) {
    // Reading is enough to lock; O_NOFOLLOW refuses a link, O_NONBLOCK never waits on a FIFO.
    const int fd = ::open(
        lock.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
      said = errno == ELOOP || errno == EISDIR ? Outcome::NotAFile : Outcome::Failed;
      return {};
    }
    // Not held: the lock file is left as it is, another holder's or a stranger's.
    const auto notHeld = [&](Outcome why) {
      const int error = errno;
      ::close(fd);
      errno = error;
      said = why;
      return FileHold();
    };
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) return notHeld(Outcome::Failed);
    if (!S_ISREG(opened.st_mode)) return notHeld(Outcome::NotAFile);
    int locked;
    do {
      locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0)
      return notHeld(errno == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Failed);
    // A holder that let go removed the name after this open: the lock is then on a file nobody
    // else will find, and the name is taken afresh.
    struct stat named {};
    if (::lstat(lock.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino) {
      said = Outcome::Held;
      return FileHold(fd, lock);
    }
    ::close(fd);
  }
  errno = EAGAIN;
  said = Outcome::Failed;
  return {};
}

void FileHold::release() {
  if (handle_ == -1) return;
  // Removed while still locked, so that nobody takes the name's file and then finds it gone.
  ::unlink(lockFile_.c_str());
  ::close(static_cast<int>(handle_));
  handle_ = -1;
  lockFile_.clear();
}

OpenFile::~OpenFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

OpenFile::OpenFile(OpenFile&& other) noexcept : descriptor_(other.descriptor_) {
  other.descriptor_ = -1;
}

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = other.descriptor_;
    other.descriptor_ = -1;
  }
  return *this;
}

bool OpenFile::write(std::string_view bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(descriptor_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::size_t OpenFile::readSome(char* data, std::size_t size) {
  if (descriptor_ < 0) return 0;
  for (;;) {
    const ssize_t n = ::read(descriptor_, data, size);
    if (n < 0 && errno == EINTR) continue;
    return n > 0 ? static_cast<std::size_t>(n) : 0;  // a read error ends the file like its end
  }
}

bool OpenFile::readAt(std::uint64_t offset, char* data, std::size_t size) const {
  return ::pread(descriptor_, data, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

std::optional<FileStatus> OpenFile::status() const {
  struct stat st {};
  if (::fstat(descriptor_, &st) != 0) return std::nullopt;
  return statusFrom(st);
}

bool OpenFile::setPermissions(unsigned permissions) {
  return ::fchmod(descriptor_, static_cast<mode_t>(permissions)) == 0;
}

bool OpenFile::flushToDisk() { return ::fsync(descriptor_) == 0; }

bool OpenFile::close() {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  return ::close(descriptor) == 0;
}

std::FILE* OpenFile::intoReadingStream() && {
  std::FILE* stream = ::fdopen(descriptor_, "rb");
  if (stream == nullptr) ::close(descriptor_);
  descriptor_ = -1;
  return stream;
}

OpenFile createNewFile(const fs::path& file, unsigned permissions) {
  return OpenFile(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                         static_cast<mode_t>(permissions)));
}

OpenFile createUniqueFile(std::string& pathTemplate) {
  return OpenFile(::mkostemp(pathTemplate.data(), O_CLOEXEC));
}

OpenFile openRegularFileNoFollow(const fs::path& file) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever.
  OpenFile opened(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!opened) return opened;
  const std::optional<FileStatus> st = opened.status();
  if (!st || st->kind != FileKind::Regular) return OpenFile();
  return opened;
}

InputFile::InputFile(const fs::path& file) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever.
  file_ = OpenFile(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!file_) return;
  struct stat st {};
  if (::fstat(file_.descriptor_, &st) != 0) {
    status_ = Status::CannotOpen;
  } else if (S_ISDIR(st.st_mode)) {
    status_ = Status::Folder;
  } else if (!S_ISREG(st.st_mode)) {
    status_ = Status::NotRegular;
  } else {
    status_ = Status::Open;
    const int flags = ::fcntl(file_.descriptor_, F_GETFL);
    if (flags >= 0) ::fcntl(file_.descriptor_, F_SETFL, flags & ~O_NONBLOCK);
    return;
  }
  file_ = OpenFile();
}

InputFile::~InputFile() = default;

InputFile::int_type InputFile::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  const std::size_t n = file_.readSome(buffer_, sizeof buffer_);
  if (n == 0) return traits_type::eof();
  setg(buffer_, buffer_, buffer_ + n);
  return traits_type::to_int_type(*gptr());
}

// --- Random bytes, the calendar, the environment, terminals, memory ----------------------------

std::optional<std::string> systemRandomBytes(std::size_t count) {
  std::string bytes(count, '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::getrandom(bytes.data() + got, bytes.size() - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    got += static_cast<std::size_t>(n);
  }
  return bytes;
}

std::optional<std::tm> localCalendarTime(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm out{};
  if (::localtime_r(&seconds, &out) == nullptr) return std::nullopt;
  return out;
}

std::optional<std::tm> utcCalendarTime(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm out{};
  if (::gmtime_r(&seconds, &out) == nullptr) return std::nullopt;
  return out;
}

std::optional<std::string> environmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::uint64_t processId() { return static_cast<std::uint64_t>(::getpid()); }

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

// MIDI here plays only through FluidSynth and a SoundFont.
bool haveSystemMidiOutput() { return false; }

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void setUpConsoleOutput() {}

std::FILE* openWritingStream(const fs::path& file) { return std::fopen(file.c_str(), "wb"); }

std::string pathToUtf8(const fs::path& p) { return p.string(); }
fs::path utf8ToPath(const std::string& s) { return fs::path(s); }

}  // namespace momiru
