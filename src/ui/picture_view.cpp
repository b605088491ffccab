// Image control over PictureBank sources.
#include "ui/picture_view.h"

#include <QPainter>
#include <utility>

namespace momiru::ui {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {}

void PictureView::setSource(Source source) {
  source_ = std::move(source);
  cachedRatio_ = 0;
  cached_ = QPixmap();
  update();
}

QPixmap PictureView::currentPixmap() const {
  return source_ ? source_(devicePixelRatioF()) : QPixmap();
}

void PictureView::paintEvent(QPaintEvent*) {
  // Fetched again only when the source or the pixel ratio changes: on the battle screen the
  // damage popup repaints strips of the backgrounds 100 times a second as it flies past.
  if (cachedRatio_ != devicePixelRatioF()) {
    cachedRatio_ = devicePixelRatioF();
    cached_ = currentPixmap();
  }
  if (cached_.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, cached_);
}

}  // namespace momiru::ui
