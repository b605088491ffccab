// Renders our SVG pictures once per size and pixel ratio and keeps them.
#include "ui/picture_bank.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>
#include <utility>

#include "data/platform.h"

namespace momiru::ui {

PictureBank::PictureBank(Finder finder) : finder_(std::move(finder)) {
  if (!finder_)
    finder_ = [](const std::filesystem::path& relative) { return findDataFile(relative); };
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
  const std::filesystem::path file =
      finder_(std::filesystem::path("pictures") / utf8ToPath(fileName.toStdString()));
  if (!file.empty() && !logicalSize.isEmpty()) {
    QSvgRenderer renderer(QString::fromStdString(pathToUtf8(file)));
    if (renderer.isValid()) {
      const QSize device(static_cast<int>(std::lround(logicalSize.width() * devicePixelRatio)),
                         static_cast<int>(std::lround(logicalSize.height() * devicePixelRatio)));
      QImage image(device, QImage::Format_ARGB32_Premultiplied);
      image.fill(Qt::transparent);
      {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(device)));
      }
      image.setDevicePixelRatio(devicePixelRatio);
      result = QPixmap::fromImage(std::move(image));
    }
  }
  cache_.insert(key, result);
  return result;
}

}  // namespace momiru::ui
