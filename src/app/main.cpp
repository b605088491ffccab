// momiru-battle: start-up. Shows the title screen, with two save-data files the colosseum, or
// with a replay file its viewer; the screens lead on from there.
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/screen_flow.h"
#include "app/start_up.h"
#include "data/game_state.h"
#include "data/platform.h"
#include "media/sound_library.h"
#include "media/sounds.h"
#include "ui/picture_bank.h"
#include "ui/platform_dialogs.h"
#include "ui/ui_font.h"

namespace {

// Once the first window has been drawn: loads the sound library, opens the audio output and
// prepares the music, so that neither they nor the libraries they bring delay that window, and
// the title music starts then; and gives the windows their icon, which the picture bank draws.
// Should no window be drawn within two seconds (a minimised start), all this happens
// then.
class AfterFirstWindow final : public QObject {
 public:
  AfterFirstWindow() {
    momiru::media::holdAudioOutput();
    QApplication::instance()->installEventFilter(this);
    QTimer::singleShot(2000, this, &AfterFirstWindow::start);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && watched->isWindowType())
      QTimer::singleShot(0, this, &AfterFirstWindow::start);
    return false;
  }

 private:
  void start() {
    if (started_) return;
    started_ = true;
    QApplication::instance()->removeEventFilter(this);
    momiru::media::releaseAudioOutput();
    momiru::media::prepareGameMusic();
    if (const QIcon icon = momiru::ui::PictureBank().windowIcon(); !icon.isNull())
      QApplication::setWindowIcon(icon);
  }

  bool started_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  // The arguments first: help and wrong arguments need no display.
  std::vector<std::string> arguments = momiru::commandLineArguments(argc, argv);
  if (!arguments.empty()) arguments.erase(arguments.begin());
  const momiru::app::CommandLine commandLine = momiru::app::parseCommandLine(arguments);
  switch (commandLine.action) {
    case momiru::app::CommandLine::Action::Help:
      std::fputs(momiru::app::kHelpText, stdout);
      return 0;
    case momiru::app::CommandLine::Action::Wrong:
      std::fputs(momiru::app::usageLine(commandLine.wrong).c_str(), stderr);
      return momiru::app::kUsageError;
    case momiru::app::CommandLine::Action::Play:
      break;
  }
  if (!momiru::haveDisplay()) {
    std::fputs(
        "momiru-battle: no display found; start it from a desktop session, or try: xvfb-run -a "
        "momiru-battle\n",
        stderr);
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("momiru-battle"));
  momiru::ui::addShippedFonts();
  QApplication::setFont(momiru::ui::uiFont());
  momiru::app::limitMemory();
  momiru::ui::installQtJapanese();

  AfterFirstWindow afterFirstWindow;

  momiru::GameState state;
  momiru::ui::PictureBank pictures;
  const std::filesystem::path settings = momiru::settingsDirectory();
  momiru::ui::QtPlatformDialogs dialogs(settings);
  momiru::ui::ScreenContext context{state, pictures, dialogs, settings};
  momiru::app::ScreenFlow flow(context);
  if (commandLine.files) {
    const auto& [first, second] = *commandLine.files;
    flow.startBattle(first, second, commandLine.seed);
  } else if (commandLine.tournament) {
    flow.openTournament(*commandLine.tournament);
  } else if (commandLine.replay) {
    flow.openReplay(*commandLine.replay);
  } else {
    flow.start();
  }
  return QApplication::exec();
}
