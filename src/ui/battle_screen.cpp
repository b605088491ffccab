// Battle screen: the colosseum's controls, the engine's requests carried out on them, the timers
// that drive the engine, the damage popup's bounce and the opening of the move list.
#include "ui/battle_screen.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTimerEvent>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "battle/texts.h"
#include "data/arith.h"
#include "data/random_unit.h"
#include "ui/move_list_screen.h"
#include "ui/name_line.h"
#include "ui/picture_bank.h"
#include "ui/picture_view.h"
#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

// The portrait `iras`: an image that is also a button, so that the keyboard reaches it too.
class PortraitButton final : public QAbstractButton {
 public:
  explicit PortraitButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
  }

  void setSource(PictureView::Source source) {
    source_ = std::move(source);
    cachedRatio_ = 0;
    update();
  }
  QPixmap currentPixmap() const { return source_ ? source_(devicePixelRatioF()) : QPixmap(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    // Fetched again only when the pixel ratio changes: the popup repaints over it 100 times a
    // second.
    if (cachedRatio_ != devicePixelRatioF()) {
      cachedRatio_ = devicePixelRatioF();
      cached_ = currentPixmap();
    }
    if (!cached_.isNull()) painter.drawPixmap(0, 0, cached_);
    if (hasFocus()) {
      painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
      painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      click();
      return;
    }
    QAbstractButton::keyPressEvent(event);
  }

 private:
  PictureView::Source source_;
  QPixmap cached_;
  qreal cachedRatio_ = 0;
};

namespace {

constexpr std::int32_t kGaugeHeight = 6210;  // H, the height of timeg and of gage
constexpr int kTimer1Ms = 1;
constexpr int kPopupMs = 10;
constexpr int kKeeperMs = 10;
constexpr std::int32_t kMoveListBelowTop = 3150;
constexpr std::int32_t kTimegLeft[kSlots] = {2835, 3885};

// `Shape1`: a rounded-rectangle outline that lets clicks through to what lies beneath.
class RoundedOutline final : public QWidget {
 public:
  explicit RoundedOutline(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 255, 255), 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 12, 12);
  }
};

void fill(QWidget* widget, const QColor& colour) {
  widget->setAutoFillBackground(true);
  QPalette pal = widget->palette();
  pal.setColor(QPalette::Window, colour);
  widget->setPalette(pal);
}

void textColour(QWidget* widget, const QColor& colour) {
  QPalette pal = widget->palette();
  pal.setColor(QPalette::WindowText, colour);
  widget->setPalette(pal);
}

QString name(const char* base, int slot) { return QStringLiteral("%1_%2").arg(base).arg(slot); }

std::size_t at(int slot) { return slot == 1 ? std::size_t{1} : std::size_t{0}; }

}  // namespace

BattleScreen::SeedSource& BattleScreen::seedSource() {
  static SeedSource source;
  return source;
}

void BattleScreen::setSeedSource(SeedSource source) { seedSource() = std::move(source); }

BattleScreen::BattleScreen(ScreenContext& context)
    : Screen(context, "Form1", QStringLiteral("バトルコロシアム"), QSize(7050, 6225)) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  fill(this, QColor(64, 64, 64));

  // Created bottom to top: the label on the form itself, then the panels and gauges, then the
  // message box and the popup over them.
  Label1 = new QLabel(QStringLiteral("ＶＳ"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(twipsRect(2940, 105, 1170, 750));
  Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label1->setFont(uiFont(24.0, true));
  textColour(Label1, Qt::white);

  PictureBank& bank = ctx.pictures;
  for (int i = 0; i < kSlots; ++i) {
    const std::size_t s = at(i);
    waku[s] = new QWidget(this);
    waku[s]->setObjectName(name("waku", i));
    waku[s]->setGeometry(twipsRect(battle::kWakuLeft[s], 0, 2850, 6210));
    fill(waku[s], Qt::black);

    // Under the name line: a name of two lines stays readable where the frame meets it.
    Shape1[s] = new RoundedOutline(waku[s]);
    Shape1[s]->setObjectName(name("Shape1", i));
    Shape1[s]->setGeometry(twipsRect(105, 315, 2640, 2850));

    name12[s] = new QLabel(QStringLiteral("ＮＡＭＥ"), waku[s]);
    name12[s]->setObjectName(name("name12", i));
    name12[s]->setGeometry(twipsRect(210, 105, 2355, 435));
    name12[s]->setFont(uiFont(9.75, true));
    name12[s]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    name12[s]->setTextFormat(Qt::PlainText);
    name12[s]->setWordWrap(true);
    fill(name12[s], Qt::black);
    textColour(name12[s], Qt::white);

    stas[s] = new QLabel(QStringLiteral("箇所／ＨＰ／ＯＦＥ／ＤＥＦ"), waku[s]);
    stas[s]->setObjectName(name("stas", i));
    stas[s]->setGeometry(twipsRect(210, 525, 2430, 2430));
    stas[s]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    stas[s]->setTextFormat(Qt::PlainText);
    stas[s]->setWordWrap(true);
    textColour(stas[s], Qt::white);

    hai[s] = new PictureView(waku[s]);
    hai[s]->setObjectName(name("hai", i));
    hai[s]->setGeometry(twipsRect(210, 3255, 2430, 2850));
    fill(hai[s], Qt::black);
    hai[s]->setSource([&bank](qreal dpr) { return bank.haikei(0, dpr); });

    iras[s] = new PortraitButton(hai[s]);
    iras[s]->setObjectName(name("iras", i));
    iras[s]->setGeometry(twipsRect(0, 0, 2385, 2745));
    connect(iras[s], &QAbstractButton::clicked, this, [this, i] { iras_Click(i); });

    timeg[s] = new QWidget(this);
    timeg[s]->setObjectName(name("timeg", i));
    timeg[s]->setGeometry(twipsRect(kTimegLeft[s], 0, 330, kGaugeHeight));
    fill(timeg[s], QColor(255, 0, 0));

    gage[s] = new QWidget(timeg[s]);
    gage[s]->setObjectName(name("gage", i));
    gage[s]->setGeometry(twipsRect(0, 0, 330, kGaugeHeight));
    fill(gage[s], QColor(0, 255, 0));
  }
  // The right-hand panel lies over the right gauge's last pixel, as the left gauge over the
  // left panel's.
  waku[1]->raise();

  bun = new QPlainTextEdit(QStringLiteral("Text1"), this);
  bun->setObjectName(QStringLiteral("bun"));
  bun->setGeometry(twipsRect(1575, 2835, 4215, 960));
  bun->setFont(uiFont(9.75, true));
  bun->setReadOnly(true);
  bun->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  bun->setFocusPolicy(Qt::StrongFocus);
  bun->setTabChangesFocus(true);
  bun->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  bun->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  bun->setAccessibleName(QStringLiteral("メッセージボックス"));
  QPalette bunPal = bun->palette();
  bunPal.setColor(QPalette::Base, QColor(0, 0, 192));
  bunPal.setColor(QPalette::Text, Qt::white);
  bunPal.setColor(QPalette::Window, QColor(0, 0, 192));
  bun->setPalette(bunPal);
  // Opaque, frame included: a new text or a moving popup then repaints only the box itself,
  // not the status labels and pictures beneath it.
  bun->setAutoFillBackground(true);
  bun->hide();

  dam = new QLineEdit(QStringLiteral("ダメージ"), this);
  dam->setObjectName(QStringLiteral("dam"));
  dam->setFont(uiFont(9.0));
  dam->setAlignment(Qt::AlignCenter);
  dam->setReadOnly(true);
  dam->setFocusPolicy(Qt::NoFocus);  // it flies past; it must not take the keyboard away
  dam->setAttribute(Qt::WA_TransparentForMouseEvents);
  dam->setAccessibleName(QStringLiteral("ダメージ"));
  dam->setAutoFillBackground(true);
  placeDam();
  dam->hide();

  setTabOrder(iras[0], iras[1]);
  setTabOrder(iras[1], bun);
  iras[0]->setFocus();

  Form_Load();
}

BattleScreen::~BattleScreen() {
  stopping_ = true;
  delete Form6_.data();
}

void BattleScreen::Form_Load() {
  const SeedSource& source = seedSource();
  seed_ = source ? source() : clockSeed();
  gs.randomUnit.seed(seed_);
  timer2Interval_ = std::clamp(gs.settings.battleSpeed, 1, 300);

  PictureBank& bank = ctx.pictures;
  for (int i = 0; i < kSlots; ++i) {
    const Combatant& c = gs.combatant[at(i)];
    const int picture = c.portrait;
    iras[at(i)]->setSource([&bank, picture](qreal dpr) { return bank.MAE(picture, dpr); });
    iras[at(i)]->setAccessibleName(QString::fromStdString(c.name) + QStringLiteral("の持ち技"));
  }

  // The engine reads the move codes when it is made, so only now, after both registrations.
  // Its load step empties both gauges, sets gaugeFull to 2 and calls `sts`.
  engine_ = std::make_unique<battle::BattleEngine>(gs, *this, gs.randomUnit);
  engine_->load();

  // The timers that run from the design; they tick once this load step has returned. Timer3
  // makes its first run from a velocity of 0: it drops the hidden popup and stops itself.
  Timer1_.start(kTimer1Ms, Qt::PreciseTimer, this);
  Timer3_.start(kPopupMs, Qt::PreciseTimer, this);
  Timer4_.start(kKeeperMs, Qt::CoarseTimer, this);
}

void BattleScreen::Timer1_Timer() {
  if (engine_ && !over_) engine_->schedulerTick();
}

void BattleScreen::Timer2_Timer() {
  if (engine_ && !over_) engine_->stepTick();  // the closing step may lead to this screen's close
}

void BattleScreen::Timer3_Timer() {
  std::int32_t& v = engine_->state().damVelocity;
  if (v < 300) {
    v += 50;
    damTop_ = saturate32(static_cast<double>(damTop_) + v);
    placeDam();
  } else {
    ++v;
    if (v > 310) {
      Timer3_.stop();
      dam->hide();
    }
  }
}

void BattleScreen::Timer4_Timer() { sounds_.Timer4_Timer(); }

void BattleScreen::timerEvent(QTimerEvent* event) {
  const int id = event->timerId();
  if (id == Timer1_.timerId()) {
    Timer1_Timer();
  } else if (id == Timer2_.timerId()) {
    Timer2_Timer();
  } else if (id == Timer3_.timerId()) {
    Timer3_Timer();
  } else if (id == Timer4_.timerId()) {
    Timer4_Timer();
  } else {
    Screen::timerEvent(event);
  }
}

void BattleScreen::placeDam() { dam->setGeometry(twipsRect(damLeft_, damTop_, 1170, 330)); }

void BattleScreen::panelTextChanged(std::string_view text) {
  bun->setPlainText(displayText(std::string(text)));
}

void BattleScreen::showPanel(bool visible) { bun->setVisible(visible); }

void BattleScreen::setPanelBackground(int slot, bool hit) {
  PictureBank& bank = ctx.pictures;
  const int index = hit ? 1 : 0;
  hai[at(slot)]->setSource([&bank, index](qreal dpr) { return bank.haikei(index, dpr); });
}

void BattleScreen::statusChanged() {
  for (int i = 0; i < kSlots; ++i) {
    const battle::StatusTexts t = battle::statusTexts(gs, i);
    showNameLine(name12[at(i)], displayText(t.name12));
    stas[at(i)]->setText(displayText(t.stas));
  }
}

void BattleScreen::showDamage(const battle::DamagePopup& popup) {
  damTop_ = popup.top;
  damLeft_ = popup.left;
  dam->setText(QString::fromUtf8(popup.text.data(), static_cast<qsizetype>(popup.text.size())));
  placeDam();
  dam->show();
  Timer3_.start(kPopupMs, Qt::PreciseTimer, this);  // a new start restarts the bounce
}

void BattleScreen::gaugeChanged(int slot) {
  const std::size_t s = at(slot);
  const std::int32_t full = engine_ ? engine_->state().gaugeFull : 0;
  // Before the load step has set gaugeFull the gauge is drawn empty, as the load step asks.
  double top = kGaugeHeight;
  if (full > 0) {
    const double level = static_cast<double>(gs.timeGauge[s]) / static_cast<double>(full);
    top = std::clamp(kGaugeHeight - level * kGaugeHeight, 0.0, double{kGaugeHeight});
  }
  gageTop_[s] = static_cast<std::int32_t>(nearest(top));
  gage[s]->move(0, px(gageTop_[s]));
}

void BattleScreen::snd1() { sounds_.snd1(); }

void BattleScreen::snd2() { sounds_.snd2(); }

void BattleScreen::setTimer1(bool enabled) {
  if (!enabled) {
    Timer1_.stop();
  } else if (!Timer1_.isActive() && !over_ && !stopping_) {
    Timer1_.start(kTimer1Ms, Qt::PreciseTimer, this);
  }
}

void BattleScreen::setTimer2(bool enabled) {
  if (!enabled) {
    Timer2_.stop();
  } else if (!Timer2_.isActive() && !over_ && !stopping_) {
    Timer2_.start(timer2Interval_, Qt::PreciseTimer, this);
  }
}

void BattleScreen::closeBattle() {
  // Nothing of this battle runs again, whoever closes the screen and whenever.
  over_ = true;
  Timer1_.stop();
  Timer2_.stop();
  emit battleOver();
}

void BattleScreen::iras_Click(int index) {
  if (index < 0 || index >= kSlots) return;
  Timer1_.stop();
  gs.currentSlot = index;
  if (Timer2_.isActive() || over_ || stopping_ || Form6_) return;  // a turn is being played

  auto* form6 = new MoveListScreen(ctx);
  Form6_ = form6;
  connect(form6, &Screen::closed, this, &BattleScreen::moveListClosed);
  // Over the clicked panel: its top 3150 twips below this window's top edge, its left edge at
  // this window's left edge plus the panel's.
  form6->move(frameGeometry().topLeft() +
              QPoint(px(battle::kWakuLeft[at(index)]), px(kMoveListBelowTop)));
  if (QWindow* battleWindow = windowHandle()) {
    form6->winId();
    if (QWindow* listWindow = form6->windowHandle()) listWindow->setTransientParent(battleWindow);
  }
  form6->show();
  form6->activateWindow();
  form6->setFocus();
  setEnabled(false);
}

void BattleScreen::moveListClosed() {
  if (stopping_ || over_) return;
  setTimer1(true);
  setEnabled(true);
  activateWindow();
  iras[at(gs.currentSlot)]->setFocus();
}

void BattleScreen::stopEverything() {
  stopping_ = true;
  Timer1_.stop();
  Timer2_.stop();
  Timer3_.stop();
  Timer4_.stop();
  sounds_.MMControl1.Command("Close");
  sounds_.MMControl2.Command("Close");
  sounds_.MMControl3.Command("Close");
  if (Form6_) Form6_->close();
}

}  // namespace momiru::ui
