// The colosseum's small widgets: the portrait that is also a button, the rounded outline over a
// panel, and the colour helpers the battle screen and its control bar paint with.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QWidget>

#include "ui/picture_view.h"

namespace momiru::ui {

// The portrait `iras`: an image that is also a button, so that the keyboard reaches it too.
class PortraitButton final : public QAbstractButton {
 public:
  explicit PortraitButton(QWidget* parent);

  void setSource(PictureView::Source source);
  QPixmap currentPixmap() const { return source_ ? source_(devicePixelRatioF()) : QPixmap(); }

 protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  PictureView::Source source_;
  QPixmap cached_;
  qreal cachedRatio_ = 0;
};

// `Shape1`: a rounded-rectangle outline that lets clicks through to what lies beneath.
class RoundedOutline final : public QWidget {
 public:
  static constexpr int kPenPx = 3;  // the outline's width, drawn inside the widget's edges

  explicit RoundedOutline(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent*) override;
};

// Fills the widget's background with `colour`.
void fill(QWidget* widget, const QColor& colour);
// Sets the colour of the widget's text.
void textColour(QWidget* widget, const QColor& colour);

}  // namespace momiru::ui
