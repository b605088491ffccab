// Shows the tournament window on a real display for the accessibility client and for looking at
// it: a tournament of made-up characters in a scratch folder, gathered, or started and played
// part way. It prints "ready <matches>" when the window is up and quits on SIGTERM or Escape.
//
// usage: tournament_window_driver [--entries N] [--format single|double|round-robin|swiss]
//                                 [--stage new|gathering|started|half|finished] [--best-of N]
//                                 [--shot FILE.png]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "data/save_data_writer.h"
#include "report/tournament_session.h"
#include "ui/picture_bank.h"
#include "ui/platform_dialogs.h"
#include "ui/tournament_screen.h"

namespace {

using momiru::Combatant;
using momiru::GameState;
using momiru::kParts;
using momiru::LoadValues;
using momiru::report::TournamentSession;

// Character `n`: a name of its own, a portrait, and numbers that are multiples of its key.
std::string characterFile(int n) {
  Combatant c;
  LoadValues v;
  v.key = 3 + n % 5;
  const std::string names[] = {"ポチ", "タマ", "ハチ", "ミケ", "ゴン", "クロ", "シロ", "モモ"};
  c.name = names[n % 8] + std::to_string(n + 1) + "号";
  c.level = 5 + n % 40;
  c.portrait = n % 14;
  for (std::size_t p = 0; p < kParts; ++p) {
    const int i = static_cast<int>(p);
    c.hp[p] = v.key * (30 + (n * 7 + i * 3) % 40);
    c.attack[p] = v.key * (5 + (n * 5 + i) % 20);
    c.defence[p] = v.key * (3 + (n * 3 + i) % 10);
  }
  c.moveNames = {"B--体当たり", "A--ひっかき", "HR-連続ずつき", "H-S念力",
                 "L--けり",     "---NO DATA",  "---NO DATA",    "---NO DATA"};
  c.movePower = {8 * v.key, 9 * v.key, 4 * v.key, 5 * v.key, 10 * v.key, 0, 0, 0};
  v.storedLevels = {c.level, 0};
  v.storedPortraits = {c.portrait, 0};
  v.storedNames = {c.name, ""};
  std::string error;
  return momiru::encodeSaveData(c, v, std::nullopt, &error).value_or(std::string());
}

const char* argument(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int entries = std::atoi(argument(argc, argv, "--entries", "8"));
  const std::string format = argument(argc, argv, "--format", "single");
  const std::string stage = argument(argc, argv, "--stage", "half");
  const int bestOf = std::atoi(argument(argc, argv, "--best-of", "3"));
  const std::string shot = argument(argc, argv, "--shot", "");

  QTemporaryDir scratch;
  if (!scratch.isValid()) return 1;
  const std::filesystem::path dir = scratch.path().toStdString();
  std::optional<TournamentSession> session;
  if (stage != "new") {
    momiru::report::TournamentRules rules;
    rules.format = momiru::report::formatFromName(format).value_or(momiru::report::Format::Single);
    rules.bestOf = bestOf;
    rules.rounds = rules.format == momiru::report::Format::Swiss        ? 5
                   : rules.format == momiru::report::Format::RoundRobin ? 1
                                                                        : 0;
    momiru::report::SessionProblem problem;
    session = TournamentSession::create(dir / "t.momiru-tournament", dir / "t.momiru-secret",
                                        "秋の大会", rules, true, "driver", &problem);
    if (!session) {
      std::fprintf(stderr, "driver: %s\n", problem.english.c_str());
      return 1;
    }
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < entries; ++i) {
      files.push_back(dir / ("entry" + std::to_string(i + 1) + ".dat"));
      FILE* f = std::fopen(files.back().c_str(), "wb");
      if (f == nullptr) return 1;
      const std::string bytes = characterFile(i);
      const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
      if (std::fclose(f) != 0 || !written) return 1;
    }
    session->addEntries(files);
    if (stage != "gathering") {
      if (!session->closeEntries(&problem) || !session->start(std::string("12345"), &problem)) {
        std::fprintf(stderr, "driver: %s\n", problem.english.c_str());
        return 1;
      }
      if (stage == "half" || stage == "finished") {
        const std::size_t half = session->play()->totalCount() / 2;
        std::size_t played = 0;
        session->playRest(
            1, [&] { return stage == "half" && played >= half; },
            [&](std::size_t done, std::size_t) { played = done; }, &problem);
      }
    }
  }

  GameState gs;
  const std::filesystem::path assets = std::filesystem::path(MOMIRU_SOURCE_DIR) / "assets";
  momiru::ui::PictureBank pictures([assets](const std::filesystem::path& relative) {
    const auto p = assets / relative;
    return std::filesystem::exists(p) ? p : std::filesystem::path();
  });
  momiru::ui::QtPlatformDialogs dialogs;
  momiru::ui::ScreenContext ctx{gs, pictures, dialogs, dir};
  QElapsedTimer opening;
  opening.start();
  auto* window = new momiru::ui::TournamentScreen(ctx, session, dir);
  if (session && session->play() != nullptr && !session->play()->readyMatches().empty()) {
    window->selectMatch(QString::fromStdString(session->play()->readyMatches().front()));
  }
  QObject::connect(window, &momiru::ui::Screen::closed, &app, &QApplication::quit);
  window->show();
  QCoreApplication::processEvents();
  std::fprintf(stderr, "driver: the window opened and drawn in %lld ms\n",
               static_cast<long long>(opening.elapsed()));
  const std::size_t matches =
      session && session->play() != nullptr ? session->play()->schedule().size() : 0;
  QTimer::singleShot(800, [&] {
    if (!shot.empty()) {
      window->grab().save(QString::fromStdString(shot));
      app.quit();
      return;
    }
    std::printf("ready %zu\n", matches);
    std::fflush(stdout);
  });
  return app.exec();
}
