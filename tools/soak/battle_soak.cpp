// Developer aid, not a test case: plays many battles in a row through the real screens (title,
// options, entry, battle, result) with the sample characters, and reports the memory the game
// holds, any battle that stalls or disagrees with the headless runner, and the CPU it uses.
// tools/soak-battles builds and runs it.
#include <malloc.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmapCache>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/screen_flow.h"
#include "app/start_up.h"
#include "battle/headless.h"
#include "battle/texts.h"
#include "data/platform.h"
#include "media/sound_library.h"
#include "media/sounds.h"
#include "ui/battle_screen.h"
#include "ui/picture_bank.h"
#include "ui/platform_dialogs.h"
#include "ui/result_screen.h"
#include "ui/ui_font.h"

namespace {

using momiru::app::ScreenFlow;
namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: battle_soak [--battles N] [--speed MS] [--cpu-seconds S [--cpu-after A]]\n"
    "                   [--samples DIR]\n"
    "\n"
    "Walks title, options, entry, battle and result N times (default 1000) with pairs of the\n"
    "sample characters, at battle speed MS (default 1), and prints the resident memory at\n"
    "battle 10 and at the last battle. A battle that has not reached the result screen after\n"
    "10 minutes is a stall. With --cpu-seconds, measures the CPU time used during the first S\n"
    "seconds of the first battle, or during the S seconds from A seconds into it, which leaves\n"
    "out the screen's first drawing. Exit status 0 when every battle ended as the headless runner\n"
    "says, 1 otherwise, 64 for a usage error.\n"
    "Environment: SOAK_PIXMAP_CACHE_KB sets the pixmap cache's limit, SOAK_MALLOC_TRIM returns\n"
    "freed memory to the system after each battle, SOAK_PIXMAP_CLEAR empties the pixmap cache\n"
    "after each battle, SOAK_EVERY prints the memory at every battle,\n"
    "SOAK_QUICK_EXIT leaves without freeing anything, so that a heap profiler reports all\n"
    "that the game still held after the last battle as leaked.\n";

// Answers the open dialog from a queue; nothing else is ever asked in a sound run.
class SoakDialogs final : public momiru::ui::PlatformDialogs {
 public:
  std::deque<fs::path> answers;
  std::optional<fs::path> openSaveData(QWidget*) override {
    if (answers.empty()) return std::nullopt;
    fs::path p = answers.front();
    answers.pop_front();
    return p;
  }
  void integrityMessage(QWidget*) override {}
  void terminateProgram() override {
    std::fputs("battle_soak: a sample failed its check\n", stderr);
  }
  std::optional<fs::path> saveReplayAs(QWidget*, const QString&) override { return std::nullopt; }
  void replayMessage(QWidget*, const QString&) override {}
};

long rssKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  const auto sec = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return sec(u.ru_utime) + sec(u.ru_stime);
}

bool click(ScreenFlow& flow, const char* button) {
  if (flow.current() == nullptr) return false;
  auto* b = flow.current()->findChild<QPushButton*>(QString::fromLatin1(button));
  if (b == nullptr) return false;
  b->click();
  return true;
}

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

std::optional<long> number(const char* text, long min, long max) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < min || v > max) return std::nullopt;
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  long battles = 1000;
  long speed = 1;
  long cpuWindow = 0;
  long cpuAfter = 0;
  fs::path samples = fs::path(MOMIRU_SOURCE_DIR) / "samples";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    std::optional<long> v;
    if (arg == "--battles" && (v = number(value, 1, 1000000))) {
      battles = *v;
    } else if (arg == "--speed" && (v = number(value, 1, 300))) {
      speed = *v;
    } else if (arg == "--cpu-seconds" && (v = number(value, 1, 3600))) {
      cpuWindow = *v;
    } else if (arg == "--cpu-after" && (v = number(value, 0, 600))) {
      cpuAfter = *v;
    } else if (arg == "--samples" && *value != '\0') {
      samples = value;
    } else {
      std::fputs(kUsage, stderr);
      return 64;
    }
    ++i;
  }

  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(samples, ec)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".dat" && name.rfind("altered", 0) != 0)
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  if (files.size() < 2) {
    std::fprintf(stderr, "battle_soak: fewer than two samples in %s\n", samples.string().c_str());
    return 64;
  }

  QApplication app(argc, argv);
  QApplication::setFont(momiru::ui::uiFont());
  momiru::app::limitMemory();
  if (const char* kib = std::getenv("SOAK_PIXMAP_CACHE_KB"))
    QPixmapCache::setCacheLimit(std::atoi(kib));
  momiru::media::prepareGameMusic();  // as the game's start-up does
  if (cpuWindow > 0) {
    // A player spends a few seconds on the title and entry screens, time in which the battle
    // music's rendering is made; the CPU of a battle is measured after it, as it is played.
    const std::string music = momiru::pathToUtf8(
        momiru::findDataFile(momiru::utf8ToPath(std::string(momiru::media::kBattleMusic))));
    const momiru::media::SoundLibrary* library = momiru::media::soundLibrary();
    const auto prepared = [&] { return library != nullptr && library->musicPrepared(music); };
    QElapsedTimer waited;
    waited.start();
    while (!prepared() && waited.elapsed() < 30000) QThread::msleep(20);
    std::printf("battle music %s after %.1f s\n", prepared() ? "rendered" : "not rendered",
                static_cast<double>(waited.elapsed()) / 1000.0);
  }
  QTemporaryDir settings;
  {
    std::ofstream out(fs::path(settings.path().toStdString()) / "settei.sei", std::ios::binary);
    out << "1\r\n0\r\n1\r\n" << speed << "\r\n";  // hit pictures on, full damage, message box on
  }
  // Every battle that reaches its result is kept as a replay, as in the game; here in a folder of
  // the soak's own, so that a thousand battles leave nothing in the player's replays.
  QTemporaryDir replays;
  qputenv("XDG_DATA_HOME", replays.path().toLocal8Bit());
  momiru::GameState gs;
  momiru::ui::PictureBank pictures;
  SoakDialogs dialogs;
  momiru::ui::ScreenContext ctx{gs, pictures, dialogs, settings.path().toStdString()};
  ScreenFlow flow(ctx, [] {});
  flow.start();

  // Returning freed memory to the system after each battle tells fragmentation from live growth.
  const bool trim = std::getenv("SOAK_MALLOC_TRIM") != nullptr;
  int failures = 0;
  QElapsedTimer wall;
  wall.start();
  for (long b = 1; b <= battles; ++b) {
    const std::size_t n = files.size();
    const auto i = static_cast<std::size_t>(b - 1);
    const fs::path& a = files[i % n];
    const fs::path& c = files[(i / n + 1 + i) % n];
    dialogs.answers = {a, c};
    if (!(click(flow, "Command2") && click(flow, "Command4") && click(flow, "Command1") &&
          click(flow, "Command2") && click(flow, "Command1") && click(flow, "Command2")) ||
        flow.where() != ScreenFlow::Where::Battle) {
      std::fprintf(stderr, "battle %ld: the flow did not reach the battle screen\n", b);
      return 1;
    }
    auto* screen = static_cast<momiru::ui::BattleScreen*>(flow.current());
    momiru::GameState headless;
    headless.combatant = gs.combatant;
    headless.halveDamage = gs.halveDamage;
    const std::uint64_t seed = screen->seed();

    QEventLoop loop;
    QObject::connect(screen, &momiru::ui::BattleScreen::battleFinished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    // A timer of this battle's own: a single-shot timer aimed at the loop would outlive it and
    // pile up, one per battle, until each ran out ten minutes later.
    QTimer stall;
    stall.setSingleShot(true);
    QObject::connect(&stall, &QTimer::timeout, &loop, &QEventLoop::quit);
    stall.start(10 * 60 * 1000);
    double cpuStart = 0;
    QElapsedTimer window;
    QTimer cpuTimer;  // ends with this battle: its lambda reads this battle's locals
    cpuTimer.setSingleShot(true);
    const auto reportCpu = [&](const char* span) {
      const double used = cpuSeconds() - cpuStart;
      const double secs = static_cast<double>(window.elapsed()) / 1000.0;
      std::printf("cpu: %.3f s in %.1f s from %ld s %s at speed %ld: %.2f%% of a core\n", used,
                  secs, cpuAfter, span, speed, 100.0 * used / secs);
      std::fflush(stdout);
    };
    QTimer cpuDelay;  // until the window opens, --cpu-after seconds into the battle
    cpuDelay.setSingleShot(true);
    if (b == 1 && cpuWindow > 0) {
      QObject::connect(&cpuTimer, &QTimer::timeout, &loop, [&] {
        reportCpu("during the battle");
        cpuStart = -1;
      });
      const auto openWindow = [&] {
        cpuStart = cpuSeconds();
        window.start();
        cpuTimer.start(static_cast<int>(cpuWindow * 1000));
      };
      if (cpuAfter > 0) {
        QObject::connect(&cpuDelay, &QTimer::timeout, &loop, openWindow);
        cpuDelay.start(static_cast<int>(cpuAfter * 1000));
      } else {
        openWindow();
      }
    }
    loop.exec();
    if (b == 1 && cpuWindow > 0 && cpuStart >= 0 && window.isValid()) {
      reportCpu("to the battle's end");
    } else if (b == 1 && cpuWindow > 0 && !window.isValid()) {
      std::printf("cpu: the battle ended before %ld s, when the window was to open\n", cpuAfter);
    }
    flushDeletes();
    if (flow.where() != ScreenFlow::Where::Result) {
      std::fprintf(stderr, "battle %ld (%s vs %s, seed %llu): stalled\n", b,
                   a.filename().string().c_str(), c.filename().string().c_str(),
                   static_cast<unsigned long long>(seed));
      return 1;
    }
    momiru::battle::playBattle(headless, seed);
    const auto expected = momiru::battle::resultTexts(headless);
    const auto* result = static_cast<momiru::ui::ResultScreen*>(flow.current());
    if (result->logText() != expected.text1 || result->outcomeText() != expected.label1) {
      ++failures;
      std::fprintf(stderr, "battle %ld (seed %llu): the result differs from the headless runner\n",
                   b, static_cast<unsigned long long>(seed));
    }
    if (b == 10 || b == battles || b % 100 == 0 || std::getenv("SOAK_EVERY")) {
      std::printf("battle %ld: RSS %ld KiB, %lld windows, %.1f s so far\n", b, rssKiB(),
                  static_cast<long long>(QApplication::topLevelWidgets().size()),
                  static_cast<double>(wall.elapsed()) / 1000.0);
      std::fflush(stdout);
    }
    click(flow, "Command1");  // タイトルに戻る
    flushDeletes();
    if (std::getenv("SOAK_PIXMAP_CLEAR")) QPixmapCache::clear();
    if (trim) malloc_trim(0);
  }
  std::printf("%ld battles, none stalled, %d differed from the headless runner\n", battles,
              failures);
  std::fflush(stdout);
  if (std::getenv("SOAK_QUICK_EXIT")) std::quick_exit(failures == 0 ? 0 : 1);
  return failures == 0 ? 0 : 1;
}
