// Result screen: the texts are built once, when it opens, from the names, the log and the
// outcome; nothing here changes the game state.
#include "ui/result_screen.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include "replay/replay_store.h"
#include "ui/name_line.h"
#include "ui/platform_dialogs.h"
#include "ui/refusal_text.h"
#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

namespace {
// The outcome's smallest size: its seven lines of the longest names still fit the label.
constexpr qreal kOutcomeMinPoints = 8.25;
// In a tournament match: the log's height, and the smallest size of the match's line.
constexpr int kLogHeightInMatch = 1920;
constexpr qreal kMatchMinPoints = 7.5;
}  // namespace

ResultScreen::ResultScreen(ScreenContext& context, const std::string& shownLog,
                           const replay::Replay* replay)
    : Screen(context, "Form7", QStringLiteral("結果発表"), QSize(6915, 4665)),
      texts_(battle::resultTexts(context.gs)) {
  if (replay != nullptr) replay_ = *replay;
  setBackdrop(Qt::black);

  auto* log = log_ = new QPlainTextEdit(this);
  log->setObjectName(QStringLiteral("Text1"));
  log->setGeometry(twipsRect(105, 105, 6735, 2220));
  log->setLineWrapMode(QPlainTextEdit::NoWrap);  // long lines are reached with the scroll bar
  log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log->setTabChangesFocus(true);
  log->setAccessibleName(QStringLiteral("戦いの時の文章のログ"));
  log->verticalScrollBar()->setAccessibleName(QStringLiteral("ログの縦スクロールバー"));
  log->horizontalScrollBar()->setAccessibleName(QStringLiteral("ログの横スクロールバー"));
  // The log keeps the desktop's text-box colours: a palette of its own would have its scroll
  // bars drawn anew, and kept, on every visit.
  const battle::ResultTexts shown = battle::resultTexts(shownState(context.gs, shownLog));
  log->setPlainText(displayText(shown.logBox));

  auto* outcome = new QLabel(this);
  outcome->setObjectName(QStringLiteral("Label1"));
  // Four lines of the 15.75-point Gothic face need about 1500 twips; the space down to the
  // button is free, so the label reaches into it.
  outcome->setGeometry(twipsRect(105, 2415, 6735, 1560));
  outcome->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  outcome->setFont(uiFont(15.75, true));
  QPalette labelPal = outcome->palette();
  labelPal.setColor(QPalette::WindowText, bgr(0xE0E0E0));
  outcome->setPalette(labelPal);
  outcome->setTextFormat(Qt::PlainText);
  // Long names and file names wrap, or the font shrinks, so that no line runs past the label's
  // edges, where a centred line would lose both its ends.
  const QString outcomeText = displayText(shown.outcome);
  const NameLineLayout fitted =
      layoutLines(outcomeText, outcome->font(), outcome->contentsRect().size(), kOutcomeMinPoints);
  outcome->setFont(fitted.font);
  outcome->setText(fitted.text);
  outcome->setAccessibleName(outcomeText);

  auto* backButton = backButton_ = new QPushButton(QStringLiteral("タイトルに戻る"), this);
  backButton->setObjectName(QStringLiteral("Command1"));
  backButton->setGeometry(twipsRect(2730, 3990, 1590, 540));
  backButton->setAccessibleName(backButton->text());
  backButton->setAccessibleDescription(outcomeText);  // heard with the focus on the button
  connect(backButton, &QPushButton::clicked, this, &ResultScreen::backToTitleClicked);

  // The replay's buttons stand either side of Command1, in the free strip at its height.
  auto* watchButton = new QPushButton(QStringLiteral("リプレイを見る"), this);
  watchButton->setObjectName(QStringLiteral("replayWatch"));
  watchButton->setGeometry(twipsRect(495, 3990, 1995, 540));
  watchButton->setAccessibleName(watchButton->text());
  connect(watchButton, &QPushButton::clicked, this, &ResultScreen::watchReplayClicked);

  auto* saveButton = new QPushButton(QStringLiteral("リプレイを保存"), this);
  saveButton->setObjectName(QStringLiteral("replaySave"));
  saveButton->setGeometry(twipsRect(4560, 3990, 1995, 540));
  saveButton->setAccessibleName(saveButton->text());
  connect(saveButton, &QPushButton::clicked, this, &ResultScreen::saveReplayCopy);

  watchButton->setEnabled(replay_.has_value());
  saveButton->setEnabled(replay_.has_value());

  setTabOrder(log, watchButton);
  setTabOrder(watchButton, backButton);
  setTabOrder(backButton, saveButton);
  backButton->setFocus();
}

void ResultScreen::saveReplayCopy() {
  if (!replay_) return;
  const QString suggested = QString::fromStdString(replay::replayFileName(*replay_));
  const auto file = ctx.dialogs.saveReplayAs(this, suggested);
  if (!file) return;
  Refusal why;
  if (!replay::writeReplayFile(*file, *replay_, &why)) {
    ctx.dialogs.replayMessage(
        this, QStringLiteral("リプレイを保存できませんでした。\n") + refusalText(why));
  }
}

void ResultScreen::keyPressEvent(QKeyEvent* event) {
  // Escape leaves as the first button does (タイトルに戻る, or where a tournament or the list
  // goes on); held down, it acts once, not again on the screen it led to.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    if (!event->isAutoRepeat()) backButton_->click();
    return;
  }
  Screen::keyPressEvent(event);
}

void ResultScreen::showMatch(const MatchCaption& caption) {
  if (matchLabel_ == nullptr) {
    // The log's last row of text goes to the line; the outcome and the buttons stay where they
    // are.
    log_->setGeometry(twipsRect(105, 105, 6735, kLogHeightInMatch));
    matchLabel_ = new QLabel(this);
    matchLabel_->setObjectName(QStringLiteral("matchInfo"));
    matchLabel_->setGeometry(twipsRect(105, 105 + kLogHeightInMatch + 45, 6735, 300));
    matchLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    matchLabel_->setTextFormat(Qt::PlainText);
    QPalette pal = matchLabel_->palette();
    pal.setColor(QPalette::WindowText, bgr(0xE0E0E0));
    matchLabel_->setPalette(pal);
  }
  const QString line = matchCaptionLine(caption);
  const NameLineLayout fitted =
      layoutLines(line, uiFont(9.75, true), matchLabel_->contentsRect().size(), kMatchMinPoints);
  matchLabel_->setFont(fitted.font);
  matchLabel_->setText(fitted.text);
  matchLabel_->setAccessibleName(line);
  matchLabel_->show();
  backButton_->setAccessibleDescription(line + QLatin1Char('\n') +
                                        backButton_->accessibleDescription());
  setWindowTitle(QStringLiteral("結果発表　") + caption.match + QStringLiteral("　") +
                 battleNumberText(caption));
}

void ResultScreen::setBackText(const QString& text) {
  backButton_->setText(text);
  backButton_->setAccessibleName(text);
}

}  // namespace momiru::ui
