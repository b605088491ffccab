// What the game sets up once at start-up, shared with the soak program that mirrors it.
#pragma once

#include <QPixmapCache>

namespace momiru::app {

// The style caches its drawings of buttons and scroll bars keyed by the widget's palette, and
// every screen is made anew with palettes of its own, so each visit to a screen adds drawings that
// are never used again: at Qt's default limit (10 MB) that is memory the game keeps taking for
// hundreds of battles. The drawings of one screen take some 100 KB (four times that at a device
// pixel ratio of 2), so this keeps the current screen's and drops the rest early.
inline constexpr int kPixmapCacheKiB = 512;

inline void limitPixmapCache() { QPixmapCache::setCacheLimit(kPixmapCacheKiB); }

}  // namespace momiru::app
