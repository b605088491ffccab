// The words the tournament's views say about a match.
#include "ui/match_words.h"

#include <cstdio>
#include <string_view>
#include <unordered_map>

#include "report/tournament_words.h"
#include "ui/screen.h"

namespace momiru::ui {

MatchWords::MatchWords(const report::Tournament& t,
                       const std::vector<report::ScheduledMatch>& schedule)
    : format_(t.rules.format) {
  names_.reserve(t.entries.size());
  std::unordered_map<std::string_view, int> uses;
  for (const report::Entry& e : t.entries) {
    names_.push_back(shownName(e.storedName));
    ++uses[e.storedName];
  }
  // Entries of the same name are told apart by their numbers, counted from 1 as the entries'
  // list, the tournament page and the lab count them.
  for (std::size_t i = 0; i < t.entries.size(); ++i)
    if (uses[t.entries[i].storedName] > 1) names_[i] += QStringLiteral("（#%1）").arg(i + 1);
  for (const report::ScheduledMatch& m : schedule)
    if (m.played) decided_.insert(m.match.id);
}

QString MatchWords::entry(int e) const {
  if (e >= 0 && static_cast<std::size_t>(e) < names_.size())
    return names_[static_cast<std::size_t>(e)];
  return QStringLiteral("#%1").arg(static_cast<qint64>(e) + 1);
}

QString MatchWords::player(const report::ScheduledMatch& m, int side) const {
  const auto s = static_cast<std::size_t>(side);
  if (m.match.players[s]) return entry(*m.match.players[s]);
  const report::SlotSource& from = m.from[s];
  const bool waiting = !m.played && (from.kind == report::SlotSource::WinnerOf ||
                                     from.kind == report::SlotSource::LoserOf);
  if (waiting && decided_.count(from.matchId) == 0)
    return QStringLiteral("「%1 の%2」")
        .arg(shownName(from.matchId), from.kind == report::SlotSource::WinnerOf
                                          ? QStringLiteral("勝者")
                                          : QStringLiteral("敗者"));
  return QStringLiteral("不戦勝");
}

QString MatchWords::round(const report::Match& m) const {
  return wordsText(report::matchRoundWords(format_, m));
}

std::array<int, 2> MatchWords::wins(const report::Match& m) {
  std::array<int, 2> won{0, 0};
  for (const report::BattleRecord& b : m.battles)
    for (std::size_t s = 0; s < 2; ++s)
      if (b.winner && m.players[s] && *b.winner == *m.players[s]) ++won[s];
  return won;
}

int MatchWords::winnerSide(const report::Match& m) {
  if (!m.winner) return -1;
  for (int s = 0; s < 2; ++s)
    if (m.players[static_cast<std::size_t>(s)] == m.winner) return s;
  return -1;
}

QString MatchWords::result(const report::ScheduledMatch& m) const {
  // A bye is known from the bracket before its player is.
  if (!m.played) return m.bye ? QStringLiteral("不戦勝") : QStringLiteral("これから");
  const report::Match& match = m.match;
  const int side = winnerSide(match);
  if (match.battles.empty()) {
    if (side >= 0) return QStringLiteral("%1の不戦勝").arg(entry(*match.winner));
    return QStringLiteral("試合なし");
  }
  const std::array<int, 2> won = wins(match);
  const int drawn = static_cast<int>(match.battles.size()) - won[0] - won[1];
  const int mine = side >= 0 ? won[static_cast<std::size_t>(side)] : won[0];
  const int theirs = side >= 0 ? won[static_cast<std::size_t>(1 - side)] : won[1];
  QString score = QStringLiteral("%1勝%2敗").arg(mine).arg(theirs);
  if (drawn > 0) score += QStringLiteral("%1分").arg(drawn);
  if (side < 0) return score + QStringLiteral("で引き分け");
  // Still level after sudden death: the better seed went through.
  if (mine == theirs)
    return score + QStringLiteral("の同点、シード上位で%1の勝ち").arg(entry(*match.winner));
  return score + QStringLiteral("で%1の勝ち").arg(entry(*match.winner));
}

QString MatchWords::sentence(const report::ScheduledMatch& m) const {
  return shownName(m.match.id) + QStringLiteral("　") + round(m.match) + QStringLiteral("　") +
         player(m, 0) + QStringLiteral(" 対 ") + player(m, 1) + QStringLiteral("　") + result(m);
}

QString MatchWords::twoLines(const report::ScheduledMatch& m) const {
  return shownName(m.match.id) + QStringLiteral("　") + round(m.match) + QStringLiteral("　") +
         player(m, 0) + QStringLiteral(" 対 ") + player(m, 1) + QLatin1Char('\n') + result(m);
}

QString matchSentence(const report::Tournament& t, const report::ScheduledMatch& m) {
  return MatchWords(t, {}).sentence(m);
}

QString tieBreakHead(report::TieBreak tieBreak) {
  return wordsText(report::tieBreakWords(tieBreak));
}

QString wordsText(std::string_view words) {
  return QString::fromUtf8(words.data(), static_cast<qsizetype>(words.size()));
}

QString pointsText(double points) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", points);
  return QString::fromLatin1(buf);
}

}  // namespace momiru::ui
