// The options screen `Form4`: battle speed and three switches, kept in the settings file.
#pragma once

#include <array>
#include <cstdint>

#include "ui/screen.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollBar;

namespace momiru::ui {

class OptionsScreen final : public Screen {
  Q_OBJECT
 public:
  explicit OptionsScreen(ScreenContext& context);

 signals:
  void cancelClicked();    // "取り消し": back to the title, nothing written
  void changeClicked();    // "変更": settings copied and written, back to the title
  void vsBattleClicked();  // "ＶＳバトル": settings copied and written, on to the entry screen

 private:
  void load();
  void change();
  void startVsBattle();
  void showSpeed(int value);

  // settings file → settings in memory → controls.
  void readIntoControls();
  // controls → settings in memory → settings file.
  void saveFromControls();

  // In the order of Settings::kSwitches: hit background, halved damage, message box.
  std::array<QCheckBox*, 3> switchBoxes_{};
  QLabel* speedLabel_ = nullptr;
  QScrollBar* speedBar_ = nullptr;
};

}  // namespace momiru::ui
