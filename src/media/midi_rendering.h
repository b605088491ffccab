// MIDI pieces rendered to PCM once per file on a thread of their own. The synthesizer costs some
// 3% of a core while it plays, every time the music loops; rendered once, a piece costs only the
// mixing.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "media/music_file.h"

namespace momiru::media {

// One file's rendering at the output's format: interleaved 16-bit stereo, exactly the piece's
// length.
struct Rendering {
  FileStamp file;
  std::vector<Sint16> pcm;    // final once the state is no longer kRendering
  std::atomic<int> state{0};  // kRendering, kRendered or kFailed
  std::thread worker;

  static constexpr int kRendering = 0;
  static constexpr int kRendered = 1;
  static constexpr int kFailed = 2;
  bool ready() const { return state.load(std::memory_order_acquire) == kRendered; }
};

// Every rendering of the process, by file name. Only the newest version of each file is kept.
class Renderings {
 public:
  static Renderings& get();  // never destroyed, like the output

  // The rendering of `midi` (the file `file`, `seconds` long): started in the background on the
  // first call for a version of a file, shared by every player. Null when the output cannot take
  // a rendering, or while an older version of the file is still being rendered.
  std::shared_ptr<Rendering> start(const FileStamp& file, const std::vector<std::uint8_t>& midi,
                                   double seconds);
  // The finished rendering of `file`, or null.
  std::shared_ptr<Rendering> finished(const FileStamp& file) const;

 private:
  Renderings() = default;
  static void stopAll();  // at exit, before the program's statics go away

  std::atomic<bool> stop_{false};
  bool stopAtExit_ = false;
  std::map<std::string, std::shared_ptr<Rendering>> byName_;
};

}  // namespace momiru::media
