// The battle told to a screen reader. A screen reader speaks what happens to the object that has
// the keyboard focus, and announcements, and lets changes elsewhere pass; so the battle's news
// (each new message of the message box, each blow in words and, at the end, the outcome) goes to
// whatever has the focus in the battle window, which stays the one FOCUSED object there. A
// portrait, which has the focus normally, gets each tick's news inserted at the end of its text:
// the bridge of Qt 6.4 sends inserted text with its event, while a changed description goes
// without its text and Orca 43 then says nothing. Any other focused control gets the news as its
// description, and the focused message box, whose new lines a reader hears already, only what
// it does not show. Where Qt has announcements (6.8 on) the news is announced instead. The
// keyboard focus stays where the player put it, so Enter and Space on a portrait still open its
// move list. The time gauges are progress bars with a value, the name lines and status blocks
// are named, and the damage popup, whose number the message already tells, is kept out of the
// reader's way. Nothing the screen shows changes.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <cstdint>
#include <string_view>
#include <utility>

#include "data/game_state.h"

class QWidget;

namespace momiru::battle {
class BattlePlayer;
}

namespace momiru::ui {

class BattleNarration final : public QObject {
  Q_OBJECT
 public:
  // `screen` is the battle window with its named controls already made.
  BattleNarration(QWidget& screen, const GameState& gs);

  // What the battle tells the screen, in the order it tells it. `player` is the screen's.
  void messageChanged(std::string_view text, const battle::BattlePlayer& player);
  void blowLanded(int defender, std::int32_t damage, const battle::BattlePlayer& player);
  void blowMissed(int defender, const battle::BattlePlayer& player);

  // The news of one tick, told together once the tick has run; empty before the first.
  const QString& lastNews() const { return lastNews_; }
  // The object that carries the news now.
  QWidget* carrier() const { return carrier_.data(); }

  // The words for one blow: who took how much damage on which part, or the miss.
  static QString blowWords(const GameState& gs, int defender, std::int32_t part,
                           const std::int32_t* damage);

  // The value a gauge shows, 0 (empty) to 100 (full), read from where its bar stands.
  static int gaugePercent(const QWidget& track);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // `inMessageBox`: the news is a line the message box shows.
  void add(QString news, bool inMessageBox = false);
  void tell();
  void describeStatusBlocks();  // the status blocks' texts as their descriptions

  QWidget& screen_;
  const GameState& gs_;
  QString shownMessage_;                     // the message box's text as last told
  QList<std::pair<QString, bool>> pending_;  // this tick's news, not yet told, and whether
                                             // the message box shows it
  QWidget* messageBox_ = nullptr;
  QString lastNews_;
  QPointer<QWidget> carrier_;
  QTimer flush_;
  std::array<QWidget*, kSlots> gaugeTracks_{};
  std::array<int, kSlots> gaugeValues_{-1, -1};
};

}  // namespace momiru::ui
