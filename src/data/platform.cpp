// Linux and other POSIX systems: /proc/self/exe, access(2) and the XDG base directories.
#include "data/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace momiru {

namespace fs = std::filesystem;

fs::path programDirectory() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return fs::current_path(ec);
  return exe.parent_path();
}

fs::path userConfigDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return fs::path(xdg) / "momiru-battle";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return fs::path(home) / ".config" / "momiru-battle";
  return fs::temp_directory_path() / "momiru-battle";
}

fs::path settingsDirectory() {
  const fs::path dir = programDirectory();
  if (::access(dir.c_str(), W_OK) == 0) return dir;
  const fs::path user = userConfigDirectory();
  std::error_code ec;
  fs::create_directories(user, ec);
  return user;
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

fs::path findDataFile(const fs::path& relative) {
  std::error_code ec;
  for (const fs::path& dir : dataDirectories()) {
    fs::path candidate = dir / relative;
    if (fs::is_regular_file(candidate, ec)) return candidate;
  }
  return {};
}

AtomicFile::AtomicFile(const fs::path& target)
    : target_(target), temp_(target.string() + ".XXXXXX") {
  fd_ = ::mkstemp(temp_.data());
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temp_.c_str());
  }
}

bool AtomicFile::commit(std::string_view contents) {
  if (fd_ < 0) return false;
  bool ok = true;
  for (std::size_t done = 0; ok && done < contents.size();) {
    const ssize_t n = ::write(fd_, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fchmod(fd_, 0644) == 0;
  ok = ok && ::fsync(fd_) == 0;
  ok = (::close(fd_) == 0) && ok;
  fd_ = -1;
  ok = ok && ::rename(temp_.c_str(), target_.c_str()) == 0;
  if (!ok) {
    ::unlink(temp_.c_str());
    return false;
  }
  // Make the rename itself durable; a failure here cannot be undone and is ignored.
  const int dirFd = ::open(target_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

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
