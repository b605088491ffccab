// The entry screen `Form5`: each player loads a save-data file and registers the character.
#pragma once

#include "ui/screen.h"

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace momiru::ui {

class PictureView;

// Shown until the first load or registration: the 23 half-width spaces wrap it in the label.
inline constexpr const char* kEntryInstruction =
    "読み込みでモミルＮｏ．１の                       SAVEDATAを開いてください";
inline constexpr const char* kNotRegistered = "データが登録されてません";

class EntryScreen final : public Screen {
  Q_OBJECT
 public:
  explicit EntryScreen(ScreenContext& context);

  // Shows slot PlayerNo: the moves, the status text and the picture.
  void YOUHYO();

 signals:
  void bothRegistered();  // the second "登録": PlayerNo has reached 2

 private:
  void Form_Load();
  void Command1_Click();  // "読み込み"
  void Command2_Click();  // "登録"
  void setCaptionFromPlayerNo();
  void showPicture(int number);

  QWidget* Picture1 = nullptr;
  PictureView* MYGA = nullptr;
  QLabel* MYST = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command1 = nullptr;
  QComboBox* WAZA = nullptr;
};

}  // namespace momiru::ui
