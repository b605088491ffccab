// momiru-battle: start-up. Shows the title screen; the screens lead on from there.
#include <QApplication>
#include <QWidget>
#include <cstdio>

#include "data/game_state.h"
#include "data/platform.h"

int main(int argc, char** argv) {
  if (!momiru::haveDisplay()) {
    std::fputs(
        "momiru-battle: no display found; start it from a desktop session, or try: xvfb-run -a "
        "momiru-battle\n",
        stderr);
    return 1;
  }
  QApplication app(argc, argv);
  momiru::GameState state;
  QWidget title;
  title.setObjectName("Form3");
  title.setWindowTitle(QStringLiteral("タイトル"));
  title.resize(4830 / 15, 4185 / 15);
  title.show();
  return QApplication::exec();
}
