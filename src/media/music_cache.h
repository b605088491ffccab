// Rendered music kept on disk in the user's cache folder: each piece is synthesized once per
// version of its file, SoundFont and output format, and from then on streamed from disk, so the
// game needs neither the synthesizer nor the piece's samples in memory.
//
// One cache file per music file (named by the music file's path), so a new rendering replaces the
// old one. The file is a 16-bit stereo WAV with the rendering's key in a chunk of its own before
// the samples; it is used only when the key matches and its sizes agree with its length, so a
// stale, truncated or foreign file is rendered again rather than played.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "data/platform.h"

namespace momiru::media {

// What a rendering is made from. The key names all of it, the MIDI file by its content, so a
// replaced file is rendered again even when its size and time stamp are the same.
struct RenderRecipe {
  std::span<const std::uint8_t> midi;
  std::string soundFont;  // path; named in the key with its size and time of last change
  int rate = 44100;
  float gain = 0;
  std::uint64_t frames = 0;  // the piece's length at `rate`
};
std::string renderKey(const RenderRecipe& recipe);

class MusicCache {
 public:
  // $XDG_CACHE_HOME/momiru-battle, or ~/.cache/momiru-battle; empty when neither can be told.
  static std::filesystem::path defaultDirectory();

  explicit MusicCache(std::filesystem::path directory) : directory_(std::move(directory)) {}

  const std::filesystem::path& directory() const { return directory_; }
  // The cache file for the music file `sourceName` (UTF-8).
  std::filesystem::path fileFor(const std::string& sourceName) const;

  // The cached rendering of `sourceName` opened for reading, when it was made with `key` and
  // holds `frames` frames whole; a file that is not open otherwise. A symbolic link, a FIFO or a
  // device in its place counts as missing and is never followed or waited on.
  OpenFile open(const std::string& sourceName, const std::string& key, int rate,
                std::uint64_t frames) const;

 private:
  std::filesystem::path directory_;
};

// Writes one rendering into a temporary file beside its place in the cache, and renames it there
// once whole and flushed, so a crash, a kill or a full disk never leaves a torn cache file.
class CacheWriter {
 public:
  // Creates the cache folder and the temporary file, and writes the header.
  CacheWriter(const MusicCache& cache, const std::string& sourceName, const std::string& key,
              int rate, std::uint64_t frames);
  ~CacheWriter();  // removes the temporary file unless committed
  CacheWriter(const CacheWriter&) = delete;
  CacheWriter& operator=(const CacheWriter&) = delete;

  bool ok() const { return file_.isOpen() && ok_; }
  // Appends interleaved stereo frames; false once anything has failed.
  bool write(const std::int16_t* samples, std::size_t frames);
  // True when every frame was written, flushed and renamed into place.
  bool commit();

 private:
  bool writeBytes(const void* data, std::size_t size);

  std::filesystem::path target_;
  std::string temp_;
  OpenFile file_;
  bool ok_ = true;
  std::uint64_t framesLeft_ = 0;
};

}  // namespace momiru::media
