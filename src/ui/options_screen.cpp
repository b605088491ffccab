// Options screen: file → globals → controls on load and reload; controls → globals → file on save.
#include "ui/options_screen.h"

#include <QCheckBox>
#include <QLabel>
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
const char* const kSpeedLabel = "バトルスピード：";

struct LabelDesign {
  int index;
  const char* text;
  QRect twips;
};

}  // namespace

OptionsScreen::OptionsScreen(ScreenContext& context)
    : Screen(context, "Form4", QStringLiteral("オプション"), QSize(4815, 4185)) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, bgr(kLightBlue));
  setPalette(pal);

  const LabelDesign labels[] = {
      {0, "オプション", QRect(1785, 105, 1275, 285)},
      {1, "背景の表現", QRect(105, 735, 1515, 285)},
      {2, "ダメージ半減", QRect(105, 1260, 1680, 285)},
      {4, "メッセージボックス", QRect(105, 1680, 2310, 285)},
      {5, "バトルスピード：150", QRect(1260, 2100, 2490, 285)},
  };
  for (const LabelDesign& d : labels) {
    auto* label = new QLabel(QString::fromUtf8(d.text), this);
    label->setObjectName(QStringLiteral("Label1_%1").arg(d.index));
    label->setGeometry(twipsRect(d.twips.x(), d.twips.y(), d.twips.width(), d.twips.height()));
    label->setFont(uiFont(9.0, true));
    if (d.index == 0) label->setAlignment(Qt::AlignCenter);
    Label1[static_cast<std::size_t>(d.index)] = label;
  }

  const struct {
    const char* text;
    int top;
    std::size_t rowLabel;
  } checks[] = {{"チェックすると実行", 735, 1},
                {"チェックすると実行", 1260, 2},
                {"チェックするとつける", 1680, 4}};
  for (std::size_t i = 0; i < Check1.size(); ++i) {
    auto* box = new QCheckBox(QString::fromUtf8(checks[i].text), this);
    box->setObjectName(QStringLiteral("Check1_%1").arg(i));
    box->setGeometry(twipsRect(2730, checks[i].top, 1905, 330));
    QLabel* row = Label1[checks[i].rowLabel];
    row->setBuddy(box);
    box->setAccessibleName(row->text());
    box->setAccessibleDescription(box->text());
    Check1[i] = box;
  }
  Check1[0]->setChecked(true);
  Check1[2]->setChecked(true);

  HScroll1 = new QScrollBar(Qt::Horizontal, this);
  HScroll1->setObjectName(QStringLiteral("HScroll1"));
  HScroll1->setGeometry(twipsRect(105, 2415, 4635, 330));
  HScroll1->setRange(kSpeedMin, kSpeedMax);
  HScroll1->setSingleStep(1);
  HScroll1->setPageStep(1);
  HScroll1->setValue(kDesignSpeed);
  // Without tracking the value, and so the label, changes when a dragged thumb is released.
  HScroll1->setTracking(false);
  HScroll1->setFocusPolicy(Qt::StrongFocus);
  // A scroll bar inverts its keys by default; here Left must lower the speed, as the left arrow
  // does.
  HScroll1->setInvertedControls(false);
  HScroll1->setAccessibleName(QStringLiteral("バトルスピード"));
  Label1[5]->setBuddy(HScroll1);
  connect(HScroll1, &QScrollBar::valueChanged, this, &OptionsScreen::HScroll1_Change);

  const struct {
    QPushButton** button;
    const char* name;
    const char* text;
    QRect twips;
  } buttons[] = {
      {&Command2, "Command2", "変更", QRect(105, 2940, 1485, 435)},
      {&Command3, "Command3", "設定項目のロード", QRect(1680, 2940, 1485, 435)},
      {&Command1, "Command1", "取り消し", QRect(3255, 2940, 1485, 435)},
      {&Command4, "Command4", "ＶＳバトル", QRect(105, 3570, 4635, 540)},
  };
  for (const auto& b : buttons) {
    auto* button = new QPushButton(QString::fromUtf8(b.text), this);
    button->setObjectName(QString::fromLatin1(b.name));
    button->setGeometry(twipsRect(b.twips.x(), b.twips.y(), b.twips.width(), b.twips.height()));
    button->setAccessibleName(button->text());
    *b.button = button;
  }
  connect(Command1, &QPushButton::clicked, this, &OptionsScreen::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &OptionsScreen::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &OptionsScreen::Command3_Click);
  connect(Command4, &QPushButton::clicked, this, &OptionsScreen::Command4_Click);

  setTabOrder(Check1[0], Check1[1]);
  setTabOrder(Check1[1], Check1[2]);
  setTabOrder(Check1[2], HScroll1);
  setTabOrder(HScroll1, Command2);
  setTabOrder(Command2, Command3);
  setTabOrder(Command3, Command1);
  setTabOrder(Command1, Command4);
  Command4->setFocus();

  Form_Load();
}

void OptionsScreen::Form_Load() {
  gs.currentSlot = 0;
  readIntoControls();
}

void OptionsScreen::readIntoControls() {
  const Settings before = gs.settings;
  LoadSettings(gs, ctx.settingsDir);
  const bool readSomething = gs.settings != before;

  std::array<bool, 3> ticked{true, false, true};
  int speed = kDesignSpeed;
  // With no settings ever read the speed is still 0; the screen then shows its design values.
  if (readSomething || gs.settings.battleSpeed != 0) {
    for (std::size_t i = 0; i < ticked.size(); ++i)
      ticked[i] = gs.settings.*Settings::kSwitches[i] != 0;
    speed = std::clamp<int>(gs.settings.battleSpeed, kSpeedMin, kSpeedMax);
  }
  for (std::size_t i = 0; i < Check1.size(); ++i) Check1[i]->setChecked(ticked[i]);
  if (HScroll1->value() == speed) {
    HScroll1_Change(speed);
  } else {
    HScroll1->setValue(speed);
  }
}

void OptionsScreen::saveFromControls() {
  for (std::size_t i = 0; i < Check1.size(); ++i)
    gs.settings.*Settings::kSwitches[i] = Check1[i]->isChecked() ? 1 : 0;
  gs.settings.battleSpeed = HScroll1->value();
  SaveSettings(gs, ctx.settingsDir);
}

void OptionsScreen::HScroll1_Change(int value) {
  Label1[5]->setText(QString::fromUtf8(kSpeedLabel) + QString::number(value));
}

void OptionsScreen::Command1_Click() { emit cancelClicked(); }

void OptionsScreen::Command2_Click() {
  saveFromControls();
  emit changeClicked();
}

void OptionsScreen::Command3_Click() { readIntoControls(); }

void OptionsScreen::Command4_Click() {
  saveFromControls();
  emit vsBattleClicked();
}

}  // namespace momiru::ui
