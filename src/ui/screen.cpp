// The screens' common frame and close.
#include "ui/screen.h"

#include <QCloseEvent>

#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

Screen::Screen(ScreenContext& context, const char* objectName, const QString& caption,
               QSize clientTwips)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      ctx(context),
      gs(context.gs) {
  setObjectName(QString::fromLatin1(objectName));
  setWindowTitle(caption);
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(twipsSize(clientTwips.width(), clientTwips.height()));
  setFont(uiFont());
}

void Screen::closeEvent(QCloseEvent* event) {
  if (!closing_) {
    closing_ = true;
    stopEverything();
    emit closed();
  }
  event->accept();
}

QString displayText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

}  // namespace momiru::ui
