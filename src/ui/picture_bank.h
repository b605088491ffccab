// The shared pictures: the 15 portraits, the two panel backgrounds, and any other SVG of ours,
// rendered at the device pixel ratio so that they stay crisp on HiDPI screens.
#pragma once

#include <QHash>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <filesystem>
#include <functional>

namespace momiru::ui {

class PictureBank {
 public:
  static constexpr int kPortraits = 15;  // portrait(0)..portrait(14)
  static constexpr int kEmptyPortrait = 14;
  static constexpr QSize kPortraitSize{159, 183};  // also the size of the backgrounds

  // Finds "pictures/<name>"; an empty path means the file is missing.
  using Finder = std::function<std::filesystem::path(const std::filesystem::path&)>;

  // Without a finder the pictures are looked up with findDataFile (beside the program first).
  explicit PictureBank(Finder finder = {});

  // Portrait `picture` (0..13). A null pixmap, the empty picture, for 14, for any number
  // outside 0..14 and for a missing or unreadable file.
  QPixmap portrait(int picture, qreal devicePixelRatio = 1.0) const;

  // Background 0 (normal) or 1 (hit); a null pixmap for anything else or a missing file.
  QPixmap background(int index, qreal devicePixelRatio = 1.0) const;

  // `fileName` from the pictures folder drawn at `logicalSize` pixels; null when missing.
  QPixmap picture(const QString& fileName, QSize logicalSize, qreal devicePixelRatio = 1.0) const;

 private:
  Finder finder_;
  mutable QHash<QString, QPixmap> cache_;  // rendered pictures by name, size and ratio
};

}  // namespace momiru::ui
