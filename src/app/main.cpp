// momiru-battle: start-up. Shows the title screen; the screens lead on from there.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "app/screen_flow.h"
#include "app/start_up.h"
#include "data/game_state.h"
#include "data/platform.h"
#include "media/sounds.h"
#include "ui/picture_bank.h"
#include "ui/platform_dialogs.h"
#include "ui/ui_font.h"

int main(int argc, char** argv) {
  if (!momiru::haveDisplay()) {
    std::fputs(
        "momiru-battle: no display found; start it from a desktop session, or try: xvfb-run -a "
        "momiru-battle\n",
        stderr);
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("momiru-battle"));
  QApplication::setFont(momiru::ui::uiFont());
  momiru::app::limitPixmapCache();
  momiru::ui::installQtJapanese();
  if (const auto icon = momiru::findDataFile("pictures/icon.svg"); !icon.empty()) {
    QApplication::setWindowIcon(QIcon(QString::fromStdString(momiru::pathToUtf8(icon))));
  }

  momiru::media::prepareGameMusic();

  momiru::GameState state;
  momiru::ui::PictureBank pictures;
  momiru::ui::QtPlatformDialogs dialogs;
  momiru::ui::ScreenContext context{state, pictures, dialogs, momiru::settingsDirectory()};
  momiru::app::ScreenFlow flow(context);
  flow.start();
  return QApplication::exec();
}
