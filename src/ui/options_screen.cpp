// Options screen: file → memory → controls on load and reload; controls → memory → file on save.
#include "ui/options_screen.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <utility>

#include "data/settings_file.h"
#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

namespace {

constexpr std::uint32_t kLightBlue = 0xFFC0C0;  // blue-green-red
const char* const kSpeedText = "バトルスピード：";

// The styles draw no focus on a scroll bar; this one draws a frame in the highlight colour
// around itself, as the buttons show theirs, while the keyboard focus is shown in its window.
class SpeedScrollBar final : public QScrollBar {
 public:
  using QScrollBar::QScrollBar;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QScrollBar::paintEvent(event);
    if (!hasFocus() || !window()->testAttribute(Qt::WA_KeyboardFocusChange)) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1.0, 1.0, -1.0, -1.0), 2.0, 2.0);
  }
};

struct LabelLayout {
  const char* name;
  const char* text;
  QRect twips;
};

}  // namespace

OptionsScreen::OptionsScreen(ScreenContext& context)
    : Screen(context, "Form4", QStringLiteral("オプション"), QSize(4815, 4185)) {
  setBackdrop(bgr(kLightBlue));

  // The heading, the three switches' row labels and the speed label, top to bottom.
  const LabelLayout labelLayouts[] = {
      {"Label1_0", "オプション", QRect(1785, 105, 1275, 285)},
      {"Label1_1", "背景の表現", QRect(105, 735, 1515, 285)},
      {"Label1_2", "ダメージ半減", QRect(105, 1260, 1680, 285)},
      {"Label1_4", "メッセージボックス", QRect(105, 1680, 2310, 285)},
      {"Label1_5", "バトルスピード：150", QRect(1260, 2100, 2490, 285)},
  };
  std::array<QLabel*, std::size(labelLayouts)> labels{};
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const LabelLayout& d = labelLayouts[i];
    auto* label = new QLabel(QString::fromUtf8(d.text), this);
    label->setObjectName(QString::fromLatin1(d.name));
    label->setGeometry(twipsRect(d.twips.x(), d.twips.y(), d.twips.width(), d.twips.height()));
    label->setFont(uiFont(9.0, true));
    labels[i] = label;
  }
  labels[0]->setAlignment(Qt::AlignCenter);
  speedLabel_ = labels[4];

  const struct {
    const char* text;
    int top;
  } switchLayouts[] = {
      {"チェックすると実行", 735}, {"チェックすると実行", 1260}, {"チェックするとつける", 1680}};
  for (std::size_t i = 0; i < switchBoxes_.size(); ++i) {
    auto* box = new QCheckBox(QString::fromUtf8(switchLayouts[i].text), this);
    box->setObjectName(QStringLiteral("Check1_%1").arg(i));
    box->setGeometry(twipsRect(2730, switchLayouts[i].top, 1905, 330));
    QLabel* row = labels[i + 1];
    row->setBuddy(box);
    box->setAccessibleName(row->text());
    box->setAccessibleDescription(box->text());
    switchBoxes_[i] = box;
  }
  switchBoxes_[0]->setChecked(true);
  switchBoxes_[2]->setChecked(true);

  speedBar_ = new SpeedScrollBar(Qt::Horizontal, this);
  speedBar_->setObjectName(QStringLiteral("HScroll1"));
  speedBar_->setGeometry(twipsRect(105, 2415, 4635, 330));
  speedBar_->setRange(Settings::kMinSpeed, Settings::kMaxSpeed);
  speedBar_->setSingleStep(1);
  speedBar_->setPageStep(1);
  speedBar_->setValue(Settings::kDefaultSpeed);
  // Without tracking the value, and so the label, changes when a dragged thumb is released.
  speedBar_->setTracking(false);
  speedBar_->setFocusPolicy(Qt::StrongFocus);
  // A scroll bar inverts its keys by default; here Left must lower the speed, as the left arrow
  // does.
  speedBar_->setInvertedControls(false);
  speedBar_->setAccessibleName(QStringLiteral("バトルスピード"));
  speedLabel_->setBuddy(speedBar_);
  connect(speedBar_, &QScrollBar::valueChanged, this, &OptionsScreen::showSpeed);

  const struct {
    const char* name;
    const char* text;
    QRect twips;
  } buttonLayouts[] = {
      {"Command2", "変更", QRect(105, 2940, 1485, 435)},
      {"Command3", "設定項目のロード", QRect(1680, 2940, 1485, 435)},
      {"Command1", "取り消し", QRect(3255, 2940, 1485, 435)},
      {"Command4", "ＶＳバトル", QRect(105, 3570, 4635, 540)},
  };
  std::array<QPushButton*, std::size(buttonLayouts)> buttons{};
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const auto& d = buttonLayouts[i];
    auto* button = new QPushButton(QString::fromUtf8(d.text), this);
    button->setObjectName(QString::fromLatin1(d.name));
    button->setGeometry(twipsRect(d.twips.x(), d.twips.y(), d.twips.width(), d.twips.height()));
    button->setAccessibleName(button->text());
    buttons[i] = button;
  }
  QPushButton* changeButton = buttons[0];
  QPushButton* reloadButton = buttons[1];
  QPushButton* cancelButton = buttons[2];
  QPushButton* vsBattleButton = buttons[3];
  connect(changeButton, &QPushButton::clicked, this, &OptionsScreen::change);
  connect(reloadButton, &QPushButton::clicked, this, &OptionsScreen::readIntoControls);
  connect(cancelButton, &QPushButton::clicked, this, &OptionsScreen::cancelClicked);
  connect(vsBattleButton, &QPushButton::clicked, this, &OptionsScreen::startVsBattle);

  setTabOrder(switchBoxes_[0], switchBoxes_[1]);
  setTabOrder(switchBoxes_[1], switchBoxes_[2]);
  setTabOrder(switchBoxes_[2], speedBar_);
  setTabOrder(speedBar_, changeButton);
  setTabOrder(changeButton, reloadButton);
  setTabOrder(reloadButton, cancelButton);
  setTabOrder(cancelButton, vsBattleButton);
  vsBattleButton->setFocus();

  load();
}

void OptionsScreen::load() { readIntoControls(); }

void OptionsScreen::readIntoControls() {
  const Settings before = ctx.settings;
  loadSettings(ctx.settings, ctx.settingsDir);
  const bool readSomething = ctx.settings != before;

  std::array<bool, 3> ticked{};
  for (std::size_t i = 0; i < ticked.size(); ++i) ticked[i] = Settings::kFirstSwitches[i] != 0;
  int speed = Settings::kDefaultSpeed;
  // With no settings ever read the speed is still 0; the screen then shows its first values.
  if (readSomething || ctx.settings.battleSpeed != 0) {
    for (std::size_t i = 0; i < ticked.size(); ++i)
      ticked[i] = ctx.settings.*Settings::kSwitches[i] != 0;
    speed = std::clamp<int>(ctx.settings.battleSpeed, Settings::kMinSpeed, Settings::kMaxSpeed);
  }
  for (std::size_t i = 0; i < switchBoxes_.size(); ++i) switchBoxes_[i]->setChecked(ticked[i]);
  if (speedBar_->value() == speed) {
    showSpeed(speed);
  } else {
    speedBar_->setValue(speed);
  }
}

void OptionsScreen::saveFromControls() {
  for (std::size_t i = 0; i < switchBoxes_.size(); ++i)
    ctx.settings.*Settings::kSwitches[i] = switchBoxes_[i]->isChecked() ? 1 : 0;
  ctx.settings.battleSpeed = speedBar_->value();
  saveSettings(ctx.settings, gs.randomUnit, ctx.settingsDir);
}

void OptionsScreen::showSpeed(int value) {
  speedLabel_->setText(QString::fromUtf8(kSpeedText) + QString::number(value));
}

void OptionsScreen::change() {
  saveFromControls();
  emit changeClicked();
}

void OptionsScreen::startVsBattle() {
  saveFromControls();
  emit vsBattleClicked();
}

}  // namespace momiru::ui
