// The move-list window `Form6`: one combatant's name and its eight moves with their powers,
// opened over the battle screen while the battle waits between turns.
#pragma once

#include <string>

#include "ui/screen.h"

class QLabel;

namespace momiru::ui {

class MoveListScreen final : public Screen {
  Q_OBJECT
 public:
  // Lists the moves of slot PlayerNo, which the opener sets first.
  explicit MoveListScreen(ScreenContext& context);

  // The listing as built, with its CR LF line ends.
  const std::string& listing() const { return text_; }

  // A click on the text: the window closes, and its closed() lets the battle go on.
  void Label1_Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Form_Load();

  std::string text_;
  QLabel* Label1 = nullptr;
};

}  // namespace momiru::ui
