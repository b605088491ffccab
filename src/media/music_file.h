// A music or sound file as the players see it: a stamp that tells a changed file from the one
// already loaded, and its bytes, read whole.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace momiru::media {

// A file's name with its size and time of last change. Replacing the file changes the stamp, so
// whatever was made from the old version (a loaded piece, a rendering, a refusal) is not reused.
struct FileStamp {
  std::string name;  // UTF-8, as the player was given it
  std::uintmax_t size = 0;
  std::filesystem::file_time_type modified{};

  bool operator==(const FileStamp&) const = default;
  bool operator<(const FileStamp& other) const {
    return std::tie(name, size, modified) < std::tie(other.name, other.size, other.modified);
  }
};

// The stamp of `fileName` (UTF-8) as it is now; nothing when the file cannot be examined.
std::optional<FileStamp> stampFile(const std::string& fileName);

// The whole file when it is a regular file of a size ours can have; empty otherwise (missing,
// empty, a folder or a device, too large), so a FIFO or a huge file never holds up a player.
std::vector<std::uint8_t> readSmallFile(const std::filesystem::path& path);

// True when `bytes` start like a Standard MIDI File.
bool looksLikeMidi(std::span<const std::uint8_t> bytes);

}  // namespace momiru::media
