// The platform layer: the memory set-up, and the guarantees of its calls that callers rely on
// (a new file never takes an existing name or follows a link, a status never follows a link,
// the random source fills what is asked, the calendar agrees with known instants).
#include "data/platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

}  // namespace
}  // namespace momiru
