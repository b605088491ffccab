// The music cache: a rendering is used only under its own key and only when whole, one file is
// kept per music file, and nothing hostile in the cache folder is followed, waited on or lets a
// torn file through. (The players' use of it is in the SDL players' test.)
#include "media/music_cache.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace momiru::media {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;

class MusicCacheFiles : public ::testing::Test {
 protected:
  MusicCacheFiles() {
    dir_ = fs::temp_directory_path() / ("momiru-cache-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ::setenv("XDG_CACHE_HOME", dir_.c_str(), 1);
  }
  ~MusicCacheFiles() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Writes a rendering of `frames` frames of a rising ramp for "a.mid" under `key`.
  static bool writeRendering(const MusicCache& cache, const std::string& key, std::uint64_t frames,
                             std::size_t stopAfter = SIZE_MAX) {
    CacheWriter out(cache, "a.mid", key, kRate, frames);
    std::vector<std::int16_t> samples(frames * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i);
    const std::size_t written = std::min<std::size_t>(frames, stopAfter);
    return out.write(samples.data(), written) && out.commit();
  }

  static bool found(const MusicCache& cache, const std::string& key, std::uint64_t frames) {
    return cache.open("a.mid", key, kRate, frames).isOpen();
  }

  std::vector<std::string> filesIn(const fs::path& dir) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
      names.push_back(entry.path().filename().string());
    return names;
  }

  fs::path dir_;
};

TEST_F(MusicCacheFiles, ARenderingIsFoundOnlyUnderItsKeyAndOnlyTheNewestIsKept) {
  const MusicCache cache(dir_ / "cache");
  EXPECT_FALSE(found(cache, "one", 1000)) << "an empty cache misses";
  ASSERT_TRUE(writeRendering(cache, "one", 1000));
  EXPECT_TRUE(found(cache, "one", 1000));
  EXPECT_FALSE(found(cache, "two", 1000)) << "stale key";
  EXPECT_FALSE(found(cache, "one", 999)) << "another length";
  EXPECT_FALSE(cache.open("a.mid", "one", 48000, 1000).isOpen()) << "another rate";
  EXPECT_FALSE(cache.open("b.mid", "one", kRate, 1000).isOpen()) << "another music file";

  ASSERT_TRUE(writeRendering(cache, "two", 1000));
  EXPECT_TRUE(found(cache, "two", 1000));
  EXPECT_FALSE(found(cache, "one", 1000));
  EXPECT_EQ(filesIn(dir_ / "cache").size(), 1u) << "one file per music file, no leftovers";
}

TEST_F(MusicCacheFiles, TornOrDamagedFilesAreMissesAndAnUnfinishedOneIsNeverInstalled) {
  const MusicCache cache(dir_ / "cache");
  const fs::path file = cache.fileFor("a.mid");
  ASSERT_TRUE(writeRendering(cache, "key", 1000));
  const auto size = fs::file_size(file);

  fs::resize_file(file, size - 1);
  EXPECT_FALSE(found(cache, "key", 1000)) << "truncated";
  fs::resize_file(file, size + 1);
  EXPECT_FALSE(found(cache, "key", 1000)) << "longer than its header says";
  fs::resize_file(file, size);
  EXPECT_TRUE(found(cache, "key", 1000)) << "the samples were kept";
  {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(40);
    f.put('?');  // inside the key
  }
  EXPECT_FALSE(found(cache, "key", 1000)) << "damaged header";

  fs::remove(file);
  EXPECT_FALSE(writeRendering(cache, "key", 1000, 500)) << "half the frames";
  EXPECT_TRUE(filesIn(dir_ / "cache").empty()) << "nothing left behind";

  // What a killed game left half-written goes with the next rendering of the file; what another
  // game is writing right now stays.
  const fs::path abandoned = file.string() + ".Ab12Cd";
  const fs::path beingWritten = file.string() + ".Ef34Gh";
  std::ofstream(abandoned) << "RIFF";
  std::ofstream(beingWritten) << "RIFF";
  fs::last_write_time(abandoned, fs::last_write_time(abandoned) - std::chrono::hours(1));
  ASSERT_TRUE(writeRendering(cache, "key", 1000));
  EXPECT_FALSE(fs::exists(abandoned));
  EXPECT_TRUE(fs::exists(beingWritten));
}

TEST_F(MusicCacheFiles, HostileEntriesAreNeitherFollowedNorWaitedOnAndAreReplaced) {
  const MusicCache cache(dir_ / "cache");
  const fs::path file = cache.fileFor("a.mid");
  fs::create_directories(cache.directory());

  // A FIFO would block a reader forever; it must be a quick miss.
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  const auto start = Clock::now();
  EXPECT_FALSE(found(cache, "key", 1000));
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.0);
  ASSERT_TRUE(writeRendering(cache, "key", 1000));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));

  // A link to a good rendering elsewhere is not followed, and writing replaces the link, not
  // what it points to.
  const fs::path elsewhere = dir_ / "elsewhere.wav";
  fs::rename(file, elsewhere);
  fs::create_symlink(elsewhere, file);
  EXPECT_FALSE(found(cache, "key", 1000));
  const auto before = fs::file_size(elsewhere);
  ASSERT_TRUE(writeRendering(cache, "other", 1000));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
  EXPECT_EQ(fs::file_size(elsewhere), before);
  EXPECT_TRUE(found(MusicCache(cache.directory()), "other", 1000));
}

TEST_F(MusicCacheFiles, AFolderThatCannotBeWrittenOrAFullDiskLeavesNoFile) {
  // A cache folder inside a regular file can be made by no one, not even the superuser.
  std::ofstream(dir_ / "plain file") << "x";
  EXPECT_FALSE(writeRendering(MusicCache(dir_ / "plain file" / "cache"), "key", 1000));
  EXPECT_FALSE(writeRendering(MusicCache({}), "key", 1000)) << "no cache folder at all";

  // The disk fills up part-way: a file-size limit fails the writes as a full disk would.
  const MusicCache cache(dir_ / "cache");
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = writeRendering(cache, "key", 100000);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_TRUE(filesIn(cache.directory()).empty()) << "the partial file was removed";
}

TEST_F(MusicCacheFiles, TheKeyNamesTheMidiContentTheSoundFontAndTheFormat) {
  std::vector<std::uint8_t> midi{'M', 'T', 'h', 'd', 1, 2, 3};
  const fs::path font = dir_ / "font.sf2";
  std::ofstream(font) << "sf";
  const RenderRecipe recipe{midi, font.string(), kRate, 0.3f, 1000};
  const std::string key = renderKey(recipe);
  EXPECT_EQ(renderKey(recipe), key);

  midi[6] = 4;  // same size, other content
  EXPECT_NE(renderKey(recipe), key);
  midi[6] = 3;
  RenderRecipe other = recipe;
  other.gain = 0.25f;
  EXPECT_NE(renderKey(other), key);
  other = recipe;
  other.frames = 1001;
  EXPECT_NE(renderKey(other), key);
  fs::last_write_time(font, fs::last_write_time(font) - std::chrono::hours(1));
  EXPECT_NE(renderKey(recipe), key) << "another SoundFont, or the same one changed";
}

TEST_F(MusicCacheFiles, TheFolderFollowsTheUsersCacheSettingAndIgnoresARelativeOne) {
  const char* home = std::getenv("HOME");
  const std::string savedHome = home != nullptr ? home : "";
  ::setenv("XDG_CACHE_HOME", "/somewhere", 1);
  EXPECT_EQ(MusicCache::defaultDirectory(), fs::path("/somewhere/momiru-battle"));
  ::setenv("XDG_CACHE_HOME", "relative", 1);
  ::setenv("HOME", "/home/player", 1);
  EXPECT_EQ(MusicCache::defaultDirectory(), fs::path("/home/player/.cache/momiru-battle"));
  ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace momiru::media
