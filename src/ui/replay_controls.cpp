// The replay viewer's control bar: its buttons, drawn symbols, speed box, turn label and keys.
#include "ui/replay_controls.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "ui/colosseum_widgets.h"
#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

namespace {

// The control bar's symbols, drawn here rather than taken from a font: not every desktop's fonts
// hold ⏮, ⏯ and ⏭.
enum class BarSymbol { Start, Previous, PlayPause, Next, End };

QIcon barIcon(BarSymbol symbol) {
  QIcon icon;
  for (const int ratio : {1, 2, 3}) {
    QPixmap pixmap(16 * ratio, 16 * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(32, 32, 32));
    const auto triangle = [&p](double left, double right) {  // pointing from left to right
      const QPointF points[] = {{left, 3}, {right, 8}, {left, 13}};
      p.drawPolygon(points, 3);
    };
    switch (symbol) {
      case BarSymbol::Start:
        p.drawRect(QRectF(2, 3, 2, 10));
        triangle(14, 4);
        break;
      case BarSymbol::Previous:
        triangle(12, 4);
        break;
      case BarSymbol::PlayPause:
        triangle(1, 8);
        p.drawRect(QRectF(10, 3, 2, 10));
        p.drawRect(QRectF(13.5, 3, 2, 10));
        break;
      case BarSymbol::Next:
        triangle(4, 12);
        break;
      case BarSymbol::End:
        triangle(2, 12);
        p.drawRect(QRectF(12, 3, 2, 10));
        break;
    }
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

ReplayControls::ReplayControls(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("replayBar"));
  setGeometry(twipsRect(0, 6225, 7050, kHeightTwips));
  fill(this, QColor(32, 32, 32));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(6, 5, 6, 5);
  row->setSpacing(4);

  const auto button = [&](const char* objectName, BarSymbol symbol, const QString& spoken,
                          void (ReplayControls::*request)()) {
    auto* b = new QPushButton(this);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setIcon(barIcon(symbol));
    b->setAccessibleName(spoken);
    b->setToolTip(spoken);
    b->setFixedWidth(40);
    connect(b, &QPushButton::clicked, this, request);
    row->addWidget(b);
    return b;
  };
  startButton_ = button("replayStart", BarSymbol::Start, QStringLiteral("最初へ"),
                        &ReplayControls::startRequested);
  button("replayPrevious", BarSymbol::Previous, QStringLiteral("前のターン"),
         &ReplayControls::previousRequested);
  playButton_ = button("replayPlayPause", BarSymbol::PlayPause, QStringLiteral("一時停止"),
                       &ReplayControls::playPauseRequested);
  button("replayNext", BarSymbol::Next, QStringLiteral("次のターン"),
         &ReplayControls::nextRequested);
  button("replayEnd", BarSymbol::End, QStringLiteral("最後へ"), &ReplayControls::endRequested);

  speedBox_ = new QComboBox(this);
  speedBox_->setObjectName(QStringLiteral("replaySpeed"));
  speedBox_->setAccessibleName(QStringLiteral("再生速度"));
  speedBox_->setToolTip(QStringLiteral("再生速度"));
  for (const int factor : kSpeeds) speedBox_->addItem(QStringLiteral("×%1").arg(factor));
  connect(speedBox_, &QComboBox::activated, this, &ReplayControls::speedRequested);
  row->addWidget(speedBox_);

  turnLabel_ = new QLabel(this);
  turnLabel_->setObjectName(QStringLiteral("replayTurn"));
  turnLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  turnLabel_->setFont(uiFont(9.75, true));
  turnLabel_->setTextFormat(Qt::PlainText);
  textColour(turnLabel_, Qt::white);
  row->addWidget(turnLabel_, 1);
}

void ReplayControls::watchKeysOf(QWidget* window) {
  window->installEventFilter(this);
  for (QWidget* child : window->findChildren<QWidget*>()) child->installEventFilter(this);
}

QWidget* ReplayControls::firstControl() const { return startButton_; }

bool ReplayControls::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool repeatable = key->key() != Qt::Key_Space;
    if ((repeatable || !key->isAutoRepeat()) &&
        (key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) == 0 &&
        replayKey(key->key())) {
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool ReplayControls::replayKey(int key) {
  switch (key) {
    case Qt::Key_Space:
      emit playPauseRequested();
      return true;
    case Qt::Key_Left:
      emit previousRequested();
      return true;
    case Qt::Key_Right:
      emit nextRequested();
      return true;
    case Qt::Key_Home:
      emit startRequested();
      return true;
    case Qt::Key_End:
      emit endRequested();
      return true;
    case Qt::Key_Plus:
      emit speedRequested(speedIndex_ + 1);
      return true;
    case Qt::Key_Minus:
      emit speedRequested(speedIndex_ - 1);
      return true;
    default:
      return false;
  }
}

void ReplayControls::showPlaying(bool playing) {
  const QString spoken = playing ? QStringLiteral("一時停止") : QStringLiteral("再生");
  playButton_->setAccessibleName(spoken);
  playButton_->setToolTip(spoken);
}

void ReplayControls::showSpeed(int index) {
  speedIndex_ = index;
  if (speedBox_->currentIndex() != index) speedBox_->setCurrentIndex(index);
}

void ReplayControls::showTurn(std::int32_t turn, std::int32_t turns) {
  const QString text = QStringLiteral("ターン %1 / %2").arg(turn).arg(turns);
  turnLabel_->setText(text);
  turnLabel_->setAccessibleName(text);
}

}  // namespace momiru::ui
