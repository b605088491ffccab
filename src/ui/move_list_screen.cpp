// Move-list window: the listing, its place above the battle window, and closing it by a click, a
// key or the window system.
#include "ui/move_list_screen.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWindow>
#include <algorithm>

#include "battle/texts.h"
#include "data/text_safety.h"
#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

namespace {

constexpr int kMarginPx = 6;  // keeps the text off the window's edges

}  // namespace

MoveListScreen::MoveListScreen(ScreenContext& context, int slot, QWidget* owner)
    : Screen(context, "Form6", QStringLiteral("持ち技"), QSize(2970, 3120)), slot_(slot) {
  // A dialog-type window: the X11 platform writes WM_TRANSIENT_FOR (the owner) only for
  // dialogs and tool windows, and the window manager then keeps the list with its owner.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);

  listingLabel_ = new QLabel(QStringLiteral("Label1"), this);
  listingLabel_->setObjectName(QStringLiteral("Label1"));
  listingLabel_->setFont(uiFont(9.0, true));
  listingLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  listingLabel_->setWordWrap(true);
  listingLabel_->setTextFormat(Qt::PlainText);
  listingLabel_->setContentsMargins(kMarginPx, kMarginPx, kMarginPx, kMarginPx);
  listingLabel_->installEventFilter(this);
  // The window takes the keys: Enter, Space or Escape close it like a click on the text.
  setFocusPolicy(Qt::StrongFocus);

  fill();
  if (owner != nullptr) belongTo(owner);
}

void MoveListScreen::fill() {
  const int s = slot_;
  if (s >= 0 && s < kSlots) {  // only a slot has moves; otherwise the label keeps its first text
    const Combatant& c = gs.combatant[static_cast<std::size_t>(s)];
    const std::string crlf(battle::kLineBreak);
    // The name and the move names each stay one line, whatever the file holds.
    text_ = plainName(c.name) + crlf;
    for (std::size_t m = 0; m < kMoves; ++m) {
      text_ += plainName(c.moveNames[m]) + "／" + std::to_string(c.movePower[m]) + crlf + crlf;
    }
    listingLabel_->setText(displayText(text_));
    setAccessibleName(QStringLiteral("持ち技"));
    setAccessibleDescription(listingLabel_->text());
  }
  // The window keeps its width and grows downwards when the listing, its last empty line
  // included, needs more height than the window first has.
  const int width = this->width();
  listingLabel_->setGeometry(0, 0, width, listingLabel_->heightForWidth(width));
  const int needed = listingLabel_->height() + listingLabel_->fontMetrics().lineSpacing();
  setFixedSize(width, std::max(height(), needed));
  listingLabel_->resize(width, height());
}

void MoveListScreen::belongTo(QWidget* owner) {
  if (owner == nullptr || owner == owner_) return;
  if (owner_) owner_->removeEventFilter(this);
  owner_ = owner;
  owner->installEventFilter(this);
  winId();  // the transient parent is set on the native window, before it is first shown
  if (QWindow* own = windowHandle(); own != nullptr && owner->windowHandle() != nullptr) {
    own->setTransientParent(owner->windowHandle());
  }
}

void MoveListScreen::showEvent(QShowEvent* event) {
  if (!owner_) {
    if (QWindow* own = windowHandle(); own != nullptr && own->transientParent() != nullptr) {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top != this && top->windowHandle() == own->transientParent()) {
          belongTo(top);
          break;
        }
      }
    }
  }
  Screen::showEvent(event);
}

void MoveListScreen::closeByClick() { close(); }

bool MoveListScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == listingLabel_ && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton &&
        listingLabel_->rect().contains(mouse->position().toPoint())) {
      closeByClick();
      return true;
    }
  }
  if (watched == owner_ && isVisible() &&
      (event->type() == QEvent::WindowActivate || event->type() == QEvent::MouseButtonPress)) {
    // The owner waits for this window: bring it back in front of the owner and to the keyboard.
    raise();
    activateWindow();
  }
  return Screen::eventFilter(watched, event);
}

void MoveListScreen::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      closeByClick();
      return;
    default:
      Screen::keyPressEvent(event);
  }
}

}  // namespace momiru::ui
