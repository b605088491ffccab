// The result screen `Form7`: the whole battle log and who won.
#pragma once

#include <optional>
#include <string>

#include "battle/texts.h"
#include "replay/replay.h"
#include "ui/match_caption.h"
#include "ui/screen.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace momiru::ui {

class ResultScreen final : public Screen {
  Q_OBJECT
 public:
  // The result of the battle in the context's state; `shownLog` is its log as the battle screen
  // showed it (BattleScreen::shownLog). With the replay of the battle shown, its two buttons
  // watch it again and save a copy.
  ResultScreen(ScreenContext& context, const std::string& shownLog,
               const replay::Replay* replay = nullptr);

  // The texts as built from the records and the log, with their CR LF line ends; the controls
  // show them with the names as every screen shows them (shownState).
  const std::string& logText() const { return texts_.logBox; }
  const std::string& outcomeText() const { return texts_.outcome; }

  // In a tournament the first button leads on, to the match's next battle or back to the
  // tournament, and says so.
  void setBackText(const QString& text);
  // A battle of a tournament match: a line over the outcome says the match, the battle of it and
  // the score with this battle, or the match's result once it is decided; the log gives up the
  // room. A battle outside a tournament shows none of it.
  void showMatch(const MatchCaption& caption);

 signals:
  void backToTitleClicked();  // "タイトルに戻る"
  void watchReplayClicked();  // "リプレイを見る"

 private:
  void saveReplayCopy();  // "リプレイを保存"

  battle::ResultTexts texts_;
  void keyPressEvent(QKeyEvent* event) override;  // Escape: what the first button does

  QPlainTextEdit* log_ = nullptr;
  QLabel* matchLabel_ = nullptr;  // only in a tournament match
  QPushButton* backButton_ = nullptr;
  std::optional<replay::Replay> replay_;
};

}  // namespace momiru::ui
