// What the game sets up once at start-up, shared with the soak program that mirrors it.
#pragma once

#include <QPixmapCache>

#include "data/platform.h"

namespace momiru::app {

// The style caches its drawings of buttons, check boxes and scroll bars. One screen's take some
// 100 KB (four times that at a device pixel ratio of 2), so this holds the current screen's and
// bounds the rest far below Qt's default of 10 MB.
inline constexpr int kPixmapCacheKiB = 512;

// The limits that keep the game's memory small over a long run.
inline void limitMemory() {
  QPixmapCache::setCacheLimit(kPixmapCacheKiB);
  returnLargeBlocksWhenFreed();
}

}  // namespace momiru::app
