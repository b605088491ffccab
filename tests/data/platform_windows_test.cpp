// The platform layer's Windows side: names in Japanese, the atomic renames, what is refused
// (devices, pipes, folders, read-only files), the hold of a file and the versions of one, the
// per-user folders and the random source.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "data/platform.h"
#include "support/test_support.h"

namespace momiru {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

std::string readAll(const fs::path& file) {
  InputFile in(file);
  std::string out;
  if (in.status() != InputFile::Status::Open) return out;
  for (int c; (c = in.sbumpc()) != std::char_traits<char>::eof();) out += static_cast<char>(c);
  return out;
}

TEST(WindowsPlatform, JapaneseNamesRoundTripThroughEveryCall) {
  ScratchDir dir;
  const std::string name = "もぐら丸のセーブ①.dat";
  const fs::path file = dir.path() / utf8ToPath(name);
  EXPECT_EQ(pathToUtf8(utf8ToPath(name)), name);
  {
    AtomicFile out(file);
    ASSERT_TRUE(out.created());
    ASSERT_TRUE(out.commit("一"));
  }
  EXPECT_EQ(readAll(file), "一");
  // The folder lists the name as it was given, and nothing was left beside it.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    names.push_back(pathToUtf8(entry.path().filename()));
  EXPECT_THAT(names, ::testing::ElementsAre(name));
  const std::optional<FileStatus> st = fileStatus(file);
  ASSERT_TRUE(st);
  EXPECT_EQ(st->kind, FileKind::Regular);
  EXPECT_EQ(st->size, 3u);
  // A replacement keeps the name and replaces the bytes whole.
  AtomicFile again(file);
  ASSERT_TRUE(again.commit("二つ"));
  EXPECT_EQ(readAll(file), "二つ");
}

TEST(WindowsPlatform, RenamesReplaceOrRefuseInOneStep) {
  ScratchDir dir;
  const fs::path a = dir / "a", b = dir / "b";
  testing::writeFile(a, "new");
  testing::writeFile(b, "old");
  errno = 0;
  EXPECT_FALSE(renameIfAbsent(a, b));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(testing::readFile(a), "new") << "the source stays when the name is taken";
  EXPECT_EQ(testing::readFile(b), "old");
  EXPECT_TRUE(renameOver(a, b));
  EXPECT_EQ(testing::readFile(b), "new");
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(renameIfAbsent(b, dir / "c"));

  errno = 0;
  EXPECT_FALSE(createNewFile(dir / "c", 0666).isOpen());
  EXPECT_EQ(errno, EEXIST);
  OpenFile made = createNewFile(dir / "d", 0666);
  ASSERT_TRUE(made.isOpen());
  EXPECT_TRUE(made.write("xyz"));
  EXPECT_TRUE(made.flushToDisk());
  EXPECT_TRUE(made.close());
  EXPECT_EQ(testing::readFile(dir / "d"), "xyz");

  std::string pattern = pathToUtf8(dir / "u-XXXXXX");
  OpenFile unique = createUniqueFile(pattern);
  ASSERT_TRUE(unique.isOpen());
  EXPECT_EQ(pattern.find("XXXXXX"), std::string::npos);
  EXPECT_TRUE(fs::exists(utf8ToPath(pattern)));
}

TEST(WindowsPlatform, DevicesPipesAndFoldersAreNeverRead) {
  ScratchDir dir;
  // (CON is left out: under Wine, opening it starts a console host that outlives the test.)
  for (const char* device : {"NUL", "\\\\.\\NUL", "\\\\.\\PhysicalDrive0"}) {
    InputFile in(device);
    EXPECT_NE(in.status(), InputFile::Status::Open) << device;
    EXPECT_FALSE(openRegularFileNoFollow(device).isOpen()) << device;
  }
  EXPECT_EQ(InputFile("NUL").status(), InputFile::Status::NotRegular);
  // A pipe with a server that never writes: opening it must not wait for one.
  const std::wstring pipeName =
      L"\\\\.\\pipe\\momiru-test-" + std::to_wstring(::GetCurrentProcessId());
  HANDLE server = ::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1,
                                     4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  {
    InputFile in{fs::path(pipeName)};
    EXPECT_EQ(in.status(), InputFile::Status::NotRegular);
  }
  ::CloseHandle(server);

  InputFile folder(dir.path());
  EXPECT_EQ(folder.status(), InputFile::Status::Folder);
  EXPECT_FALSE(openRegularFileNoFollow(dir.path()).isOpen());
  InputFile missing(dir / "missing");
  EXPECT_EQ(missing.status(), InputFile::Status::CannotOpen);
  errno = 0;
  EXPECT_FALSE(fileStatus(dir / "missing"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(removeFile(dir.path())) << "a folder is never removed as a file";
}

TEST(WindowsPlatform, ReadOnlyFilesAreLeftAlone) {
  ScratchDir dir;
  const fs::path file = dir / "kept.sei";
  testing::writeFile(file, "mine");
  ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(mayWrite(file));
  const std::optional<FileStatus> st = fileStatus(file);
  ASSERT_TRUE(st);
  EXPECT_EQ(st->permissions & 0222, 0u);
  {
    AtomicFile out(file);
    EXPECT_FALSE(out.created());
  }
  EXPECT_EQ(testing::readFile(file), "mine");
  ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(mayWrite(file));
  EXPECT_TRUE(mayWrite(dir.path())) << "a folder is writable when a file can be made in it";
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "the probe of a folder leaves nothing behind";
}

TEST(WindowsPlatform, PositionedReadsLeaveThePosition) {
  ScratchDir dir;
  testing::writeFile(dir / "f", "abcdef");
  OpenFile f = openRegularFileNoFollow(dir / "f");
  ASSERT_TRUE(f.isOpen());
  char two[2];
  ASSERT_EQ(f.readSome(two, 2), 2u);
  char at[3];
  ASSERT_TRUE(f.readAt(3, at, 3));
  EXPECT_EQ(std::string(at, 3), "def");
  EXPECT_FALSE(f.readAt(5, at, 3)) << "fewer bytes than asked for";
  ASSERT_EQ(f.readSome(two, 2), 2u);
  EXPECT_EQ(std::string(two, 2), "cd");
}

TEST(WindowsPlatform, AFileHasOneHolderAtATimeAndItsLockFileGoesWithIt) {
  ScratchDir dir;
  const fs::path file = dir.path() / utf8ToPath("杯.momiru-tournament");
  const fs::path lock = dir.path() / utf8ToPath("杯.momiru-tournament.lock");
  FileHold::Outcome outcome = FileHold::Outcome::Failed;
  FileHold first = FileHold::take(file, &outcome);
  ASSERT_TRUE(first.held());
  EXPECT_EQ(outcome, FileHold::Outcome::Held);
  EXPECT_EQ(first.lockFile(), lock);
  EXPECT_TRUE(fs::is_regular_file(lock));
  EXPECT_FALSE(fs::exists(file)) << "the file itself is not made";

  // A second taker is refused at once; the file held is still read and replaced by others.
  EXPECT_FALSE(FileHold::take(file, &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::HeldElsewhere);
  EXPECT_TRUE(fs::exists(lock)) << "a refused taker leaves the holder's lock file";
  {
    AtomicFile out(file);
    ASSERT_TRUE(out.commit("kept"));
  }
  EXPECT_EQ(readAll(file), "kept");

  FileHold moved = std::move(first);
  EXPECT_FALSE(first.held());
  EXPECT_FALSE(FileHold::take(file, &outcome).held());
  moved.release();
  EXPECT_FALSE(fs::exists(lock)) << "released, the lock file goes";
  FileHold again = FileHold::take(file, &outcome);
  EXPECT_TRUE(again.held());
  EXPECT_EQ(outcome, FileHold::Outcome::Held);
  again = FileHold();
  EXPECT_FALSE(fs::exists(lock));

  // A lock file left behind (a holder that crashed) is taken over; one held through a handle
  // of its own, as another process would, is not.
  std::ofstream(lock) << "left";
  FileHold taken = FileHold::take(file, &outcome);
  EXPECT_TRUE(taken.held());
  taken.release();
  HANDLE stranger = ::CreateFileW(lock.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(stranger, INVALID_HANDLE_VALUE);
  OVERLAPPED whole{};
  ASSERT_TRUE(::LockFileEx(stranger, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                           MAXDWORD, MAXDWORD, &whole));
  EXPECT_FALSE(FileHold::take(file, &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::HeldElsewhere);
  ::CloseHandle(stranger);  // closing lets the lock go
  EXPECT_TRUE(FileHold::take(file, &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::Held);
}

// The holder of the next case, run as a process of its own: it takes the hold of the file that
// MOMIRU_HOLD_FILE names, says so by making MOMIRU_HOLD_FILE with ".ready" added, and waits to be
// killed. Skipped in an ordinary run.
TEST(WindowsPlatform, HolderInAnotherProcess) {
  const wchar_t* file = ::_wgetenv(L"MOMIRU_HOLD_FILE");
  if (file == nullptr || file[0] == L'\0') GTEST_SKIP() << "run only by the next case";
  FileHold hold = FileHold::take(fs::path(file), nullptr);
  if (!hold.held()) std::_Exit(3);
  std::ofstream(fs::path(std::wstring(file) + L".ready")) << "held";
  ::Sleep(INFINITE);  // killed here, never releasing
}

// The lock is the system's: a holder in another process keeps it until that process is killed,
// and then it is free at once, its lock file left behind and taken over.
TEST(WindowsPlatform, AHoldEndsWithItsProcessHoweverItEnds) {
  ScratchDir dir;
  const fs::path file = dir.path() / utf8ToPath("杯.momiru-tournament");
  ASSERT_EQ(::_wputenv_s(L"MOMIRU_HOLD_FILE", file.c_str()), 0);
  std::wstring command = L"\"" + (programDirectory() / "data_tests.exe").native() +
                         L"\" --gtest_filter=WindowsPlatform.HolderInAnotherProcess";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &child);
  ::_wputenv_s(L"MOMIRU_HOLD_FILE", L"");
  ASSERT_TRUE(started);
  fs::path ready = file;
  ready += ".ready";
  for (int waited = 0; waited < 600 && !fs::exists(ready); ++waited) {
    if (::WaitForSingleObject(child.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  ASSERT_TRUE(fs::exists(ready)) << "the holder did not take the hold";
  FileHold::Outcome outcome = FileHold::Outcome::Failed;
  EXPECT_FALSE(FileHold::take(file, &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::HeldElsewhere);
  ::TerminateProcess(child.hProcess, 9);
  EXPECT_EQ(::WaitForSingleObject(child.hProcess, 30000), WAIT_OBJECT_0);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
  EXPECT_TRUE(fs::exists(lockFileOf(file))) << "a killed holder removes nothing";
  EXPECT_TRUE(FileHold::take(file, &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::Held);
}

// What stands in the lock file's place is never followed, waited on or removed.
TEST(WindowsPlatform, AHoldIsRefusedWhereNoLockFileCanBe) {
  ScratchDir dir;
  FileHold::Outcome outcome = FileHold::Outcome::Held;
  fs::create_directory(dir / "folder.lock");
  EXPECT_FALSE(FileHold::take(dir / "folder", &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::NotAFile);
  EXPECT_TRUE(fs::is_directory(dir / "folder.lock")) << "the folder is left";

  // A pipe whose server never writes: taking it must not wait, and it is not a file.
  const std::wstring pipe = L"\\\\.\\pipe\\momiru-hold-" + std::to_wstring(::GetCurrentProcessId());
  HANDLE server = ::CreateNamedPipeW((pipe + L".lock").c_str(), PIPE_ACCESS_OUTBOUND,
                                     PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FileHold::take(fs::path(pipe), &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::NotAFile);
  ::CloseHandle(server);

  testing::writeFile(dir / "plain", "x");
  errno = 0;
  EXPECT_FALSE(FileHold::take(dir / "plain" / "t", &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::Failed);
  EXPECT_NE(errno, 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(WindowsPlatform, AFileReplacedOrWrittenInPlaceHasAnotherIdentity) {
  ScratchDir dir;
  const fs::path file = dir.path() / utf8ToPath("記録");
  testing::writeFile(file, "one");
  const std::optional<FileIdentity> first = fileIdentity(file);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->size, 3u);
  EXPECT_EQ(fileIdentity(file), first);
  std::ofstream(file, std::ios::app | std::ios::binary) << "two";
  EXPECT_NE(fileIdentity(file), first);
  const std::optional<FileIdentity> grown = fileIdentity(file);
  ASSERT_TRUE(grown);
  EXPECT_EQ(grown->size, 6u);
  {
    AtomicFile replaced(file);
    ASSERT_TRUE(replaced.commit("onetwo"));
  }
  const std::optional<FileIdentity> renamed = fileIdentity(file);
  ASSERT_TRUE(renamed);
  EXPECT_NE(renamed->number, grown->number) << "a rename makes another file";
  EXPECT_EQ(renamed->device, grown->device);
  errno = 0;
  EXPECT_FALSE(fileIdentity(dir / "missing"));
  EXPECT_EQ(errno, ENOENT);

  // A replace told no at the last moment leaves the target and no temporary file.
  {
    AtomicFile out(file);
    ASSERT_TRUE(out.created());
    EXPECT_FALSE(out.commitIf("mine", [] { return false; }));
    EXPECT_EQ(errno, 0);
  }
  EXPECT_EQ(readAll(file), "onetwo");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  AtomicFile out(file);
  EXPECT_TRUE(out.commitIf("mine", [] { return true; }));
  EXPECT_EQ(readAll(file), "mine");
}

TEST(WindowsPlatform, FoldersAndRandomBytes) {
  ScratchDir dir;
  const std::string appData = pathToUtf8(dir / "ローミング");
  ASSERT_EQ(::_wputenv_s(L"APPDATA", utf8ToPath(appData).c_str()), 0);
  EXPECT_EQ(pathToUtf8(userDataDirectory()), pathToUtf8(utf8ToPath(appData) / "momiru-battle"));
  EXPECT_EQ(userConfigDirectory(), userDataDirectory());
  fs::create_directories(utf8ToPath(appData));
  Refusal why;
  const auto own = privateDirectory(userDataDirectory(), &why);
  EXPECT_TRUE(own) << describe(why);
  const auto temp = makePrivateTemporaryFolder("momiru-test-");
  ASSERT_TRUE(temp);
  EXPECT_TRUE(fs::is_directory(*temp));
  fs::remove(*temp);

  const auto a = systemRandomBytes(32), b = systemRandomBytes(32);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->size(), 32u);
  EXPECT_NE(*a, *b);
  EXPECT_EQ(soundModuleFileName(), fs::path("momiru-sound.dll"));
  EXPECT_TRUE(fs::is_regular_file(programDirectory() / "data_tests.exe"));
}

}  // namespace
}  // namespace momiru
