// The platform layer: the memory set-up, and the guarantees of its calls that callers rely on
// (a new file never takes an existing name or follows a link, a status never follows a link,
// the random source fills what is asked, the calendar agrees with known instants, one holder of a
// file at a time, across processes, and never after its holder died).
#include "data/platform.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "support/test_support.h"

namespace momiru {
namespace {

namespace fs = std::filesystem;

// A block the size of a SoundFont's samples, freed and allocated again, stays a mapping of its
// own, so that its pages go back to the system when it is freed. Without the set-up the C library
// serves the second one from its heap, which keeps the pages.
TEST(Platform, LargeBlocksAreGivenBackWhenFreed) {
#if defined(__SANITIZE_ADDRESS__) || !defined(__GLIBC__)
  GTEST_SKIP() << "the C library's own allocator is not in use";
#else
  returnLargeBlocksWhenFreed();
  constexpr std::size_t kSize = std::size_t{6} << 20;
  for (int round = 0; round < 3; ++round) {
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    char* block = static_cast<char*>(std::malloc(kSize));
    ASSERT_NE(block, nullptr);
    asm volatile("" : : "r"(block) : "memory");  // the block is used, not optimised away
    EXPECT_GE(mallinfo2().hblkhd, mappedBefore + kSize) << "round " << round;
    std::free(block);
    EXPECT_EQ(mallinfo2().hblkhd, mappedBefore) << "round " << round;
  }
#endif
}

TEST(Platform, ANewFileNeverTakesAnExistingNameNorFollowsALink) {
  const testing::ScratchDir dir;
  const fs::path file = dir / "secret";
  OpenFile made = createNewFile(file, 0600);
  ASSERT_TRUE(made.isOpen());
  EXPECT_TRUE(made.write("abc") && made.flushToDisk() && made.close());
  EXPECT_EQ(fileStatus(file)->permissions, 0600u);
  EXPECT_EQ(fileStatus(file)->size, 3u);

  errno = 0;
  EXPECT_FALSE(createNewFile(file, 0600).isOpen()) << "an existing file";
  EXPECT_EQ(errno, EEXIST);
  const fs::path link = dir / "link";
  fs::create_symlink(dir / "elsewhere", link);
  errno = 0;
  EXPECT_FALSE(createNewFile(link, 0600).isOpen()) << "a link to nothing";
  EXPECT_EQ(errno, EEXIST);
  EXPECT_FALSE(fs::exists(dir / "elsewhere")) << "the link was not followed";

  // Taking a name only while it is free: a taken one is left to its owner.
  const fs::path other = dir / "other";
  std::ofstream(other) << "other";
  errno = 0;
  EXPECT_FALSE(renameIfAbsent(other, file));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(fileStatus(file)->size, 3u);
  EXPECT_TRUE(fs::exists(other));
  EXPECT_TRUE(renameIfAbsent(other, dir / "free"));
  EXPECT_FALSE(fs::exists(other));
}

TEST(Platform, FileStatusTellsALinkAsOneAndTargetStatusFollowsIt) {
  const testing::ScratchDir dir;
  const fs::path file = dir / "file";
  std::ofstream(file) << "12345";
  fs::create_symlink(file, dir / "link");
  fs::create_symlink(dir / "missing", dir / "dangling");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);

  EXPECT_EQ(fileStatus(dir / "link")->kind, FileKind::SymbolicLink);
  EXPECT_EQ(targetStatus(dir / "link")->kind, FileKind::Regular);
  EXPECT_EQ(targetStatus(dir / "link")->size, 5u);
  EXPECT_TRUE(fileStatus(file)->ownedByThisUser);
  EXPECT_EQ(fileStatus(dir.path())->kind, FileKind::Folder);
  EXPECT_EQ(fileStatus(dir / "fifo")->kind, FileKind::Other);
  EXPECT_EQ(fileStatus(dir / "dangling")->kind, FileKind::SymbolicLink);
  errno = 0;
  EXPECT_FALSE(targetStatus(dir / "dangling"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(fileStatus(dir / "missing"));

  // Reading never follows a link nor waits on a FIFO.
  EXPECT_FALSE(openRegularFileNoFollow(dir / "link").isOpen());
  EXPECT_FALSE(openRegularFileNoFollow(dir / "fifo").isOpen());
  char head[2] = {};
  EXPECT_TRUE(openRegularFileNoFollow(file).readAt(3, head, 2));
  EXPECT_EQ(std::string(head, 2), "45");
}

TEST(Platform, TheRandomSourceFillsWhatIsAsked) {
  const auto a = systemRandomBytes(32);
  const auto b = systemRandomBytes(32);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->size(), 32u);
  EXPECT_NE(*a, *b);
  const auto large = systemRandomBytes(std::size_t{1} << 20);  // more than one call gives
  ASSERT_TRUE(large);
  ASSERT_EQ(large->size(), std::size_t{1} << 20);
  EXPECT_NE(large->substr(large->size() - 64), std::string(64, '\0'));
  EXPECT_EQ(systemRandomBytes(0), std::string());
}

TEST(Platform, TheCalendarAgreesWithKnownInstants) {
  const auto at = [](std::int64_t seconds) {
    return std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
  };
  const auto text = [](const std::optional<std::tm>& t) {
    char buf[32] = "none";
    if (t) std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &*t);
    return std::string(buf);
  };
  EXPECT_EQ(text(utcCalendarTime(at(0))), "1970-01-01 00:00:00");
  EXPECT_EQ(text(utcCalendarTime(at(951782400))), "2000-02-29 00:00:00");

  const char* zone = std::getenv("TZ");
  const std::optional<std::string> saved = zone ? std::optional<std::string>(zone) : std::nullopt;
  ::setenv("TZ", "JST-9", 1);
  ::tzset();
  EXPECT_EQ(text(localCalendarTime(at(0))), "1970-01-01 09:00:00");
  EXPECT_EQ(text(localCalendarTime(at(951782400 - 9 * 3600))), "2000-02-29 00:00:00");
  if (saved) {
    ::setenv("TZ", saved->c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

// A private temporary folder is this user's only; a system that names no temporary folder gives
// none, never an abort.
TEST(Platform, APrivateTemporaryFolderIsMadeOrRefused) {
  const testing::ScratchDir dir;
  const char* old = std::getenv("TMPDIR");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("TMPDIR", dir.path().c_str(), 1);
  const auto made = makePrivateTemporaryFolder("momiru-test-");
  ASSERT_TRUE(made);
  EXPECT_EQ(made->parent_path(), dir.path());
  EXPECT_EQ(made->filename().string().size(), std::string("momiru-test-").size() + 6);
  EXPECT_EQ(fileStatus(*made)->kind, FileKind::Folder);
  EXPECT_EQ(fileStatus(*made)->permissions, 0700u);
  std::ofstream(dir / "plain") << "x";
  ::setenv("TMPDIR", (dir / "plain").c_str(), 1);
  EXPECT_FALSE(makePrivateTemporaryFolder("momiru-test-")) << "a file named as the folder";
  ::setenv("TMPDIR", (dir / "missing").c_str(), 1);
  EXPECT_FALSE(makePrivateTemporaryFolder("momiru-test-")) << "a folder that is not there";
  if (saved) {
    ::setenv("TMPDIR", saved->c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

TEST(Platform, AFileHasOneHolderAtATimeAndItsLockFileGoesWithIt) {
  const testing::ScratchDir dir;
  const fs::path file = dir / "t.momiru-tournament";
  FileHold::Outcome outcome = FileHold::Outcome::Failed;
  FileHold first = FileHold::take(file, &outcome);
  ASSERT_TRUE(first.held());
  EXPECT_EQ(outcome, FileHold::Outcome::Held);
  EXPECT_EQ(first.lockFile(), dir / "t.momiru-tournament.lock");
  EXPECT_TRUE(fs::is_regular_file(first.lockFile()));
  EXPECT_FALSE(fs::exists(file)) << "the file itself is not made";

  // A second taker in the same process is refused at once, as one in another would be.
  EXPECT_FALSE(FileHold::take(file, &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::HeldElsewhere);
  EXPECT_TRUE(fs::exists(first.lockFile())) << "a refused taker leaves the holder's lock file";

  // Moved, the hold goes with the value; released, the lock file goes.
  FileHold moved = std::move(first);
  EXPECT_FALSE(first.held());
  EXPECT_TRUE(moved.held());
  EXPECT_FALSE(FileHold::take(file, &outcome).held());
  moved.release();
  EXPECT_FALSE(fs::exists(dir / "t.momiru-tournament.lock"));
  FileHold again = FileHold::take(file, &outcome);
  EXPECT_TRUE(again.held());
  again = FileHold();
  EXPECT_FALSE(fs::exists(dir / "t.momiru-tournament.lock"));

  // A lock file left behind (a holder that crashed) is taken over.
  std::ofstream(dir / "t.momiru-tournament.lock") << "left";
  EXPECT_TRUE(FileHold::take(file, &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::Held);
}

// The lock is the system's: a holder in another process keeps it until that process dies in
// any way, and then it is free at once.
TEST(Platform, AHoldEndsWithItsProcessHoweverItEnds) {
  const testing::ScratchDir dir;
  const fs::path file = dir / "t.momiru-tournament";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FileHold hold = FileHold::take(file, nullptr);
    const char said = hold.held() ? 'y' : 'n';
    if (::write(ready[1], &said, 1) != 1) ::_exit(1);
    ::pause();  // killed here, never releasing
    ::_exit(0);
  }
  ::close(ready[1]);
  char said = 0;
  ASSERT_EQ(::read(ready[0], &said, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(said, 'y');
  FileHold::Outcome outcome = FileHold::Outcome::Failed;
  EXPECT_FALSE(FileHold::take(file, &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::HeldElsewhere);
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(fs::exists(lockFileOf(file))) << "a killed holder removes nothing";
  EXPECT_TRUE(FileHold::take(file, &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::Held);
}

// What stands in the lock file's place is never followed, waited on or removed.
TEST(Platform, AHoldIsRefusedWhereNoLockFileCanBe) {
  const testing::ScratchDir dir;
  FileHold::Outcome outcome = FileHold::Outcome::Held;
  ASSERT_EQ(::mkfifo((dir / "fifo.lock").c_str(), 0600), 0);
  EXPECT_TRUE(testing::returnsWithoutWriter(
      dir / "fifo.lock", [&] { return FileHold::take(dir / "fifo", &outcome).held(); }));
  EXPECT_EQ(outcome, FileHold::Outcome::NotAFile);
  fs::create_directory(dir / "folder.lock");
  EXPECT_FALSE(FileHold::take(dir / "folder", &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::NotAFile);
  fs::create_symlink(dir / "elsewhere", dir / "link.lock");
  EXPECT_FALSE(FileHold::take(dir / "link", &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::NotAFile);
  EXPECT_FALSE(fs::exists(dir / "elsewhere")) << "the link was not followed";
  for (const char* name : {"fifo.lock", "folder.lock", "link.lock"})
    EXPECT_TRUE(fs::exists(fs::symlink_status(dir / name))) << name;

  std::ofstream(dir / "plain") << "x";
  errno = 0;
  EXPECT_FALSE(FileHold::take(dir / "plain" / "t", &outcome).held());
  EXPECT_EQ(outcome, FileHold::Outcome::Failed);
  EXPECT_EQ(errno, ENOTDIR);
  if (::geteuid() != 0) {  // a folder's write bit binds all but root
    fs::create_directory(dir / "locked");
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0500), 0);
    errno = 0;
    EXPECT_FALSE(FileHold::take(dir / "locked" / "t", &outcome).held());
    EXPECT_EQ(outcome, FileHold::Outcome::Failed);
    EXPECT_EQ(errno, EACCES);
    ::chmod((dir / "locked").c_str(), 0700);
  }
}

TEST(Platform, AFileReplacedOrWrittenInPlaceHasAnotherIdentity) {
  const testing::ScratchDir dir;
  const fs::path file = dir / "file";
  std::ofstream(file) << "one";
  const std::optional<FileIdentity> first = fileIdentity(file);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->size, 3u);
  EXPECT_EQ(fileIdentity(file), first);
  std::ofstream(file, std::ios::app) << "two";
  EXPECT_NE(fileIdentity(file), first);
  const std::optional<FileIdentity> grown = fileIdentity(file);
  AtomicFile replaced(file);
  ASSERT_TRUE(replaced.commit("onetwo"));
  ASSERT_TRUE(fileIdentity(file));
  EXPECT_NE(fileIdentity(file)->number, grown->number) << "a rename makes another file";
  errno = 0;
  EXPECT_FALSE(fileIdentity(dir / "missing"));
  EXPECT_EQ(errno, ENOENT);
}

// A replace that is told no at the last moment leaves the target and no temporary file.
TEST(Platform, AConditionalReplaceToldNoLeavesEverythingAsItWas) {
  const testing::ScratchDir dir;
  const fs::path file = dir / "file";
  std::ofstream(file) << "theirs";
  bool asked = false;
  {
    AtomicFile out(file);
    ASSERT_TRUE(out.created());
    EXPECT_FALSE(out.commitIf("mine", [&] {
      asked = true;
      // The new file is whole on the disk by now, beside the target.
      EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
      return false;
    }));
    EXPECT_EQ(errno, 0);
  }
  EXPECT_TRUE(asked);
  EXPECT_EQ(testing::readFile(file), "theirs");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
  AtomicFile out(file);
  EXPECT_TRUE(out.commitIf("mine", [] { return true; }));
  EXPECT_EQ(testing::readFile(file), "mine");
}

}  // namespace
}  // namespace momiru
