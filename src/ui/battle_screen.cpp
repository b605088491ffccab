// Battle screen: the colosseum's controls, the battle's turns shown on them, the timers that pace
// the battle, the damage popup's bounce and the opening of the move list.
#include "ui/battle_screen.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimerEvent>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <utility>

#include "battle/texts.h"
#include "data/arith.h"
#include "data/random_unit.h"
#include "data/text_safety.h"
#include "ui/battle_narration.h"
#include "ui/colosseum_widgets.h"
#include "ui/line_breaking.h"
#include "ui/move_list_screen.h"
#include "ui/name_line.h"
#include "ui/picture_bank.h"
#include "ui/picture_view.h"
#include "ui/replay_controls.h"
#include "ui/twips.h"
#include "ui/ui_font.h"

namespace momiru::ui {

namespace {

// What the message box holds until the first turn empties it.
const QString kMessageBoxFirstText = QStringLiteral("Text1");

constexpr std::int32_t kGaugeHeight = 6210;  // the height of a gauge's track and of its bar
constexpr std::int32_t kPanelLeft[kSlots] = {0, 4200};
constexpr std::int32_t kGaugeLeft[kSlots] = {2835, 3885};
constexpr int kGaugeTickMs = 1;
// The move list opens over the clicked panel, this far below the window's top edge.
constexpr std::int32_t kMoveListBelowTop = 3150;

// Kept free at the end of each line of the message box, so that the box, which measures a line
// in its own way, never finds it a fraction of a pixel too wide and breaks it again.
constexpr qreal kMessageSlackPx = 1.0;
// The message box's font, and the smallest it shrinks to for a long turn.
constexpr qreal kMessagePoints = 9.75;
constexpr qreal kMessageMinPoints = 7.5;

// The tournament match's column: four lines of the 9-point face.
constexpr std::int32_t kMatchLabelHeight = 900;

// The damage popup lands this far right of the defender's panel.
constexpr std::int32_t kPopupRightOfPanel = 630;

// The height the message box gives one line of `text`: a text box rounds each line's height up
// from the font's line spacing, and a glyph from another face may make it taller.
qreal laidOutHeight(const QString& text, const QFont& font) {
  QTextLayout layout(text, font);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  qreal height = 0;
  if (line.isValid()) {
    line.setLeadingIncluded(true);
    line.setLineWidth(1e6);
    height = line.height();
  }
  layout.endLayout();
  return height;
}

QString name(const char* base, int slot) { return QStringLiteral("%1_%2").arg(base).arg(slot); }

std::size_t at(int slot) { return slot == 1 ? std::size_t{1} : std::size_t{0}; }

}  // namespace

BattleScreen::BattleScreen(ScreenContext& context, std::optional<std::uint64_t> seed)
    : BattleScreen(context, seed, false) {}

BattleScreen::BattleScreen(ScreenContext& context, Replay replay)
    : BattleScreen(context, replay.seed, true) {}

BattleScreen::BattleScreen(ScreenContext& context, std::optional<std::uint64_t> seed, bool replay)
    : Screen(context, "Form1", QStringLiteral("バトルコロシアム"),
             QSize(7050, 6225 + (replay ? ReplayControls::kHeightTwips : 0))),
      replay_(replay) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  fill(this, QColor(64, 64, 64));

  // Created bottom to top: the label on the form itself, then the panels and gauges, then the
  // message box and the popup over them.
  versusLabel_ = new QLabel(QStringLiteral("ＶＳ"), this);
  versusLabel_->setObjectName(QStringLiteral("Label1"));
  versusLabel_->setGeometry(twipsRect(2940, 105, 1170, 750));
  versusLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  versusLabel_->setFont(uiFont(24.0, true));
  textColour(versusLabel_, Qt::white);

  for (int i = 0; i < kSlots; ++i) {
    const std::size_t s = at(i);
    panels_[s] = new QWidget(this);
    panels_[s]->setObjectName(name("waku", i));
    panels_[s]->setGeometry(twipsRect(kPanelLeft[s], 0, 2850, 6210));
    fill(panels_[s], Qt::black);

    frames_[s] = new RoundedOutline(panels_[s]);
    frames_[s]->setObjectName(name("Shape1", i));
    frames_[s]->setGeometry(twipsRect(105, 315, 2640, 2850));

    // Between the frame's rounded corners (12 px from its sides). The frame's top edge runs
    // through the label: a name shows above it, and a second line of a long name below it, so
    // that no letter lies on the edge. The label lets the edge show through.
    nameLabels_[s] = new NameLineLabel(panels_[s]);
    nameLabels_[s]->setText(QStringLiteral("ＮＡＭＥ"));
    nameLabels_[s]->setObjectName(name("name12", i));
    nameLabels_[s]->setGeometry(twipsRect(315, 105, 2220, 435));
    nameLabels_[s]->setFont(uiFont(9.75, true));
    nameLabels_[s]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int edgeTop = frames_[s]->y() - nameLabels_[s]->y();
    nameLabels_[s]->setOutlineRows(edgeTop, edgeTop + RoundedOutline::kPenPx);
    textColour(nameLabels_[s], Qt::white);

    statusLabels_[s] = new QLabel(QStringLiteral("箇所／ＨＰ／ＯＦＥ／ＤＥＦ"), panels_[s]);
    statusLabels_[s]->setObjectName(name("stas", i));
    statusLabels_[s]->setGeometry(twipsRect(210, 525, 2430, 2430));
    statusLabels_[s]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusLabels_[s]->setTextFormat(Qt::PlainText);
    statusLabels_[s]->setWordWrap(true);
    textColour(statusLabels_[s], Qt::white);

    backgrounds_[s] = new PictureView(panels_[s]);
    backgrounds_[s]->setObjectName(name("hai", i));
    backgrounds_[s]->setGeometry(twipsRect(210, 3255, 2430, 2850));
    fill(backgrounds_[s], Qt::black);
    setHitBackground(i, false);

    portraits_[s] = new PortraitButton(backgrounds_[s]);
    portraits_[s]->setObjectName(name("iras", i));
    portraits_[s]->setGeometry(twipsRect(0, 0, 2385, 2745));
    connect(portraits_[s], &QAbstractButton::clicked, this, [this, i] { portraitClicked(i); });

    gaugeTracks_[s] = new QWidget(this);
    gaugeTracks_[s]->setObjectName(name("timeg", i));
    gaugeTracks_[s]->setGeometry(twipsRect(kGaugeLeft[s], 0, 330, kGaugeHeight));
    fill(gaugeTracks_[s], QColor(255, 0, 0));

    gaugeBars_[s] = new QWidget(gaugeTracks_[s]);
    gaugeBars_[s]->setObjectName(name("gage", i));
    gaugeBars_[s]->setGeometry(twipsRect(0, 0, 330, kGaugeHeight));
    fill(gaugeBars_[s], QColor(0, 255, 0));
  }
  // The right-hand panel lies over the right gauge's last pixel, as the left gauge over the
  // left panel's.
  panels_[1]->raise();

  messageBox_ = new QPlainTextEdit(kMessageBoxFirstText, this);
  messageBox_->setObjectName(QStringLiteral("bun"));
  messageBox_->setGeometry(twipsRect(1575, 2835, 4215, 960));
  messageBox_->setFont(uiFont(kMessagePoints, true));
  messageBox_->setReadOnly(true);
  messageBox_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  messageBox_->setFocusPolicy(Qt::StrongFocus);
  messageBox_->setTabChangesFocus(true);
  messageBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  messageBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  messageBox_->setAccessibleName(QStringLiteral("メッセージボックス"));
  QPalette boxPalette = messageBox_->palette();
  boxPalette.setColor(QPalette::Base, QColor(0, 0, 192));
  boxPalette.setColor(QPalette::Text, Qt::white);
  boxPalette.setColor(QPalette::Window, QColor(0, 0, 192));
  messageBox_->setPalette(boxPalette);
  // Opaque, frame included: a new text or a moving popup then repaints only the box itself,
  // not the status labels and pictures beneath it.
  messageBox_->setAutoFillBackground(true);
  messageBox_->hide();

  popup_ = new QLineEdit(QStringLiteral("ダメージ"), this);
  popup_->setObjectName(QStringLiteral("dam"));
  popup_->setFont(uiFont(9.0));
  popup_->setAlignment(Qt::AlignCenter);
  popup_->setReadOnly(true);
  popup_->setFocusPolicy(Qt::NoFocus);  // it flies past; it must not take the keyboard away
  popup_->setAttribute(Qt::WA_TransparentForMouseEvents);
  popup_->setAccessibleName(QStringLiteral("ダメージ"));
  popup_->setAutoFillBackground(true);
  bounce_ = PopupBounce(kPopupRightOfPanel);
  placePopup();
  popup_->hide();

  setTabOrder(portraits_[0], portraits_[1]);
  setTabOrder(portraits_[1], messageBox_);
  portraits_[0]->setFocus();

  if (replay_) buildControlBar();
  narration_ = new BattleNarration(*this, gs);
  startBattle(seed);
}

BattleScreen::~BattleScreen() {
  stopping_ = true;
  delete moveList_.data();
}

void BattleScreen::showMatch(const MatchCaption& caption) {
  if (matchLabel_ == nullptr) {
    matchLabel_ = new QLabel(this);
    matchLabel_->setObjectName(QStringLiteral("matchInfo"));
    // Between the two gauges, from under ＶＳ; the message box, which opens lower, never
    // reaches it.
    matchLabel_->setGeometry(twipsRect(kGaugeLeft[0] + 330, 870,
                                       kGaugeLeft[1] - kGaugeLeft[0] - 330, kMatchLabelHeight));
    matchLabel_->setFont(uiFont(9.0, true));
    matchLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    matchLabel_->setTextFormat(Qt::PlainText);
    textColour(matchLabel_, Qt::white);
    matchLabel_->stackUnder(messageBox_);
  }
  const QFontMetricsF metrics(matchLabel_->font());
  const qreal width = matchLabel_->contentsRect().width();
  QStringList lines;
  for (const QString& line :
       {caption.match, battleNumberText(caption), battleRuleText(caption), scoreText(caption)})
    lines.append(metrics.elidedText(line, Qt::ElideMiddle, width));
  matchLabel_->setText(lines.join(QLatin1Char('\n')));
  const QString whole = matchCaptionLine(caption);
  matchLabel_->setAccessibleName(whole);
  matchLabel_->setToolTip(plainToolTip(whole));
  matchLabel_->show();
  setWindowTitle(QStringLiteral("バトルコロシアム　") + caption.match + QStringLiteral("　") +
                 battleNumberText(caption));
}

void BattleScreen::startBattle(std::optional<std::uint64_t> seed) {
  seed_ = seed ? *seed : clockSeed();
  gs.randomUnit.seed(seed_);
  recordedInterval_ =
      std::clamp(ctx.settings.battleSpeed, Settings::kMinSpeed, Settings::kMaxSpeed);
  stepInterval_ = recordedInterval_;

  PictureBank& bank = ctx.pictures;
  for (int i = 0; i < kSlots; ++i) {
    const Combatant& c = gs.combatant[at(i)];
    const int picture = c.portrait;
    portraits_[at(i)]->setSource(
        [&bank, picture](qreal dpr) { return bank.portrait(picture, dpr); });
    portraits_[at(i)]->setAccessibleName(shownName(c.name) + QStringLiteral("の持ち技"));
  }

  // The player reads the records when it is made, so only now, after both registrations.
  player_ = std::make_unique<battle::BattlePlayer>(gs, *this);
  player_->load();
  if (replay_) {
    const battle::Outcome length = player_->battleLength();
    replayTurns_ = length.turns;
    replayFinished_ = length.finished;
    showTurnLabel();
  }

  // A display shows at most one position of the popup a frame; a display that does not tell
  // its rate gets every tick.
  const qreal refresh = screen() != nullptr ? screen()->refreshRate() : 0;
  popupFrameMs_ = refresh >= 1
                      ? std::max(PopupBounce::kTickMs, static_cast<int>(std::ceil(1000 / refresh)))
                      : PopupBounce::kTickMs;

  // They tick once this start has returned. The popup's timer runs once from a velocity of 0:
  // it drops the hidden popup and stops itself.
  gaugeTimer_.start(kGaugeTickMs, Qt::PreciseTimer, this);
  startPopupClock();
  musicKeeperWait_ = media::kMusicKeeperMs;
  musicKeeperTimer_.start(musicKeeperWait_, Qt::CoarseTimer, this);
}

void BattleScreen::gaugeTick() {
  if (player_ && !over_) player_->schedulerTick();
}

void BattleScreen::stepTick() {
  if (player_ && !over_) player_->stepTick();  // the last step may lead to this screen's close
}

void BattleScreen::startPopupClock() {
  popupClock_.start();
  bounce_.restartClock();
  popupTimer_.start(popupFrameMs_, Qt::PreciseTimer, this);
}

void BattleScreen::catchUpPopup(std::int64_t due) {
  while (bounce_.ticksPlayed() < due && popupTimer_.isActive()) popupTick();
  if (!popupTimer_.isActive() || !bounce_.landed()) return;
  // Landed: the next tick that changes anything is the one that hides it.
  const std::int64_t wait = bounce_.endTick() * PopupBounce::kTickMs - popupClock_.elapsed();
  popupTimer_.start(static_cast<int>(std::max<std::int64_t>(wait, 1)), Qt::PreciseTimer, this);
}

void BattleScreen::popupTick() {
  switch (bounce_.tick()) {
    case PopupBounce::Step::Moved:
      placePopup();
      break;
    case PopupBounce::Step::Rested:
      break;
    case PopupBounce::Step::Ended:
      popupTimer_.stop();
      popup_->hide();
      break;
  }
}

void BattleScreen::musicKeeperTick() {
  // Re-armed here only: every 10 ms while the keeper cannot tell the piece's end, otherwise
  // once shortly before it, and every half second while the music cannot start.
  const int wait = sounds_.keepMusicPlaying();
  if (stopping_ || !musicKeeperTimer_.isActive() || wait == musicKeeperWait_) return;
  musicKeeperWait_ = wait;
  musicKeeperTimer_.start(wait, Qt::CoarseTimer, this);
}

void BattleScreen::timerEvent(QTimerEvent* event) {
  const int id = event->timerId();
  if (id == gaugeTimer_.timerId()) {
    gaugeTick();
  } else if (id == stepTimer_.timerId()) {
    stepTick();
  } else if (id == popupTimer_.timerId()) {
    catchUpPopup(popupClock_.elapsed() / PopupBounce::kTickMs);
  } else if (id == musicKeeperTimer_.timerId()) {
    musicKeeperTick();
  } else {
    Screen::timerEvent(event);
  }
}

void BattleScreen::placePopup() {
  popup_->setGeometry(twipsRect(bounce_.left(), bounce_.top(), 1170, 330));
}

void BattleScreen::gaugeChanged(int slot) { drawGauge(slot, gs.timeGauge[at(slot)]); }

void BattleScreen::drawGauge(int slot, std::int32_t shown) {
  const std::size_t s = at(slot);
  const double level =
      static_cast<double>(shown) / static_cast<double>(battle::BattlePlayer::kGaugeFull);
  const double top = std::clamp(kGaugeHeight - level * kGaugeHeight, 0.0, double{kGaugeHeight});
  gaugeTop_[s] = static_cast<std::int32_t>(nearest(top));
  gaugeBars_[s]->move(0, px(gaugeTop_[s]));
}

void BattleScreen::turnStarted(int) {
  if (ctx.settings.showMessageBox == 1) messageBox_->show();
  if (replay_) showTurnLabel();
  gaugeTimer_.stop();
  if (!over_ && !stopping_) stepTimer_.start(stepInterval_, Qt::PreciseTimer, this);
}

void BattleScreen::messageChanged(std::string_view text) {
  showMessage(displayText(std::string(text)));
  if (player_) narration_->messageChanged(text, *player_);
}

void BattleScreen::showMessage(const QString& text) {
  // The box would break a word where its line is full (ダメー／ジ): the breaks are chosen here,
  // between words, for the width the box gives its text; and the font shrinks until every line
  // fits the box's height. A turn that tells more lines than even that holds shows its last ones.
  const qreal margin = messageBox_->document()->documentMargin();
  const QRect inside = messageBox_->contentsRect();
  const qreal width = inside.width() - 2 * margin - kMessageSlackPx;
  const qreal height = inside.height() - 2 * margin;
  const QStringList paragraphs = text.split(QLatin1Char('\n'));
  QFont font = uiFont(kMessagePoints, true);
  bool fits = false;
  for (qreal points = kMessagePoints; points >= kMessageMinPoints - 0.001; points -= 0.75) {
    font.setPointSizeF(points);
    const QFontMetricsF metrics(font);
    qreal needed = 0;
    for (const QString& paragraph : paragraphs)
      for (const QString& line : wrapParagraph(paragraph, metrics, width))
        needed += laidOutHeight(line, font);
    fits = needed <= height;
    if (fits) break;
  }
  if (messageBox_->font() != font) messageBox_->setFont(font);
  messageBox_->setPlainText(wrappedText(text, QFontMetricsF(font), width));
  if (!fits) messageBox_->moveCursor(QTextCursor::End);
}

void BattleScreen::statusChanged() { showStatus(gs); }

void BattleScreen::showStatus(const GameState& state) {
  for (int i = 0; i < kSlots; ++i) {
    const battle::StatusTexts t =
        battle::statusTexts(state, i, plainName(state.combatant[at(i)].name));
    // The name line is laid out anew only when it changes: a hit changes the HP, not the names.
    QString nameLine = displayText(t.nameLine);
    if (nameLine != shownNameLines_[at(i)]) {
      nameLabels_[at(i)]->showLine(nameLine);
      shownNameLines_[at(i)] = std::move(nameLine);
    }
    // A hit changes one side's HP: the other side's label is left alone, not laid out again.
    const QString status = displayText(t.statusBlock);
    if (statusLabels_[at(i)]->text() != status) statusLabels_[at(i)]->setText(status);
  }
}

void BattleScreen::blowLanded(int defender, std::int32_t damage, battle::MoveKind kind) {
  if (kind == battle::MoveKind::Special) {
    sounds_.playSpecialHit();
  } else {
    sounds_.playHit();
  }
  if (ctx.settings.showHitBackground == 1) setHitBackground(defender, true);
  showPopup(QString::number(damage), defender);
  narration_->blowLanded(defender, damage, *player_);
}

void BattleScreen::blowMissed(int defender) {
  showPopup(QString::fromUtf8(battle::text::kMissPopup.data(),
                              static_cast<qsizetype>(battle::text::kMissPopup.size())),
            defender);
  narration_->blowMissed(defender, *player_);
}

void BattleScreen::turnEnded(int, int defender) {
  if (ctx.settings.showHitBackground == 1) setHitBackground(defender, false);
  messageBox_->hide();
  stepTimer_.stop();
  if (over_ || stopping_) return;
  if (replay_ && !replayFinished_ && player_->turnsStarted() >= replayTurns_) {
    setPlaying(false);  // the turns the rules play without a screen end here
    return;
  }
  if (!replay_ && turnLimit_ && player_->turnsStarted() >= *turnLimit_) {
    stoppedAtLimit_ = true;
    over_ = true;
    pendingMoveList_.reset();
    gaugeTimer_.stop();
    emit battleFinished();
    return;
  }
  if (pendingMoveList_) {
    const int slot = *pendingMoveList_;
    pendingMoveList_.reset();
    openMoveList(slot);
    return;
  }
  gaugeTimer_.start(kGaugeTickMs, Qt::PreciseTimer, this);
}

void BattleScreen::battleOver() {
  // Nothing of this battle runs again, whoever closes the screen and whenever.
  over_ = true;
  pendingMoveList_.reset();
  gaugeTimer_.stop();
  stepTimer_.stop();
  emit battleFinished();
}

std::string BattleScreen::shownLog() const { return player_ ? player_->shownLog() : std::string(); }

battle::Outcome BattleScreen::outcome() const {
  battle::Outcome out;
  if (!player_) return out;
  out.turns = player_->turnsStarted();
  if (!over_ || stoppedAtLimit_) return out;
  out.finished = true;
  out.judgement = player_->judgement();
  if (out.judgement == battle::Judgement::DefenderLost ||
      out.judgement == battle::Judgement::AttackerLost) {
    out.winner = gs.winner;
    out.loser = gs.loser;
  }
  return out;
}

void BattleScreen::showPopup(const QString& text, int defender) {
  bounce_.launch(kPanelLeft[at(defender)] + kPopupRightOfPanel);
  popup_->setText(text);
  placePopup();
  popup_->show();
  startPopupClock();  // a new start restarts the bounce
}

void BattleScreen::setHitBackground(int slot, bool hit) {
  PictureBank& bank = ctx.pictures;
  const int index = hit ? 1 : 0;
  // Each blow of a turn asks for the hit background; the panel is repainted only when it turns.
  if (backgroundShown_[at(slot)] == index) return;
  backgroundShown_[at(slot)] = index;
  backgrounds_[at(slot)]->setSource(
      [&bank, index](qreal dpr) { return bank.background(index, dpr); });
}

void BattleScreen::portraitClicked(int slot) {
  if (slot < 0 || slot >= kSlots || over_ || stopping_ || moveList_) return;
  if (stepTimer_.isActive() || (player_ && player_->turnInProgress())) {
    // The battle does not stop mid-turn: the list opens when the turn has ended. The first
    // click decides which list.
    if (!pendingMoveList_) pendingMoveList_ = slot;
    return;
  }
  openMoveList(slot);
}

void BattleScreen::openMoveList(int slot) {
  gaugeTimer_.stop();
  listedSlot_ = slot;
  auto* list =
      new MoveListScreen(ctx, slot, this);  // owned: kept above this window and moved with it
  moveList_ = list;
  connect(list, &Screen::closed, this, &BattleScreen::moveListClosed);
  list->move(frameGeometry().topLeft() + QPoint(px(kPanelLeft[at(slot)]), px(kMoveListBelowTop)));
  list->show();
  list->activateWindow();
  list->setFocus();
  setEnabled(false);
}

void BattleScreen::moveListClosed() {
  if (stopping_ || over_) return;
  if (playing_ && !gaugeTimer_.isActive()) gaugeTimer_.start(kGaugeTickMs, Qt::PreciseTimer, this);
  setEnabled(true);
  activateWindow();
  portraits_[at(listedSlot_)]->setFocus();
}

void BattleScreen::buildControlBar() {
  controls_ = new ReplayControls(this);
  connect(controls_, &ReplayControls::startRequested, this, [this] { seekToTurn(0); });
  connect(controls_, &ReplayControls::previousRequested, this, &BattleScreen::previousTurn);
  connect(controls_, &ReplayControls::playPauseRequested, this, [this] { setPlaying(!playing_); });
  connect(controls_, &ReplayControls::nextRequested, this, &BattleScreen::nextTurn);
  connect(controls_, &ReplayControls::endRequested, this, [this] { seekToTurn(replayTurns_); });
  connect(controls_, &ReplayControls::speedRequested, this, &BattleScreen::setSpeedIndex);
  connect(controls_, &ReplayControls::closeRequested, this, &BattleScreen::close);
  setTabOrder(messageBox_, controls_->firstControl());
  controls_->watchKeysOf(this);
}

void BattleScreen::setPlaying(bool play) {
  if (!replay_) return;
  playing_ = play;
  if (controls_ != nullptr) controls_->showPlaying(play);
  resumeTimers();
}

void BattleScreen::seekToTurn(std::int32_t n) {
  if (!replay_ || !player_ || over_ || stopping_ || moveList_) return;
  pendingMoveList_.reset();
  player_->seekToTurn(std::clamp(n, 0, replayTurns_));
  showSeekedState();
  // A seek to the judged last turn stays there, paused, for the player to study it; the result
  // screen follows only a replay played through to its end.
  if (battle::isOver(player_->judgement())) {
    setPlaying(false);
  } else {
    resumeTimers();
  }
}

void BattleScreen::previousTurn() {
  if (player_) seekToTurn(player_->turnsStarted() - 1);
}

void BattleScreen::nextTurn() {
  if (!player_) return;
  // A turn on the screen but not yet judged is the one to finish.
  const bool unjudged = player_->turnInProgress() && !battle::isOver(player_->judgement()) &&
                        player_->nextStep() != battle::Step::EndTurn;
  seekToTurn(player_->turnsStarted() - (unjudged ? 1 : 0) + 1);
}

void BattleScreen::setSpeedIndex(int index) {
  if (!replay_) return;
  speedIndex_ = std::clamp(index, 0, static_cast<int>(ReplayControls::kSpeeds.size()) - 1);
  stepInterval_ = std::max(
      1, recordedInterval_ / ReplayControls::kSpeeds[static_cast<std::size_t>(speedIndex_)]);
  if (controls_ != nullptr) controls_->showSpeed(speedIndex_);
  if (stepTimer_.isActive()) stepTimer_.start(stepInterval_, Qt::PreciseTimer, this);
}

// What the ticks up to the player's state would have left on the screen, drawn at once: the
// gauges as last drawn, the status and names, the message (its box shown only while the outcome
// is told), the backgrounds, and no popup in the air.
void BattleScreen::showSeekedState() {
  popupTimer_.stop();
  popup_->hide();
  for (int i = 0; i < kSlots; ++i) drawGauge(i, player_->gaugeShown(i));
  GameState shownState = gs;  // the status as last drawn: a cost shows with the next hit
  for (std::size_t s = 0; s < kSlots; ++s) shownState.combatant[s].hp = player_->hpShown()[s];
  showStatus(shownState);
  // Until the first turn empties it, the box holds the text it was made with.
  if (player_->turnsStarted() == 0) {
    showMessage(kMessageBoxFirstText);
  } else {
    messageChanged(player_->message());
  }
  const bool inTurn = player_->turnInProgress();
  messageBox_->setVisible(inTurn && ctx.settings.showMessageBox == 1);
  for (int i = 0; i < kSlots; ++i) setHitBackground(i, false);
  if (inTurn && ctx.settings.showHitBackground == 1) {
    const auto& blows = player_->turn().blows;
    if (std::any_of(blows.begin(), blows.end(), [](const auto& b) { return b.damage.has_value(); }))
      setHitBackground(player_->defender(), true);
  }
  showTurnLabel();
}

void BattleScreen::resumeTimers() {
  gaugeTimer_.stop();
  stepTimer_.stop();
  if (!playing_ || over_ || stopping_ || moveList_ || !player_) return;
  if (player_->turnInProgress()) {
    stepTimer_.start(stepInterval_, Qt::PreciseTimer, this);
  } else if (replayFinished_ || player_->turnsStarted() < replayTurns_) {
    gaugeTimer_.start(kGaugeTickMs, Qt::PreciseTimer, this);
  } else {
    setPlaying(false);  // the last turn the rules play without a screen
  }
}

void BattleScreen::showTurnLabel() {
  if (controls_ == nullptr || !player_) return;
  controls_->showTurn(player_->turnsStarted(), replayTurns_);
}

void BattleScreen::stopEverything() {
  stopping_ = true;
  gaugeTimer_.stop();
  stepTimer_.stop();
  popupTimer_.stop();
  musicKeeperTimer_.stop();
  for (media::MediaPlayer* player : {&sounds_.music, &sounds_.hit, &sounds_.specialHit}) {
    player->close();
  }
  if (moveList_) moveList_->close();
}

}  // namespace momiru::ui
