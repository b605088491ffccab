// The tournament as text: 「試合の一覧」, one item a match in schedule order, each a full sentence
// (「W2-1　勝者側 第2回戦　ポチ 対 タマ　2勝1敗でポチの勝ち」), so that a screen reader walks
// the tournament match by match. Its selection follows the bracket's and the tables' by id.
#pragma once

#include <QListWidget>
#include <QString>
#include <string>
#include <unordered_map>
#include <vector>

#include "report/tournament.h"
#include "report/tournament_schedule.h"

namespace momiru::ui {

class MatchList final : public QListWidget {
  Q_OBJECT
 public:
  explicit MatchList(QWidget* parent = nullptr);

  // Shows `schedule` (TournamentPlay::schedule()) of `t`; the selected match and the scroll
  // position are kept when called again (a selected match the schedule no longer has
  // is unselected, with matchSelected of an empty id). The same setter as BracketView and
  // StandingsView.
  void setTournament(const report::Tournament& t,
                     const std::vector<report::ScheduledMatch>& schedule);

  // The selected match's id, or an empty string. selectMatch selects the match's item (an
  // unknown or empty id selects nothing), scrolls to it and emits matchSelected when the
  // selection changes.
  QString selectedMatch() const;
  void selectMatch(const QString& id);

 signals:
  void matchSelected(const QString& id);
  // Enter, Space or a double click on a match.
  void matchActivated(const QString& id);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  std::unordered_map<std::string, int> rows_;
  bool filling_ = false;
};

}  // namespace momiru::ui
