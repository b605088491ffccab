// Battle screen frame: caption, size and colour of the colosseum.
#include "ui/battle_screen.h"

namespace momiru::ui {

BattleScreen::BattleScreen(ScreenContext& context)
    : Screen(context, "Form1", QStringLiteral("バトルコロシアム"), QSize(7050, 6225)) {
  setWindowFlag(Qt::WindowMinimizeButtonHint, false);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(64, 64, 64));
  setPalette(pal);
}

}  // namespace momiru::ui
