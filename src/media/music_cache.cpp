// The cache folder, its file names and keys, and checking and writing its WAV files.
#include "media/music_cache.h"

#if MOMIRU_HAVE_FLUIDSYNTH
#include <fluidsynth.h>
#endif

#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include "data/platform.h"

namespace momiru::media {

namespace fs = std::filesystem;

namespace {

constexpr int kChannels = 2;
constexpr int kBytesPerFrame = kChannels * 2;

// 64-bit FNV-1a: quick over a few kilobytes of MIDI, and with the size beside it a changed file
// is as good as certain to get a different key.
std::uint64_t fnv1a(std::span<const std::uint8_t> bytes) {
  std::uint64_t h = 0xcbf29ce484222325u;
  for (std::uint8_t b : bytes) {
    h ^= b;
    h *= 0x100000001b3u;
  }
  return h;
}

std::string hex(std::uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
  return text;
}

void putTag(std::vector<std::uint8_t>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

void putLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Everything before the samples: RIFF, the format, the key (padded to an even length, as RIFF
// chunks are) and the data chunk's header. Written by the writer and compared byte for byte by
// the reader. Empty when the samples would not fit a WAV file's 32-bit sizes.
std::vector<std::uint8_t> header(const std::string& key, int rate, std::uint64_t frames) {
  const std::uint64_t dataBytes = frames * kBytesPerFrame;
  const std::size_t keyBytes = key.size() + (key.size() & 1);
  const std::uint64_t riffBytes = 4 + (8 + 16) + (8 + keyBytes) + 8 + dataBytes;
  if (riffBytes > 0xffffffffu || rate <= 0) return {};
  std::vector<std::uint8_t> out;
  putTag(out, "RIFF");
  putLe(out, static_cast<std::uint32_t>(riffBytes), 4);
  putTag(out, "WAVE");
  putTag(out, "fmt ");
  putLe(out, 16, 4);
  putLe(out, 1, 2);  // PCM
  putLe(out, kChannels, 2);
  putLe(out, static_cast<std::uint32_t>(rate), 4);
  putLe(out, static_cast<std::uint32_t>(rate) * kBytesPerFrame, 4);
  putLe(out, kBytesPerFrame, 2);
  putLe(out, 16, 2);
  putTag(out, "mkey");
  putLe(out, static_cast<std::uint32_t>(keyBytes), 4);
  out.insert(out.end(), key.begin(), key.end());
  if (key.size() & 1) out.push_back(0);
  putTag(out, "data");
  putLe(out, static_cast<std::uint32_t>(dataBytes), 4);
  return out;
}

// Temporary files of `target` that a killed game left behind. One still being written by another
// instance of the game is younger than this, since a rendering writes every few milliseconds.
void removeAbandonedTemporaries(const fs::path& target) {
  constexpr auto kAbandonedAfter = std::chrono::minutes(10);
  const std::string prefix = target.filename().string() + ".";
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (const auto& entry : fs::directory_iterator(target.parent_path(), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::error_code entryError;
    const auto changed =
        fs::symlink_status(entry.path(), entryError).type() == fs::file_type::regular
            ? fs::last_write_time(entry.path(), entryError)
            : now;
    if (!entryError && now - changed > kAbandonedAfter) fs::remove(entry.path(), entryError);
  }
}

}  // namespace

std::string renderKey(const RenderRecipe& recipe) {
  std::string key = "momiru-battle rendered music 1\n";
  key += "midi " + std::to_string(recipe.midi.size()) + " " + hex(fnv1a(recipe.midi)) + "\n";
  std::error_code ec;
  const auto fontSize = fs::file_size(recipe.soundFont, ec);
  const auto fontTime = fs::last_write_time(recipe.soundFont, ec);
  key += "soundfont " + recipe.soundFont + " " + std::to_string(ec ? 0 : fontSize) + " " +
         std::to_string(ec ? 0 : fontTime.time_since_epoch().count()) + "\n";
#if MOMIRU_HAVE_FLUIDSYNTH
  key += std::string("synthesizer fluidsynth ") + fluid_version_str() + "\n";
#else
  key += "synthesizer none\n";
#endif
  char format[96];
  std::snprintf(format, sizeof format, "format %d Hz 16-bit stereo gain %.6f frames %llu\n",
                recipe.rate, static_cast<double>(recipe.gain),
                static_cast<unsigned long long>(recipe.frames));
  return key + format;
}

fs::path MusicCache::defaultDirectory() { return userCacheDirectory(); }

fs::path MusicCache::fileFor(const std::string& sourceName) const {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(sourceName.data());
  return directory_ / (hex(fnv1a({bytes, sourceName.size()})) + ".wav");
}

OpenFile MusicCache::open(const std::string& sourceName, const std::string& key, int rate,
                          std::uint64_t frames) const {
  if (directory_.empty()) return {};
  const std::vector<std::uint8_t> expected = header(key, rate, frames);
  if (expected.empty()) return {};
  OpenFile file = openRegularFileNoFollow(fileFor(sourceName));
  if (!file) return {};
  const std::optional<FileStatus> st = file.status();
  std::vector<std::uint8_t> found(expected.size());
  const bool whole = st && st->size == expected.size() + frames * kBytesPerFrame &&
                     file.readAt(0, reinterpret_cast<char*>(found.data()), found.size()) &&
                     found == expected;
  if (!whole) return {};
  return file;
}

CacheWriter::CacheWriter(const MusicCache& cache, const std::string& sourceName,
                         const std::string& key, int rate, std::uint64_t frames)
    : framesLeft_(frames) {
  const std::vector<std::uint8_t> head = header(key, rate, frames);
  if (cache.directory().empty() || head.empty()) return;
  std::error_code ec;
  fs::create_directories(cache.directory(), ec);
  target_ = cache.fileFor(sourceName);
  removeAbandonedTemporaries(target_);
  temp_ = target_.string() + ".XXXXXX";
  file_ = createUniqueFile(temp_);
  if (file_.isOpen()) writeBytes(head.data(), head.size());
}

CacheWriter::~CacheWriter() {
  if (file_.isOpen()) {
    file_.close();
    removeFile(temp_);
  }
}

bool CacheWriter::writeBytes(const void* data, std::size_t size) {
  // A full disk, a file-size limit or an I/O error fails the writes from then on.
  if (ok_ && !file_.write({static_cast<const char*>(data), size})) ok_ = false;
  return ok_;
}

bool CacheWriter::write(const std::int16_t* samples, std::size_t frames) {
  if (!ok() || frames > framesLeft_) return ok_ = false;
  framesLeft_ -= frames;
  if constexpr (std::endian::native == std::endian::little) {
    return writeBytes(samples, frames * kBytesPerFrame);
  } else {
    std::vector<std::uint8_t> le;
    le.reserve(frames * kBytesPerFrame);
    for (std::size_t i = 0; i < frames * kChannels; ++i)
      putLe(le, static_cast<std::uint16_t>(samples[i]), 2);
    return writeBytes(le.data(), le.size());
  }
}

bool CacheWriter::commit() {
  if (!ok() || framesLeft_ != 0) return false;
  const bool flushed = file_.flushToDisk();
  const bool closed = file_.close();
  if (flushed && closed && renameOver(temp_, target_)) return true;
  removeFile(temp_);
  return false;
}

}  // namespace momiru::media
