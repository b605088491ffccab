// The elimination bracket: laid out once, painted box by box as far as the viewport sees.
#include "ui/bracket_view.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "ui/screen.h"
#include "ui/ui_font.h"

namespace momiru::ui {

namespace {

// The bracket's measures at zoom 1, in pixels: the layout's, and the insides of a box.
using Measures = report::BracketMeasures;
constexpr double kBoxW = Measures::boxWidth;
constexpr double kLineH = Measures::lineHeight;
constexpr double kBoxH = Measures::boxHeight;
constexpr double kLabelH = Measures::labelHeight;
constexpr double kRowGap = Measures::rowGap;
constexpr double kPad = 5;
constexpr double kMarkW = 14;   // the winner's mark
constexpr double kWinsW = 22;   // the battles won
constexpr double kNamePx = 13;  // the names' size
constexpr double kLabelPx = 11;
constexpr double kHeadPx = 13;
constexpr double kTitlePx = 16;
// Below this size in device pixels text is not legible, and the boxes are drawn without it.
constexpr double kSmallestTextPx = 5;
constexpr double kMinZoom = BracketView::kMinZoom;
constexpr double kMaxZoom = BracketView::kMaxZoom;

const QColor kBackground(0xf3, 0xf3, 0xee);
const QColor kBoxFill(0xff, 0xff, 0xff);
const QColor kBoxEdge(0x8c, 0x8c, 0x8c);
const QColor kLine(0x8c, 0x8c, 0x8c);
const QColor kText(0x20, 0x20, 0x20);
const QColor kFaint(0x6e, 0x6e, 0x6e);  // still 4.5:1 on white
const QColor kSelectedEdge(0x1c, 0x5c, 0xc4);
const QColor kSelectedFill(0xe6, 0xef, 0xff);
const QColor kWinnerFill(0xf0, 0xf0, 0xe4);

const QString kHelp = QStringLiteral(
    "矢印キーで試合を選び、Enter で開きます。Ctrl と＋、－、0 で拡大、縮小、元の大きさ。"
    "Ctrl を押しながらホイールでも拡大、縮小します。");

QFont pixelFont(double px, bool bold) {
  QFont f = uiFont(9.0, bold);
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
  return f;
}

QRectF toRect(const report::LayoutRect& r) { return QRectF(r.x, r.y, r.width, r.height); }

QPointF toPoint(const report::LayoutPoint& p) { return QPointF(p.x, p.y); }

}  // namespace

BracketView::BracketView(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("Bracket"));
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setFocusProxy(this);
  setAccessibleName(QStringLiteral("トーナメント表"));
  setAccessibleDescription(kHelp);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  horizontalScrollBar()->setAccessibleName(QStringLiteral("トーナメント表の横スクロール"));
  verticalScrollBar()->setAccessibleName(QStringLiteral("トーナメント表の縦スクロール"));
  zoomAround(1.0, QPointF());
}

void BracketView::setTournament(const report::Tournament& t,
                                const std::vector<report::ScheduledMatch>& schedule) {
  const QString keep = selectedMatch();
  words_ = MatchWords(t, schedule);
  layout_ = report::layOutBracket(t.rules.format, schedule);
  boxes_.clear();
  boxes_.reserve(layout_.boxes.size());
  for (const report::BracketBox& placed : layout_.boxes) {
    const report::ScheduledMatch& m = schedule[placed.match];
    Box b;
    b.match = m;
    b.id = QString::fromStdString(m.match.id);
    b.label = shownName(m.match.id);
    if (!placed.roundWords.empty()) b.label += QStringLiteral("　") + wordsText(placed.roundWords);
    for (int s = 0; s < 2; ++s) b.names[static_cast<std::size_t>(s)] = words_.player(m, s);
    if (m.played) {
      b.wins = MatchWords::wins(m.match);
      b.winner = MatchWords::winnerSide(m.match);
    }
    boxes_.push_back(std::move(b));
  }
  elided_.assign(boxes_.size(), {});
  const int kept = keep.isEmpty() ? -1 : layout_.find(keep.toStdString());
  selected_ = kept;
  cameFrom_ = -1;
  announceSelection();
  updateScrollBars();
  viewport()->update();
  if (!keep.isEmpty() && selected_ < 0) emit matchSelected(QString());
}

QRectF BracketView::rectOf(int box) const { return toRect(placed(box).rect); }

QString BracketView::selectedMatch() const {
  return selected_ >= 0 ? boxes_[static_cast<std::size_t>(selected_)].id : QString();
}

void BracketView::selectMatch(const QString& id) {
  const int box = layout_.find(id.toStdString());
  if (box >= 0) {
    moveSelection(box);
    return;
  }
  if (selected_ >= 0) {
    selected_ = -1;
    announceSelection();
    viewport()->update();
    emit matchSelected(QString());
  }
}

void BracketView::moveSelection(int box, bool scroll) {
  if (box < 0 || box >= static_cast<int>(boxes_.size())) return;
  if (scroll) ensureVisible(box);
  if (box == selected_) return;
  selected_ = box;
  announceSelection();
  viewport()->update();
  emit matchSelected(boxes_[static_cast<std::size_t>(box)].id);
}

void BracketView::announceSelection() {
  // Setting the description tells an accessibility client that it changed.
  setAccessibleDescription(
      selected_ >= 0 ? words_.sentence(boxes_[static_cast<std::size_t>(selected_)].match) : kHelp);
}

QPointF BracketView::scroll() const {
  return QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

QRectF BracketView::matchRect(const QString& id) const {
  const int box = layout_.find(id.toStdString());
  return box < 0 ? QRectF() : rectOf(box);
}

QRect BracketView::matchViewportRect(const QString& id) const {
  const QRectF r = matchRect(id);
  if (r.isNull()) return {};
  return QRectF(r.topLeft() * zoom_ - scroll(), r.size() * zoom_).toAlignedRect();
}

std::vector<BracketView::Link> BracketView::links() const {
  std::vector<Link> out;
  for (const report::BracketConnector& c : layout_.connectors)
    out.push_back({boxes_[static_cast<std::size_t>(c.from)].id,
                   boxes_[static_cast<std::size_t>(c.to)].id, toPoint(c.start()),
                   toPoint(c.end())});
  return out;
}

void BracketView::ensureVisible(int box) {
  const QRectF whole = rectOf(box).adjusted(-kPad, -kLabelH - kPad, kPad, kPad);
  const QRectF at(whole.topLeft() * zoom_, whole.size() * zoom_);
  const QSizeF view = viewport()->size();
  QScrollBar* h = horizontalScrollBar();
  QScrollBar* v = verticalScrollBar();
  // Shows the box's left and top edges when it is larger than the viewport.
  if (at.right() > h->value() + view.width())
    h->setValue(static_cast<int>(std::ceil(at.right() - view.width())));
  if (at.left() < h->value()) h->setValue(static_cast<int>(std::floor(at.left())));
  if (at.bottom() > v->value() + view.height())
    v->setValue(static_cast<int>(std::ceil(at.bottom() - view.height())));
  if (at.top() < v->value()) v->setValue(static_cast<int>(std::floor(at.top())));
}

void BracketView::updateScrollBars() {
  const QSize view = viewport()->size();
  const int w = static_cast<int>(std::ceil(layout_.width * zoom_));
  const int h = static_cast<int>(std::ceil(layout_.height * zoom_));
  horizontalScrollBar()->setRange(0, std::max(0, w - view.width()));
  horizontalScrollBar()->setPageStep(std::max(1, view.width()));
  horizontalScrollBar()->setSingleStep(24);
  verticalScrollBar()->setRange(0, std::max(0, h - view.height()));
  verticalScrollBar()->setPageStep(std::max(1, view.height()));
  verticalScrollBar()->setSingleStep(24);
}

void BracketView::setZoom(double zoom) {
  zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  if (zoom == zoom_) return;
  QPointF anchor(viewport()->width() / 2.0, viewport()->height() / 2.0);
  if (selected_ >= 0) {
    const QRectF r = rectOf(selected_);
    const QPointF centre = r.center() * zoom_ - scroll();
    if (viewport()->rect().contains(centre.toPoint())) anchor = centre;
  }
  zoomAround(zoom, anchor);
  if (selected_ >= 0) ensureVisible(selected_);
}

void BracketView::zoomAround(double zoom, QPointF anchor) {
  const QPointF at = (anchor + scroll()) / zoom_;
  const double before = zoom_;
  zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
  nameFont_ = pixelFont(kNamePx * zoom_, false);
  winnerFont_ = pixelFont(kNamePx * zoom_, true);
  smallFont_ = pixelFont(kLabelPx * zoom_, false);
  elided_.assign(boxes_.size(), {});
  updateScrollBars();
  const QPointF to = at * zoom_ - anchor;
  horizontalScrollBar()->setValue(static_cast<int>(std::lround(to.x())));
  verticalScrollBar()->setValue(static_cast<int>(std::lround(to.y())));
  viewport()->update();
  if (zoom_ != before) emit zoomChanged(zoom_);
}

const QString& BracketView::elided(int box, int side) const {
  auto& slot = elided_[static_cast<std::size_t>(box)][static_cast<std::size_t>(side)];
  if (!slot) {
    const Box& b = boxes_[static_cast<std::size_t>(box)];
    const QFontMetricsF metrics(b.winner == side ? winnerFont_ : nameFont_);
    slot = metrics.elidedText(b.names[static_cast<std::size_t>(side)], Qt::ElideRight,
                              (kBoxW - kMarkW - kWinsW - 2 * kPad) * zoom_);
  }
  return *slot;
}

void BracketView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  p.fillRect(viewport()->rect(), kBackground);
  p.setRenderHint(QPainter::Antialiasing, true);
  const QPointF off = scroll();
  const double z = zoom_;
  const QRectF seen(off / z, QSizeF(viewport()->size()) / z);
  const auto toView = [&](QPointF pt) { return pt * z - off; };
  const auto rectToView = [&](const QRectF& r) {
    return QRectF(r.topLeft() * z - off, r.size() * z);
  };
  const bool text = kNamePx * z * devicePixelRatioF() >= kSmallestTextPx;

  // Headings.
  if (text) {
    for (const report::BracketHeading& h : layout_.headings) {
      const QRectF r = toRect(h.rect);
      if (!r.intersects(seen)) continue;
      p.setFont(pixelFont((h.title ? kTitlePx : kHeadPx) * z, true));
      p.setPen(kText);
      p.drawText(rectToView(r), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                 wordsText(h.text));
    }
  }

  // Lines from each match to the one its winner goes on to.
  QPen linePen(kLine, std::max(1.0, 1.5 * z));
  linePen.setJoinStyle(Qt::MiterJoin);
  p.setPen(linePen);
  p.setBrush(Qt::NoBrush);
  for (const report::BracketConnector& c : layout_.connectors) {
    const QPointF start = toPoint(c.start());
    const QPointF end = toPoint(c.end());
    if (!QRectF(start, end).normalized().adjusted(-2, -2, 2, 2).intersects(seen)) continue;
    const QPointF points[] = {toView(start), toView(toPoint(c.points[1])),
                              toView(toPoint(c.points[2])), toView(end)};
    p.drawPolyline(points, 4);
  }

  // The boxes.
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    const Box& b = boxes_[i];
    const QRectF boxRect = rectOf(static_cast<int>(i));
    if (!boxRect.adjusted(0, -kLabelH, 0, 0).intersects(seen)) continue;
    const bool selected = static_cast<int>(i) == selected_;
    const QRectF r = rectToView(boxRect);
    p.setPen(QPen(selected ? kSelectedEdge : kBoxEdge, selected ? std::max(2.0, 3 * z) : 1.0));
    p.setBrush(selected ? kSelectedFill : kBoxFill);
    p.drawRect(r);
    if (b.winner >= 0 && !selected) {
      const QRectF line(boxRect.left(), boxRect.top() + 2 + b.winner * kLineH, kBoxW, kLineH);
      p.fillRect(rectToView(line).adjusted(1, 0, -1, 0), kWinnerFill);
    }
    if (selected && hasFocus()) {
      QPen focus(kSelectedEdge, 1, Qt::DotLine);
      p.setPen(focus);
      p.setBrush(Qt::NoBrush);
      p.drawRect(r.adjusted(-4, -4, 4, 4));
    }
    if (!text) continue;
    p.setFont(smallFont_);
    p.setPen(kFaint);
    p.drawText(rectToView(QRectF(boxRect.left(), boxRect.top() - kLabelH, kBoxW * 1.5, kLabelH)),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, b.label);
    for (int s = 0; s < 2; ++s) {
      const auto side = static_cast<std::size_t>(s);
      const double top = boxRect.top() + 2 + s * kLineH;
      const bool known = b.match.match.players[side].has_value();
      const bool won = b.winner == s;
      if (won) {
        p.setFont(winnerFont_);
        p.setPen(kText);
        p.drawText(rectToView(QRectF(boxRect.left() + kPad, top, kMarkW, kLineH)),
                   Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("▶"));
      } else {
        p.setFont(nameFont_);
        p.setPen(known ? kText : kFaint);
      }
      p.drawText(rectToView(QRectF(boxRect.left() + kPad + kMarkW, top,
                                   kBoxW - kMarkW - kWinsW - 2 * kPad, kLineH)),
                 Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                 elided(static_cast<int>(i), s));
      if (b.match.played && !b.match.match.battles.empty())
        p.drawText(rectToView(QRectF(boxRect.right() - kPad - kWinsW, top, kWinsW, kLineH)),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(b.wins[side]));
    }
  }
}

void BracketView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBars();
}

void BracketView::scrollContentsBy(int, int) { viewport()->update(); }

void BracketView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void BracketView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

int BracketView::boxAt(QPoint viewportPos) const {
  const QPointF at = (QPointF(viewportPos) + scroll()) / zoom_;
  for (std::size_t i = 0; i < boxes_.size(); ++i)
    if (rectOf(static_cast<int>(i)).contains(at)) return static_cast<int>(i);
  return -1;
}

int BracketView::neighbour(int box, int key) const {
  const report::BracketBox& b = placed(box);
  const std::vector<std::vector<int>>& columns = layout_.columns;
  const auto& column = columns[static_cast<std::size_t>(b.column)];
  const auto here = std::find(column.begin(), column.end(), box) - column.begin();
  const double y = rectOf(box).center().y();
  // The box of column `c` nearest to the height `y`.
  const auto nearest = [&](const std::vector<int>& candidates) {
    int best = -1;
    double distance = 0;
    for (const int c : candidates) {
      const double d = std::abs(rectOf(c).center().y() - y);
      if (best < 0 || d < distance) {
        best = c;
        distance = d;
      }
    }
    return best;
  };
  const auto nextColumn = [&](int step) {
    for (int c = b.column + step; c >= 0 && c < static_cast<int>(columns.size()); c += step)
      if (!columns[static_cast<std::size_t>(c)].empty())
        return nearest(columns[static_cast<std::size_t>(c)]);
    return -1;
  };
  const int page =
      std::max(1, static_cast<int>(viewport()->height() / ((kBoxH + kLabelH + kRowGap) * zoom_)));
  switch (key) {
    case Qt::Key_Up:
      return here > 0 ? column[static_cast<std::size_t>(here - 1)] : -1;
    case Qt::Key_Down:
      return here + 1 < static_cast<std::ptrdiff_t>(column.size())
                 ? column[static_cast<std::size_t>(here + 1)]
                 : -1;
    case Qt::Key_PageUp:
      return column[static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, here - page))];
    case Qt::Key_PageDown:
      return column[static_cast<std::size_t>(
          std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(column.size()) - 1, here + page))];
    case Qt::Key_Right:
      return b.next >= 0 ? b.next : nextColumn(1);
    case Qt::Key_Left: {
      if (cameFrom_ >= 0 &&
          std::find(b.sources.begin(), b.sources.end(), cameFrom_) != b.sources.end())
        return cameFrom_;
      std::vector<int> feeders;
      for (const int f : b.feeders)
        if (f >= 0) feeders.push_back(f);
      if (!feeders.empty()) return nearest(feeders);
      const int left = nextColumn(-1);
      return left >= 0 ? left : nearest(b.sources);
    }
    case Qt::Key_Home:
      return 0;
    case Qt::Key_End:
      return static_cast<int>(boxes_.size()) - 1;
    default:
      return -1;
  }
}

void BracketView::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (event->modifiers() & Qt::ControlModifier) {
    if (key == Qt::Key_Plus || key == Qt::Key_Equal) {
      setZoom(zoom_ * 1.25);
      return;
    }
    if (key == Qt::Key_Minus) {
      setZoom(zoom_ / 1.25);
      return;
    }
    if (key == Qt::Key_0) {
      setZoom(1.0);
      return;
    }
  }
  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
      if (boxes_.empty()) break;
      if (selected_ < 0) {
        // The first key chooses the first match still to play, or the first of all.
        int first = 0;
        for (std::size_t i = 0; i < boxes_.size(); ++i)
          if (!boxes_[i].match.played) {
            first = static_cast<int>(i);
            break;
          }
        moveSelection(first);
        return;
      }
      const int to = neighbour(selected_, key);
      if (to >= 0) {
        cameFrom_ = key == Qt::Key_Right ? selected_ : -1;
        moveSelection(to);
      }
      return;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (selected_ >= 0) {
        emit matchActivated(boxes_[static_cast<std::size_t>(selected_)].id);
        return;
      }
      break;
    default:
      break;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void BracketView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  pressing_ = true;
  dragging_ = false;
  pressAt_ = event->position().toPoint();
  pressScroll_ = scroll();
  const int box = boxAt(pressAt_);
  if (box >= 0) {
    cameFrom_ = -1;
    moveSelection(box, false);
  }
}

void BracketView::mouseMoveEvent(QMouseEvent* event) {
  if (!pressing_) return;
  const QPoint delta = event->position().toPoint() - pressAt_;
  if (!dragging_ && delta.manhattanLength() >= QApplication::startDragDistance()) {
    dragging_ = true;
    viewport()->setCursor(Qt::ClosedHandCursor);
  }
  if (dragging_) {
    horizontalScrollBar()->setValue(static_cast<int>(pressScroll_.x()) - delta.x());
    verticalScrollBar()->setValue(static_cast<int>(pressScroll_.y()) - delta.y());
  }
}

void BracketView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressing_ = false;
    if (dragging_) viewport()->unsetCursor();
    dragging_ = false;
  }
}

void BracketView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int box = boxAt(event->position().toPoint());
  if (box < 0) return;
  moveSelection(box, false);
  emit matchActivated(boxes_[static_cast<std::size_t>(box)].id);
}

bool BracketView::viewportEvent(QEvent* event) {
  // A box's tip says the whole match, names cut short in the box included.
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const int box = boxAt(help->pos());
    if (box < 0) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(),
                         plainToolTip(words_.sentence(boxes_[static_cast<std::size_t>(box)].match)),
                         viewport());
    }
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void BracketView::wheelEvent(QWheelEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    const int steps = event->angleDelta().y();
    if (steps != 0) zoomAround(zoom_ * std::pow(1.2, steps / 120.0), event->position());
    event->accept();
    return;
  }
  QAbstractScrollArea::wheelEvent(event);
}

BracketZoomBar::BracketZoomBar(BracketView* view, QWidget* parent) : QWidget(parent), view_(view) {
  setObjectName(QStringLiteral("BracketZoom"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  const auto tool = [this, row](const QString& text, const char* name, const QString& accessible,
                                const QString& tip) {
    auto* b = new QToolButton(this);
    b->setText(text);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(accessible);
    b->setToolTip(tip);
    row->addWidget(b);
    return b;
  };
  auto* out = tool(QStringLiteral("－"), "ZoomOut", QStringLiteral("トーナメント表を縮小する"),
                   QStringLiteral("縮小（Ctrl+－、Ctrl+ホイール）"));
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName(QStringLiteral("Zoom"));
  slider_->setAccessibleName(QStringLiteral("トーナメント表の大きさ"));
  slider_->setToolTip(QStringLiteral("表示の大きさ（Ctrl+ホイール、Ctrl+＋、Ctrl+－）"));
  slider_->setRange(static_cast<int>(std::lround(kMinZoom * 100)),
                    static_cast<int>(std::lround(kMaxZoom * 100)));
  slider_->setPageStep(25);
  slider_->setMaximumWidth(160);
  row->addWidget(slider_);
  auto* in = tool(QStringLiteral("＋"), "ZoomIn", QStringLiteral("トーナメント表を拡大する"),
                  QStringLiteral("拡大（Ctrl+＋、Ctrl+ホイール）"));
  auto* reset =
      tool(QStringLiteral("100%"), "ZoomReset", QStringLiteral("トーナメント表を元の大きさに戻す"),
           QStringLiteral("元の大きさ（Ctrl+0）"));
  shown_ = new QLabel(this);
  shown_->setObjectName(QStringLiteral("ZoomShown"));
  shown_->setTextFormat(Qt::PlainText);
  row->addWidget(shown_);
  row->addStretch(1);
  connect(out, &QToolButton::clicked, this, [this] { view_->setZoom(view_->zoom() / 1.25); });
  connect(in, &QToolButton::clicked, this, [this] { view_->setZoom(view_->zoom() * 1.25); });
  connect(reset, &QToolButton::clicked, this, [this] { view_->setZoom(1.0); });
  connect(slider_, &QSlider::valueChanged, this, [this](int percent) {
    // The slider follows the view too; only a move of its own changes the zoom.
    if (percent != static_cast<int>(std::lround(view_->zoom() * 100)))
      view_->setZoom(percent / 100.0);
  });
  connect(view_, &BracketView::zoomChanged, this, &BracketZoomBar::follow);
  follow(view_->zoom());
}

void BracketZoomBar::follow(double zoom) {
  const int percent = static_cast<int>(std::lround(zoom * 100));
  if (slider_->value() != percent) slider_->setValue(percent);
  shown_->setText(QStringLiteral("%1%").arg(percent));
}

}  // namespace momiru::ui
