// The colosseum's portrait button, rounded outline and colour helpers.
#include "ui/colosseum_widgets.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <utility>

namespace momiru::ui {

PortraitButton::PortraitButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
}

void PortraitButton::setSource(PictureView::Source source) {
  source_ = std::move(source);
  cachedRatio_ = 0;
  update();
}

void PortraitButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Fetched again only when the pixel ratio changes: the popup repaints over it 100 times a
  // second.
  if (cachedRatio_ != devicePixelRatioF()) {
    cachedRatio_ = devicePixelRatioF();
    cached_ = currentPixmap();
  }
  if (!cached_.isNull()) painter.drawPixmap(0, 0, cached_);
  if (hasFocus()) {
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void PortraitButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    click();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

RoundedOutline::RoundedOutline(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void RoundedOutline::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0, 255, 255), kPenPx));
  painter.setBrush(Qt::NoBrush);
  constexpr qreal half = kPenPx / 2.0;
  painter.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), 12, 12);
}

void fill(QWidget* widget, const QColor& colour) {
  widget->setAutoFillBackground(true);
  QPalette pal = widget->palette();
  pal.setColor(QPalette::Window, colour);
  widget->setPalette(pal);
}

void textColour(QWidget* widget, const QColor& colour) {
  QPalette pal = widget->palette();
  pal.setColor(QPalette::WindowText, colour);
  widget->setPalette(pal);
}

}  // namespace momiru::ui
