// Image control over PictureBank sources.
#include "ui/picture_view.h"

#include <QPainter>
#include <utility>

namespace momiru::ui {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {}

void PictureView::setSource(Source source) {
  source_ = std::move(source);
  update();
}

QPixmap PictureView::currentPixmap() const {
  return source_ ? source_(devicePixelRatioF()) : QPixmap();
}

void PictureView::paintEvent(QPaintEvent*) {
  const QPixmap pixmap = currentPixmap();
  if (pixmap.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, pixmap);
}

}  // namespace momiru::ui
