// The bracket on screen at its largest, a 1,024-entry double elimination of best of 3 played to
// its end: handing
// it to the view and drawing it the first time (target, with reading the file, 0.5 s), and drawing
// one step of the wheel (well under a 16 ms frame). The list of sentences and the standings tables
// of a 1,000-entry Swiss of 10 rounds are measured alongside. Runs on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include "report/tournament.h"
#include "ui/bracket_view.h"
#include "ui/match_list.h"
#include "ui/schedule_fixture.h"
#include "ui/standings_view.h"

namespace {

using namespace momiru;
using namespace momiru::report;

using Shown = uitest::ScheduleFixture;

const Shown& doubleElimination() {
  static const Shown s = uitest::playedFor(uitest::sampleField(1024, Format::Double), SIZE_MAX, 2);
  return s;
}

// What a paint of the widget shows, drawn into an image of the screen's size.
void paint(QWidget& w, QImage& into) {
  QPainter p(&into);
  w.render(&p);
}

void BracketSetAndFirstPaint1024(benchmark::State& state) {
  const Shown& s = doubleElimination();
  QImage image(1280, 800, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    momiru::ui::BracketView view;
    view.resize(image.size());
    view.setBracket(s.t, s.schedule);
    paint(view, image);
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["boxes"] = static_cast<double>(s.schedule.size());
}
BENCHMARK(BracketSetAndFirstPaint1024)->Unit(benchmark::kMillisecond)->UseRealTime();

// setBracket on a view already showing the tournament, as after each match played.
void BracketUpdate1024(benchmark::State& state) {
  const Shown& s = doubleElimination();
  momiru::ui::BracketView view;
  view.resize(1280, 800);
  view.setBracket(s.t, s.schedule);
  for (auto _ : state) view.setBracket(s.t, s.schedule);
}
BENCHMARK(BracketUpdate1024)->Unit(benchmark::kMillisecond)->UseRealTime();

// One wheel step (three lines of 24 pixels), drawn, at the natural size and zoomed out.
void BracketScrollStep1024(benchmark::State& state) {
  const Shown& s = doubleElimination();
  momiru::ui::BracketView view;
  view.resize(1280, 800);
  view.setBracket(s.t, s.schedule);
  view.setZoom(static_cast<double>(state.range(0)) / 100.0);
  QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
  QScrollBar* bar = view.verticalScrollBar();
  int step = 72;
  for (auto _ : state) {
    if (bar->value() + step > bar->maximum() || bar->value() + step < 0) step = -step;
    bar->setValue(bar->value() + step);
    QPainter p(&image);
    view.viewport()->render(&p);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BracketScrollStep1024)
    ->Arg(100)
    ->Arg(40)
    ->Arg(20)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void MatchListSet1024(benchmark::State& state) {
  const Shown& s = doubleElimination();
  for (auto _ : state) {
    momiru::ui::MatchList list;
    list.setTournament(s.t, s.schedule);
    benchmark::DoNotOptimize(list.count());
  }
}
BENCHMARK(MatchListSet1024)->Unit(benchmark::kMillisecond)->UseRealTime();

void StandingsSetSwiss1000(benchmark::State& state) {
  static const Shown s =
      uitest::playedFor(uitest::sampleField(1000, Format::Swiss, 10), SIZE_MAX, 2);
  for (auto _ : state) {
    momiru::ui::StandingsView view;
    view.resize(1280, 800);
    view.setTournament(s.t, s.schedule);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    paint(view, image);
  }
}
BENCHMARK(StandingsSetSwiss1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
