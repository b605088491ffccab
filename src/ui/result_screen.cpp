// Result screen: texts built once at load from the names, the log and the outcome.
#include "ui/result_screen.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

ResultScreen::ResultScreen(ScreenContext& context)
    : Screen(context, "Form7", QStringLiteral("結果発表"), QSize(6915, 4665)) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);

  Text1 = new QPlainTextEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setGeometry(twipsRect(105, 105, 6735, 2220));
  Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Text1->setTabChangesFocus(true);
  Text1->setAccessibleName(QStringLiteral("戦いの時の文章のログ"));
  QPalette textPal = Text1->palette();  // default text-box colours, not the black of the screen
  textPal.setColor(QPalette::Base, Qt::white);
  textPal.setColor(QPalette::Text, Qt::black);
  Text1->setPalette(textPal);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  // Taller than the design's 1275 twips: four lines of our Gothic face need about 1500, and
  // the space down to the button is free.
  Label1->setGeometry(twipsRect(105, 2415, 6735, 1560));
  Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label1->setFont(uiFont(15.75, true));
  QPalette labelPal = Label1->palette();
  labelPal.setColor(QPalette::WindowText, bgr(0xE0E0E0));
  Label1->setPalette(labelPal);

  Command1 = new QPushButton(QStringLiteral("タイトルに戻る"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(twipsRect(2730, 3990, 1590, 540));
  Command1->setAccessibleName(Command1->text());
  connect(Command1, &QPushButton::clicked, this, &ResultScreen::backToTitleClicked);

  setTabOrder(Text1, Command1);
  Command1->setFocus();

  Form_Load();
}

void ResultScreen::Form_Load() {
  const std::string& crlf = gs.lineBreak;
  const std::string& name0 = gs.combatant[0].name;
  const std::string& name1 = gs.combatant[1].name;
  text1_ = "戦いの時の文章のログ" + crlf + name0 + " ＶＳ " + name1 + crlf + crlf + gs.battleLog;
  Text1->setPlainText(displayText(text1_));

  label1_ = "今回の勝負は" + crlf + crlf;
  if (gs.winner == gs.loser) {
    label1_ += "引き分け！！";
  } else {
    // A slot outside 0..1 cannot come from a finished battle; fall back to the other slot.
    const auto slot = [](std::int32_t n) { return n == 1 ? std::size_t{1} : std::size_t{0}; };
    label1_ += gs.combatant[slot(gs.winner)].name + "の勝ち！！" + crlf +
               gs.combatant[slot(gs.loser)].name + "は敗れました";
  }
  Label1->setText(displayText(label1_));
  Label1->setAccessibleName(Label1->text());
}

}  // namespace momiru::ui
