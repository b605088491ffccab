// The elimination bracket drawn in the tournament window: a column a round, the winners' bracket
// above the losers' bracket, the grand final(s) at the right and the third-place match under the
// final, each match a box with its two players and the battles they won, and a line from each
// match to the one its winner goes on to. Scrolled by wheel, scroll bars or dragging, zoomed by
// Ctrl+wheel, Ctrl+'+', Ctrl+'-' and Ctrl+'0'; arrows, Home and End choose a match.
//
// Laid out once per setBracket (report/bracket_layout.h); a paint draws only the boxes and lines
// it can see, so that a field of 1,024 entries (2,047 boxes and more) scrolls at the screen's
// rate.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QRectF>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "report/bracket_layout.h"
#include "report/tournament.h"
#include "report/tournament_schedule.h"
#include "ui/match_words.h"

class QLabel;
class QSlider;

namespace momiru::ui {

class BracketView final : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit BracketView(QWidget* parent = nullptr);

  // Shows `schedule` (TournamentPlay::schedule()) of `t`. Everything drawn is copied, so the
  // caller may go on playing the tournament on another thread. The selected match and the scroll
  // position are kept when called again (a selected match the schedule no longer has
  // is unselected, with matchSelected of an empty id). The same setter as StandingsView and
  // MatchList.
  void setTournament(const report::Tournament& t,
                     const std::vector<report::ScheduledMatch>& schedule);
  void setBracket(const report::Tournament& t,
                  const std::vector<report::ScheduledMatch>& schedule) {
    setTournament(t, schedule);
  }

  // The selected match's id, or an empty string. selectMatch selects a match by id (an unknown
  // id selects nothing), scrolls it into view and emits matchSelected when the selection changes.
  QString selectedMatch() const;
  void selectMatch(const QString& id);

  // 1 is the natural size; kept between kMinZoom, where every name can still be read, and
  // kMaxZoom. The selected box stays in view, where it was when it was in view.
  static constexpr double kMinZoom = 0.7;
  static constexpr double kMaxZoom = 4.0;
  void setZoom(double zoom);
  double zoom() const { return zoom_; }

  // Where the match's box lies at zoom 1, in the bracket's own coordinates (an empty rectangle
  // for an unknown id), and where it lies in the viewport now.
  QRectF matchRect(const QString& id) const;
  QRect matchViewportRect(const QString& id) const;

  // A line drawn from a match to the match its winner goes on to, at zoom 1.
  struct Link {
    QString from;
    QString to;
    QPointF start;  // on the right edge of `from`'s box
    QPointF end;    // on the left edge of `to`'s box
  };
  std::vector<Link> links() const;

 signals:
  // The selection moved to the match `id` (by click, keys or selectMatch).
  void matchSelected(const QString& id);
  // Enter, Space or a double click on the match `id`.
  void matchActivated(const QString& id);
  // The zoom changed (by keys, wheel or setZoom).
  void zoomChanged(double zoom);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // One match as drawn: its words, fixed at setTournament; its place is the layout's box of the
  // same index.
  struct Box {
    report::ScheduledMatch match;
    QString id;
    QString label;  // over the box: the id, and the round's name where the column does not say it
    std::array<QString, 2> names;
    std::array<int, 2> wins{0, 0};
    int winner = -1;  // the side that won, -1 for none yet
  };

  const report::BracketBox& placed(int box) const {
    return layout_.boxes[static_cast<std::size_t>(box)];
  }
  QRectF rectOf(int box) const;
  void updateScrollBars();
  void moveSelection(int box, bool scroll = true);
  void ensureVisible(int box);
  void zoomAround(double zoom, QPointF anchor);
  int boxAt(QPoint viewportPos) const;
  int neighbour(int box, int key) const;
  void announceSelection();
  QPointF scroll() const;
  const QString& elided(int box, int side) const;

  std::vector<Box> boxes_;
  report::BracketLayout layout_;
  MatchWords words_;
  double zoom_ = 1.0;
  int selected_ = -1;
  int cameFrom_ = -1;  // the box Right left from, which Left goes back to
  // Dragging the view with the mouse.
  QPoint pressAt_;
  QPointF pressScroll_;
  bool pressing_ = false;
  bool dragging_ = false;
  // Names cut to the width of a box at the present zoom, made when first painted.
  mutable std::vector<std::array<std::optional<QString>, 2>> elided_;
  QFont nameFont_;
  QFont winnerFont_;
  QFont smallFont_;
};

// The bracket's zoom on screen: 縮小, a slider, 拡大 and 100%, each saying its key in its tip.
class BracketZoomBar final : public QWidget {
  Q_OBJECT
 public:
  BracketZoomBar(BracketView* view, QWidget* parent = nullptr);

 private:
  void follow(double zoom);

  BracketView* view_;
  QSlider* slider_;
  QLabel* shown_;
};

}  // namespace momiru::ui
