// The move-list window `Form6`: one combatant's name and its eight moves with their powers,
// opened over the battle screen while the battle waits between turns.
#pragma once

#include <QPointer>
#include <string>

#include "ui/screen.h"

class QLabel;

namespace momiru::ui {

class MoveListScreen final : public Screen {
  Q_OBJECT
 public:
  // Lists the moves of slot `slot` (any other number lists nothing). The window belongs to
  // `owner` (the battle screen): the window system keeps it above its owner and moves it with
  // it, and whenever the owner is activated, a click on it included, the list comes back to the
  // front. Without an owner it takes the window it has been made transient for, if any, when it
  // is shown.
  MoveListScreen(ScreenContext& context, int slot, QWidget* owner = nullptr);

  int slot() const { return slot_; }  // the slot whose moves are listed

  // The listing as built, with its CR LF line ends and the texts from the file as every screen
  // shows them (plainName).
  const std::string& listing() const { return text_; }
  QWidget* owner() const { return owner_.data(); }

  // A click on the text: the window closes, and its closed() lets the battle go on.
  void closeByClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void fill();
  void belongTo(QWidget* owner);

  std::string text_;
  QLabel* listingLabel_ = nullptr;
  QPointer<QWidget> owner_;
  int slot_ = 0;
};

}  // namespace momiru::ui
