// What the colosseum and the result screen say about the tournament match whose battle they
// show: the match, the battle of it and the score. A battle outside a tournament has none.
#pragma once

#include <QString>
#include <array>

#include "report/tournament.h"

namespace momiru::ui {

struct MatchCaption {
  QString match;   // the match's id as every screen shows a text from a file: 「W1-1」
  int battle = 1;  // the battle of the match, from 1
  int bestOf = 1;
  // The colosseum's left and right players as the tournament names them, and the battles of the
  // match each has won: before this battle on the colosseum, with it on the result screen.
  std::array<QString, 2> names;
  std::array<int, 2> wins{};
  QString decided;  // once this battle has decided the match: its result, 「2勝0敗でポチの勝ち」
};

// Battle `k` (from 1) of `m`, with entry `left` on the colosseum's left: the score counts the
// battles of `m` before k, and battle k too when `withBattle`; `decided` says that battle k
// decided the match (whose winner `m` then holds).
MatchCaption matchCaption(const report::Tournament& t, const report::Match& m, int k, int left,
                          bool withBattle, bool decided);

// 「第2戦」.
QString battleNumberText(const MatchCaption& c);
// 「3戦2勝」, or 「延長戦」 for a battle of sudden death after the best-of battles.
QString battleRuleText(const MatchCaption& c);
// 「1－0」: the left side's wins first, as the colosseum's panels stand.
QString scoreText(const MatchCaption& c);
// 「W1-1　第2戦（3戦2勝）　ポチ 1－0 タマ」, and once decided 「W1-1　第2戦（3戦2勝）　2勝0敗で
// ポチの勝ち」.
QString matchCaptionLine(const MatchCaption& c);

}  // namespace momiru::ui
