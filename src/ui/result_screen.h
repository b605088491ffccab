// The result screen `Form7`: the whole battle log and who won.
#pragma once

#include <string>

#include "ui/screen.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace momiru::ui {

class ResultScreen final : public Screen {
  Q_OBJECT
 public:
  explicit ResultScreen(ScreenContext& context);

  // The texts as built, with their CR LF line ends (the controls show them as lines).
  const std::string& logText() const { return text1_; }
  const std::string& outcomeText() const { return label1_; }

 signals:
  void backToTitleClicked();  // "タイトルに戻る"

 private:
  void Form_Load();

  std::string text1_;
  std::string label1_;
  QPlainTextEdit* Text1 = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* Command1 = nullptr;
};

}  // namespace momiru::ui
