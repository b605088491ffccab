// MIDI pieces rendered into the music cache on a thread of their own. The synthesizer costs some
// 3% of a core and its SoundFont's memory while it plays; a rendered piece streamed from disk
// costs only the mixing. Until a piece's rendering is in the cache it plays through the mixer's
// synthesizer.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "media/music_cache.h"
#include "media/music_file.h"

namespace momiru::media {

class AudioOutput;

// How a MIDI piece is rendered for the open output, and the key its cache file carries.
struct PlannedRendering {
  std::vector<std::uint8_t> midi;
  std::string soundFont;
  int rate = 0;
  float gain = 0;
  std::uint64_t frames = 0;  // cut at the piece's length: the synthesizer's ringing tail after
                             // the last bar is never heard, since the keeper restarts it there
  std::string key;
};

// Nothing when the output takes no rendering (no SoundFont, another sample format) or the piece
// is longer than any of ours would be, so a file claiming hours never fills the disk.
std::optional<PlannedRendering> planRendering(const AudioOutput& output,
                                              std::vector<std::uint8_t> midi, double seconds);

// The plan for rendering `midi`, `seconds` long, with the SoundFont `soundFont` at `rate` frames a
// second, as the game renders it for an output of that rate; what the build renders ahead with.
std::optional<PlannedRendering> planRendering(std::vector<std::uint8_t> midi, double seconds,
                                              std::string soundFont, int rate);

// Renders `plan` as the mixer's own FluidSynth player would sound it into `out`. False when the
// synthesizer refuses (or this build has none), the file cannot be written or `stop` is set.
bool renderMidi(const PlannedRendering& plan, const std::atomic<bool>& stop, CacheWriter& out);

// Where a build without the synthesizer keeps the rendering of the MIDI file `midi` that it made
// with the synthesizer when it was built: renderings/<SHA-256 of the file>.flac among the data
// files. Named by the content, so a piece the player puts in place of ours is never played
// from the rendering of another.
std::filesystem::path shippedRenderingName(std::span<const std::uint8_t> midi);

// The rendering threads of the process, one per version of a file.
class Renderings {
 public:
  static Renderings& get();  // never destroyed, like the output

  // Renders `plan` for the file `file` into `cache` in the background, unless this version of
  // the file has been started already in this process: a rendering that failed (a full disk, an
  // unwritable cache, no thread to spare) is not tried again until the file changes, and the
  // synthesizer goes on playing it. An older version still rendering is let finish first.
  void start(const FileStamp& file, const MusicCache& cache, PlannedRendering plan);
  // True while a rendering of `file` is being written.
  bool running(const FileStamp& file) const;

 private:
  struct Job {
    FileStamp file;
    std::atomic<bool> done{false};
    std::thread worker;
  };

  Renderings() = default;
  static void stopAll();  // at exit, before the program's statics go away

  std::atomic<bool> stop_{false};
  bool started_ = false;
  std::map<std::string, std::unique_ptr<Job>> byName_;
};

}  // namespace momiru::media
