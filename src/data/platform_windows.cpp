// The platform layer's Windows side, over the Win32 calls: paths are UTF-16 in every call (a
// path's narrow text never reaches a C function), files are opened with CreateFileW and handed to
// the C run-time as descriptors, so that OpenFile is the same object as on Linux. The folders are
// %APPDATA% and %LOCALAPPDATA%; the random source is BCryptGenRandom; a file's hold is LockFileEx
// on its lock file.
//
// Windows gives no permission bits: a file reads as 0666 (0444 when read-only), a folder as 0777
// (0555), and setting bits without the owner's write bit makes a file read-only. A failure leaves
// the nearest errno for the system's error, so that every caller's message reads as on Linux.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The rest after windows.h, which they build on.
#include <aclapi.h>
#include <bcrypt.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>
#include <shlobj.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "data/platform.h"

namespace momiru {

namespace fs = std::filesystem;

namespace {

// The errno closest to the system's error `code`.
int errnoFor(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return EPIPE;
    default:
      return EIO;
  }
}

// Sets errno from the system's last error and returns false, for the calls that report one.
bool failed() {
  errno = errnoFor(::GetLastError());
  return false;
}

std::wstring widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

// The environment variable `name` as a path, when it names an absolute one.
std::optional<fs::path> absoluteFromEnvironment(const wchar_t* name) {
  const wchar_t* value = ::_wgetenv(name);
  if (value == nullptr || value[0] == L'\0') return std::nullopt;
  fs::path p(value);
  if (!p.is_absolute()) return std::nullopt;
  return p;
}

std::optional<fs::path> knownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::optional<fs::path> out;
  if (::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path) == S_OK && path != nullptr)
    out = fs::path(path);
  ::CoTaskMemFree(path);
  return out;
}

// %APPDATA% (the roaming per-user folder) or %LOCALAPPDATA%: the variable first, so that a test
// or a portable setup can point the game elsewhere, then the shell's own answer.
std::optional<fs::path> roamingFolder() {
  if (auto p = absoluteFromEnvironment(L"APPDATA")) return p;
  return knownFolder(FOLDERID_RoamingAppData);
}

std::optional<fs::path> localFolder() {
  if (auto p = absoluteFromEnvironment(L"LOCALAPPDATA")) return p;
  return knownFolder(FOLDERID_LocalAppData);
}

// A handle that closes itself.
struct Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  Handle() = default;
  explicit Handle(HANDLE handle) : h(handle) {}
  ~Handle() {
    if (valid()) ::CloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  HANDLE release() {
    HANDLE out = h;
    h = INVALID_HANDLE_VALUE;
    return out;
  }
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The user the program runs as, as a security identifier (its token's user), copied once.
PSID thisUser() {
  static const std::string sid = [] {
    std::string out;
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return out;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    if (size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
      const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
      out.assign(static_cast<const char*>(user->User.Sid), ::GetLengthSid(user->User.Sid));
    }
    ::CloseHandle(token);
    return out;
  }();
  return sid.empty() ? nullptr : const_cast<char*>(sid.data());
}

// True when the open `handle`'s owner is the user the program runs as.
bool ownedByThisUser(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  const PSID user = thisUser();
  const bool same = owner != nullptr && user != nullptr && ::EqualSid(owner, user);
  ::LocalFree(descriptor);
  return same;
}

std::optional<FileStatus> statusOfHandle(HANDLE handle, bool askOwner) {
  FileStatus out;
  const DWORD type = ::GetFileType(handle);
  if (type != FILE_TYPE_DISK) {
    // A console, a pipe, a printer port or NUL: nothing of a file's to tell.
    out.kind = FileKind::Other;
    out.permissions = 0666;
    out.ownedByThisUser = false;
    return out;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) {
    failed();
    return std::nullopt;
  }
  const bool readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // Opened without following: a symbolic link, a junction or a mount point, each a link here.
    out.kind = FileKind::SymbolicLink;
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    out.kind = FileKind::Folder;
  } else {
    out.kind = FileKind::Regular;
  }
  out.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (out.kind == FileKind::Folder) {
    out.permissions = readOnly ? 0555 : 0777;
  } else {
    out.permissions = readOnly ? 0444 : 0666;
  }
  out.ownedByThisUser = askOwner && ownedByThisUser(handle);
  return out;
}

// Opens `file` only to examine it; a link is followed unless `follow` is false.
Handle openForStatus(const fs::path& file, bool follow) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;  // folders open too
  if (!follow) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  return Handle(::CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL, kShareAll, nullptr,
                              OPEN_EXISTING, flags, nullptr));
}

std::optional<FileStatus> statusOf(const fs::path& file, bool follow) {
  Handle h = openForStatus(file, follow);
  if (!h.valid()) {
    failed();
    return std::nullopt;
  }
  return statusOfHandle(h.h, true);
}

// Gives the C run-time the handle as a descriptor (binary, never translating line ends); -1, and
// the handle closed, when it cannot.
int descriptorOf(Handle& handle, int flags) {
  if (!handle.valid()) {
    failed();
    return -1;
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle.h), flags | _O_BINARY);
  if (fd >= 0) handle.release();
  return fd;
}

HANDLE handleOf(int descriptor) { return reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor)); }

// Opens `file` for reading when it is a regular file on a disk; a console, a pipe or a device is
// never read. A folder is reported as one.
enum class Opened { File, Missing, Folder, NotRegular, Link };
Opened openForReading(const fs::path& file, bool follow, Handle& out) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
  if (!follow) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  Handle h(::CreateFileW(file.c_str(), GENERIC_READ | READ_CONTROL, kShareAll, nullptr,
                         OPEN_EXISTING, flags, nullptr));
  if (!h.valid()) {
    failed();
    return Opened::Missing;
  }
  const std::optional<FileStatus> st = statusOfHandle(h.h, false);
  if (!st) return Opened::Missing;
  switch (st->kind) {
    case FileKind::Regular:
      out.h = h.release();
      return Opened::File;
    case FileKind::Folder:
      return Opened::Folder;
    case FileKind::SymbolicLink:
      return Opened::Link;
    case FileKind::Other:
      return Opened::NotRegular;
  }
  return Opened::NotRegular;
}

std::string randomLetters(std::size_t count) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string bytes = systemRandomBytes(count).value_or(std::string(count, '\0'));
  if (bytes == std::string(count, '\0')) {
    // Without the random source, the clock and the process keep names apart well enough: the
    // creation still refuses any name that is taken.
    std::uint64_t state =
        ::GetTickCount64() ^ (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32);
    for (char& c : bytes) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      c = static_cast<char>(state >> 56);
    }
  }
  std::string out;
  for (const char b : bytes) out += kLetters[static_cast<unsigned char>(b) % (sizeof kLetters - 1)];
  return out;
}

}  // namespace

fs::path programDirectory() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      std::error_code ec;
      return fs::current_path(ec);
    }
    if (n < buffer.size()) {
      buffer.resize(n);
      return fs::path(buffer).parent_path();
    }
    buffer.resize(buffer.size() * 2);
  }
}

fs::path userConfigDirectory() {
  if (auto roaming = roamingFolder()) return *roaming / "momiru-battle";
  // Windows' temporary folder is the user's own (in the profile), unlike /tmp.
  std::error_code ec;
  return fs::temp_directory_path(ec) / "momiru-battle";
}

fs::path userDataDirectory() {
  if (auto roaming = roamingFolder()) return *roaming / "momiru-battle";
  return {};
}

fs::path userCacheDirectory() {
  if (auto local = localFolder()) return *local / "momiru-battle" / "cache";
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
  // A new folder takes its access list from its parent: in the profile, the user's alone.
  if (!::CreateDirectoryW(dir.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    failed();
    const int error = errno;
    return refuse(Refusal::Kind::CannotCreateFolder,
                  std::string("cannot be created: ") + std::strerror(error), error);
  }
  const std::optional<FileStatus> st = fileStatus(dir);
  if (!st) {
    const int error = errno;
    return refuse(Refusal::Kind::CannotOpen,
                  std::string("cannot be examined: ") + std::strerror(error), error);
  }
  if (st->kind != FileKind::Folder) return refuse(Refusal::Kind::NotAFolder, "is not a folder");
  if (!st->ownedByThisUser) return refuse(Refusal::Kind::NotPrivate, "belongs to another user");
  return dir;
}

fs::path settingsDirectory() {
  const fs::path dir = programDirectory();
  if (mayWrite(dir)) return dir;
  const fs::path config = userConfigDirectory();
  std::error_code ec;
  fs::create_directories(config, ec);
  if (!ec) return config;
  static bool told = false;
  if (!told) {
    told = true;
    std::fprintf(stderr, "momiru-battle: settings are not saved: %s cannot be created: %s\n",
                 pathToUtf8(config).c_str(), ec.message().c_str());
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
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path dir = temp / utf8ToPath(std::string(prefix) + randomLetters(6));
    if (::CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  failed();
  return std::nullopt;
}

fs::path soundModuleFileName() { return "momiru-sound.dll"; }

const void* loadLibraryEntry(const fs::path& file, const char* entry) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return nullptr;
  // The library's own folder is searched for what it needs in turn, before the system's.
  HMODULE library = ::LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) return nullptr;
  if (FARPROC symbol = ::GetProcAddress(library, entry))
    return reinterpret_cast<const void*>(symbol);
  ::FreeLibrary(library);
  return nullptr;
}

// --- Files -------------------------------------------------------------------------------------

std::optional<FileStatus> fileStatus(const fs::path& file) { return statusOf(file, false); }

std::optional<FileStatus> targetStatus(const fs::path& file) {
  std::optional<FileStatus> st = statusOf(file, true);
  if (st && st->kind == FileKind::SymbolicLink) st->kind = FileKind::Other;  // a link to nothing
  return st;
}

bool mayWrite(const fs::path& file) {
  const DWORD attributes = ::GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return failed();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    // A folder's read-only mark means nothing to Windows: whether a file can be made in it can
    // only be told by making one, which goes again as it closes.
    const fs::path probe = file / utf8ToPath(".momiru-probe-" + randomLetters(6));
    Handle h(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return h.valid() || failed();
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    errno = EACCES;
    return false;
  }
  Handle h(::CreateFileW(file.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  return h.valid() || failed();
}

bool removeFile(const fs::path& file) {
  const DWORD attributes = ::GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return failed();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    errno = EISDIR;
    return false;
  }
  // A link to a folder is removed as the folder-like entry it is; a file as a file.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return ::RemoveDirectoryW(file.c_str()) || failed();
  return ::DeleteFileW(file.c_str()) || failed();
}

// MoveFileExW renames in one step within a volume (the file system's rename with replacing), so
// a reader finds the old file or the new one. ReplaceFileW is not used: it merges the old file's
// attributes and can fail half way with neither name in place.
bool renameOver(const fs::path& from, const fs::path& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
         failed();
}

// Without MOVEFILE_REPLACE_EXISTING the rename fails when anything has the name, in one step.
bool renameIfAbsent(const fs::path& from, const fs::path& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) || failed();
}

// Windows keeps a folder's names on the disk with the renames themselves (MOVEFILE_WRITE_THROUGH)
// and cannot flush a folder: nothing to do.
void flushFolderToDisk(const fs::path&) {}

namespace {

// The handle's file on its volume: the volume's serial number and the file's index there.
bool sameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

std::optional<FileIdentity> fileIdentity(const fs::path& file) {
  Handle h = openForStatus(file, false);
  if (!h.valid()) {
    failed();
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(h.h) != FILE_TYPE_DISK) {
    errno = EINVAL;  // a device or a pipe has no versions to tell apart
    return std::nullopt;
  }
  if (!::GetFileInformationByHandle(h.h, &info)) {
    failed();
    return std::nullopt;
  }
  FileIdentity id;
  id.device = info.dwVolumeSerialNumber;
  id.number = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  id.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  // Ticks of 100 ns since 1601, told as nanoseconds since 1970 as on Linux.
  const std::int64_t ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
  id.writtenNanoseconds = (ticks - 116444736000000000LL) * 100;
  return id;
}

// --- One writer at a time ----------------------------------------------------------------------

namespace {

// Each retry of a take means that a holder let go between its open and its lock, or that its
// lock file is still going (deleted, with a handle open); bounded all the same.
constexpr int kHoldAttempts = 100;

// Opens (or creates) the lock file without following a link; with the right to remove it when
// this user has it, for reading only otherwise (a lock file another user left, which then stays).
HANDLE openLockFile(const fs::path& lock) {
  // Backup semantics opens a folder as well, so that one is told as what it is.
  constexpr DWORD kFlags =
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
  const HANDLE h = ::CreateFileW(lock.c_str(), GENERIC_READ | DELETE, kShareAll, nullptr,
                                 OPEN_ALWAYS, kFlags, nullptr);
  if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_ACCESS_DENIED) return h;
  return ::CreateFileW(lock.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_ALWAYS, kFlags,
                       nullptr);
}

// FileDispositionInfoEx and its flags (Windows 10 1607 on), which MinGW's headers declare only for
// a newer target than the game's.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1, kDispositionPosixSemantics = 0x2;
struct DispositionInfoEx {
  DWORD flags;
};

// Removes the name of the open file `h` now (POSIX semantics: gone at once, even while others
// have it open), or, where the system or the file system cannot, once the last handle to it is
// closed.
void removeOpenFile(HANDLE h) {
  DispositionInfoEx now{kDispositionDelete | kDispositionPosixSemantics};
  if (::SetFileInformationByHandle(h, kFileDispositionInfoEx, &now, sizeof now)) return;
  FILE_DISPOSITION_INFO atClose{};
  atClose.DeleteFile = TRUE;
  ::SetFileInformationByHandle(h, FileDispositionInfo, &atClose, sizeof atClose);
}

// True when the lock file's name still names the open file `h`, and it is not being deleted.
bool stillNamed(const fs::path& lock, HANDLE h, const BY_HANDLE_FILE_INFORMATION& opened) {
  FILE_STANDARD_INFO standard{};
  if (::GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard) &&
      standard.DeletePending)
    return false;
  Handle named = openForStatus(lock, false);
  BY_HANDLE_FILE_INFORMATION info{};
  return named.valid() && ::GetFileInformationByHandle(named.h, &info) && sameFile(info, opened);
}

}  // namespace

FileHold FileHold::take(const fs::path& file, Outcome* outcome) {
  Outcome ignored;
  Outcome& said = outcome != nullptr ? *outcome : ignored;
  const fs::path lock = lockFileOf(file);
  for (int attempt = 0; attempt < kHoldAttempts; ++attempt) {
    Handle h(openLockFile(lock));
    if (!h.valid()) {
      const DWORD code = ::GetLastError();
      const DWORD attributes = ::GetFileAttributesW(lock.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES &&
          (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        said = Outcome::NotAFile;
        return {};
      }
      // A lock file being deleted refuses every open, its attributes' too, until its last
      // handle closes, which a holder letting go does at once.
      if (code == ERROR_ACCESS_DENIED && attributes == INVALID_FILE_ATTRIBUTES &&
          ::GetLastError() == ERROR_ACCESS_DENIED && attempt + 1 < kHoldAttempts) {
        ::Sleep(1);
        continue;
      }
      errno = errnoFor(code);
      said = Outcome::Failed;
      return {};
    }
    // Not held: the lock file is left as it is, another holder's or a stranger's.
    const auto notHeld = [&](Outcome why, int error) {
      errno = error;
      said = why;
      return FileHold();
    };
    // A console, a pipe or a device (NUL, COM1) is never locked.
    if (::GetFileType(h.h) != FILE_TYPE_DISK) return notHeld(Outcome::NotAFile, EINVAL);
    BY_HANDLE_FILE_INFORMATION opened{};
    if (!::GetFileInformationByHandle(h.h, &opened))
      return notHeld(Outcome::Failed, errnoFor(::GetLastError()));
    if ((opened.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
      return notHeld(Outcome::NotAFile, EINVAL);
    // The whole of any file, never waited for. The system lets it go when the handle closes,
    // however the process ends.
    OVERLAPPED whole{};
    if (!::LockFileEx(h.h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                      MAXDWORD, &whole)) {
      const DWORD code = ::GetLastError();
      return notHeld(code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING
                         ? Outcome::HeldElsewhere
                         : Outcome::Failed,
                     errnoFor(code));
    }
    // A holder that let go removed the name after this open: the lock is then on a file nobody
    // else will find, and the name is taken afresh.
    if (stillNamed(lock, h.h, opened)) {
      said = Outcome::Held;
      return FileHold(reinterpret_cast<std::intptr_t>(h.release()), lock);
    }
  }
  errno = EAGAIN;
  said = Outcome::Failed;
  return {};
}

void FileHold::release() {
  if (handle_ == -1) return;
  const HANDLE h = reinterpret_cast<HANDLE>(handle_);
  // Removed while still locked, so that nobody takes the name's file and then finds it gone. A
  // lock file opened without the right to remove it (another user's) stays.
  removeOpenFile(h);
  OVERLAPPED whole{};
  ::UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole);
  ::CloseHandle(h);
  handle_ = -1;
  lockFile_.clear();
}

OpenFile::~OpenFile() {
  if (descriptor_ >= 0) ::_close(descriptor_);
}

OpenFile::OpenFile(OpenFile&& other) noexcept : descriptor_(other.descriptor_) {
  other.descriptor_ = -1;
}

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) ::_close(descriptor_);
    descriptor_ = other.descriptor_;
    other.descriptor_ = -1;
  }
  return *this;
}

bool OpenFile::write(std::string_view bytes) {
  const HANDLE h = handleOf(descriptor_);
  for (std::size_t done = 0; done < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 30));
    DWORD n = 0;
    if (!::WriteFile(h, bytes.data() + done, chunk, &n, nullptr)) return failed();
    if (n == 0) {
      errno = EIO;
      return false;
    }
    done += n;
  }
  return true;
}

std::size_t OpenFile::readSome(char* data, std::size_t size) {
  if (descriptor_ < 0) return 0;
  DWORD n = 0;
  const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30));
  if (!::ReadFile(handleOf(descriptor_), data, chunk, &n, nullptr)) return 0;
  return n;  // a read error ends the file like its end
}

bool OpenFile::readAt(std::uint64_t offset, char* data, std::size_t size) const {
  const HANDLE h = handleOf(descriptor_);
  // A positioned read moves a synchronous handle's position: it is put back afterwards.
  LARGE_INTEGER zero{}, position{};
  if (!::SetFilePointerEx(h, zero, &position, FILE_CURRENT)) return false;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD n = 0;
  const bool ok =
      size <= 0xFFFFFFFFu && ::ReadFile(h, data, static_cast<DWORD>(size), &n, &at) && n == size;
  ::SetFilePointerEx(h, position, nullptr, FILE_BEGIN);
  return ok;
}

std::optional<FileStatus> OpenFile::status() const {
  return statusOfHandle(handleOf(descriptor_), true);
}

bool OpenFile::setPermissions(unsigned permissions) {
  FILE_BASIC_INFO info{};
  const HANDLE h = handleOf(descriptor_);
  if (!::GetFileInformationByHandleEx(h, FileBasicInfo, &info, sizeof info)) return failed();
  DWORD attributes = info.FileAttributes;
  if ((permissions & 0200) == 0) {
    attributes |= FILE_ATTRIBUTE_READONLY;
  } else {
    attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  }
  if (attributes == info.FileAttributes) return true;
  info.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  return ::SetFileInformationByHandle(h, FileBasicInfo, &info, sizeof info) || failed();
}

bool OpenFile::flushToDisk() { return ::FlushFileBuffers(handleOf(descriptor_)) || failed(); }

bool OpenFile::close() {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  return ::_close(descriptor) == 0;
}

std::FILE* OpenFile::intoReadingStream() && {
  std::FILE* stream = ::_fdopen(descriptor_, "rb");
  if (stream == nullptr) ::_close(descriptor_);
  descriptor_ = -1;
  return stream;
}

OpenFile createNewFile(const fs::path& file, unsigned permissions) {
  // CREATE_NEW fails when anything has the name, a link included, which is never followed.
  const DWORD attributes =
      (permissions & 0200) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
  Handle h(::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                         attributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  return OpenFile(descriptorOf(h, _O_RDWR));
}

OpenFile createUniqueFile(std::string& pathTemplate) {
  if (pathTemplate.size() < 6 || pathTemplate.compare(pathTemplate.size() - 6, 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return OpenFile();
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    pathTemplate.replace(pathTemplate.size() - 6, 6, randomLetters(6));
    OpenFile file = createNewFile(utf8ToPath(pathTemplate), 0600);
    if (file || errno != EEXIST) return file;
  }
  return OpenFile();
}

OpenFile openRegularFileNoFollow(const fs::path& file) {
  Handle h;
  if (openForReading(file, false, h) != Opened::File) return OpenFile();
  return OpenFile(descriptorOf(h, _O_RDONLY));
}

InputFile::InputFile(const fs::path& file) {
  Handle h;
  switch (openForReading(file, true, h)) {
    case Opened::File:
      file_ = OpenFile(descriptorOf(h, _O_RDONLY));
      status_ = file_ ? Status::Open : Status::CannotOpen;
      return;
    case Opened::Missing:
      status_ = Status::CannotOpen;
      return;
    case Opened::Folder:
      status_ = Status::Folder;
      return;
    case Opened::NotRegular:
    case Opened::Link:
      status_ = Status::NotRegular;
      return;
  }
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
  for (std::size_t got = 0; got < count;) {
    const ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(count - got, 1 << 20));
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(bytes.data() + got),
                                          chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
      return std::nullopt;
    got += chunk;
  }
  return bytes;
}

std::optional<std::tm> localCalendarTime(std::chrono::system_clock::time_point when) {
  const __time64_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm out{};
  if (::_localtime64_s(&out, &seconds) != 0) return std::nullopt;
  return out;
}

std::optional<std::tm> utcCalendarTime(std::chrono::system_clock::time_point when) {
  const __time64_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm out{};
  if (::_gmtime64_s(&out, &seconds) != 0) return std::nullopt;
  return out;
}

std::optional<std::string> environmentValue(const char* name) {
  const wchar_t* value = ::_wgetenv(widen(name).c_str());
  if (value == nullptr) return std::nullopt;
  return narrow(value);
}

std::uint64_t processId() { return ::GetCurrentProcessId(); }

namespace {
bool isConsole(DWORD which) {
  const HANDLE h = ::GetStdHandle(which);
  DWORD mode = 0;
  return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetFileType(h) == FILE_TYPE_CHAR &&
         ::GetConsoleMode(h, &mode);
}
}  // namespace

bool stderrIsTerminal() { return isConsole(STD_ERROR_HANDLE); }
bool stdoutIsTerminal() { return isConsole(STD_OUTPUT_HANDLE); }

// Windows' heap gives large blocks their own mappings and returns them when freed already.
void returnLargeBlocksWhenFreed() {}

void returnFreedMemory() { ::HeapCompact(::GetProcessHeap(), 0); }

// A Windows session always has its desktop.
bool haveDisplay() { return true; }

bool haveSystemMidiOutput() { return ::midiOutGetNumDevs() > 0; }

std::string pathToUtf8(const fs::path& p) { return narrow(p.native()); }
fs::path utf8ToPath(const std::string& s) { return fs::path(widen(s)); }

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  std::vector<std::string> out;
  int count = 0;
  if (LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) out.push_back(narrow(wide[i]));
    ::LocalFree(wide);
    return out;
  }
  for (int i = 0; i < argc; ++i) out.emplace_back(argv[i]);
  return out;
}

std::FILE* openWritingStream(const fs::path& file) { return ::_wfopen(file.c_str(), L"wb"); }

void setUpConsoleOutput() {
  // Japanese in a console: the console reads the program's bytes as UTF-8.
  ::SetConsoleOutputCP(CP_UTF8);
  // The output is bytes, as on Linux: no LF is made CR LF, a page or a JSON reads the same.
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}

}  // namespace momiru
