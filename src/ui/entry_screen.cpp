// Entry screen: load, show and register one character per player.
#include "ui/entry_screen.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <string>

#include "data/registration.h"
#include "data/save_data.h"
#include "ui/picture_bank.h"
#include "ui/picture_view.h"
#include "ui/platform_dialogs.h"
#include "ui/twips.h"

namespace momiru::ui {

namespace {

constexpr std::uint32_t kLightBlue = 0xFFC0C0;  // blue-green-red
constexpr std::uint32_t kLightCyan = 0xFFFFC0;

void fill(QWidget* widget, const QColor& colour) {
  widget->setAutoFillBackground(true);
  QPalette pal = widget->palette();
  pal.setColor(QPalette::Window, colour);
  widget->setPalette(pal);
}

}  // namespace

EntryScreen::EntryScreen(ScreenContext& context)
    : Screen(context, "Form5", QStringLiteral("エントリー表"), QSize(6585, 3345)) {
  Picture1 = new QWidget(this);
  Picture1->setObjectName(QStringLiteral("Picture1"));
  Picture1->setGeometry(twipsRect(105, 105, 2430, 2745));
  fill(Picture1, bgr(kLightBlue));

  MYGA = new PictureView(Picture1);
  MYGA->setObjectName(QStringLiteral("MYGA"));
  MYGA->setGeometry(twipsRect(0, 0, 2385, 2745));
  MYGA->setAccessibleName(QStringLiteral("キャラクターの絵"));

  MYST = new QLabel(QString::fromUtf8(kEntryInstruction), this);
  MYST->setObjectName(QStringLiteral("MYST"));
  MYST->setGeometry(twipsRect(2625, 105, 3900, 2745));
  MYST->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  MYST->setWordWrap(true);
  MYST->setTextFormat(Qt::PlainText);
  MYST->setTextInteractionFlags(Qt::TextSelectableByMouse);
  fill(MYST, bgr(kLightCyan));

  Command2 = new QPushButton(QStringLiteral("登録"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command2->setGeometry(twipsRect(105, 2940, 645, 330));
  Command2->setAccessibleName(Command2->text());
  connect(Command2, &QPushButton::clicked, this, &EntryScreen::Command2_Click);

  Command1 = new QPushButton(QStringLiteral("読み込み"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(twipsRect(840, 2940, 960, 330));
  Command1->setAccessibleName(Command1->text());
  connect(Command1, &QPushButton::clicked, this, &EntryScreen::Command1_Click);

  WAZA = new QComboBox(this);
  WAZA->setObjectName(QStringLiteral("WAZA"));
  WAZA->setGeometry(twipsRect(1890, 2940, 4635, 300));
  WAZA->setAccessibleName(QStringLiteral("技"));

  setTabOrder(Command2, Command1);
  setTabOrder(Command1, WAZA);
  Command1->setFocus();

  Form_Load();
}

void EntryScreen::Form_Load() {
  gs.battleLog.clear();
  setCaptionFromPlayerNo();
}

void EntryScreen::setCaptionFromPlayerNo() {
  setWindowTitle(QString::number(gs.currentSlot + 1) + QStringLiteral("Ｐｌａｙｅｒ"));
}

void EntryScreen::showPicture(int number) {
  PictureBank& bank = ctx.pictures;
  MYGA->setSource([&bank, number](qreal dpr) { return bank.MAE(number, dpr); });
  MYGA->setAccessibleDescription(number >= 0 && number < PictureBank::kEmptyPortrait
                                     ? QStringLiteral("絵 %1").arg(number)
                                     : QString());
}

void EntryScreen::Command1_Click() {
  // Only slots 0 and 1 can be entered; the screen closes once PlayerNo reaches 2.
  if (gs.currentSlot < 0 || gs.currentSlot >= kSlots) return;
  if (const auto file = ctx.dialogs.openSaveData(this)) {
    const SaveDataResult result = LoadSaveData(gs, gs.currentSlot, *file);
    if (result.outcome == LoadOutcome::Tampered) {
      ctx.dialogs.integrityMessage(this);
      ctx.dialogs.terminateProgram();
      return;
    }
  }
  YOUHYO();
}

void EntryScreen::YOUHYO() {
  if (gs.currentSlot < 0 || gs.currentSlot >= kSlots) return;
  const Combatant& c = gs.combatant[static_cast<std::size_t>(gs.currentSlot)];
  const std::string& crlf = gs.lineBreak;

  WAZA->clear();
  for (std::size_t m = 0; m < kMoves; ++m) {
    WAZA->addItem(QString::fromStdString(c.moveNames[m] + "：" + std::to_string(c.movePower[m])));
  }
  WAZA->setCurrentIndex(-1);

  std::string text = "Lv." + std::to_string(c.level) + "　" + c.name;
  text += crlf + "ステータス" + crlf;
  for (std::size_t p = 0; p < kParts; ++p) {
    text += std::string(kPartNames[p]) + crlf;
    text += "残りHP　" + std::to_string(c.hp[p]) + " 攻撃力　" + std::to_string(c.attack[p]) +
            "防御力　" + std::to_string(c.defence[p]) + crlf;
  }
  MYST->setText(QString::fromStdString(text));

  showPicture(c.portrait);
}

void EntryScreen::Command2_Click() {
  if (gs.currentSlot < 0 || gs.currentSlot >= kSlots) return;
  Combatant& entered = gs.combatant[static_cast<std::size_t>(gs.currentSlot)];
  if (entered.level == 0) {
    MYST->setText(QString::fromUtf8(kNotRegistered));
    showPicture(PictureBank::kEmptyPortrait);
    WAZA->clear();
    return;
  }
  markEqualNames(gs);
  ++gs.currentSlot;
  MYST->clear();
  showPicture(PictureBank::kEmptyPortrait);
  WAZA->clear();
  setCaptionFromPlayerNo();
  if (gs.currentSlot == kSlots) emit bothRegistered();
}

}  // namespace momiru::ui
