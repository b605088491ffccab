// The replay viewer's control bar `replayBar`, under the colosseum: start, previous turn, pause
// and play, next turn, end, the speed and the turn shown, with their keys.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

class QComboBox;
class QLabel;
class QPushButton;

namespace momiru::ui {

class ReplayControls final : public QWidget {
  Q_OBJECT
 public:
  // The speeds of a replay, as factors of its recorded step interval.
  static constexpr std::array<int, 4> kSpeeds = {1, 2, 4, 8};
  // The bar's height; the colosseum above it keeps its geometry.
  static constexpr int kHeightTwips = 600;

  explicit ReplayControls(QWidget* parent);

  // The bar's keys work wherever the focus is in `window`: Space pauses and plays, Left and
  // Right step a turn, Home and End go to the start and the end, + and - change the speed.
  // Called once every control of the window exists.
  void watchKeysOf(QWidget* window);

  void showPlaying(bool playing);  // the play button says what it would do
  void showSpeed(int index);       // into kSpeeds
  void showTurn(std::int32_t turn, std::int32_t turns);
  QWidget* firstControl() const;  // where the tab order enters the bar

 signals:
  void startRequested();
  void previousRequested();
  void playPauseRequested();
  void nextRequested();
  void endRequested();
  void speedRequested(int index);  // into kSpeeds, maybe out of its range

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool replayKey(int key);  // true when it was one of the bar's

  int speedIndex_ = 0;
  QPushButton* startButton_ = nullptr;
  QPushButton* playButton_ = nullptr;
  QComboBox* speedBox_ = nullptr;
  QLabel* turnLabel_ = nullptr;
};

}  // namespace momiru::ui
