// Entry screen: the status text, the move list, registration and the save-data load paths.
#include "ui/entry_screen.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrl>

#include "ui/picture_view.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

class EntryScreenTest : public ::testing::Test {
 protected:
  Harness h;

  ui::EntryScreen& screen() {
    if (!screen_) screen_ = std::make_unique<ui::EntryScreen>(h.ctx);
    return *screen_;
  }
  QString myst() { return screen().findChild<QLabel*>("MYST")->text(); }
  QComboBox* waza() { return screen().findChild<QComboBox*>("WAZA"); }
  ui::PictureView* myga() { return screen().findChild<ui::PictureView*>("MYGA"); }
  void click(const char* name) { screen().findChild<QPushButton*>(name)->click(); }

  static Combatant character(std::int32_t sign) {
    Combatant c;
    c.name = "a.datのぽこ";
    c.level = 12 * sign;
    c.portrait = 3;
    c.hp = {120 * sign, 80 * sign, 90 * sign, 150 * sign};
    c.attack = {10 * sign, 25 * sign, 30 * sign, 5 * sign};
    c.defence = {7 * sign, 8 * sign, 9 * sign, 11 * sign};
    c.moveNames = {"H--ずつき", "A--パンチ", "", "", "", "", "", "B--体当たり"};
    c.movePower = {10 * sign, 12 * sign, 0, 0, 0, 0, 0, 16 * sign};
    return c;
  }

 private:
  std::unique_ptr<ui::EntryScreen> screen_;
};

TEST_F(EntryScreenTest, ShowSlotWritesNegativeValuesInPlainDecimal) {
  h.gs.combatant[0] = character(-1);
  screen().showSlot();
  EXPECT_TRUE(myst().startsWith(QStringLiteral("Lv.-12　a.datのぽこ\r\n")));
  EXPECT_TRUE(myst().endsWith(QStringLiteral("胴体\r\n残りHP　-150 攻撃力　-5防御力　-11\r\n")));
  ASSERT_EQ(waza()->count(), 8);
  EXPECT_EQ(waza()->itemText(0), QStringLiteral("H--ずつき：-10"));
  EXPECT_EQ(waza()->itemText(2), QStringLiteral("：0"));
  EXPECT_EQ(waza()->currentIndex(), -1);
}

TEST_F(EntryScreenTest, TwoRegistrationsPassTheTurnAndThenAskForTheBattle) {
  h.gs.combatant[0] = character(1);
  h.gs.combatant[1] = character(1);
  h.gs.combatant[1].name = "b.datのぺけ";
  QSignalSpy done(&screen(), &ui::EntryScreen::bothRegistered);
  screen().showSlot();
  click("Command2");
  EXPECT_EQ(screen().slot(), 1);
  EXPECT_EQ(screen().windowTitle(), QStringLiteral("2Ｐｌａｙｅｒ"));
  EXPECT_TRUE(myst().isEmpty());
  EXPECT_EQ(waza()->count(), 0);
  EXPECT_EQ(done.count(), 0);
  click("Command2");
  EXPECT_EQ(screen().slot(), 2);
  EXPECT_EQ(done.count(), 1);
  EXPECT_EQ(h.gs.combatant[0].name, "a.datのぽこ");  // different names keep no number
}

TEST_F(EntryScreenTest, EqualNamesGetTheirSlotNumbersAtRegistration) {
  // Slot 1 still holds the same name from an earlier game: both get their suffix at once.
  h.gs.combatant[0] = character(1);
  h.gs.combatant[1] = character(1);
  click("Command2");
  EXPECT_EQ(h.gs.combatant[0].name, "a.datのぽこ(1)");
  EXPECT_EQ(h.gs.combatant[1].name, "a.datのぽこ(2)");
}

// The screen opens with an empty log and nothing shown; an empty slot shows zeros once asked for,
// and cannot be registered. A cancelled or failed load leaves the slot as it was and shows it
// again.
TEST_F(EntryScreenTest, AnEmptySlotCannotBeRegisteredAndFailedLoadsLeaveTheSlot) {
  h.gs.battleLog = "old log";
  h.gs.combatant[0].portrait = 3;
  EXPECT_TRUE(myga()->isEmptyPicture());
  EXPECT_TRUE(h.gs.battleLog.empty());
  EXPECT_EQ(waza()->count(), 0);
  click("Command1");  // cancelled
  EXPECT_TRUE(myst().startsWith(QStringLiteral("Lv.0　\r\n")));
  EXPECT_EQ(waza()->itemText(7), QStringLiteral("：0"));
  click("Command2");
  EXPECT_EQ(myst(), QString::fromUtf8(ui::kNotRegistered));
  EXPECT_EQ(waza()->count(), 0);
  EXPECT_TRUE(myga()->isEmptyPicture());
  EXPECT_EQ(screen().slot(), 0);

  const auto good = h.dir.write("good.dat", encode(testCharacter("ぽこ")));
  h.dialogs.answers = {good};
  click("Command1");
  const Combatant loaded = h.gs.combatant[0];
  ASSERT_EQ(loaded.level, 12);
  const auto zeroKey = h.dir.write("zero.dat", encode(testCharacter("ぺけ", 0)));
  h.dialogs.answers = {std::nullopt, h.dir.path() / "missing.dat", zeroKey};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    screen().findChild<QLabel*>("MYST")->clear();
    click("Command1");
    EXPECT_EQ(h.gs.combatant[0], loaded);
    EXPECT_TRUE(myst().startsWith(QStringLiteral("Lv.12　good.datのぽこ\r\n")));
  }
  EXPECT_EQ(h.dialogs.opened, 5);
  EXPECT_EQ(h.dialogs.messages, 0);
  EXPECT_EQ(h.dialogs.terminated, 0);
}

// True when the screen took the drag.
bool dropFiles(QWidget& screen, const std::vector<std::filesystem::path>& files) {
  QMimeData data;
  QList<QUrl> urls;
  for (const auto& f : files) urls << QUrl::fromLocalFile(QString::fromStdString(f.string()));
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&screen, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&screen, &drop);
  return drop.isAccepted();
}

// A drop takes one regular .dat file, never a FIFO (opening it would wait for a writer forever),
// and loads it as the load button would, into the slot of the player whose turn it is.
TEST_F(EntryScreenTest, ADropLoadsOneRegularDatFileAsTheLoadButtonWould) {
  const auto good = h.dir.write("drop.dat", encode(testCharacter("ぽこ")));
  const auto text = h.dir.write("notes.txt", "not a character");
  const auto fifo = h.dir.path() / "pipe.dat";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directory(h.dir.path() / "folder.dat");
  const std::vector<std::filesystem::path> refused[] = {
      {text}, {good, good}, {fifo}, {h.dir.path() / "folder.dat"}, {h.dir.path() / "gone.dat"}};
  for (const auto& files : refused) {
    SCOPED_TRACE(files.front().string());
    EXPECT_FALSE(dropFiles(screen(), files));
    EXPECT_EQ(h.gs.combatant[0].level, 0);
    EXPECT_EQ(myst().left(4), QStringLiteral("読み込み"));
  }
  // A file that cannot be read as save data is taken, and fails silently as a load does.
  const auto broken = h.dir.write("broken.DAT", "12,34\r\nnot numbers");
  EXPECT_TRUE(dropFiles(screen(), {broken}));
  EXPECT_TRUE(myst().startsWith(QStringLiteral("Lv.0　")));

  QSignalSpy loaded(&screen(), &ui::EntryScreen::fileLoaded);
  EXPECT_TRUE(dropFiles(screen(), {good}));
  EXPECT_TRUE(myst().startsWith(QStringLiteral("Lv.12　drop.datのぽこ\r\n")));
  EXPECT_EQ(h.gs.combatant[0].name, "drop.datのぽこ");
  EXPECT_EQ(h.dialogs.opened, 0);
  EXPECT_EQ(h.dialogs.messages, 0);
  ASSERT_EQ(loaded.count(), 1);
  EXPECT_EQ(loaded.front().at(0).toInt(), 0);
  click("Command2");
  EXPECT_TRUE(dropFiles(screen(), {good}));
  EXPECT_EQ(h.gs.combatant[1].name, "drop.datのぽこ");
}

// Loaded or dropped, a file with a wrong check sum shows the message, then ends the program;
// nothing after the end: the slot and the screen stay as they were.
TEST_F(EntryScreenTest, ATamperedFileShowsTheMessageThenEndsTheProgram) {
  const auto wrongCheck = h.dir.write("wrong.dat", encode(testCharacter("ぽこ"), 12345));
  h.gs.combatant[0].name = "before";
  for (const bool dropped : {false, true}) {
    SCOPED_TRACE(dropped);
    if (dropped) {
      EXPECT_TRUE(dropFiles(screen(), {wrongCheck}));
    } else {
      h.dialogs.answers = {wrongCheck};
      click("Command1");
    }
    EXPECT_EQ(h.dialogs.messages, dropped ? 2 : 1);
    EXPECT_EQ(h.dialogs.terminated, dropped ? 2 : 1);
    EXPECT_EQ(h.dialogs.lastExitStatus, 0);  // the game's own ending, as it always was
    EXPECT_EQ(h.gs.combatant[0].name, "before");
    EXPECT_EQ(myst().left(4), QStringLiteral("読み込み"));
  }
}

// The status text lies inside its label, measured with the label's font as it wraps, for short,
// long and extreme names and numbers.
TEST_F(EntryScreenTest, TheStatusTextFitsItsLabelWhateverTheNameAndNumbers) {
  const std::string names[] = {"a.datのぽこ", "gansekimaru-saikyou-backup.datのガンセキ丸(1)",
                               std::string(251, 'n') + ".datの" + std::string(340, 'x')};
  for (const std::string& name : names) {
    for (const std::int32_t sign :
         {1, -14316557}) {  // × 150, the largest value, is near the int32 end
      SCOPED_TRACE(name.substr(0, 40) + " " + std::to_string(sign));
      h.gs.combatant[0] = character(sign);
      h.gs.combatant[0].name = name;
      screen().showSlot();
      auto* label = screen().findChild<QLabel*>("MYST");
      const QRect area = label->contentsRect();
      const QRect used =
          QFontMetrics(label->font())
              .boundingRect(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, label->text());
      EXPECT_LE(used.height(), area.height());
      EXPECT_LE(used.width(), area.width());
    }
  }
}

}  // namespace
}  // namespace momiru::uitest
