#include "ui/tournament_texts.h"

#include <QStringList>

#include "data/platform.h"
#include "report/tournament_words.h"
#include "ui/match_words.h"
#include "ui/screen.h"

namespace momiru::ui {

QString formatText(report::Format format) { return wordsText(report::formatWords(format)); }

QString seedingText(report::Seeding seeding) {
  switch (seeding) {
    case report::Seeding::Draw:
      return QStringLiteral("抽選");
    case report::Seeding::Listed:
      return QStringLiteral("登録順");
    case report::Seeding::Strength:
      return QStringLiteral("強さ");
  }
  return {};
}

QString bestOfText(int bestOf) {
  if (bestOf <= 1) return QStringLiteral("1戦勝負");
  return QStringLiteral("%1戦%2勝").arg(bestOf).arg(bestOf / 2 + 1);
}

QString entryName(const report::Tournament& t, int entry) {
  if (entry < 0 || static_cast<std::size_t>(entry) >= t.entries.size()) return QStringLiteral("？");
  return shownName(t.entries[static_cast<std::size_t>(entry)].storedName);
}

QString refusalLine(const report::Tournament& t, const report::EntryResult& result) {
  QString why;
  switch (result.refusal.value_or(report::EntryRefusal::Unreadable)) {
    case report::EntryRefusal::Unreadable:
      why = QStringLiteral("読めません（ファイルがないか、セーブデータではありません）");
      break;
    case report::EntryRefusal::Tampered:
      why = QStringLiteral("パスワードが変造されています");
      break;
    case report::EntryRefusal::NoCharacter:
      why = QStringLiteral("キャラクターがいません（レベル0）");
      break;
    case report::EntryRefusal::Duplicate:
      why = QStringLiteral("エントリー済みの記録と同じです");
      if (result.sameAs && *result.sameAs >= 0 &&
          static_cast<std::size_t>(*result.sameAs) < t.entries.size()) {
        // The twin by its number, name and file: two entries may share a name.
        const report::Entry& twin = t.entries[static_cast<std::size_t>(*result.sameAs)];
        why = QStringLiteral("エントリー済みの #%1「%2」（%3）と同じキャラクターです")
                  .arg(*result.sameAs + 1)
                  .arg(entryName(t, *result.sameAs), shownName(twin.file));
      }
      break;
    case report::EntryRefusal::Full:
      why = QStringLiteral("この形式ではこれ以上エントリーできません");
      break;
    case report::EntryRefusal::Closed:
      why = QStringLiteral("エントリーは締め切られています");
      break;
  }
  return shownName(pathToUtf8(result.file.filename())) + QStringLiteral("：") + why;
}

namespace {

// The part of the draw a match counts its round in: in double elimination the winners' and the
// losers' brackets count their rounds apart, and the grand final stands by itself; elsewhere every
// match is of the one part.
report::Bracket partOf(const report::Tournament& t, const report::Match& m) {
  const bool apart = m.bracket == report::Bracket::Losers || m.bracket == report::Bracket::Final;
  return t.rules.format == report::Format::Double && apart ? m.bracket : report::Bracket::Winners;
}

}  // namespace

QString progressLine(const report::TournamentPlay& play) {
  const report::Tournament& t = play.tournament();
  const std::vector<std::string> ready = play.readyMatches();
  if (ready.empty()) return play.finished() ? QStringLiteral("全試合終了") : QString();
  const report::ScheduledMatch* next = play.find(ready.front());
  const int round = next->match.round;
  const report::Bracket part = partOf(t, next->match);
  int all = 0;
  int done = 0;
  for (const report::ScheduledMatch& m : play.schedule()) {
    if (m.bye || m.match.round != round || partOf(t, m.match) != part) continue;
    ++all;
    if (m.played) ++done;
  }
  const QString count = QStringLiteral("　%1試合中 %2試合終了").arg(all).arg(done);
  const QString nth = wordsText(report::roundWords(round));
  if (t.rules.format != report::Format::Double) return nth + count;
  const QString where = wordsText(report::bracketWords(part, report::Format::Double));
  if (part == report::Bracket::Final) return where + count;
  return where + QStringLiteral("　") + nth + count;
}

QString wholeLine(const report::TournamentPlay& play) {
  return QStringLiteral("全体　%1試合中 %2試合終了").arg(play.totalCount()).arg(play.playedCount());
}

QString winnerLine(const report::Tournament& t) {
  if (t.stage != report::Stage::Finished) return {};
  QStringList first;
  for (const report::Standing& s : t.standings) {
    if (s.rank == 1) first << entryName(t, s.entry);
  }
  if (first.isEmpty()) return {};
  return QStringLiteral("優勝：") + first.join(QStringLiteral("、"));
}

QString notVerifiedText() {
  return QStringLiteral(
      "この大会のファイルは検証できませんでした。記録されている試合は、秘密の値とエントリーから"
      "やり直した結果と一致しません。内容は事実として扱えないため、試合は進められません。");
}

}  // namespace momiru::ui
