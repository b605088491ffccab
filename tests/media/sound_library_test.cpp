// Loading the sound library: the module the game loads hands out its entry, and anything else in
// its place is refused without a wait.
#include "media/sound_library.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "data/platform.h"

namespace momiru::media {
namespace {

namespace fs = std::filesystem;

TEST(SoundLibraryFile, TheBuiltModuleHandsOutItsDeviceAndMusic) {
  const void* entry = loadLibraryEntry(MOMIRU_SOUND_MODULE, kSoundLibraryEntry);
  ASSERT_NE(entry, nullptr);
  const auto* library = static_cast<const SoundLibrary*>(entry);
  EXPECT_NE(library->makeDevice, nullptr);
  EXPECT_NE(library->prepareMusic, nullptr);
  EXPECT_NE(library->musicPrepared, nullptr);
  EXPECT_EQ(loadLibraryEntry(MOMIRU_SOUND_MODULE, "no_such_entry"), nullptr);
}

TEST(SoundLibraryFile, AnythingElseInItsPlaceIsRefusedAtOnce) {
  const fs::path dir = fs::temp_directory_path() / ("momiru-module-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path text = dir / "text.so";
  std::ofstream(text) << "not a library\n";
  const fs::path fifo = dir / "fifo.so";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path folder = dir / "folder.so";
  fs::create_directories(folder);
  for (const fs::path& file : {dir / "missing.so", text, fifo, folder})
    EXPECT_EQ(loadLibraryEntry(file, kSoundLibraryEntry), nullptr) << file;
  fs::remove_all(dir);
}

TEST(SoundLibraryFile, TheProgramsOwnFolderIsSearchedFirst) {
  const auto dirs = libraryDirectories();
  ASSERT_FALSE(dirs.empty());
  EXPECT_EQ(dirs.front(), programDirectory());
  EXPECT_TRUE(fs::is_regular_file(dirs.front() / kSoundLibraryFile))
      << "the build tree runs like an install, the module beside the programs";
}

}  // namespace
}  // namespace momiru::media
