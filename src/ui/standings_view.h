// Swiss and round robin in the tournament window: a chooser of rounds (「第N回戦」), the chosen
// round's pairings as a table (the match, the two players, the battles won, the result; a bye
// has its row) and the standings table with rank, name, points and the tie-break columns.
#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <unordered_map>
#include <vector>

#include "report/tournament.h"
#include "report/tournament_schedule.h"
#include "ui/match_words.h"

class QComboBox;
class QTableWidget;

namespace momiru::ui {

// A table of standings: rank, name, points and the tie-break columns `t`'s standings have (none
// for an elimination's places), named for the reader; and its rows as `t` stands, names in
// `words`. The Swiss and league tables and the elimination's places are both made so.
QTableWidget* makeStandingsTable(QWidget* parent, const char* objectName,
                                 const QString& accessible);
void fillStandingsTable(QTableWidget* table, const report::Tournament& t, const MatchWords& words);

class StandingsView final : public QWidget {
  Q_OBJECT
 public:
  explicit StandingsView(QWidget* parent = nullptr);

  // Shows `schedule` (TournamentPlay::schedule()) and the standings of `t`. Everything shown is
  // copied; a chosen round, the selected match and the tables' scroll positions are kept when
  // called again (a selected match the schedule no longer has is unselected, with matchSelected
  // of an empty id). The same setter as BracketView and MatchList.
  void setTournament(const report::Tournament& t,
                     const std::vector<report::ScheduledMatch>& schedule);

  // The selected match's id, or an empty string. selectMatch chooses the match's round and
  // selects its row (an unknown or empty id selects nothing) and emits matchSelected when the
  // selection changes.
  QString selectedMatch() const;
  void selectMatch(const QString& id);

  // The round shown, and choosing one (a round the schedule does not have is ignored). The
  // round being played is shown and followed as the tournament goes on, unless another one has
  // been chosen (here, by selectMatch or by the user).
  int shownRound() const;
  void showRound(int round);

  QComboBox* roundChooser() const { return rounds_; }
  QTableWidget* pairingsTable() const { return pairings_; }
  QTableWidget* standingsTable() const { return standings_; }

 signals:
  void matchSelected(const QString& id);
  // Enter, Space or a double click on a pairing.
  void matchActivated(const QString& id);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fillPairings();
  void pairingChanged();

  QComboBox* rounds_;
  QTableWidget* pairings_;
  QTableWidget* standings_;
  std::vector<report::ScheduledMatch> schedule_;
  std::unordered_map<std::string, std::size_t> byId_;
  std::vector<int> roundList_;  // the rounds in the chooser, in order
  MatchWords words_;
  QString selected_;
  int currentRound_ = 0;   // the round of the first match still to play
  bool following_ = true;  // the round shown is the current one and moves on with it
  bool filling_ = false;   // the tables are being refilled: their signals are not the user's
};

}  // namespace momiru::ui
