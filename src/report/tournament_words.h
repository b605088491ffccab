// The tournament's Japanese words that its page and the tournament window both say: the formats,
// the parts of the draw, the rounds and the tie-breaks, written once. Plain UTF-8 without Qt: a
// screen converts them where it shows them.
#pragma once

#include <string>
#include <string_view>

#include "report/tournament.h"

namespace momiru::report {

// シングルエリミネーション, ダブルエリミネーション, 総当たり, スイス式.
std::string_view formatWords(Format format);

// A part of the draw by its own name in a tournament of `format`: 勝者側 and 敗者側 for the two
// brackets of a double elimination, グランドファイナル for its final, 決勝 for any other final,
// 3位決定戦; empty for a part without a name of its own (the one bracket of a single elimination,
// a round robin's or a Swiss round's matches).
std::string_view bracketWords(Bracket bracket, Format format);

// 「第3回戦」.
std::string roundWords(int round);

// Where a match stands in the draw: 「第2回戦」, 「勝者側 第2回戦」, 「敗者側 第3回戦」, 「決勝」,
// 「3位決定戦」, 「グランドファイナル」, and 「グランドファイナル（2回目）」 for the one played
// again.
std::string matchRoundWords(Format format, const Match& m);

// A tie-break as the standings' column head: ブッフホルツ, 直接対決, 抽選順, ...
std::string_view tieBreakWords(TieBreak tieBreak);

}  // namespace momiru::report
