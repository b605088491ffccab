// The tournament's views: the bracket's layout at 64 entries, its keys and zoom, the Swiss
// tables, the list of sentences a screen reader walks, and names from files shown as text.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>
#include <deque>
#include <filesystem>
#include <map>
#include <set>

#include "report/tournament.h"
#include "report/tournament_schedule.h"
#include "ui/bracket_view.h"
#include "ui/match_list.h"
#include "ui/match_words.h"
#include "ui/schedule_fixture.h"
#include "ui/screen.h"
#include "ui/standings_view.h"

namespace {

using namespace momiru;
using namespace momiru::report;

using Shown = uitest::ScheduleFixture;

Shown playedFor(std::size_t n, Format format, std::size_t matches, int rounds = 0) {
  return uitest::playedFor(uitest::sampleField(n, format, rounds), matches);
}

QString id(const ScheduledMatch& m) { return QString::fromStdString(m.match.id); }

void press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(w, key, mods);
}

// --- the bracket's layout --------------------------------------------------------------------

// By format and field size: the smallest, one with byes, and 64.
class BracketLayout : public ::testing::TestWithParam<std::tuple<Format, std::size_t>> {};

TEST_P(BracketLayout, EveryMatchHasABoxApartAndTheLinesJoinWinnersToWhereTheyGo) {
  const auto [format, entries] = GetParam();
  const Shown s = playedFor(entries, format, entries * 2 / 3);
  ui::BracketView view;
  view.resize(900, 600);
  view.setBracket(s.t, s.schedule);

  std::map<QString, QRectF> boxes;
  for (const ScheduledMatch& m : s.schedule) {
    const QRectF r = view.matchRect(id(m));
    ASSERT_FALSE(r.isEmpty()) << m.match.id;
    boxes[id(m)] = r;
  }
  // Apart, with room for the id over each box.
  for (auto a = boxes.begin(); a != boxes.end(); ++a)
    for (auto b = std::next(a); b != boxes.end(); ++b)
      EXPECT_FALSE(a->second.adjusted(0, -16, 0, 0).intersects(b->second.adjusted(0, -16, 0, 0)))
          << a->first.toStdString() << " and " << b->first.toStdString();

  // One line for each slot a winner fills, from the right edge of one box to the left of the
  // other, and no other line.
  std::set<std::pair<QString, QString>> want;
  for (const ScheduledMatch& m : s.schedule)
    for (const SlotSource& from : m.from)
      if (from.kind == SlotSource::WinnerOf)
        want.insert({QString::fromStdString(from.matchId), id(m)});
  std::set<std::pair<QString, QString>> drawn;
  for (const ui::BracketView::Link& l : view.links()) {
    drawn.insert({l.from, l.to});
    const QRectF from = boxes.at(l.from);
    const QRectF to = boxes.at(l.to);
    EXPECT_EQ(l.start, QPointF(from.right(), from.center().y())) << l.from.toStdString();
    EXPECT_EQ(l.end, QPointF(to.left(), to.center().y())) << l.to.toStdString();
    EXPECT_LT(l.start.x(), l.end.x()) << l.from.toStdString();
  }
  EXPECT_EQ(drawn, want);

  // The brackets' places: the final at the right, the third-place match under it; in double
  // elimination the losers' bracket under the winners', the grand final right of both.
  double right = 0;
  for (const auto& [name, r] : boxes) right = std::max(right, r.right());
  if (format == Format::Single) {
    QRectF final;
    for (const ScheduledMatch& m : s.schedule)
      if (m.match.bracket == Bracket::Final) final = boxes.at(id(m));
    EXPECT_EQ(final.right(), right);
    if (boxes.count(QStringLiteral("3P")) != 0) {
      const QRectF third = boxes.at(QStringLiteral("3P"));
      EXPECT_EQ(third.left(), final.left());
      EXPECT_GT(third.top(), final.bottom());
    }
  } else {
    double winnersBottom = 0;
    double losersTop = 1e9;
    double othersRight = 0;
    for (const ScheduledMatch& m : s.schedule) {
      const QRectF r = boxes.at(id(m));
      if (m.match.bracket == Bracket::Winners) winnersBottom = std::max(winnersBottom, r.bottom());
      if (m.match.bracket == Bracket::Losers) losersTop = std::min(losersTop, r.top());
      if (m.match.bracket != Bracket::Final) othersRight = std::max(othersRight, r.right());
    }
    EXPECT_LT(winnersBottom, losersTop);
    EXPECT_GT(boxes.at(QStringLiteral("GF1")).left(), othersRight);
  }
}

INSTANTIATE_TEST_SUITE_P(Elimination, BracketLayout,
                         ::testing::Combine(::testing::Values(Format::Single, Format::Double),
                                            ::testing::Values(2, 5, 64)));

// A schedule no play makes (unknown, repeated and circular sources, entries the tournament does
// not have, odd rounds) is drawn as far as it goes, without a crash.
TEST(BracketOutOfShape, IsDrawnWithoutACrash) {
  Tournament t = uitest::sampleField(2, Format::Double);
  const auto match = [](const char* name, int round, Bracket bracket, SlotSource a, SlotSource b) {
    ScheduledMatch m;
    m.match.id = name;
    m.match.round = round;
    m.match.bracket = bracket;
    m.from = {a, b};
    return m;
  };
  const SlotSource none;
  std::vector<ScheduledMatch> schedule = {
      match("A", -5, Bracket::Winners, {SlotSource::WinnerOf, -1, "B"},
            {SlotSource::WinnerOf, -1, "A"}),
      match("B", 1 << 30, Bracket::Losers, {SlotSource::LoserOf, -1, "nowhere"}, none),
      match("A", 2, Bracket::Final, none, none),
      match("C", 3, Bracket::ThirdPlace, {SlotSource::WinnerOf, -1, "A"},
            {SlotSource::WinnerOf, -1, "A"}),
      match("D", 0, Bracket::Swiss, none, none)};
  schedule[1].match.players = {7, -3};
  schedule[1].match.winner = 7;
  schedule[1].match.battles = {BattleRecord{0, 7, 7, 1, ""}};
  schedule[1].played = true;
  ui::BracketView view;
  view.resize(400, 300);
  view.setBracket(t, schedule);
  view.show();
  for (const char* name : {"A", "B", "C", "D"})
    EXPECT_FALSE(view.matchRect(QString::fromLatin1(name)).isEmpty()) << name;
  for (const double z : {0.2, 1.0, 4.0}) {
    view.setZoom(z);
    EXPECT_FALSE(view.grab().isNull());
  }
  for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Left, Qt::Key_Up, Qt::Key_End,
                            Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home})
    press(&view, key);
  view.setBracket(t, {});
  EXPECT_TRUE(view.selectedMatch().isEmpty());
  press(&view, Qt::Key_Down);
  EXPECT_FALSE(view.grab().isNull());
}

// Arrows reach every match, Enter and Space activate it, Home and End go to the ends.
TEST(BracketKeys, ArrowsReachEveryMatchAndEnterOrSpaceActivatesIt) {
  const Shown s = playedFor(64, Format::Double, 0);
  ui::BracketView view;
  view.resize(800, 600);
  view.show();
  view.setBracket(s.t, s.schedule);
  QSignalSpy selected(&view, &ui::BracketView::matchSelected);
  QSignalSpy activated(&view, &ui::BracketView::matchActivated);

  // The first key picks the first match to play.
  press(&view, Qt::Key_Down);
  EXPECT_EQ(view.selectedMatch(), QStringLiteral("W1-1"));
  ASSERT_EQ(selected.count(), 1);
  EXPECT_EQ(selected.front().front().toString(), QStringLiteral("W1-1"));

  std::set<QString> reached{view.selectedMatch()};
  std::deque<QString> todo{view.selectedMatch()};
  while (!todo.empty()) {
    const QString from = todo.front();
    todo.pop_front();
    for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right}) {
      view.selectMatch(from);
      press(&view, key);
      if (reached.insert(view.selectedMatch()).second) todo.push_back(view.selectedMatch());
    }
  }
  EXPECT_EQ(reached.size(), s.schedule.size());

  // A reader hears the view's name and, as its description, the selected match in words.
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&view);
  EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("トーナメント表"));
  view.selectMatch(QStringLiteral("L3-2"));
  const ui::MatchWords words(s.t, s.schedule);
  for (const ScheduledMatch& m : s.schedule)
    if (m.match.id == "L3-2") {
      EXPECT_EQ(face->text(QAccessible::Description), words.sentence(m));
    }

  // Right follows the winner, Left goes back the same way.
  view.selectMatch(QStringLiteral("W1-2"));
  press(&view, Qt::Key_Right);
  EXPECT_EQ(view.selectedMatch(), QStringLiteral("W2-1"));
  press(&view, Qt::Key_Left);
  EXPECT_EQ(view.selectedMatch(), QStringLiteral("W1-2"));
  press(&view, Qt::Key_End);
  EXPECT_EQ(view.selectedMatch(), id(s.schedule.back()));
  press(&view, Qt::Key_Home);
  EXPECT_EQ(view.selectedMatch(), id(s.schedule.front()));

  activated.clear();
  press(&view, Qt::Key_Return);
  press(&view, Qt::Key_Space);
  ASSERT_EQ(activated.count(), 2);
  EXPECT_EQ(activated.at(1).front().toString(), id(s.schedule.front()));

  // A click selects, a double click activates.
  view.selectMatch(QStringLiteral("W1-1"));
  const QRect box = view.matchViewportRect(QStringLiteral("W1-1"));
  ASSERT_TRUE(view.viewport()->rect().contains(box.center()));
  // Its tip says the whole match, as text.
  QHelpEvent help(QEvent::ToolTip, box.center(), view.viewport()->mapToGlobal(box.center()));
  QApplication::sendEvent(view.viewport(), &help);
  EXPECT_EQ(QToolTip::text(), ui::plainToolTip(words.sentence(s.schedule.front())));
  press(&view, Qt::Key_Right);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, box.center());
  EXPECT_EQ(view.selectedMatch(), QStringLiteral("W1-1"));
  activated.clear();
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, box.center());
  ASSERT_EQ(activated.count(), 1);
  EXPECT_EQ(activated.front().front().toString(), QStringLiteral("W1-1"));
}

TEST(BracketZoom, TheSelectedBoxStaysInViewAndTheScrollIsKeptAcrossUpdates) {
  const Shown s = playedFor(64, Format::Double, 30);
  ui::BracketView view;
  view.resize(1000, 500);  // wide enough for a box at the largest zoom
  view.show();
  view.setBracket(s.t, s.schedule);
  const QString far = QStringLiteral("GF1");
  view.selectMatch(far);
  const auto inView = [&] { return view.viewport()->rect().contains(view.matchViewportRect(far)); };
  EXPECT_TRUE(inView());
  for (const double z : {3.0, 0.8, 1.7, 4.0}) {
    view.setZoom(z);
    EXPECT_DOUBLE_EQ(view.zoom(), z);
    EXPECT_TRUE(inView()) << z;
  }
  press(&view, Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_LT(view.zoom(), 4.0);
  EXPECT_TRUE(inView());
  press(&view, Qt::Key_0, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view.zoom(), 1.0);
  EXPECT_TRUE(inView());
  press(&view, Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_GT(view.zoom(), 1.0);
  EXPECT_TRUE(inView());
  view.setZoom(100);
  EXPECT_DOUBLE_EQ(view.zoom(), 4.0);
  // No smaller than where the names can still be read.
  view.setZoom(0.01);
  EXPECT_DOUBLE_EQ(view.zoom(), ui::BracketView::kMinZoom);
  EXPECT_TRUE(inView());

  // Ctrl+wheel zooms about the pointer: the point under it stays there.
  view.setZoom(1.0);
  const QRect before = view.matchViewportRect(far);
  QWheelEvent wheel(QPointF(before.center()),
                    view.viewport()->mapToGlobal(QPointF(before.center())), QPoint(),
                    QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view.viewport(), &wheel);
  EXPECT_GT(view.zoom(), 1.0);
  EXPECT_LE((view.matchViewportRect(far).center() - before.center()).manhattanLength(), 2);

  // Dragging moves the bracket with the pointer.
  const QPoint from(view.viewport()->width() / 2, view.viewport()->height() / 2);
  const QPointF scrolled(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
  QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
  QTest::mouseMove(view.viewport(), from + QPoint(30, 40));
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, from + QPoint(30, 40));
  EXPECT_EQ(view.horizontalScrollBar()->value(), scrolled.x() - 30);
  EXPECT_EQ(view.verticalScrollBar()->value(), scrolled.y() - 40);

  // A new state of the same tournament keeps the selection and the scroll position.
  const int x = view.horizontalScrollBar()->value();
  const int y = view.verticalScrollBar()->value();
  QSignalSpy selected(&view, &ui::BracketView::matchSelected);
  const Shown later = playedFor(64, Format::Double, 60);
  view.setBracket(later.t, later.schedule);
  EXPECT_EQ(view.selectedMatch(), far);
  EXPECT_EQ(view.horizontalScrollBar()->value(), x);
  EXPECT_EQ(view.verticalScrollBar()->value(), y);
  EXPECT_EQ(selected.count(), 0);
}

// The zoom on screen: buttons and a slider that follow the keys, each tip saying its key; Ctrl+0
// leaves the selected match where it was on screen.
TEST(BracketZoom, TheControlsOnScreenFollowTheKeysAndCtrl0KeepsTheSelectedMatchInPlace) {
  const Shown s = playedFor(32, Format::Single, 10);
  QWidget pane;
  auto* view = new ui::BracketView(&pane);
  auto* bar = new ui::BracketZoomBar(view, &pane);
  auto* box = new QVBoxLayout(&pane);
  box->addWidget(bar);
  box->addWidget(view, 1);
  pane.resize(700, 500);
  pane.show();
  view->setBracket(s.t, s.schedule);
  auto* out = pane.findChild<QToolButton*>(QStringLiteral("ZoomOut"));
  auto* in = pane.findChild<QToolButton*>(QStringLiteral("ZoomIn"));
  auto* reset = pane.findChild<QToolButton*>(QStringLiteral("ZoomReset"));
  auto* slider = pane.findChild<QSlider*>(QStringLiteral("Zoom"));
  ASSERT_TRUE(out && in && reset && slider);
  EXPECT_TRUE(out->toolTip().contains("Ctrl"));
  EXPECT_TRUE(in->toolTip().contains("Ctrl"));
  EXPECT_TRUE(reset->toolTip().contains("Ctrl+0"));
  EXPECT_TRUE(slider->toolTip().contains("Ctrl"));
  out->click();
  EXPECT_LT(view->zoom(), 1.0);
  EXPECT_EQ(slider->value(), static_cast<int>(std::lround(view->zoom() * 100)));
  press(view, Qt::Key_Plus, Qt::ControlModifier);
  press(view, Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_EQ(slider->value(), static_cast<int>(std::lround(view->zoom() * 100)));
  slider->setValue(80);
  EXPECT_DOUBLE_EQ(view->zoom(), 0.8);
  for (int i = 0; i < 10; ++i) out->click();
  EXPECT_DOUBLE_EQ(view->zoom(), ui::BracketView::kMinZoom);

  // A match far down, selected and in view at the smallest zoom: Ctrl+0 keeps it in place.
  const QString far = QStringLiteral("R2-7");
  view->selectMatch(far);
  const QPoint before = view->matchViewportRect(far).center();
  ASSERT_TRUE(view->viewport()->rect().contains(before));
  view->setFocus();
  press(view, Qt::Key_0, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->zoom(), 1.0);
  EXPECT_TRUE(view->viewport()->rect().contains(view->matchViewportRect(far)));
  // Only as far as its grown box needs to stay whole in view.
  EXPECT_LE((view->matchViewportRect(far).center() - before).manhattanLength(),
            view->matchViewportRect(far).height() / 2);
  reset->click();
  EXPECT_EQ(slider->value(), 100);
}

// --- the words ------------------------------------------------------------------------------

TEST(MatchSentences, PlayedByeAndToCome) {
  Tournament t = uitest::sampleField(2, Format::Double);
  t.entries[0].storedName = "ポチ";
  t.entries[1].storedName = "タマ";
  ScheduledMatch played;
  played.match.id = "W2-1";
  played.match.round = 2;
  played.match.bracket = Bracket::Winners;
  played.match.players = {0, 1};
  for (const int w : {0, 1, 0}) played.match.battles.push_back(BattleRecord{0, 0, w, 10, ""});
  played.match.winner = 0;
  played.played = true;
  EXPECT_EQ(ui::matchSentence(t, played),
            QStringLiteral("W2-1　勝者側 第2回戦　ポチ 対 タマ　2勝1敗でポチの勝ち"));

  // A drawn battle counts apart; the winner of a level match went through as the better seed.
  played.match.battles = {BattleRecord{0, 0, 1, 10, ""}, BattleRecord{0, 0, std::nullopt, 3, ""},
                          BattleRecord{0, 0, 0, 9, ""}};
  EXPECT_EQ(ui::matchSentence(t, played),
            QStringLiteral("W2-1　勝者側 第2回戦　ポチ 対 タマ　1勝1敗1分の同点、シード上位で"
                           "ポチの勝ち"));

  // Two entries of one name are told apart by their numbers.
  Tournament twins = t;
  twins.entries[1].storedName = "ポチ";
  EXPECT_EQ(
      ui::matchSentence(twins, played),
      QStringLiteral("W2-1　勝者側 第2回戦　ポチ（#1） 対 ポチ（#2）　1勝1敗1分の同点、シード上位で"
                     "ポチ（#1）の勝ち"));

  ScheduledMatch bye;
  bye.match.id = "L1-2";
  bye.match.round = 1;
  bye.match.bracket = Bracket::Losers;
  bye.match.players = {1, std::nullopt};
  bye.match.winner = 1;
  bye.from = {SlotSource{SlotSource::LoserOf, -1, "W1-3"},
              SlotSource{SlotSource::LoserOf, -1, "W1-4"}};
  bye.played = bye.bye = true;
  EXPECT_EQ(ui::matchSentence(t, bye),
            QStringLiteral("L1-2　敗者側 第1回戦　タマ 対 不戦勝　タマの不戦勝"));

  ScheduledMatch toCome;
  toCome.match.id = "GF1";
  toCome.match.round = 1;
  toCome.match.bracket = Bracket::Final;
  toCome.match.players = {0, std::nullopt};
  toCome.from = {SlotSource{SlotSource::WinnerOf, -1, "W6-1"},
                 SlotSource{SlotSource::WinnerOf, -1, "L10-1"}};
  EXPECT_EQ(ui::matchSentence(t, toCome),
            QStringLiteral("GF1　グランドファイナル　ポチ 対 「L10-1 の勝者」　これから"));
  // Once the match it waits for is decided, an empty slot is no one.
  ScheduledMatch source;
  source.match.id = "L10-1";
  source.played = true;
  EXPECT_EQ(ui::MatchWords(t, {source, toCome}).player(toCome, 1), QStringLiteral("不戦勝"));
}

// The list: one sentence a match in schedule order, selection by id both ways, Enter activates.
TEST(MatchListView, OneSentenceAMatchAndTheSelectionFollowsIds) {
  // Six entries in a bracket of eight: two byes in the first round.
  const Shown s = playedFor(6, Format::Single, 1);
  ui::MatchList list;
  list.setTournament(s.t, s.schedule);
  EXPECT_EQ(list.accessibleName(), QStringLiteral("試合の一覧"));
  ASSERT_EQ(list.count(), static_cast<int>(s.schedule.size()));
  const ui::MatchWords words(s.t, s.schedule);
  int byes = 0, played = 0, toCome = 0;
  for (std::size_t i = 0; i < s.schedule.size(); ++i) {
    const QString text = list.item(static_cast<int>(i))->text();
    // Shown in two lines, the result on the second; heard as one sentence.
    EXPECT_EQ(text, words.twoLines(s.schedule[i]));
    EXPECT_EQ(text.section('\n', 0, 0) + QStringLiteral("　") + text.section('\n', 1),
              words.sentence(s.schedule[i]));
    EXPECT_EQ(list.item(static_cast<int>(i))->data(Qt::AccessibleTextRole).toString(),
              words.sentence(s.schedule[i]));
    EXPECT_TRUE(text.startsWith(id(s.schedule[i]) + QStringLiteral("　")));
    byes += text.endsWith(QStringLiteral("の不戦勝"));
    played += text.contains(QStringLiteral("敗で"));
    toCome += text.endsWith(QStringLiteral("これから"));
  }
  EXPECT_EQ(byes, 2);
  EXPECT_EQ(played, 1);
  EXPECT_GE(toCome, 3);

  QSignalSpy selected(&list, &ui::MatchList::matchSelected);
  QSignalSpy activated(&list, &ui::MatchList::matchActivated);
  list.selectMatch(QStringLiteral("R2-1"));
  EXPECT_EQ(list.selectedMatch(), QStringLiteral("R2-1"));
  ASSERT_EQ(selected.count(), 1);
  list.selectMatch(QStringLiteral("R2-1"));
  EXPECT_EQ(selected.count(), 1);
  press(&list, Qt::Key_Return);
  press(&list, Qt::Key_Space);
  ASSERT_EQ(activated.count(), 2);
  EXPECT_EQ(activated.front().front().toString(), QStringLiteral("R2-1"));

  // Played on: the same items, updated, the selection kept without a signal.
  const Shown later = playedFor(6, Format::Single, SIZE_MAX);
  QListWidgetItem* first = list.item(0);
  list.setTournament(later.t, later.schedule);
  EXPECT_EQ(list.item(0), first);
  EXPECT_EQ(list.selectedMatch(), QStringLiteral("R2-1"));
  EXPECT_EQ(selected.count(), 1);
  EXPECT_TRUE(list.currentItem()->text().contains(QStringLiteral("の勝ち")));
  list.selectMatch(QString());
  EXPECT_TRUE(list.selectedMatch().isEmpty());
  ASSERT_EQ(selected.count(), 2);
  EXPECT_TRUE(selected.back().front().toString().isEmpty());
}

// Names from files are data: markup, line breaks and a right-to-left override stay text.
TEST(TournamentViewNames, HostileNamesAreShownAsPlainText) {
  const Shown s = playedFor(8, Format::Swiss, SIZE_MAX, 3);
  Tournament t = s.t;
  const std::string hostile[] = {"<b>x</b>", "a\r\nb",
                                 "\xE2\x80\xAE"
                                 "evil"};
  for (std::size_t i = 0; i < t.entries.size(); ++i) t.entries[i].storedName = hostile[i % 3];
  const auto plain = [](const QString& text) {
    return !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')) &&
           !text.contains(QChar(0x202E));
  };

  ui::MatchList list;
  list.setTournament(t, s.schedule);
  bool sawMarkup = false;
  for (int i = 0; i < list.count(); ++i) {
    // One line break only: the list's own, before the result.
    EXPECT_EQ(list.item(i)->text().count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(plain(list.item(i)->text().replace(QLatin1Char('\n'), QLatin1Char(' '))))
        << list.item(i)->text().toStdString();
    sawMarkup |= list.item(i)->text().contains(QStringLiteral("<b>x</b>"));
  }
  EXPECT_TRUE(sawMarkup);

  ui::StandingsView standings;
  standings.setTournament(t, s.schedule);
  for (QTableWidget* table : {standings.pairingsTable(), standings.standingsTable()})
    for (int r = 0; r < table->rowCount(); ++r)
      for (int c = 0; c < table->columnCount(); ++c)
        EXPECT_TRUE(plain(table->item(r, c)->text())) << table->item(r, c)->text().toStdString();

  const Shown bracket = playedFor(8, Format::Single, 4);
  Tournament tb = bracket.t;
  for (std::size_t i = 0; i < tb.entries.size(); ++i) tb.entries[i].storedName = hostile[i % 3];
  ui::BracketView view;
  view.setBracket(tb, bracket.schedule);
  for (const ScheduledMatch& m : bracket.schedule) {
    view.selectMatch(id(m));
    EXPECT_TRUE(plain(view.accessibleDescription())) << view.accessibleDescription().toStdString();
  }
}

// --- Swiss ----------------------------------------------------------------------------------

TEST(StandingsTables, SwissRoundsPairingsWithTheByeAndTheTieBreakColumns) {
  // Nine entries: one has the bye in every round.
  const Shown s = playedFor(9, Format::Swiss, 4, 3);
  ui::StandingsView view;
  view.setTournament(s.t, s.schedule);
  EXPECT_EQ(view.pairingsTable()->accessibleName(), QStringLiteral("組み合わせ"));
  EXPECT_EQ(view.standingsTable()->accessibleName(), QStringLiteral("順位表"));

  // The rounds paired so far, and the one being played shown first.
  QStringList rounds;
  for (int i = 0; i < view.roundChooser()->count(); ++i) rounds << view.roundChooser()->itemText(i);
  EXPECT_EQ(rounds, (QStringList{QStringLiteral("第1回戦"), QStringLiteral("第2回戦")}));
  EXPECT_EQ(view.shownRound(), 2);

  // Round 1: four pairs and the bye, played.
  view.showRound(1);
  QTableWidget* pairings = view.pairingsTable();
  ASSERT_EQ(pairings->rowCount(), 5);
  EXPECT_EQ(pairings->item(4, 2)->text(), QStringLiteral("不戦勝"));
  EXPECT_TRUE(pairings->item(4, 4)->text().endsWith(QStringLiteral("の不戦勝")));
  for (int r = 0; r < 4; ++r) {
    EXPECT_TRUE(pairings->item(r, 3)->text().contains(QStringLiteral(" - ")));
    EXPECT_TRUE(pairings->item(r, 4)->text().contains(QStringLiteral("勝")));
  }

  // The standings: rank, name, points and each tie-break by its Japanese name.
  QTableWidget* table = view.standingsTable();
  ASSERT_EQ(table->rowCount(), 9);
  ASSERT_FALSE(s.t.standings.empty());
  QStringList want{QStringLiteral("順位"), QStringLiteral("参加者"), QStringLiteral("点")};
  for (const auto& [name, v] : s.t.standings.front().tieBreaks) want << ui::tieBreakHead(name);
  QStringList heads;
  for (int c = 0; c < table->columnCount(); ++c) heads << table->horizontalHeaderItem(c)->text();
  EXPECT_EQ(heads, want);
  EXPECT_TRUE(heads.contains(QStringLiteral("ブッフホルツ")));
  EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("1"));
  EXPECT_EQ(table->item(0, 1)->text(), ui::MatchWords(s.t, {}).entry(s.t.standings[0].entry));

  // Selecting a match of another round shows that round; Enter activates the selected row.
  QSignalSpy selected(&view, &ui::StandingsView::matchSelected);
  QSignalSpy activated(&view, &ui::StandingsView::matchActivated);
  view.selectMatch(QStringLiteral("R2-3"));
  EXPECT_EQ(view.shownRound(), 2);
  EXPECT_EQ(view.selectedMatch(), QStringLiteral("R2-3"));
  ASSERT_EQ(selected.count(), 1);
  pairings->setFocus();
  press(pairings, Qt::Key_Return);
  ASSERT_EQ(activated.count(), 1);
  EXPECT_EQ(activated.front().front().toString(), QStringLiteral("R2-3"));
  press(pairings, Qt::Key_Down);
  EXPECT_EQ(view.selectedMatch(), QStringLiteral("R2-4"));

  // The round being played is followed into the next one; a round chosen stays.
  const Shown next = playedFor(9, Format::Swiss, 8, 3);
  view.setTournament(next.t, next.schedule);
  EXPECT_EQ(view.roundChooser()->count(), 3);
  EXPECT_EQ(view.shownRound(), 3);
  view.showRound(1);
  const Shown later = playedFor(9, Format::Swiss, 9, 3);
  view.setTournament(later.t, later.schedule);
  EXPECT_EQ(view.shownRound(), 1);
  EXPECT_EQ(view.selectedMatch(), QStringLiteral("R2-4"));
}

}  // namespace
