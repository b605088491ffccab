// The result screen `Form7`: the whole battle log and who won.
#pragma once

#include <string>

#include "battle/texts.h"
#include "ui/screen.h"

namespace momiru::ui {

class ResultScreen final : public Screen {
  Q_OBJECT
 public:
  explicit ResultScreen(ScreenContext& context);

  // The texts as built, with their CR LF line ends (the controls show them as lines).
  const std::string& logText() const { return texts_.text1; }
  const std::string& outcomeText() const { return texts_.label1; }

 signals:
  void backToTitleClicked();  // "タイトルに戻る"

 private:
  battle::ResultTexts texts_;
};

}  // namespace momiru::ui
