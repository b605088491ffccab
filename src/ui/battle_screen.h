// The battle screen `Form1`, the colosseum. So far only its frame: the fight comes next.
#pragma once

#include "ui/screen.h"

namespace momiru::ui {

class BattleScreen final : public Screen {
  Q_OBJECT
 public:
  explicit BattleScreen(ScreenContext& context);

 signals:
  // The outcome has been told: the flow closes this screen and shows the result screen.
  void battleOver();
};

}  // namespace momiru::ui
