// The screens' common frame and close.
#include "ui/screen.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>

#include "battle/texts.h"
#include "data/text_safety.h"
#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

namespace {

// A screen is a top-level window, and a reader looks for the focus in the active frame or dialog;
// Qt makes a plain widget a filler, even as a window, so every screen is made a frame.
QAccessibleInterface* screenAccessible(const QString&, QObject* object) {
  if (auto* screen = qobject_cast<Screen*>(object)) {
    return new QAccessibleWidget(screen, QAccessible::Window);
  }
  return nullptr;
}

}  // namespace

Screen::Screen(ScreenContext& context, const char* objectName, const QString& caption,
               QSize clientTwips)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      ctx(context),
      gs(context.gs) {
  static const bool frames = [] {
    QAccessible::installFactory(screenAccessible);
    return true;
  }();
  (void)frames;
  setObjectName(QString::fromLatin1(objectName));
  setWindowTitle(caption);
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(twipsSize(clientTwips.width(), clientTwips.height()));
  setFont(uiFont());
  showKeyboardFocus();
}

void Screen::setBackdrop(const QColor& colour) {
  backdrop_ = colour;
  update();
}

void Screen::paintEvent(QPaintEvent* event) {
  if (backdrop_) QPainter(this).fillRect(event->rect(), *backdrop_);
}

void Screen::showKeyboardFocus() {
  // The styles draw a focus frame only once the keyboard has moved the focus in the window.
  setAttribute(Qt::WA_KeyboardFocusChange);
  if (QWidget* focused = focusWidget()) focused->update();
}

bool Screen::event(QEvent* event) {
  // Activating the window gives the focus back with a reason that hides the frame again; once
  // that is done, the frame is shown.
  if (event->type() == QEvent::WindowActivate) {
    QTimer::singleShot(0, this, &Screen::showKeyboardFocus);
  }
  if (event->type() == QEvent::WindowDeactivate && !dialogGone_.hasExpired()) {
    QTimer::singleShot(0, this, &Screen::takeActivation);
  }
  // Qt does not tell a reader that a window's title changed, and a reader keeps the name it
  // has: the entry screen's title names the player on turn.
  if (event->type() == QEvent::WindowTitleChange) {
    QAccessibleEvent named(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
  }
  return QWidget::event(event);
}

void Screen::takeFocusBackFromDialog() {
  // Once a dialog has closed, the window manager hands the keyboard back to the window it stood
  // over, but a focus change of the dialog's that reaches Qt after it can leave no window of the
  // game active, though the window has the keyboard: the focused control then looks focused and
  // works, yet a reader finds no focus at all, and a new request changes nothing, as the window
  // is already the active one. So for a moment after the dialog, a screen that no window of the
  // game holds the activation from takes it.
  constexpr int kDialogSettleMs = 1500;
  dialogGone_ = QDeadlineTimer(kDialogSettleMs);
  activateWindow();
  QTimer::singleShot(kDialogSettleMs / 3, this, &Screen::takeActivation);
}

void Screen::takeActivation() {
  if (dialogGone_.hasExpired() || !isVisible() || QApplication::activeWindow() != nullptr) return;
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
  QApplication::setActiveWindow(this);
#else
  activateWindow();
#endif
}

void Screen::closeEvent(QCloseEvent* event) {
  if (!closing_) {
    closing_ = true;
    stopEverything();
    emit closed();
  }
  event->accept();
}

void Screen::keyPressEvent(QKeyEvent* event) {
  // A button outside a dialog takes only Space; Enter reaches the screen unused and clicks it.
  const int key = event->key();
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !event->isAutoRepeat()) {
    if (auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        button != nullptr && button->isEnabled() && button->isVisible()) {
      button->click();
      event->accept();
      return;
    }
  }
  QWidget::keyPressEvent(event);
}

QRect placedScreen(QSize client, QPoint centre, const QRect& available, const QMargins& frame) {
  QRect placed(QPoint(0, 0), client);
  placed.moveCenter(centre);
  const QRect room = available.marginsRemoved(frame);
  // Right and bottom edges first, then left and top, so that the top left wins when the window
  // is larger than the room.
  if (placed.right() > room.right()) placed.moveRight(room.right());
  if (placed.bottom() > room.bottom()) placed.moveBottom(room.bottom());
  if (placed.left() < room.left()) placed.moveLeft(room.left());
  if (placed.top() < room.top()) placed.moveTop(room.top());
  return placed;
}

QString displayText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

QString shownName(std::string_view name) {
  const std::string shown = plainName(name);
  return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

QString plainToolTip(const QString& text) {
  return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
         QStringLiteral("</p>");
}

GameState shownState(const GameState& gs, const std::string& shownLog) {
  GameState shown = gs;
  battle::showTexts(shown, plainName);
  shown.battleLog = shownLog;
  return shown;
}

std::optional<std::filesystem::path> droppedLocalFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return std::nullopt;
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
  const QByteArray bytes = QFile::encodeName(urls.front().toLocalFile());
  return std::filesystem::path(
      std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace momiru::ui
