// Stamps and whole-file reads for the players.
#include "media/music_file.h"

#include <fstream>
#include <system_error>

#include "data/platform.h"

namespace momiru::media {

namespace fs = std::filesystem;

namespace {
constexpr std::uintmax_t kLargestFile = 16u << 20;  // nothing of ours comes near this
}  // namespace

std::optional<FileStamp> stampFile(const std::string& fileName) {
  const fs::path path = utf8ToPath(fileName);
  std::error_code ec;
  FileStamp stamp{fileName, fs::file_size(path, ec), {}};
  if (ec) return std::nullopt;
  stamp.modified = fs::last_write_time(path, ec);
  if (ec) return std::nullopt;
  return stamp;
}

std::vector<std::uint8_t> readSmallFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return {};
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size == 0 || size > kLargestFile) return {};
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
    return {};
  return bytes;
}

bool looksLikeMidi(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 4 && bytes[0] == 'M' && bytes[1] == 'T' && bytes[2] == 'h' &&
         bytes[3] == 'd';
}

}  // namespace momiru::media
