// The battle's news on the focused object, the gauges as progress bars, and the popup kept quiet.
#include "ui/battle_narration.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QtGlobal>
#include <algorithm>
#include <cmath>

#include "battle/battle_player.h"
#include "battle/rules.h"
#include "battle/texts.h"
#include "data/text_safety.h"
#include "ui/screen.h"

namespace momiru::ui {

namespace {

constexpr QChar kWideSpace(0x3000);

QString objectNameFor(const char* base, int slot) {
  return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(slot);
}

// Lines of the screen's own multi-line texts (whose names are shown one line each) as one spoken
// line, empty lines dropped.
QString oneLine(const QString& text) {
  QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  for (QString& line : lines) line = line.trimmed();
  lines.removeAll(QString());
  return lines.join(kWideSpace);
}

QString slotName(const GameState& gs, int slot) {
  if (slot < 0 || slot >= kSlots) return QString();
  return shownName(gs.combatant[static_cast<std::size_t>(slot)].name);
}

bool isBattleControl(const QWidget* widget, const char* base) {
  const QWidget* parent = widget->parentWidget();
  return parent != nullptr && parent->objectName() == QLatin1String("Form1") &&
         (widget->objectName() == objectNameFor(base, 0) ||
          widget->objectName() == objectNameFor(base, 1));
}

// A time gauge: a progress bar from 0 (empty) to 100 (full), its value where its bar stands.
class GaugeAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit GaugeAccessible(QWidget* track) : QAccessibleWidget(track, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QStringLiteral("%1%").arg(percent());
    return QAccessibleWidget::text(t);
  }
  QVariant currentValue() const override { return percent(); }
  void setCurrentValue(const QVariant&) override {}  // the battle fills it, not the user
  QVariant maximumValue() const override { return 100; }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 0; }

 private:
  int percent() const { return BattleNarration::gaugePercent(*widget()); }
};

// The text side of an accessible control whose text the battle writes: nothing to select, no
// caret to move, no attributes. `shown` is the whole text.
class BattleText : public QAccessibleTextInterface {
 public:
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int start, int end) const override {
    const QString all = shown();
    start = std::clamp(start, 0, static_cast<int>(all.size()));
    end = std::clamp(end, start, static_cast<int>(all.size()));
    return all.mid(start, end - start);
  }
  int characterCount() const override { return static_cast<int>(shown().size()); }
  QRect characterRect(int) const override { return QRect(); }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* start, int* end) const override {
    *start = *end = 0;
    return QString();
  }

 protected:
  virtual QString shown() const = 0;
};

// The damage popup: its number is in the message already, so it is marked invisible to the
// reader. Its text stays reachable, so that the text updates of the line edit have a text to
// point at.
class PopupAccessible final : public QAccessibleWidget, public BattleText {
 public:
  explicit PopupAccessible(QLineEdit* popup) : QAccessibleWidget(popup, QAccessible::StaticText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.invisible = true;
    s.focusable = false;
    return s;
  }
  using BattleText::text;
  QString text(QAccessible::Text t) const override { return QAccessibleWidget::text(t); }

 private:
  QString shown() const override { return static_cast<QLineEdit*>(widget())->text(); }
};

// A portrait: the button it is, and the battle's news as a text that grows. A screen reader
// speaks text inserted into the focused object, and the bridge of Qt 6.4 sends inserted text
// with the event (a changed description goes without its text, and Orca 43 then says nothing),
// so each piece of news is inserted at the end of this text while the portrait keeps the
// keyboard and the reader's focus. Enter and Space on it still open its move list.
class PortraitAccessible final : public QAccessibleWidget, public BattleText {
 public:
  explicit PortraitAccessible(QWidget* portrait)
      : QAccessibleWidget(portrait, QAccessible::Button) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QStringList actionNames() const override {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& name) override {
    if (name == pressAction()) {
      static_cast<QAbstractButton*>(widget())->click();
    } else {
      QAccessibleWidget::doAction(name);
    }
  }

  // `news` is added as a line of its own at the end of the text, and the reader told of it.
  void tell(const QString& news) {
    // The text is a record of what was heard, not a log to keep: past its limit its older half
    // goes, so that a battle of thousands of turns holds no more than this.
    constexpr qsizetype kKeptCharacters = 1 << 15;
    if (told_.size() > kKeptCharacters) {
      const qsizetype cut = told_.indexOf(QLatin1Char('\n'), told_.size() / 2) + 1;
      const QString dropped = told_.left(cut);
      told_.remove(0, cut);
      QAccessibleTextRemoveEvent removed(this, 0, dropped);
      QAccessible::updateAccessibility(&removed);
    }
    const QString line = news + QLatin1Char('\n');
    const int at = static_cast<int>(told_.size());
    told_ += line;
    QAccessibleTextInsertEvent inserted(this, at, line);
    QAccessible::updateAccessibility(&inserted);
  }

  using BattleText::text;
  QString text(QAccessible::Text t) const override { return QAccessibleWidget::text(t); }

 private:
  QString shown() const override { return told_; }

  QString told_;
};

QAccessibleInterface* battleAccessible(const QString&, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (widget == nullptr) return nullptr;
  if (isBattleControl(widget, "timeg")) return new GaugeAccessible(widget);
  if (qobject_cast<QAbstractButton*>(widget) != nullptr && widget->parentWidget() != nullptr &&
      widget->window()->objectName() == QLatin1String("Form1") &&
      (widget->objectName() == objectNameFor("iras", 0) ||
       widget->objectName() == objectNameFor("iras", 1))) {
    return new PortraitAccessible(widget);
  }
  if (auto* line = qobject_cast<QLineEdit*>(widget);
      line != nullptr && line->objectName() == QLatin1String("dam") &&
      line->parentWidget() != nullptr && line->parentWidget()->objectName() == "Form1") {
    return new PopupAccessible(line);
  }
  return nullptr;
}

}  // namespace

BattleNarration::BattleNarration(QWidget& screen, const GameState& gs)
    : QObject(&screen),
      screen_(screen),
      gs_(gs),
      messageBox_(screen.findChild<QWidget*>(QStringLiteral("bun"))) {
  static const bool installed = [] {
    QAccessible::installFactory(battleAccessible);
    return true;
  }();
  (void)installed;

  // An interface made before the factory came (giving a control its name makes one, whether a
  // reader listens or not) is dropped, so that the next question gets this file's.
  const auto fresh = [](QWidget* widget) {
    if (widget == nullptr) return;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    if (face != nullptr && dynamic_cast<GaugeAccessible*>(face) == nullptr &&
        dynamic_cast<PopupAccessible*>(face) == nullptr &&
        dynamic_cast<PortraitAccessible*>(face) == nullptr) {
      QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(face));
    }
  };
  fresh(screen_.findChild<QWidget*>(QStringLiteral("dam")));
  for (int i = 0; i < kSlots; ++i) {
    fresh(screen_.findChild<QWidget*>(objectNameFor("timeg", i)));
    fresh(screen_.findChild<QWidget*>(objectNameFor("iras", i)));
  }

  flush_.setSingleShot(true);
  flush_.setInterval(0);
  connect(&flush_, &QTimer::timeout, this, &BattleNarration::tell);

  for (int i = 0; i < kSlots; ++i) {
    const std::size_t s = static_cast<std::size_t>(i);
    const QString who = slotName(gs_, i);
    if (auto* track = screen_.findChild<QWidget*>(objectNameFor("timeg", i))) {
      track->setAccessibleName(who + QStringLiteral("の時間ゲージ"));
      gaugeTracks_[s] = track;
      if (auto* bar = track->findChild<QWidget*>(objectNameFor("gage", i))) {
        bar->installEventFilter(this);
      }
    }
    if (auto* line = screen_.findChild<QLabel*>(objectNameFor("name12", i))) {
      line->setAccessibleName(
          displayText(battle::statusTexts(gs_, i, plainName(gs_.combatant[s].name)).nameLine));
    }
    if (auto* status = screen_.findChild<QLabel*>(objectNameFor("stas", i))) {
      status->setAccessibleName(who + QStringLiteral("のステータス"));
    }
  }
}

int BattleNarration::gaugePercent(const QWidget& track) {
  const QWidget* bar = nullptr;
  for (QObject* child : track.children()) {
    if ((bar = qobject_cast<const QWidget*>(child)) != nullptr) break;
  }
  const int height = track.height();
  if (bar == nullptr || height <= 0) return 0;
  const double full = static_cast<double>(height - bar->y()) / height;
  return static_cast<int>(std::lround(std::clamp(full, 0.0, 1.0) * 100));
}

bool BattleNarration::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Move) {
    for (std::size_t s = 0; s < gaugeTracks_.size(); ++s) {
      QWidget* track = gaugeTracks_[s];
      if (track == nullptr || watched->parent() != track) continue;
      const int value = gaugePercent(*track);
      if (value == gaugeValues_[s]) break;
      gaugeValues_[s] = value;
      QAccessibleValueChangeEvent change(track, value);
      QAccessible::updateAccessibility(&change);
      break;
    }
  }
  return QObject::eventFilter(watched, event);
}

QString BattleNarration::blowWords(const GameState& gs, int defender, std::int32_t part,
                                   const std::int32_t* damage) {
  const QString who = slotName(gs, defender);
  const QString where = part >= 0 && part < kParts
                            ? QString::fromUtf8(kPartNames[static_cast<std::size_t>(part)])
                            : QString();
  if (damage == nullptr)
    return who + QStringLiteral("の") + where + QStringLiteral("への攻撃は外れた");
  return who + QStringLiteral("の") + where + QStringLiteral("に") + QString::number(*damage) +
         QStringLiteral("のダメージ");
}

void BattleNarration::messageChanged(std::string_view text, const battle::BattlePlayer& player) {
  const QString shown = displayText(std::string(text));
  // A line added to the box is told alone; a new text, whole, even when it is the same line
  // again (the repetitions of a repeat move each show their own line).
  const bool added = shown.size() > shownMessage_.size() && shown.startsWith(shownMessage_);
  const QString fresh = added ? shown.mid(shownMessage_.size()) : shown;
  shownMessage_ = shown;
  if (const QString line = oneLine(fresh); !line.isEmpty()) add(line, true);
  if (!shown.isEmpty() && battle::isOver(player.judgement())) {
    add(oneLine(displayText(battle::resultTexts(shownState(gs_, {})).outcome)));
  }
}

void BattleNarration::blowLanded(int defender, std::int32_t damage,
                                 const battle::BattlePlayer& player) {
  const std::size_t shown = player.blowsShown();
  const auto& blows = player.turn().blows;
  const std::int32_t part = shown > 0 && shown <= blows.size() ? blows[shown - 1].target : -1;
  add(blowWords(gs_, defender, part, &damage));
}

void BattleNarration::blowMissed(int defender, const battle::BattlePlayer& player) {
  const std::size_t shown = player.blowsShown();
  const auto& blows = player.turn().blows;
  const std::int32_t part = shown > 0 && shown <= blows.size() ? blows[shown - 1].target : -1;
  add(blowWords(gs_, defender, part, nullptr));
}

void BattleNarration::add(QString news, bool inMessageBox) {
  pending_.append({std::move(news), inMessageBox});
  if (!flush_.isActive()) flush_.start();
}

void BattleNarration::describeStatusBlocks() {
  for (int i = 0; i < kSlots; ++i) {
    if (auto* status = screen_.findChild<QLabel*>(objectNameFor("stas", i))) {
      const QString told = oneLine(status->text());
      if (status->accessibleDescription() != told) status->setAccessibleDescription(told);
    }
  }
}

void BattleNarration::tell() {
  if (pending_.isEmpty()) return;
  QStringList all;
  QStringList beyondBox;  // what the message box does not show: the blows in words, the outcome
  for (const auto& [news, inBox] : pending_) {
    all.append(news);
    if (!inBox) beyondBox.append(news);
  }
  pending_.clear();
  describeStatusBlocks();
  lastNews_ = all.join(kWideSpace);

  QWidget* target = QApplication::focusWidget();
  if (target == nullptr || target->window() != &screen_) target = screen_.focusWidget();
  if (target == nullptr) target = &screen_;
  if (carrier_ && carrier_ != target) carrier_->setAccessibleDescription(QString());
  carrier_ = target;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
  QAccessibleAnnouncementEvent announcement(target, lastNews_);
  QAccessible::updateAccessibility(&announcement);
#else
  if (auto* portrait =
          dynamic_cast<PortraitAccessible*>(QAccessible::queryAccessibleInterface(target))) {
    portrait->tell(lastNews_);
    return;
  }
  // The focused message box tells its own new lines; the rest is its description.
  QString news = target == messageBox_ ? beyondBox.join(kWideSpace) : lastNews_;
  if (news.isEmpty()) return;
  // The same news twice (two equal blows of a repeat) is still news: a trailing space, which
  // nobody hears, makes it a change.
  if (target->accessibleDescription() == news) news += kWideSpace;
  target->setAccessibleDescription(news);
#endif
}

}  // namespace momiru::ui
