// Draws our SVG pictures once per size and pixel ratio, or loads the renderings the build made of
// them, and keeps them.
#include "ui/picture_bank.h"

#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <cmath>
#include <utility>

#if MOMIRU_HAVE_QT_SVG
#include <QSvgRenderer>
#endif

#include "data/platform.h"
#include "data/strangers_file.h"

namespace momiru::ui {

const bool PictureBank::kCanDrawSvg = MOMIRU_HAVE_QT_SVG != 0;

namespace {

QSize deviceSize(QSize logical, qreal ratio) {
  return QSize(static_cast<int>(std::lround(logical.width() * ratio)),
               static_cast<int>(std::lround(logical.height() * ratio)));
}

// A rendering is some kilobytes; a file much larger than any of ours is not read.
constexpr std::size_t kLargestRendering = 8 * 1024 * 1024;

}  // namespace

PictureBank::PictureBank(Finder finder, Source source)
    : finder_(std::move(finder)), source_(source) {
  if (!finder_)
    finder_ = [](const std::filesystem::path& relative) { return findDataFile(relative); };
  if (source_ == Source::Svg && !kCanDrawSvg) source_ = Source::Prerendered;
}

QPixmap PictureBank::portrait(int picture, qreal devicePixelRatio) const {
  if (picture < 0 || picture >= kEmptyPortrait) return {};
  return this->picture(QStringLiteral("mae%1.svg").arg(picture, 2, 10, QLatin1Char('0')),
                       kPortraitSize, devicePixelRatio);
}

QPixmap PictureBank::background(int index, qreal devicePixelRatio) const {
  if (index < 0 || index > 1) return {};
  return picture(QStringLiteral("haikei%1.svg").arg(index), kPortraitSize, devicePixelRatio);
}

QIcon PictureBank::windowIcon() const {
  QIcon icon;
  for (int side : kWindowIconSides) {
    const QPixmap pixmap = picture(QStringLiteral("icon.svg"), QSize(side, side));
    if (!pixmap.isNull()) icon.addPixmap(pixmap);
  }
  return icon;
}

QString PictureBank::prerenderedName(const QString& svgName, QSize logicalSize, int scale) {
  QString stem = svgName;
  if (stem.endsWith(QLatin1String(".svg"))) stem.chop(4);
  QString name =
      QStringLiteral("%1-%2x%3").arg(stem).arg(logicalSize.width()).arg(logicalSize.height());
  if (scale != 1) name += QStringLiteral("@%1x").arg(scale);
  return name + QStringLiteral(".png");
}

QPixmap PictureBank::picture(const QString& fileName, QSize logicalSize,
                             qreal devicePixelRatio) const {
  if (!(devicePixelRatio > 0.0) || logicalSize.isEmpty()) devicePixelRatio = 1.0;
  const QString key = QStringLiteral("%1@%2x%3@%4")
                          .arg(fileName)
                          .arg(logicalSize.width())
                          .arg(logicalSize.height())
                          .arg(devicePixelRatio);
  if (auto it = cache_.constFind(key); it != cache_.constEnd()) return *it;

  QPixmap result;
  if (!logicalSize.isEmpty()) {
    if (source_ == Source::Svg) {
      const std::filesystem::path file =
          finder_(std::filesystem::path("pictures") / utf8ToPath(fileName.toStdString()));
      if (!file.empty()) result = drawSvg(file, logicalSize, devicePixelRatio);
    } else {
      result = loadRendering(fileName, logicalSize, devicePixelRatio);
    }
  }
  cache_.insert(key, result);
  return result;
}

QPixmap PictureBank::drawSvg([[maybe_unused]] const std::filesystem::path& file,
                             [[maybe_unused]] QSize logicalSize,
                             [[maybe_unused]] qreal devicePixelRatio) const {
#if MOMIRU_HAVE_QT_SVG
  QSvgRenderer renderer(QString::fromStdString(pathToUtf8(file)));
  if (!renderer.isValid()) return {};
  const QSize device = deviceSize(logicalSize, devicePixelRatio);
  QImage image(device, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(device)));
  }
  image.setDevicePixelRatio(devicePixelRatio);
  return QPixmap::fromImage(std::move(image));
#else
  return {};
#endif
}

// The rendering made for this size: at 1x for a ratio up to 1, else at 2x, scaled smoothly when
// the screen's ratio is neither (125 %, 150 %).
QPixmap PictureBank::loadRendering(const QString& fileName, QSize logicalSize,
                                   qreal devicePixelRatio) const {
  const int scale = devicePixelRatio > 1.0 ? 2 : 1;
  std::filesystem::path file;
  for (int s : {scale, 3 - scale}) {
    file = finder_(std::filesystem::path("pictures") /
                   utf8ToPath(prerenderedName(fileName, logicalSize, s).toStdString()));
    if (!file.empty()) break;
  }
  if (file.empty()) {
    missed_.append(QStringLiteral("%1 %2x%3")
                       .arg(fileName)
                       .arg(logicalSize.width())
                       .arg(logicalSize.height()));
    return {};
  }
  const auto bytes =
      readStrangersFile(file, kLargestRendering, kLargestRendering, "picture", nullptr);
  QImage image;
  if (!bytes || !image.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                                    static_cast<int>(bytes->size()), "PNG"))
    return {};
  const QSize device = deviceSize(logicalSize, devicePixelRatio);
  if (image.size() != device)
    image = image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(devicePixelRatio);
  return QPixmap::fromImage(std::move(image));
}

}  // namespace momiru::ui
