// Where things are on this system: the program's directory, the settings, the installed data.
// The only place with platform-specific code; porting the game means porting platform.cpp.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace momiru {

// The directory that holds the running executable.
std::filesystem::path programDirectory();

// The per-user configuration directory of this game ($XDG_CONFIG_HOME/momiru-battle on Linux).
// Not created here.
std::filesystem::path userConfigDirectory();

// Where settei.sei lives: the program's directory when it is writable (a build tree or a portable
// copy), otherwise the per-user configuration directory, which is created on demand.
std::filesystem::path settingsDirectory();

// Directories searched for pictures, music and sounds, in order: the program's directory, then
// ../share/momiru-battle beside it, then the data directory the game was installed with.
std::vector<std::filesystem::path> dataDirectories();

// The first existing `relative` in dataDirectories(), or an empty path when there is none.
std::filesystem::path findDataFile(const std::filesystem::path& relative);

// A file written beside `target` and renamed over it only when complete and flushed, so that a
// crash, a kill or a full disk leaves either the old file or the new one, never a torn one.
class AtomicFile {
 public:
  explicit AtomicFile(const std::filesystem::path& target);  // creates the temporary file
  ~AtomicFile();                                             // removes it unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool created() const { return fd_ >= 0; }
  // Writes `contents`, flushes it to the disk and renames it over the target.
  bool commit(std::string_view contents);

 private:
  std::filesystem::path target_;
  std::string temp_;
  int fd_ = -1;
};

// True when the standard error stream is a terminal (for progress bars).
bool stderrIsTerminal();

// True when a window system can be reached (or Qt was told a platform explicitly).
bool haveDisplay();

// A path as UTF-8 text, and UTF-8 text as a path, the same on every platform.
std::string pathToUtf8(const std::filesystem::path& p);
std::filesystem::path utf8ToPath(const std::string& s);

}  // namespace momiru
