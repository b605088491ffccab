// The elimination bracket: laid out once, painted box by box as far as the viewport sees.
#include "ui/bracket_view.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <map>

#include "report/tournament_words.h"
#include "ui/screen.h"
#include "ui/ui_font.h"

namespace momiru::ui {

namespace {

// The bracket's measures at zoom 1, in pixels.
constexpr double kBoxW = 210;
constexpr double kLineH = 20;
constexpr double kBoxH = 2 * kLineH + 4;
constexpr double kLabelH = 16;  // the id over each box
constexpr double kRowGap = 8;
constexpr double kColGap = 44;  // where the lines run
constexpr double kMargin = 14;
constexpr double kHeadH = 24;   // a column's heading
constexpr double kTitleH = 30;  // a bracket's title (勝者側, 敗者側)
constexpr double kSectionGap = 36;
constexpr double kPad = 5;
constexpr double kMarkW = 14;   // the winner's mark
constexpr double kWinsW = 22;   // the battles won
constexpr double kNamePx = 13;  // the names' size
constexpr double kLabelPx = 11;
constexpr double kHeadPx = 13;
constexpr double kTitlePx = 16;
// Below this size in device pixels text is not legible, and the boxes are drawn without it.
constexpr double kSmallestTextPx = 5;
constexpr double kMinZoom = 0.2;
constexpr double kMaxZoom = 4.0;

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
    "矢印キーで試合を選び、Enter で開きます。Ctrl と＋、－、0 で拡大、縮小、元の大きさ。");

QFont pixelFont(double px, bool bold) {
  QFont f = uiFont(9.0, bold);
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
  return f;
}

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
  boxes_.clear();
  boxes_.reserve(schedule.size());
  byId_.clear();
  for (const report::ScheduledMatch& m : schedule) {
    if (!byId_.emplace(m.match.id, static_cast<int>(boxes_.size())).second) continue;
    Box b;
    b.match = m;
    b.id = QString::fromStdString(m.match.id);
    for (int s = 0; s < 2; ++s) b.names[static_cast<std::size_t>(s)] = words_.player(m, s);
    if (m.played) {
      b.wins = MatchWords::wins(m.match);
      b.winner = MatchWords::winnerSide(m.match);
    }
    boxes_.push_back(std::move(b));
  }
  layOut(t.rules.format);
  elided_.assign(boxes_.size(), {});
  const auto kept = byId_.find(keep.toStdString());
  selected_ = keep.isEmpty() || kept == byId_.end() ? -1 : kept->second;
  cameFrom_ = -1;
  announceSelection();
  updateScrollBars();
  viewport()->update();
  if (!keep.isEmpty() && selected_ < 0) emit matchSelected(QString());
}

void BracketView::layOut(report::Format format) {
  headings_.clear();
  columns_.clear();
  const bool twoBrackets = format == report::Format::Double;
  // Each box's part: 0 the main or winners' bracket, 1 the losers', 2 the grand finals,
  // 3 the third-place match.
  std::vector<int> part(boxes_.size(), 0);
  std::array<std::map<int, int>, 3> roundColumn;  // by part: round -> column within it
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    const report::Bracket bracket = boxes_[i].match.match.bracket;
    int p = 0;
    if (bracket == report::Bracket::ThirdPlace)
      p = 3;
    else if (bracket == report::Bracket::Losers)
      p = 1;
    else if (bracket == report::Bracket::Final && twoBrackets)
      p = 2;
    part[i] = p;
    if (p < 3) roundColumn[static_cast<std::size_t>(p)][boxes_[i].match.match.round] = 0;
  }
  for (auto& rounds : roundColumn) {
    int c = 0;
    for (auto& [round, column] : rounds) column = c++;
  }
  const int finalsFrom = static_cast<int>(std::max(roundColumn[0].size(), roundColumn[1].size()));
  const int columnCount = finalsFrom + static_cast<int>(roundColumn[2].size());
  columns_.assign(static_cast<std::size_t>(std::max(columnCount, 1)), {});
  const auto columnX = [](int c) { return kMargin + c * (kBoxW + kColGap); };

  // The tops of the parts: the losers' bracket starts below the winners' once that is laid out.
  const double top0 = kMargin + (twoBrackets ? kTitleH : 0) + kHeadH;
  std::vector<double> bottom(columns_.size(), top0 - kRowGap);
  std::vector<double> bottom1;  // the losers' part's own, once it starts
  double losersTop = 0;
  int finalBox = -1;

  const auto place = [&](std::size_t i, std::vector<double>& colBottom) {
    Box& b = boxes_[i];
    // Centred on the boxes that feed it, or under the last box of its column.
    double centre = 0;
    int fed = 0;
    for (const int f : b.feeders)
      if (f >= 0 && boxes_[static_cast<std::size_t>(f)].rect.isValid()) {
        centre += boxes_[static_cast<std::size_t>(f)].rect.center().y();
        ++fed;
      }
    const double lowest = colBottom[static_cast<std::size_t>(b.column)] + kRowGap + kLabelH;
    const double top = fed > 0 ? std::max(lowest, centre / fed - kBoxH / 2) : lowest;
    b.rect = QRectF(columnX(b.column), top, kBoxW, kBoxH);
    colBottom[static_cast<std::size_t>(b.column)] = b.rect.bottom();
  };

  // Links first: the sources of every slot, found by id.
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    Box& b = boxes_[i];
    for (std::size_t s = 0; s < 2; ++s) {
      const report::SlotSource& from = b.match.from[s];
      if (from.kind != report::SlotSource::WinnerOf && from.kind != report::SlotSource::LoserOf)
        continue;
      const auto it = byId_.find(from.matchId);
      if (it == byId_.end() || it->second == static_cast<int>(i)) continue;
      b.sources.push_back(it->second);
      Box& source = boxes_[static_cast<std::size_t>(it->second)];
      if (from.kind == report::SlotSource::WinnerOf && source.next < 0 &&
          it->second < static_cast<int>(i)) {
        source.next = static_cast<int>(i);
        b.feeders[s] = it->second;
      }
    }
    const int p = part[i];
    if (p < 3) {
      const int c = roundColumn[static_cast<std::size_t>(p)].at(b.match.match.round);
      b.column = p == 2 ? finalsFrom + c : c;
    }
    b.label = shownName(b.match.match.id);
  }

  // The main or winners' part, then the losers' below it, then the finals and third place.
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    if (part[i] != 0) continue;
    place(i, bottom);
    if (boxes_[i].match.match.bracket == report::Bracket::Final) finalBox = static_cast<int>(i);
  }
  double mainBottom = top0;
  for (const double b : bottom) mainBottom = std::max(mainBottom, b);
  if (twoBrackets) {
    losersTop = mainBottom + kSectionGap + kTitleH + kHeadH;
    bottom1.assign(columns_.size(), losersTop - kRowGap);
    for (std::size_t i = 0; i < boxes_.size(); ++i)
      if (part[i] == 1) place(i, bottom1);
    for (std::size_t i = 0; i < boxes_.size(); ++i)
      if (part[i] == 2) {
        place(i, bottom);
        boxes_[i].label += QStringLiteral("　") + words_.round(boxes_[i].match.match);
      }
  }
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    if (part[i] != 3) continue;
    Box& b = boxes_[i];
    // Under the final, a little apart from it.
    b.column = finalBox >= 0 ? boxes_[static_cast<std::size_t>(finalBox)].column
                             : std::max(0, static_cast<int>(roundColumn[0].size()) - 1);
    bottom[static_cast<std::size_t>(b.column)] += kRowGap * 2;
    place(i, bottom);
    b.label += QStringLiteral("　") + words_.round(b.match.match);
  }

  // Headings: each column's round, the brackets' titles.
  const auto named = [&](report::Bracket b) { return wordsText(report::bracketWords(b, format)); };
  const auto headingFor = [&](int p, double titleTop) {
    if (twoBrackets && p < 2)
      headings_.push_back({named(p == 0 ? report::Bracket::Winners : report::Bracket::Losers),
                           QPointF(kMargin, titleTop), true});
    const double headTop = titleTop + (twoBrackets ? kTitleH : 0);
    for (const auto& [round, c] : roundColumn[static_cast<std::size_t>(p)]) {
      const int column = p == 2 ? finalsFrom + c : c;
      QString text = wordsText(report::roundWords(round));
      if (p == 2) text = c == 0 ? named(report::Bracket::Final) : QStringLiteral("再戦");
      if (p == 0 && finalBox >= 0 && boxes_[static_cast<std::size_t>(finalBox)].column == column)
        text = wordsText(report::bracketWords(report::Bracket::Final, report::Format::Single));
      headings_.push_back({text, QPointF(columnX(column), headTop), false});
    }
  };
  headingFor(0, kMargin);
  if (twoBrackets) {
    headingFor(1, losersTop - kHeadH - kTitleH);
    headingFor(2, kMargin);
  }

  double right = kMargin;
  double lowest = kMargin;
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    const Box& b = boxes_[i];
    columns_[static_cast<std::size_t>(b.column)].push_back(static_cast<int>(i));
    right = std::max(right, b.rect.right());
    lowest = std::max(lowest, b.rect.bottom());
  }
  for (auto& column : columns_)
    std::sort(column.begin(), column.end(), [this](int a, int b) {
      return boxes_[static_cast<std::size_t>(a)].rect.top() <
             boxes_[static_cast<std::size_t>(b)].rect.top();
    });
  size_ = QSizeF(right + kMargin, lowest + kMargin);
}

QString BracketView::selectedMatch() const {
  return selected_ >= 0 ? boxes_[static_cast<std::size_t>(selected_)].id : QString();
}

void BracketView::selectMatch(const QString& id) {
  const auto it = byId_.find(id.toStdString());
  if (it != byId_.end()) {
    moveSelection(it->second);
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
  const auto it = byId_.find(id.toStdString());
  return it == byId_.end() ? QRectF() : boxes_[static_cast<std::size_t>(it->second)].rect;
}

QRect BracketView::matchViewportRect(const QString& id) const {
  const QRectF r = matchRect(id);
  if (r.isNull()) return {};
  return QRectF(r.topLeft() * zoom_ - scroll(), r.size() * zoom_).toAlignedRect();
}

std::vector<BracketView::Link> BracketView::links() const {
  std::vector<Link> out;
  for (const Box& b : boxes_) {
    if (b.next < 0) continue;
    const Box& to = boxes_[static_cast<std::size_t>(b.next)];
    out.push_back({b.id, to.id, QPointF(b.rect.right(), b.rect.center().y()),
                   QPointF(to.rect.left(), to.rect.center().y())});
  }
  return out;
}

void BracketView::ensureVisible(int box) {
  const Box& b = boxes_[static_cast<std::size_t>(box)];
  const QRectF whole = b.rect.adjusted(-kPad, -kLabelH - kPad, kPad, kPad);
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
  const int w = static_cast<int>(std::ceil(size_.width() * zoom_));
  const int h = static_cast<int>(std::ceil(size_.height() * zoom_));
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
    const QRectF r = boxes_[static_cast<std::size_t>(selected_)].rect;
    const QPointF centre = r.center() * zoom_ - scroll();
    if (viewport()->rect().contains(centre.toPoint())) anchor = centre;
  }
  zoomAround(zoom, anchor);
  if (selected_ >= 0) ensureVisible(selected_);
}

void BracketView::zoomAround(double zoom, QPointF anchor) {
  const QPointF at = (anchor + scroll()) / zoom_;
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
    for (const Heading& h : headings_) {
      const QRectF r(h.at, QSizeF(kBoxW * 2, h.title ? kTitleH : kHeadH));
      if (!r.intersects(seen)) continue;
      p.setFont(pixelFont((h.title ? kTitlePx : kHeadPx) * z, true));
      p.setPen(kText);
      p.drawText(rectToView(r), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, h.text);
    }
  }

  // Lines from each match to the one its winner goes on to.
  QPen linePen(kLine, std::max(1.0, 1.5 * z));
  linePen.setJoinStyle(Qt::MiterJoin);
  p.setPen(linePen);
  p.setBrush(Qt::NoBrush);
  for (const Box& b : boxes_) {
    if (b.next < 0) continue;
    const Box& to = boxes_[static_cast<std::size_t>(b.next)];
    const QPointF start(b.rect.right(), b.rect.center().y());
    const QPointF end(to.rect.left(), to.rect.center().y());
    if (!QRectF(start, end).normalized().adjusted(-2, -2, 2, 2).intersects(seen)) continue;
    const double bend = end.x() - kColGap / 2;
    const QPointF points[] = {toView(start), toView(QPointF(bend, start.y())),
                              toView(QPointF(bend, end.y())), toView(end)};
    p.drawPolyline(points, 4);
  }

  // The boxes.
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    const Box& b = boxes_[i];
    if (!b.rect.adjusted(0, -kLabelH, 0, 0).intersects(seen)) continue;
    const bool selected = static_cast<int>(i) == selected_;
    const QRectF r = rectToView(b.rect);
    p.setPen(QPen(selected ? kSelectedEdge : kBoxEdge, selected ? std::max(2.0, 3 * z) : 1.0));
    p.setBrush(selected ? kSelectedFill : kBoxFill);
    p.drawRect(r);
    if (b.winner >= 0 && !selected) {
      const QRectF line(b.rect.left(), b.rect.top() + 2 + b.winner * kLineH, kBoxW, kLineH);
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
    p.drawText(rectToView(QRectF(b.rect.left(), b.rect.top() - kLabelH, kBoxW * 1.5, kLabelH)),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, b.label);
    for (int s = 0; s < 2; ++s) {
      const auto side = static_cast<std::size_t>(s);
      const double top = b.rect.top() + 2 + s * kLineH;
      const bool known = b.match.match.players[side].has_value();
      const bool won = b.winner == s;
      if (won) {
        p.setFont(winnerFont_);
        p.setPen(kText);
        p.drawText(rectToView(QRectF(b.rect.left() + kPad, top, kMarkW, kLineH)),
                   Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("▶"));
      } else {
        p.setFont(nameFont_);
        p.setPen(known ? kText : kFaint);
      }
      p.drawText(rectToView(QRectF(b.rect.left() + kPad + kMarkW, top,
                                   kBoxW - kMarkW - kWinsW - 2 * kPad, kLineH)),
                 Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                 elided(static_cast<int>(i), s));
      if (b.match.played && !b.match.match.battles.empty())
        p.drawText(rectToView(QRectF(b.rect.right() - kPad - kWinsW, top, kWinsW, kLineH)),
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
    if (boxes_[i].rect.contains(at)) return static_cast<int>(i);
  return -1;
}

int BracketView::neighbour(int box, int key) const {
  const Box& b = boxes_[static_cast<std::size_t>(box)];
  const auto& column = columns_[static_cast<std::size_t>(b.column)];
  const auto here = std::find(column.begin(), column.end(), box) - column.begin();
  const double y = b.rect.center().y();
  // The box of column `c` nearest to the height `y`.
  const auto nearest = [&](const std::vector<int>& candidates) {
    int best = -1;
    double distance = 0;
    for (const int c : candidates) {
      const double d = std::abs(boxes_[static_cast<std::size_t>(c)].rect.center().y() - y);
      if (best < 0 || d < distance) {
        best = c;
        distance = d;
      }
    }
    return best;
  };
  const auto nextColumn = [&](int step) {
    for (int c = b.column + step; c >= 0 && c < static_cast<int>(columns_.size()); c += step)
      if (!columns_[static_cast<std::size_t>(c)].empty())
        return nearest(columns_[static_cast<std::size_t>(c)]);
    return -1;
  };
  const int page =
      std::max(1, static_cast<int>(viewport()->height() / ((kBoxH + kLabelH + kRowGap) * zoom_)));
  switch (key) {
    case Qt::Key_Up:
      return here > 0 ? column[static_cast<std::size_t>(here - 1)] : -1;
    case Qt::Key_Down:
      return here + 1 < static_cast<long>(column.size())
                 ? column[static_cast<std::size_t>(here + 1)]
                 : -1;
    case Qt::Key_PageUp:
      return column[static_cast<std::size_t>(std::max<long>(0, here - page))];
    case Qt::Key_PageDown:
      return column[static_cast<std::size_t>(
          std::min<long>(static_cast<long>(column.size()) - 1, here + page))];
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

}  // namespace momiru::ui
