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
  static constexpr int kSpeedMin = 1;
  static constexpr int kSpeedMax = 300;
  // What the screen shows while no settings have been read in this run.
  static constexpr std::array<std::int32_t, 3> kFirstSwitches{1, 0, 1};
  static constexpr int kFirstSpeed = 150;

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
