// Title screen: a two-phase animation in twips, driven by two timers that count ticks.
#include "ui/title_screen.h"

#include <QDropEvent>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "media/sounds.h"
#include "replay/replay.h"
#include "ui/picture_bank.h"
#include "ui/picture_view.h"
#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

namespace {

constexpr int kFrameBorderPx = px(TitleScreen::kFrameBorderTwips);
constexpr int kScrollTwips = 30;
constexpr std::int32_t kFirstDrop = 75;
constexpr const char* kMakerLine = "© 2026 モミルバトル開発チーム";

// White letters with a black outline: readable over the white and the dark parts of the picture
// and of its inverse alike.
class OutlinedLabel final : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(font());
    const QRectF area = contentsRect();
    const qreal baseline = area.top() + (area.height() + metrics.ascent() - metrics.descent()) / 2;
    QPainterPath path;
    path.addText(QPointF(area.left() + 3, baseline), font(), text());
    painter.strokePath(path, QPen(Qt::black, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(path, Qt::white);
  }
};

// The title picture's own size, in pixels.
constexpr QSize kTitlePictureSize(288, 486);

// The size the picture of `natural` size is drawn at to fill the width of `box` in its own
// proportions: at least the box's height.
QSize widthFillingSize(QSize natural, QSize box) {
  if (natural.isEmpty() || box.isEmpty()) return {};
  return QSize(box.width(),
               std::max(box.height(),
                        (natural.height() * box.width() + natural.width() - 1) / natural.width()));
}

// The picture `file` of `natural` size scaled, in its own proportions, to the width of `box`, and
// cut to the box's height from its lower edge up, where the scroll ends.
QPixmap widthFilling(const PictureBank& bank, const QString& file, QSize natural, QSize box,
                     qreal dpr) {
  const QSize drawn = widthFillingSize(natural, box);
  if (drawn.isEmpty()) return {};
  const QPixmap whole = bank.picture(file, drawn, dpr);
  if (whole.isNull() || drawn.height() == box.height()) return whole;
  const qreal ratio = whole.devicePixelRatio();
  const int cutTop = static_cast<int>(std::lround((drawn.height() - box.height()) * ratio));
  QPixmap lower = whole.copy(0, cutTop, whole.width(), whole.height() - cutTop);
  lower.setDevicePixelRatio(ratio);
  return lower;
}

}  // namespace

QSize TitleScreen::pictureDrawnSize() {
  return widthFillingSize(kTitlePictureSize, twipsSize(kPictureWidthTwips, kPictureHeightTwips));
}

QSize TitleScreen::logoDrawnSize() { return twipsSize(kLogoWidthTwips, kLogoHeightTwips); }

InvertOverlay::InvertOverlay(QWidget* parent) : QWidget(parent) {}

void InvertOverlay::paintEvent(QPaintEvent*) {
  // White in difference mode turns every colour beneath into its inverse.
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Difference);
  painter.fillRect(rect(), Qt::white);
}

TitleScreen::TitleScreen(ScreenContext& context)
    : Screen(context, "Form3", QStringLiteral("タイトル"), QSize(4830, 4995)) {
  auto* frame = new QFrame(this);
  frame->setObjectName(QStringLiteral("WAKUSAN"));
  frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  frame->setLineWidth(kFrameBorderPx);
  frame->setGeometry(twipsRect(frameBox_.left, frameBox_.top, frameBox_.width, frameBox_.height));
  frame->setAccessibleName(QStringLiteral("タイトル画面のアニメーション"));

  inside_ = new QWidget(frame);
  inside_->setGeometry(
      frame->rect().adjusted(kFrameBorderPx, kFrameBorderPx, -kFrameBorderPx, -kFrameBorderPx));
  inside_->setAutoFillBackground(true);
  QPalette black = inside_->palette();
  black.setColor(QPalette::Window, Qt::black);
  inside_->setPalette(black);

  // Created back to front: the picture, the overlay, the logo, the maker line.
  PictureBank& bank = context.pictures;
  picture_ = new PictureView(inside_);
  picture_->setObjectName(QStringLiteral("gazo"));
  picture_->setAccessibleName(QStringLiteral("コロシアムで向かい合う二匹のモンスター"));
  // The picture is drawn to the frame's full width, in its own proportions, and its lower part
  // kept at the box's height, so that the scroll keeps its 124 ticks over a 288 × 486 picture.
  picture_->setSource([&bank, size = twipsSize(pictureBox_.width, pictureBox_.height)](qreal dpr) {
    return widthFilling(bank, QStringLiteral("title.svg"), kTitlePictureSize, size, dpr);
  });

  overlay_ = new InvertOverlay(inside_);
  overlay_->setObjectName(QStringLiteral("tomei"));
  overlay_->setAccessibleName(QStringLiteral("色を反転した絵"));
  overlay_->hide();

  logo_ = new PictureView(inside_);
  logo_->setObjectName(QStringLiteral("rogo"));
  logo_->setAccessibleName(QStringLiteral("モミルバトル"));
  logo_->setSource([&bank, size = twipsSize(logoBox_.width, logoBox_.height)](qreal dpr) {
    return bank.picture(QStringLiteral("logo.svg"), size, dpr);
  });
  logo_->hide();

  makerLine_ = new OutlinedLabel(QString::fromUtf8(kMakerLine), inside_);
  makerLine_->setObjectName(QStringLiteral("Label1"));
  makerLine_->setGeometry(twipsRect(105, 3045, 4110, 435));
  makerLine_->setFont(uiFont(9.0, true));

  startButton_ = new QPushButton(QStringLiteral("スタート"), this);
  startButton_->setObjectName(QStringLiteral("Command2"));
  startButton_->setGeometry(twipsRect(105, 3780, 4635, 330));
  startButton_->setAccessibleName(startButton_->text());
  startButton_->setFocus();
  setAcceptDrops(true);
  connect(startButton_, &QPushButton::clicked, this, &TitleScreen::startClicked);

  // Below "スタート", in a band the window grows by: every other control stays where it was.
  replaysButton_ = new QPushButton(QStringLiteral("リプレイ"), this);
  replaysButton_->setObjectName(QStringLiteral("CommandReplays"));
  replaysButton_->setGeometry(twipsRect(105, 4185, 4635, 330));
  replaysButton_->setAccessibleName(QStringLiteral("リプレイ一覧を開く"));
  connect(replaysButton_, &QPushButton::clicked, this, &TitleScreen::replaysClicked);

  // Below "リプレイ", in one more band of the same height.
  tournamentButton_ = new QPushButton(QStringLiteral("大会"), this);
  tournamentButton_->setObjectName(QStringLiteral("CommandTournament"));
  tournamentButton_->setGeometry(twipsRect(105, 4590, 4635, 330));
  tournamentButton_->setAccessibleName(QStringLiteral("大会の画面を開く"));
  connect(tournamentButton_, &QPushButton::clicked, this, &TitleScreen::tournamentClicked);

  for (QTimer* timer : {&scrollTimer_, &dropTimer_}) {
    timer->setInterval(kTickMs);
    timer->setTimerType(Qt::PreciseTimer);
  }
  connect(&scrollTimer_, &QTimer::timeout, this, &TitleScreen::scrollTick);
  connect(&dropTimer_, &QTimer::timeout, this, &TitleScreen::dropTick);
  musicEndTimer_.setSingleShot(true);
  musicEndTimer_.setTimerType(Qt::VeryCoarseTimer);
  connect(&musicEndTimer_, &QTimer::timeout, this, &TitleScreen::musicEndTick);

  place(picture_, pictureBox_);
  place(overlay_, overlayBox_);
  place(logo_, logoBox_);
  load();
}

void TitleScreen::load() {
  dropStep_ = kFirstDrop;
  media::playUnlessPlaying(music_, media::kTitleMusic);
  musicEndTick();
  scrollTimer_.start();
}

void TitleScreen::musicEndTick() {
  if (const int wait = media::closeWhenFinished(music_); wait > 0) {
    musicEndTimer_.start(wait);
  } else {
    musicEndTimer_.stop();
  }
}

void TitleScreen::place(QWidget* widget, const Box& box) {
  // Positions count from the inside of the frame's edge.
  widget->setGeometry(twipsRect(box.left, box.top, box.width, box.height));
}

void TitleScreen::scrollTick() {
  pictureBox_.top -= kScrollTwips;
  place(picture_, pictureBox_);
  // The scroll ends on the first tick that brings the picture's lower edge inside the frame.
  if (static_cast<float>(pictureBox_.top + pictureBox_.height) <
      static_cast<float>(frameBox_.height)) {
    scrollTimer_.stop();
    dropTimer_.start();
    logoBox_.top = -logoBox_.height;  // just above the frame's top edge
    place(logo_, logoBox_);
    overlay_->show();
    logo_->show();
  }
}

void TitleScreen::dropTick() {
  logoBox_.top += dropStep_;
  place(logo_, logoBox_);
  --dropStep_;
  if (dropStep_ == 0) dropTimer_.stop();
}

void TitleScreen::stopEverything() {
  scrollTimer_.stop();
  dropTimer_.stop();
  musicEndTimer_.stop();
  music_.close();
}

std::optional<std::filesystem::path> TitleScreen::droppedReplay(const QMimeData* data) {
  const std::optional<std::filesystem::path> dropped = droppedLocalFile(data);
  if (!dropped) return std::nullopt;
  const std::filesystem::path& file = *dropped;
  std::string extension = file.extension().string();
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (extension != replay::kReplayExtension && extension != ".html" && extension != ".htm") {
    return std::nullopt;
  }
  return file;  // whatever it is, the reader refuses it without blocking and says why
}

void TitleScreen::dragEnterEvent(QDragEnterEvent* event) {
  if (droppedReplay(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TitleScreen::dropEvent(QDropEvent* event) {
  const auto file = droppedReplay(event->mimeData());
  if (!file) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit replayDropped(*file);  // the flow closes this screen: nothing may follow
}

}  // namespace momiru::ui
