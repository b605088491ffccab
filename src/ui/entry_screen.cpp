// Entry screen: load, show and register one character per player.
#include "ui/entry_screen.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <cstdio>
#include <optional>
#include <string>

#include "battle/texts.h"
#include "data/registration.h"
#include "data/save_data.h"
#include "data/text_safety.h"
#include "ui/name_line.h"
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

// The one save-data file of a drop, when it is one that may be loaded.
std::optional<std::filesystem::path> droppedFile(const QMimeData* data) {
  std::optional<std::filesystem::path> file = droppedLocalFile(data);
  if (!file || !EntryScreen::isDroppableSaveData(*file)) return std::nullopt;
  return file;
}

}  // namespace

bool registerCurrentSlot(GameState& gs, int& slot) {
  if (slot < 0 || slot >= kSlots) return false;
  if (!hasCharacter(gs.combatant[static_cast<std::size_t>(slot)])) return false;
  markEqualNames(gs);
  ++slot;
  return true;
}

FileLoad loadSaveDataFile(GameState& gs, int slot, const std::filesystem::path& file,
                          PlatformDialogs& dialogs, QWidget* parent, std::string* reason,
                          const TamperedEnding& ending) {
  const SaveDataResult result = loadSaveData(gs, slot, file);
  if (reason != nullptr) *reason = result.reason;
  switch (result.outcome) {
    case LoadOutcome::Loaded:
      return FileLoad::Loaded;
    case LoadOutcome::Tampered:
      if (!ending.stderrLine.empty()) {
        std::fputs(ending.stderrLine.c_str(), stderr);
        std::fflush(stderr);
      }
      dialogs.integrityMessage(parent);
      dialogs.terminateProgram(ending.exitStatus);
      return FileLoad::Tampered;
    case LoadOutcome::Failed:
      break;
  }
  return FileLoad::Failed;
}

EntryScreen::EntryScreen(ScreenContext& context)
    : Screen(context, "Form5", QStringLiteral("エントリー表"), QSize(6585, 3345)) {
  auto* pictureFrame = new QWidget(this);
  pictureFrame->setObjectName(QStringLiteral("Picture1"));
  pictureFrame->setGeometry(twipsRect(105, 105, 2430, 2745));
  fill(pictureFrame, bgr(kLightBlue));

  picture_ = new PictureView(pictureFrame);
  picture_->setObjectName(QStringLiteral("MYGA"));
  picture_->setGeometry(twipsRect(0, 0, 2385, 2745));
  picture_->setAccessibleName(QStringLiteral("キャラクターの絵"));

  status_ = new QLabel(QString::fromUtf8(kEntryInstruction), this);
  status_->setObjectName(QStringLiteral("MYST"));
  status_->setGeometry(twipsRect(2625, 105, 3900, 2745));
  status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  status_->setWordWrap(true);
  status_->setTextFormat(Qt::PlainText);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  fill(status_, bgr(kLightCyan));
  statusFont_ = status_->font();

  auto* registerButton = registerButton_ = new QPushButton(QStringLiteral("登録"), this);
  registerButton->setObjectName(QStringLiteral("Command2"));
  registerButton->setGeometry(twipsRect(105, 2940, 645, 330));
  registerButton->setAccessibleName(registerButton->text());
  connect(registerButton, &QPushButton::clicked, this, &EntryScreen::registerCharacter);

  auto* loadButton = loadButton_ = new QPushButton(QStringLiteral("読み込み"), this);
  loadButton->setObjectName(QStringLiteral("Command1"));
  loadButton->setGeometry(twipsRect(840, 2940, 960, 330));
  loadButton->setAccessibleName(loadButton->text());
  connect(loadButton, &QPushButton::clicked, this, &EntryScreen::loadFromDialog);

  moves_ = new QComboBox(this);
  moves_->setObjectName(QStringLiteral("WAZA"));
  moves_->setGeometry(twipsRect(1890, 2940, 4635, 300));
  moves_->setAccessibleName(QStringLiteral("技"));

  setTabOrder(registerButton, loadButton);
  setTabOrder(loadButton, moves_);
  loadButton->setFocus();
  setAcceptDrops(true);

  load();
}

void EntryScreen::load() {
  gs.battleLog.clear();
  showPlayerInCaption();
}

void EntryScreen::showPlayerInCaption() {
  setWindowTitle(QString::number(slot_ + 1) + QStringLiteral("Ｐｌａｙｅｒ"));
}

void EntryScreen::showPicture(int number) {
  PictureBank& bank = ctx.pictures;
  picture_->setSource([&bank, number](qreal dpr) { return bank.portrait(number, dpr); });
  picture_->setAccessibleDescription(number >= 0 && number < PictureBank::kEmptyPortrait
                                         ? QStringLiteral("絵 %1").arg(number)
                                         : QString());
}

void EntryScreen::loadFromDialog() {
  // Only slots 0 and 1 can be entered; the screen closes once both are registered.
  if (slot_ < 0 || slot_ >= kSlots) return;
  const auto file = ctx.dialogs.openSaveData(this);
  takeFocusBackFromDialog();
  if (file) {
    loadFile(*file);
    return;
  }
  showSlot();  // a cancelled dialog shows the slot as it is
}

void EntryScreen::loadFile(const std::filesystem::path& file) {
  if (slot_ < 0 || slot_ >= kSlots) return;
  const int slot = slot_;
  switch (loadSaveDataFile(gs, slot, file, ctx.dialogs, this)) {
    case FileLoad::Tampered:
      return;  // the program has ended; nothing more happens in this event
    case FileLoad::Loaded:
      emit fileLoaded(slot, file);
      break;
    case FileLoad::Failed:
      break;
  }
  showSlot();
}

bool EntryScreen::isDroppableSaveData(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (extension != ".dat") return false;
  // Only a regular file: opening a FIFO would wait for a writer and hang the screen.
  std::error_code ec;
  return std::filesystem::is_regular_file(file, ec);
}

void EntryScreen::dragEnterEvent(QDragEnterEvent* event) {
  if (slot_ >= 0 && slot_ < kSlots && droppedFile(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void EntryScreen::dropEvent(QDropEvent* event) {
  const auto file = droppedFile(event->mimeData());
  if (!file || slot_ < 0 || slot_ >= kSlots) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  loadFile(*file);
}

void EntryScreen::showSlot() {
  if (slot_ < 0 || slot_ >= kSlots) return;
  const Combatant& c = gs.combatant[static_cast<std::size_t>(slot_)];
  const std::string crlf(battle::kLineBreak);

  moves_->clear();
  for (std::size_t m = 0; m < kMoves; ++m) {
    moves_->addItem(shownName(c.moveNames[m]) + QStringLiteral("：") +
                    QString::number(c.movePower[m]));
  }
  moves_->setCurrentIndex(-1);

  std::string text = "Lv." + std::to_string(c.level) + "　" + plainName(c.name);
  text += crlf + "ステータス" + crlf;
  for (std::size_t p = 0; p < kParts; ++p) {
    text += std::string(kPartNames[p]) + crlf;
    text += "残りHP　" + std::to_string(c.hp[p]) + " 攻撃力　" + std::to_string(c.attack[p]) +
            "防御力　" + std::to_string(c.defence[p]) + crlf;
  }
  // A long name or long numbers break between characters, or the font shrinks, so that the
  // whole status stays inside the label; a status that fits is shown as written.
  const NameLineLayout fitted = layoutLines(QString::fromStdString(text), statusFont_,
                                            status_->contentsRect().size(), kStatusMinPoints);
  status_->setWordWrap(false);
  status_->setFont(fitted.font);
  status_->setText(fitted.text);

  showPicture(c.portrait);
  // The next step: register what is shown, or load a character first.
  (hasCharacter(c) ? registerButton_ : loadButton_)->setFocus(Qt::OtherFocusReason);
}

void EntryScreen::showStatusMessage(const QString& text) {
  status_->setFont(statusFont_);
  status_->setWordWrap(true);
  status_->setText(text);
}

void EntryScreen::registerCharacter() {
  if (slot_ < 0 || slot_ >= kSlots) return;
  if (!registerCurrentSlot(gs, slot_)) {
    showStatusMessage(QString::fromUtf8(kNotRegistered));
    showPicture(PictureBank::kEmptyPortrait);
    moves_->clear();
    loadButton_->setFocus(Qt::OtherFocusReason);
    return;  // the same player stays on turn
  }
  showStatusMessage(QString());
  showPicture(PictureBank::kEmptyPortrait);
  moves_->clear();
  showPlayerInCaption();
  loadButton_->setFocus(Qt::OtherFocusReason);  // the next player starts by loading
  if (slot_ == kSlots) emit bothRegistered();
}

}  // namespace momiru::ui
