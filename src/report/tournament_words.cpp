// The tournament's Japanese words.
#include "report/tournament_words.h"

namespace momiru::report {

std::string_view formatWords(Format format) {
  switch (format) {
    case Format::Single:
      return "シングルエリミネーション";
    case Format::Double:
      return "ダブルエリミネーション";
    case Format::RoundRobin:
      return "総当たり";
    case Format::Swiss:
      return "スイス式";
  }
  return {};
}

std::string_view bracketWords(Bracket bracket, Format format) {
  const bool twoBrackets = format == Format::Double;
  switch (bracket) {
    case Bracket::Winners:
      return twoBrackets ? "勝者側" : "";
    case Bracket::Losers:
      return "敗者側";
    case Bracket::Final:
      return twoBrackets ? "グランドファイナル" : "決勝";
    case Bracket::ThirdPlace:
      return "3位決定戦";
    case Bracket::League:
    case Bracket::Swiss:
      break;
  }
  return {};
}

std::string roundWords(int round) { return "第" + std::to_string(round) + "回戦"; }

std::string matchRoundWords(Format format, const Match& m) {
  const std::string_view part = bracketWords(m.bracket, format);
  switch (m.bracket) {
    case Bracket::ThirdPlace:
      return std::string(part);
    case Bracket::Final:
      // The grand final is played again when the losers' bracket winner wins the first.
      if (format == Format::Double && m.round > 1)
        return std::string(part) + "（" + std::to_string(m.round) + "回目）";
      return std::string(part);
    case Bracket::Winners:
    case Bracket::Losers:
    case Bracket::League:
    case Bracket::Swiss:
      break;
  }
  if (part.empty()) return roundWords(m.round);
  return std::string(part) + " " + roundWords(m.round);
}

std::string_view tieBreakWords(TieBreak tieBreak) {
  switch (tieBreak) {
    case TieBreak::Buchholz:
      return "ブッフホルツ";
    case TieBreak::MedianBuchholz:
      return "メディアン・ブッフホルツ";
    case TieBreak::SonnebornBerger:
      return "ゾンネボルン・ベルガー";
    case TieBreak::HeadToHead:
      return "直接対決";
    case TieBreak::MatchWins:
      return "試合勝数";
    case TieBreak::BattleDifference:
      return "勝敗差";
    case TieBreak::DrawOrder:
      return "抽選順";
    case TieBreak::LastPlace:
      return "同順位の下限";
  }
  return {};
}

}  // namespace momiru::report
