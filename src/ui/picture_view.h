// An image control: shows one picture at its natural size from its top-left corner, fetched
// at the widget's own pixel ratio when it first paints after a new source or ratio.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>

namespace momiru::ui {

class PictureView : public QWidget {
  Q_OBJECT
 public:
  // Gives the picture for a device pixel ratio; a null pixmap is the empty picture.
  using Source = std::function<QPixmap(qreal devicePixelRatio)>;

  explicit PictureView(QWidget* parent = nullptr);

  void setSource(Source source);  // an empty source shows the empty picture
  void clear() { setSource({}); }

  // What the view shows now, at its current pixel ratio.
  QPixmap currentPixmap() const;
  bool isEmptyPicture() const { return currentPixmap().isNull(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Source source_;
  QPixmap cached_;         // what the source gave at cachedRatio_
  qreal cachedRatio_ = 0;  // 0: nothing fetched since the last setSource
};

}  // namespace momiru::ui
