// The options screen `Form4`: battle speed and three switches, kept in the settings file.
#pragma once

#include <array>

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
  static constexpr int kDesignSpeed = 150;

  explicit OptionsScreen(ScreenContext& context);

 signals:
  void cancelClicked();    // "取り消し": back to the title, nothing written
  void changeClicked();    // "変更": settings copied and written, back to the title
  void vsBattleClicked();  // "ＶＳバトル": settings copied and written, on to the entry screen

 private:
  void Form_Load();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void HScroll1_Change(int value);

  // settings file → globals → controls.
  void readIntoControls();
  // controls → globals → settings file.
  void saveFromControls();

  std::array<QCheckBox*, 3> Check1{};
  std::array<QLabel*, 6> Label1{};  // index 3 does not exist
  QScrollBar* HScroll1 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command4 = nullptr;
};

}  // namespace momiru::ui
