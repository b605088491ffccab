// The shared pictures: the 15 portraits, the two panel backgrounds, and any other picture of ours,
// made at the device pixel ratio so that they stay crisp on HiDPI screens.
//
// Our pictures are SVG files. Where the game has an SVG renderer it draws each at the size and
// ratio asked for. Where it has none (the Windows build, for which no Qt Svg can be built), it
// loads PNG renderings that the build made of each picture at the one size the screens draw it,
// at 1x and 2x, with this same bank: pictures/<stem>-<w>x<h>.png and <stem>-<w>x<h>@2x.png.
#pragma once

#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <filesystem>
#include <functional>
#include <vector>

namespace momiru::ui {

class PictureBank {
 public:
  static constexpr int kPortraits = 15;  // portrait(0)..portrait(14)
  static constexpr int kEmptyPortrait = 14;
  static constexpr QSize kPortraitSize{159, 183};  // also the size of the backgrounds

  // Finds "pictures/<name>"; an empty path means the file is missing.
  using Finder = std::function<std::filesystem::path(const std::filesystem::path&)>;

  enum class Source {
    Svg,          // the SVG files, drawn at any size and ratio
    Prerendered,  // the PNG renderings made when the game was built
  };
  static const bool kCanDrawSvg;  // whether this build has an SVG renderer
  static Source defaultSource() { return kCanDrawSvg ? Source::Svg : Source::Prerendered; }

  // Without a finder the pictures are looked up with findDataFile (beside the program first).
  explicit PictureBank(Finder finder = {}, Source source = defaultSource());

  // Portrait `picture` (0..13). A null pixmap, the empty picture, for 14, for any number
  // outside 0..14 and for a missing or unreadable file.
  QPixmap portrait(int picture, qreal devicePixelRatio = 1.0) const;

  // Background 0 (normal) or 1 (hit); a null pixmap for anything else or a missing file.
  QPixmap background(int index, qreal devicePixelRatio = 1.0) const;

  // `fileName` from the pictures folder drawn at `logicalSize` pixels; null when missing.
  QPixmap picture(const QString& fileName, QSize logicalSize, qreal devicePixelRatio = 1.0) const;

  // The window's icon: icon.svg at each of kWindowIconSides; null when the picture is missing.
  QIcon windowIcon() const;

  // The file a rendering of `svgName` at `logicalSize` and `scale` (1 or 2) is kept in.
  static QString prerenderedName(const QString& svgName, QSize logicalSize, int scale);

  // The pictures asked for that had no rendering of their size ("title.svg 305x515"), which a
  // build making the renderings has left out. Empty for the SVG source.
  QStringList missedRenderings() const { return missed_; }

 private:
  QPixmap drawSvg(const std::filesystem::path& file, QSize logicalSize,
                  qreal devicePixelRatio) const;
  QPixmap loadRendering(const QString& fileName, QSize logicalSize, qreal devicePixelRatio) const;

  Finder finder_;
  Source source_;
  mutable QHash<QString, QPixmap> cache_;  // pictures made, by name, size and ratio
  mutable QStringList missed_;
};

// A picture and the size, in pixels at 1x, that a screen draws it at.
struct DrawnPicture {
  QString fileName;
  QSize logicalSize;
};

// The sides of the window's icon, in pixels: the sizes a desktop shows it at.
inline constexpr int kWindowIconSides[] = {16, 24, 32, 48, 64, 128, 256};

// Every picture the game draws and its size: what a build without an SVG renderer renders.
std::vector<DrawnPicture> drawnPictures();

}  // namespace momiru::ui
