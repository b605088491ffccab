// Move-list window: the listing, and closing it by a click, a key or the window system.
#include "ui/move_list_screen.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

MoveListScreen::MoveListScreen(ScreenContext& context)
    : Screen(context, "Form6", QStringLiteral("持ち技"), QSize(2970, 3120)) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);

  Label1 = new QLabel(QStringLiteral("Label1"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(twipsRect(0, 0, 2955, 3480));
  Label1->setFont(uiFont(9.0, true));
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label1->setWordWrap(true);
  Label1->setTextFormat(Qt::PlainText);
  Label1->installEventFilter(this);
  // The window takes the keys: Enter, Space or Escape close it like a click on the text.
  setFocusPolicy(Qt::StrongFocus);

  Form_Load();
}

void MoveListScreen::Form_Load() {
  const std::int32_t s = gs.currentSlot;
  if (s < 0 || s >= kSlots) return;  // only a slot has moves; the design text stays
  const Combatant& c = gs.combatant[static_cast<std::size_t>(s)];
  const std::string& crlf = gs.lineBreak;
  text_ = c.name + crlf;
  for (std::size_t m = 0; m < kMoves; ++m) {
    text_ += c.moveNames[m] + "／" + std::to_string(c.movePower[m]) + crlf + crlf;
  }
  Label1->setText(displayText(text_));
  setAccessibleName(QStringLiteral("持ち技"));
  setAccessibleDescription(Label1->text());
}

void MoveListScreen::Label1_Click() { close(); }

bool MoveListScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Label1 && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && Label1->rect().contains(mouse->position().toPoint())) {
      Label1_Click();
      return true;
    }
  }
  return Screen::eventFilter(watched, event);
}

void MoveListScreen::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      Label1_Click();
      return;
    default:
      Screen::keyPressEvent(event);
  }
}

}  // namespace momiru::ui
