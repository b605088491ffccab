// The words the tournament's views say about a match: its players, its round, its result and the
// one sentence that tells it all, the same in the bracket, the tables and the list a screen reader
// walks.
#pragma once

#include <QString>
#include <array>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "report/tournament.h"
#include "report/tournament_schedule.h"

namespace momiru::ui {

// Built once per schedule; copies what it needs, so it stays valid when the tournament changes.
class MatchWords {
 public:
  MatchWords() = default;
  MatchWords(const report::Tournament& t, const std::vector<report::ScheduledMatch>& schedule);

  // An entry's stored name as every screen shows a name, with 「（#n）」 after it when another
  // entry has the same name; "#n" for an entry the tournament does not have (n from 1, as
  // every list counts entries).
  QString entry(int e) const;
  // Side 0 or 1 of the match: the player's name, 不戦勝 for no one, or 「W1-3 の勝者」 for a
  // player the schedule does not know yet.
  QString player(const report::ScheduledMatch& m, int side) const;
  // 「第2回戦」, 「勝者側 第2回戦」, 「敗者側 第3回戦」, 「決勝」, 「3位決定戦」,
  // 「グランドファイナル」.
  QString round(const report::Match& m) const;
  // What came of it: 「2勝1敗でポチの勝ち」, 「ポチの不戦勝」, 「1勝1敗1分で引き分け」,
  // 「これから」, and 「不戦勝」 for a bye whose player is not known yet.
  QString result(const report::ScheduledMatch& m) const;
  // 「W2-1　勝者側 第2回戦　ポチ 対 タマ　2勝1敗でポチの勝ち」.
  QString sentence(const report::ScheduledMatch& m) const;
  // The same in two lines, the result on the second, as the list of matches shows it:
  // 「W2-1　勝者側 第2回戦　ポチ 対 タマ」 and 「2勝1敗でポチの勝ち」.
  QString twoLines(const report::ScheduledMatch& m) const;

  // Battles won by each side, and the side that won the match (-1 for none).
  static std::array<int, 2> wins(const report::Match& m);
  static int winnerSide(const report::Match& m);

 private:
  std::vector<QString> names_;
  report::Format format_ = report::Format::Single;
  // Matches already decided: a slot waiting for one of them that is still empty holds no one.
  std::unordered_set<std::string> decided_;
};

// The sentence of one match, for a caller without the whole schedule at hand.
QString matchSentence(const report::Tournament& t, const report::ScheduledMatch& m);

// A tie-break's name as the standings' column head, in the tournament page's words.
QString tieBreakHead(report::TieBreak tieBreak);

// The tournament's own words (report/tournament_words.h, UTF-8) as a screen shows them.
QString wordsText(std::string_view words);

// Points as the standings show them: 3, 2.5.
QString pointsText(double points);

}  // namespace momiru::ui
