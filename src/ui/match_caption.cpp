// The words about a tournament match on the colosseum and the result screen.
#include "ui/match_caption.h"

#include <algorithm>
#include <optional>

#include "ui/match_words.h"
#include "ui/screen.h"
#include "ui/tournament_texts.h"

namespace momiru::ui {

MatchCaption matchCaption(const report::Tournament& t, const report::Match& m, int k, int left,
                          bool withBattle, bool decided) {
  MatchCaption c;
  c.match = shownName(m.id);
  c.battle = k;
  c.bestOf = t.rules.bestOf;
  int right = -1;
  for (const std::optional<int>& player : m.players)
    if (player && *player != left) right = *player;
  const MatchWords words(t, {});
  c.names = {words.entry(left), words.entry(right)};
  const std::size_t counted =
      std::min(m.battles.size(), static_cast<std::size_t>(std::max(0, withBattle ? k : k - 1)));
  for (std::size_t i = 0; i < counted; ++i) {
    const std::optional<int>& winner = m.battles[i].winner;
    if (!winner) continue;
    if (*winner == left) ++c.wins[0];
    if (*winner == right) ++c.wins[1];
  }
  if (decided) {
    report::ScheduledMatch played;
    played.match = m;
    played.played = true;
    c.decided = words.result(played);
  }
  return c;
}

QString battleNumberText(const MatchCaption& c) { return QStringLiteral("第%1戦").arg(c.battle); }

QString battleRuleText(const MatchCaption& c) {
  if (c.battle > c.bestOf) return QStringLiteral("延長戦");
  return bestOfText(c.bestOf);
}

QString scoreText(const MatchCaption& c) {
  return QStringLiteral("%1－%2").arg(c.wins[0]).arg(c.wins[1]);
}

QString matchCaptionLine(const MatchCaption& c) {
  const QString head = c.match + QStringLiteral("　") + battleNumberText(c) + QStringLiteral("（") +
                       battleRuleText(c) + QStringLiteral("）　");
  if (!c.decided.isEmpty()) return head + c.decided;
  return head + c.names[0] + QLatin1Char(' ') + scoreText(c) + QLatin1Char(' ') + c.names[1];
}

}  // namespace momiru::ui
