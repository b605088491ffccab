// Title screen: two-phase animation in twips, driven by 3 ms timers that count ticks.
#include "ui/title_screen.h"

#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimerEvent>

#include "ui/picture_bank.h"
#include "ui/picture_view.h"
#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

namespace {

constexpr int kTickMs = 3;
constexpr int kFrameBorderPx = 2;  // the frame's sunken edge; the pictures sit inside it
constexpr const char* kMakerLine = "(C) 2026 momiru-battle developers";

}  // namespace

InvertOverlay::InvertOverlay(QWidget* parent) : QWidget(parent) {}

void InvertOverlay::paintEvent(QPaintEvent*) {
  // White in difference mode turns every colour beneath into its inverse.
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Difference);
  painter.fillRect(rect(), Qt::white);
}

TitleScreen::TitleScreen(ScreenContext& context)
    : Screen(context, "Form3", QStringLiteral("タイトル"), QSize(4830, 4185)) {
  auto* WAKUSAN = new QFrame(this);
  WAKUSAN->setObjectName(QStringLiteral("WAKUSAN"));
  WAKUSAN->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  WAKUSAN->setLineWidth(kFrameBorderPx);
  WAKUSAN->setGeometry(twipsRect(frame_.left, frame_.top, frame_.width, frame_.height));
  WAKUSAN->setAccessibleName(QStringLiteral("タイトル画面のアニメーション"));

  inside_ = new QWidget(WAKUSAN);
  inside_->setGeometry(
      WAKUSAN->rect().adjusted(kFrameBorderPx, kFrameBorderPx, -kFrameBorderPx, -kFrameBorderPx));
  inside_->setAutoFillBackground(true);
  QPalette black = inside_->palette();
  black.setColor(QPalette::Window, Qt::black);
  inside_->setPalette(black);

  // Children are created back to front: gazo, tomei, rogo, Label1.
  PictureBank& bank = context.pictures;
  gazo = new PictureView(inside_);
  gazo->setObjectName(QStringLiteral("gazo"));
  gazo->setAccessibleName(QStringLiteral("コロシアムで向かい合う二匹のモンスター"));
  gazo->setSource([&bank, size = twipsSize(gazo_.width, gazo_.height)](qreal dpr) {
    return bank.picture(QStringLiteral("title.svg"), size, dpr);
  });

  tomei = new InvertOverlay(inside_);
  tomei->setObjectName(QStringLiteral("tomei"));
  tomei->setAccessibleName(QStringLiteral("色を反転した絵"));
  tomei->hide();

  rogo = new PictureView(inside_);
  rogo->setObjectName(QStringLiteral("rogo"));
  rogo->setAccessibleName(QStringLiteral("モミルバトル"));
  rogo->setSource([&bank, size = twipsSize(rogo_.width, rogo_.height)](qreal dpr) {
    return bank.picture(QStringLiteral("logo.svg"), size, dpr);
  });
  rogo->hide();

  Label1 = new QLabel(QString::fromUtf8(kMakerLine), inside_);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(twipsRect(105, 3045, 4110, 435));
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QPalette white = Label1->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  Label1->setPalette(white);
  // Readable over both the picture and its inverse.
  auto* shadow = new QGraphicsDropShadowEffect(Label1);
  shadow->setColor(Qt::black);
  shadow->setOffset(1.0, 1.0);
  shadow->setBlurRadius(4.0);
  Label1->setGraphicsEffect(shadow);

  Command2 = new QPushButton(QStringLiteral("スタート"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command2->setGeometry(twipsRect(105, 3780, 4635, 330));
  Command2->setAccessibleName(Command2->text());
  Command2->setDefault(true);
  Command2->setFocus();
  connect(Command2, &QPushButton::clicked, this, &TitleScreen::startClicked);

  place(gazo, gazo_);
  place(tomei, tomei_);
  place(rogo, rogo_);
  Form_Load();
}

void TitleScreen::Form_Load() {
  gs.lineBreak = "\r\n";
  dropStep_ = 75;
  if (MMControl1.Mode() != media::kModePlaying) MMControl1.playFromStart("music b.mid");
  Timer1_.start(kTickMs, Qt::PreciseTimer, this);
}

void TitleScreen::place(QWidget* widget, const Box& box) {
  // Positions count from the inside of the frame's edge.
  widget->setGeometry(twipsRect(box.left, box.top, box.width, box.height));
}

void TitleScreen::Timer1_Timer() {
  gazo_.top -= 30;
  place(gazo, gazo_);
  if (static_cast<float>(gazo_.top + gazo_.height) < static_cast<float>(frame_.height)) {
    Timer1_.stop();
    Timer2_.start(kTickMs, Qt::PreciseTimer, this);
    rogo_.top = -rogo_.height;
    place(rogo, rogo_);
    tomei->show();
    rogo->show();
  }
}

void TitleScreen::Timer2_Timer() {
  rogo_.top += dropStep_;
  place(rogo, rogo_);
  --dropStep_;
  if (dropStep_ == 0) Timer2_.stop();
}

void TitleScreen::timerEvent(QTimerEvent* event) {
  if (event->timerId() == Timer1_.timerId()) {
    Timer1_Timer();
  } else if (event->timerId() == Timer2_.timerId()) {
    Timer2_Timer();
  } else {
    Screen::timerEvent(event);
  }
}

void TitleScreen::stopEverything() {
  Timer1_.stop();
  Timer2_.stop();
  MMControl1.Command("Close");
}

}  // namespace momiru::ui
