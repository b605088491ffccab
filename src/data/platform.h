// Where things are on this system: the program's directory, the settings, the installed data.
// The only place with platform-specific code; porting the game means porting platform.cpp.
#pragma once

#include <filesystem>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace momiru {

// The directory that holds the running executable.
std::filesystem::path programDirectory();

// The per-user configuration directory of this game ($XDG_CONFIG_HOME/momiru-battle on Linux).
// Not created here.
std::filesystem::path userConfigDirectory();

// The per-user data directory of this game ($XDG_DATA_HOME/momiru-battle, or
// ~/.local/share/momiru-battle; a relative XDG_DATA_HOME is ignored): where replays and
// tournaments are kept. Empty when neither variable gives one.
std::filesystem::path userDataDirectory();

// Where settei.sei lives: the program's directory when it is writable (a build tree or a portable
// copy), otherwise the per-user configuration directory, which is created on demand. Without a
// home folder that is a folder of this user's own under the temporary folder; when no such folder
// can be had, the result is empty, settings are not saved, and one line on stderr says so.
std::filesystem::path settingsDirectory();

// `dir` as a folder only this user can use: created with mode 0700 when missing, and accepted only
// when it is a real folder (not a symbolic link) owned by this user that no one else may enter.
// Otherwise nothing, with the reason in `why`.
std::optional<std::filesystem::path> privateDirectory(const std::filesystem::path& dir,
                                                      std::string* why = nullptr);

// Directories searched for pictures, music and sounds, in order: the program's directory, then
// ../share/momiru-battle beside it, then the data directory the game was installed with.
std::vector<std::filesystem::path> dataDirectories();

// The first existing `relative` in dataDirectories(), or an empty path when there is none.
std::filesystem::path findDataFile(const std::filesystem::path& relative);

// Directories searched for the game's loadable libraries, in order: the program's directory,
// then the game's library directory beside it (../lib/.../momiru-battle), then the one the game
// was installed with.
std::vector<std::filesystem::path> libraryDirectories();

// Loads the shared library `file` and returns its symbol `entry`; null when the file is not
// there or will not load. A library once loaded stays loaded for the rest of the run.
const void* loadLibraryEntry(const std::filesystem::path& file, const char* entry);

// A file opened for reading only when it is a regular file. It is opened without blocking, so a
// FIFO or a device never holds the caller up, and what was opened is checked, so nothing can be
// swapped in between a check and the open. Reads the file in chunks as a stream buffer.
class InputFile : public std::streambuf {
 public:
  enum class Status { Open, CannotOpen, Folder, NotRegular };

  explicit InputFile(const std::filesystem::path& file);
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  Status status() const { return status_; }

 protected:
  int_type underflow() override;

 private:
  int fd_ = -1;
  Status status_ = Status::CannotOpen;
  char buffer_[16384];
};

// A file written beside `target` and renamed over it only when complete and flushed, so that a
// crash, a kill or a full disk leaves either the old file or the new one, never a torn one.
//
// The target is left alone when it cannot be written: a file its owner made read-only (no write
// bit, whoever runs the program), one this user may not write, or anything but a regular file.
// A replaced file keeps its permission bits; a new one gets 0666 less the user's umask.
// Temporary files are named `target`.saving-XXXXXX (six letters or digits); the leftovers of a save
// that was killed are removed by the next one, so at most one is ever left behind.
class AtomicFile {
 public:
  explicit AtomicFile(const std::filesystem::path& target);  // creates the temporary file
  ~AtomicFile();                                             // removes it unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool created() const { return fd_ >= 0; }
  // Writes `contents`, flushes it to the disk and renames it over the target.
  bool commit(std::string_view contents);
  // The same, but the file takes the target's name only while no file of that name exists: when
  // one does by then (another process took the name), it fails with errno EEXIST and the
  // temporary file is removed. Two processes can so never take the same name.
  bool commitNew(std::string_view contents);

 private:
  bool writeAndClose(std::string_view contents);
  void syncFolder() const;

  std::filesystem::path target_;
  std::string temp_;
  int fd_ = -1;
  int keepMode_ = -1;  // the replaced file's permission bits, or -1 for a new file
};

// True when `name` is what AtomicFile names a temporary file for a target named `target`.
bool isTemporaryName(std::string_view name, std::string_view target);

// True when the standard error stream is a terminal (for progress bars).
bool stderrIsTerminal();

// True when the standard output stream is a terminal (for block-character charts).
bool stdoutIsTerminal();

// Makes every block of 1 MiB or more a mapping of its own, handed back to the system as soon as it
// is freed. The C library would otherwise raise that size after each large free, and keep later
// blocks of a SoundFont's size (some 6 MB, loaded by every synthesizer) in its heaps, which a
// rendering thread's heap then holds for the rest of the run. Called once, at start-up.
void returnLargeBlocksWhenFreed();

// Hands the pages of freed memory back to the system. The C library keeps them for the next
// allocation, which after a large one-off free (a synthesizer and its SoundFont) would hold the
// memory for the rest of the run.
void returnFreedMemory();

// True when a window system can be reached (or Qt was told a platform explicitly).
bool haveDisplay();

// A path as UTF-8 text, and UTF-8 text as a path, the same on every platform.
std::string pathToUtf8(const std::filesystem::path& p);
std::filesystem::path utf8ToPath(const std::string& s);

}  // namespace momiru
