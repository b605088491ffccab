// The title screen `Form3`: the scrolling picture, the inverted overlay with the falling logo,
// the title music, and the button that leads on. Its load step sets the line break every other
// screen uses.
#pragma once

#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "media/media_player.h"
#include "ui/screen.h"

class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMimeData;
class QPushButton;

namespace momiru::ui {

class PictureView;
class InvertOverlay;

class TitleScreen final : public Screen {
  Q_OBJECT
 public:
  // Both phases tick once a frame of a 60 Hz display. The animation counts ticks, so this alone
  // sets its length: 124 scroll ticks and 75 drop ticks, about 3.2 seconds.
  static constexpr int kTickMs = 16;
  // The frame's sunken edge, 2 px; the pictures sit inside it.
  static constexpr int kFrameBorderTwips = 30;
  // The scrolling picture's box (the frame's inside width, the picture's own height) and the
  // logo's, in twips.
  static constexpr int kPictureWidthTwips = 4635 - 2 * kFrameBorderTwips;
  static constexpr int kPictureHeightTwips = 7290;
  static constexpr int kLogoWidthTwips = 3045;
  static constexpr int kLogoHeightTwips = 1320;

  // The sizes, in pixels at 1x, that the picture and the logo are drawn at.
  static QSize pictureDrawnSize();
  static QSize logoDrawnSize();

  explicit TitleScreen(ScreenContext& context);

  // The two ticks, public so that tests can step the animation without waiting.
  void scrollTick();  // the picture moves up 30 twips; at its end the overlay and logo appear
  void dropTick();    // the logo falls dropStep() twips, one less each tick
  bool scrolling() const { return scrollTimer_.isActive(); }
  bool dropping() const { return dropTimer_.isActive(); }
  int scrollIntervalMs() const { return scrollTimer_.interval(); }
  int dropIntervalMs() const { return dropTimer_.interval(); }

  // Positions in twips, relative to the frame.
  int pictureTop() const { return pictureBox_.top; }
  int logoTop() const { return logoBox_.top; }
  std::int32_t dropStep() const { return dropStep_; }

  // The title music plays once; this lets go of its sound after its end (see
  // media::closeWhenFinished) and is called again by a timer while it plays. Public for tests.
  void musicEndTick();
  int musicEndWaitMs() const { return musicEndTimer_.isActive() ? musicEndTimer_.interval() : 0; }

 signals:
  void startClicked();       // "スタート"
  void replaysClicked();     // "リプレイ": the list of kept replays
  void tournamentClicked();  // "大会": the tournament window
  void replayDropped(const std::filesystem::path& file);  // a replay file dropped on the title

 public:
  // The one replay file (*.momiru-replay, or a battle page *.html that may carry one) of a drop.
  static std::optional<std::filesystem::path> droppedReplay(const QMimeData* data);

 protected:
  void stopEverything() override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct Box {
    int left, top, width, height;
  };

  void load();
  void place(QWidget* widget, const Box& box);

  // Geometry in twips at the start; the steps read the heights from here. The picture and its
  // inverse fill the frame's inside from edge to edge: a 4320-twip picture placed 105 twips in
  // would leave bands of black on either side. The heights are the title's own: the picture
  // 7290 twips tall, scrolled within the 3585-twip frame.
  Box frameBox_{105, 105, 4635, 3585};
  Box pictureBox_{0, 0, kPictureWidthTwips, kPictureHeightTwips};
  Box overlayBox_{0, 0, 4635 - 2 * kFrameBorderTwips, 3585};
  Box logoBox_{840, -945, kLogoWidthTwips, kLogoHeightTwips};
  std::int32_t dropStep_ = 0;

  QWidget* inside_ = nullptr;  // the frame's client area, which clips the pictures
  PictureView* picture_ = nullptr;
  InvertOverlay* overlay_ = nullptr;
  PictureView* logo_ = nullptr;
  QLabel* makerLine_ = nullptr;
  QPushButton* startButton_ = nullptr;
  QPushButton* replaysButton_ = nullptr;
  QPushButton* tournamentButton_ = nullptr;
  QTimer scrollTimer_;
  QTimer dropTimer_;
  QTimer musicEndTimer_;
  media::MediaPlayer music_;
};

// Shows what lies beneath it with every colour inverted.
class InvertOverlay final : public QWidget {
  Q_OBJECT
 public:
  explicit InvertOverlay(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace momiru::ui
