// The platform layer: the one place that speaks to the operating system. Everything else in src/
// is portable C++20 (and Qt), and reaches the system's files, folders, clock, random source,
// environment, terminals and loadable modules only through the names declared here.
//
// platform.cpp holds what is the same on every system (the order of the data and library folders,
// the steps of an atomic save); platform_posix.cpp is the Linux side, over POSIX and a few Linux
// calls. A Windows side is to stand beside it as its own file, giving the same guarantees.
//
// A call that can fail says so in its result and leaves the system's reason in errno, as the C
// library's calls do, so that every caller's message (std::strerror) reads the same on each side.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "data/refusal.h"

namespace momiru {

// --- Folders -----------------------------------------------------------------------------------

// The directory that holds the running executable.
std::filesystem::path programDirectory();

// The per-user configuration directory of this game ($XDG_CONFIG_HOME/momiru-battle on Linux).
// Not created here.
std::filesystem::path userConfigDirectory();

// The per-user data directory of this game ($XDG_DATA_HOME/momiru-battle, or
// ~/.local/share/momiru-battle; a relative XDG_DATA_HOME is ignored): where replays and
// tournaments are kept. Empty when neither variable gives one.
std::filesystem::path userDataDirectory();

// The per-user cache directory of this game ($XDG_CACHE_HOME/momiru-battle, or
// ~/.cache/momiru-battle; a relative XDG_CACHE_HOME or HOME is ignored): where rendered music is
// kept. Empty when neither variable gives one. Not created here.
std::filesystem::path userCacheDirectory();

// Where settei.sei lives: the program's directory when it is writable (a build tree or a portable
// copy), otherwise the per-user configuration directory, which is created on demand. Without a
// home folder that is a folder of this user's own under the temporary folder; when no such folder
// can be had, the result is empty, settings are not saved, and one line on stderr says so.
std::filesystem::path settingsDirectory();

// `dir` as a folder only this user can use: created with mode 0700 when missing, and accepted only
// when it is a real folder (not a symbolic link) owned by this user that no one else may enter.
// Otherwise nothing, with the reason in `why`.
std::optional<std::filesystem::path> privateDirectory(const std::filesystem::path& dir,
                                                      Refusal* why = nullptr);

// A new folder in the system's temporary folder, named `prefix` and six random letters or digits,
// made with mode 0700 so that only this user can use it. Nothing (errno says why) when the system
// names no temporary folder or none can be made there. The caller removes it.
std::optional<std::filesystem::path> makePrivateTemporaryFolder(std::string_view prefix);

// Directories searched for pictures, music and sounds, in order: the program's directory, then
// ../share/momiru-battle beside it, then the data directory the game was installed with.
std::vector<std::filesystem::path> dataDirectories();

// The first existing `relative` in dataDirectories(), or an empty path when there is none.
std::filesystem::path findDataFile(const std::filesystem::path& relative);

// Directories searched for the game's loadable libraries, in order: the program's directory,
// then the game's library directory beside it (../lib/.../momiru-battle), then the one the game
// was installed with.
std::vector<std::filesystem::path> libraryDirectories();

// The file name of the game's loadable sound module, as this system names a loadable module
// ("momiru-sound.so" here).
std::filesystem::path soundModuleFileName();

// Loads the shared library `file` and returns its symbol `entry`; null when the file is not
// there or will not load. A library once loaded stays loaded for the rest of the run.
const void* loadLibraryEntry(const std::filesystem::path& file, const char* entry);

// --- Files -------------------------------------------------------------------------------------

enum class FileKind { Regular, Folder, SymbolicLink, Other };

// What the system tells of a file.
struct FileStatus {
  FileKind kind = FileKind::Other;
  std::uint64_t size = 0;        // in bytes
  unsigned permissions = 0;      // the permission bits, 0777 at most
  bool ownedByThisUser = false;  // owned by the user the program runs as
};

// The status of `file` itself: a symbolic link is told as one and never followed. Nothing when
// there is no such file or it cannot be examined (errno says which).
std::optional<FileStatus> fileStatus(const std::filesystem::path& file);

// The status of what `file` names, symbolic links followed (never told as SymbolicLink). Nothing
// when that is missing or cannot be examined (errno says which).
std::optional<FileStatus> targetStatus(const std::filesystem::path& file);

// True when this user may write `file` as it is now (its permissions, a read-only file system);
// false, with errno, otherwise or when it is missing.
bool mayWrite(const std::filesystem::path& file);

// Removes the file (or link, never what it points to) `file`; never a folder. False, with errno,
// when it cannot.
bool removeFile(const std::filesystem::path& file);

// Moves `from` onto `to` in one step, replacing a file there: anyone opening `to` finds the old
// file or the new one whole, never neither. Both are in one folder. False, with errno, otherwise.
bool renameOver(const std::filesystem::path& from, const std::filesystem::path& to);

// Moves `from` onto `to` in one step only while nothing is named `to`: when something is, nothing
// moves and errno is EEXIST, so two processes can never both take one name. False, with errno,
// otherwise; `from` is then left as it was.
bool renameIfAbsent(const std::filesystem::path& from, const std::filesystem::path& to);

// Makes the creation, rename or removal of names in `folder` durable on the disk. A failure
// cannot be undone and is not reported.
void flushFolderToDisk(const std::filesystem::path& folder);

// An open file of the system's, closed when destroyed; moved, never copied. Made by
// createNewFile, createUniqueFile and openRegularFileNoFollow.
class OpenFile {
 public:
  OpenFile() = default;
  ~OpenFile();
  OpenFile(OpenFile&& other) noexcept;
  OpenFile& operator=(OpenFile&& other) noexcept;
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  bool isOpen() const { return descriptor_ >= 0; }
  explicit operator bool() const { return isOpen(); }

  // Writes all of `bytes` at the file's position. False, with errno, when a write fails part way
  // (a full disk, a file-size limit, an I/O error); what was written then stays.
  bool write(std::string_view bytes);
  // Reads up to `size` bytes at the file's position into `data`: their count, 0 at the end of the
  // file or on a read error.
  std::size_t readSome(char* data, std::size_t size);
  // Reads exactly `size` bytes at `offset`, leaving the file's position; false when fewer are
  // there or the read fails.
  bool readAt(std::uint64_t offset, char* data, std::size_t size) const;
  // The status of the open file, whatever its name has come to name since it was opened.
  std::optional<FileStatus> status() const;
  // Sets the permission bits (0777 at most). False, with errno, on failure.
  bool setPermissions(unsigned permissions);
  // Returns only once what was written is on the disk. False, with errno, on failure.
  bool flushToDisk();
  // Closes the file. False, with errno, when the system reports a failure (a write that did not
  // reach the disk); the file is closed either way.
  bool close();
  // Hands the file over to a C stream opened for reading in binary, which owns it from then on
  // (std::fclose closes it). Null when that fails, and the file is closed. Either way this object
  // holds no file afterwards.
  std::FILE* intoReadingStream() &&;

 private:
  explicit OpenFile(int descriptor) : descriptor_(descriptor) {}
  friend OpenFile createNewFile(const std::filesystem::path&, unsigned);
  friend OpenFile createUniqueFile(std::string&);
  friend OpenFile openRegularFileNoFollow(const std::filesystem::path&);
  friend class InputFile;

  int descriptor_ = -1;
};

// Creates `file` for writing only when nothing of that name is there, not even a symbolic link
// (which is never followed), with the permission bits `permissions` less the user's umask. Not
// open, with errno (EEXIST when the name is taken), otherwise.
OpenFile createNewFile(const std::filesystem::path& file, unsigned permissions);

// Creates a new file for writing, readable and writable by this user only (mode 0600), whose name
// is `pathTemplate` with its last six characters, "XXXXXX", replaced (in `pathTemplate`) by
// letters or digits that make a name nothing has. Not open, with errno, when none can be made.
OpenFile createUniqueFile(std::string& pathTemplate);

// Opens `file` for reading when it is a regular file. A symbolic link is never followed, and a
// FIFO or a device is never waited on: each gives a file that is not open.
OpenFile openRegularFileNoFollow(const std::filesystem::path& file);

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
  OpenFile file_;
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

  bool created() const { return file_.isOpen(); }
  // Writes `contents`, flushes it to the disk and renames it over the target.
  bool commit(std::string_view contents);
  // The same, but the file takes the target's name only while no file of that name exists: when
  // one does by then (another process took the name), it fails with errno EEXIST and the
  // temporary file is removed. Two processes can so never take the same name.
  bool commitNew(std::string_view contents);
  // The same as commit, but `mayReplace` is asked once the new file is whole on the disk, just
  // before the rename (the last moment another writer could have changed the target unseen):
  // when it says no, the temporary file is removed, the target is left as it is, and the result
  // is false with errno 0.
  bool commitIf(std::string_view contents, const std::function<bool()>& mayReplace);

 private:
  // Writes `contents`, then puts the temporary file in the target's place by `rename`.
  bool install(std::string_view contents,
               bool (*rename)(const std::filesystem::path&, const std::filesystem::path&),
               const std::function<bool()>& mayReplace = {});
  bool writeAndClose(std::string_view contents);
  void syncFolder() const;

  std::filesystem::path target_;
  std::string temp_;
  OpenFile file_;
  int keepMode_ = -1;  // the replaced file's permission bits, or -1 for a new file
};

// True when `name` is what AtomicFile names a temporary file for a target named `target`.
bool isTemporaryName(std::string_view name, std::string_view target);

// What tells one version of a file from another without reading it: the file itself (its device
// and its number there), its size and the time it was last written. A file replaced by rename is
// another file; one written in place has another size or time, unless the writer set both back.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t number = 0;
  std::uint64_t size = 0;
  std::int64_t writtenNanoseconds = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of `file` itself (a symbolic link is never followed). Nothing when there is no
// such file or it cannot be examined (errno says which).
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& file);

// --- One writer at a time ----------------------------------------------------------------------

// The hold of a file: while one FileHold holds a file, nobody else can take it, in this process
// or in any other of any user, and a second taker is refused at once, never made to wait. Whoever
// means to write a file that is replaced by rename on every save (a kept tournament) takes its
// hold first and keeps it while the file is open.
//
// The contract each system's side gives:
// - It is the system's advisory lock on a lock file of its own beside the file, `file` with
//   ".lock" added (lockFileOf): a lock on the file itself would go with it at the first rename.
// - The system drops it when its holder's process ends in any way (a crash, a kill, a power cut),
//   so no hold outlives its holder; a lock file left behind is taken over by the next taker.
// - Two holds in one process exclude each other as holds in two processes do.
// - It binds only those who take it: a program that writes the file without holding it is to be
//   caught by the writer's own check that the file is still the one it read (fileIdentity).
// - Released (destroyed, moved over, release()), it removes its lock file while still holding it;
//   a taker that opened the old lock file meanwhile finds the name gone and takes the new one.
// POSIX: flock(2) on the lock file, opened for reading (a file system that has no flock, such as
// some network mounts, gives Failed). Windows: LockFileEx on the lock file, which is opened
// sharing reading, writing and deletion.
class FileHold {
 public:
  enum class Outcome {
    Held,           // this value holds the file
    HeldElsewhere,  // another holder has it, in this process or another
    NotAFile,       // a folder, a FIFO, a device or a link has the lock file's name
    Failed,         // errno says why (EACCES or EROFS: a folder where no lock file can be made)
  };

  FileHold() = default;
  ~FileHold();  // releases
  FileHold(FileHold&& other) noexcept;
  FileHold& operator=(FileHold&& other) noexcept;
  FileHold(const FileHold&) = delete;
  FileHold& operator=(const FileHold&) = delete;

  // Takes the hold of `file` (which need not exist yet). Not held otherwise, with `outcome` (if
  // given) saying why.
  static FileHold take(const std::filesystem::path& file, Outcome* outcome);

  bool held() const { return handle_ != -1; }
  explicit operator bool() const { return held(); }
  // Lets the hold go (and removes the lock file); nothing when nothing is held.
  void release();
  // The lock file of what is held; empty when nothing is.
  const std::filesystem::path& lockFile() const { return lockFile_; }

 private:
  FileHold(std::intptr_t handle, std::filesystem::path lockFile)
      : handle_(handle), lockFile_(std::move(lockFile)) {}

  std::intptr_t handle_ = -1;  // the lock file: a descriptor (POSIX) or a HANDLE (Windows)
  std::filesystem::path lockFile_;
};

// The lock file that FileHold keeps beside `file`: its name with ".lock" added.
std::filesystem::path lockFileOf(const std::filesystem::path& file);

// --- Random bytes, the calendar, the environment, terminals, memory ----------------------------

// `count` bytes from the system's random source, fit for a secret; nothing when the source fails.
std::optional<std::string> systemRandomBytes(std::size_t count);

// The calendar date and time of `when` in the user's time zone, and in UTC; nothing when the
// system's calendar cannot tell it.
std::optional<std::tm> localCalendarTime(std::chrono::system_clock::time_point when);
std::optional<std::tm> utcCalendarTime(std::chrono::system_clock::time_point when);

// The value of the environment variable `name`; nothing when it is not set.
std::optional<std::string> environmentValue(const char* name);

// The running process's number, told apart from every other process running now.
std::uint64_t processId();

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

// True when the system has a MIDI output of its own that plays a MIDI file without a SoundFont:
// Windows' synthesizer, when one is there (Wine without a MIDI port has none). False on Linux.
bool haveSystemMidiOutput();

// The program's arguments as UTF-8 text, the program's name first: argv as it is on Linux, the
// wide command line on Windows (whose argv is in the ANSI code page, which has no Japanese in
// most of the world).
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Opens `file` as a C stream for writing in binary, as it is: what is there is truncated, a FIFO
// or a device is written to. Null, with errno, when it cannot be opened.
std::FILE* openWritingStream(const std::filesystem::path& file);

// Makes the standard output and error streams take the program's bytes as they are: on Windows
// a console then reads them as UTF-8, and no LF becomes CR LF. Nothing to do on Linux.
void setUpConsoleOutput();

// A path as UTF-8 text, and UTF-8 text as a path, the same on every platform.
std::string pathToUtf8(const std::filesystem::path& p);
std::filesystem::path utf8ToPath(const std::string& s);

}  // namespace momiru
