// The title screen `Form3`: the scrolling picture, the inverted overlay with the falling logo,
// the title music, and the button that leads on. Its load step builds CrLf.
#pragma once

#include <QBasicTimer>
#include <cstdint>

#include "media/media_player.h"
#include "ui/screen.h"

class QLabel;
class QPushButton;

namespace momiru::ui {

class PictureView;
class InvertOverlay;

class TitleScreen final : public Screen {
  Q_OBJECT
 public:
  explicit TitleScreen(ScreenContext& context);

  // The two timer ticks, public so that tests can step the animation without waiting.
  void Timer1_Timer();  // scroll step
  void Timer2_Timer();  // drop step
  bool Timer1Enabled() const { return Timer1_.isActive(); }
  bool Timer2Enabled() const { return Timer2_.isActive(); }

  // Positions in twips, relative to the frame.
  int gazoTop() const { return gazo_.top; }
  int rogoTop() const { return rogo_.top; }
  std::int32_t dropStep() const { return dropStep_; }

  media::MediaPlayer MMControl1;  // the title music

 signals:
  void startClicked();  // "スタート"

 protected:
  void timerEvent(QTimerEvent* event) override;
  void stopEverything() override;

 private:
  struct Box {
    int left, top, width, height;
  };

  void Form_Load();
  void place(QWidget* widget, const Box& box);

  // Design geometry in twips; the algorithms read heights from here.
  Box frame_{105, 105, 4635, 3585};
  Box gazo_{105, 0, 4320, 7290};
  Box tomei_{105, 0, 4320, 3585};
  Box rogo_{840, -945, 3045, 1320};
  std::int32_t dropStep_ = 0;

  QWidget* inside_ = nullptr;  // the frame's client area, which clips the pictures
  PictureView* gazo = nullptr;
  InvertOverlay* tomei = nullptr;
  PictureView* rogo = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* Command2 = nullptr;
  QBasicTimer Timer1_;
  QBasicTimer Timer2_;
};

// Shows what lies beneath it with every colour inverted (the overlay `tomei`).
class InvertOverlay final : public QWidget {
  Q_OBJECT
 public:
  explicit InvertOverlay(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace momiru::ui
