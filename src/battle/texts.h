// Every text the battle says: the lines of a turn, the judgement, the status labels and the
// result screen. The battle screen, the log, the result screen and momiru-lab all take their
// words from here.
#pragma once

#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "battle/rules.h"
#include "data/game_state.h"

namespace momiru::battle {

// The fixed texts of the battle.
namespace text {
inline constexpr std::string_view kNo = "の";
inline constexpr std::string_view kBang = "！！";
inline constexpr std::string_view kDamageMid = "は、";
inline constexpr std::string_view kDamageEnd = "のダメージ！！";
inline constexpr std::string_view kMissLine = "MISS！！ 攻撃は外れた！！";
inline constexpr std::string_view kHits = "回ヒットした！";
inline constexpr std::string_view kDrawA = "２匹とも力尽きてしまった。";
inline constexpr std::string_view kDrawB = "この勝負。 引き分け！！";
inline constexpr std::string_view kFell = "は力尽きた････";
inline constexpr std::string_view kStuck = "は技が出せない状態になった････";
inline constexpr std::string_view kVictory = "の勝利！！";
inline constexpr std::string_view kMissPopup = "MISS!!";
}  // namespace text

// The line break of the battle log and of every text the battle says: CR LF, whoever plays the
// battle. Each log_sha256 is taken over a log with these line ends.
inline constexpr std::string_view kLineBreak = "\r\n";

// Appends the decimal digits of v. (By pointer and length: the iterator-pair append goes
// through the string's general replace, which cost a sixth of a battle with its log.)
inline void appendNumber(std::string& out, std::int32_t v) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

// The lines of a turn for one pairing, each ending in kLineBreak. What depends only
// on the records is put together once.
class TurnTexts {
 public:
  explicit TurnTexts(const GameState& gs);
  // The same with each name and move name as `show` gives it (the form a reader is shown).
  TurnTexts(const GameState& gs, std::string (*show)(std::string_view));

  // "<name>の<move>！！"
  const std::string& announcement(int attacker, int move) const {
    return announce_[at(attacker)][static_cast<std::size_t>(move)];
  }
  // "<name>は、<damage>のダメージ！！"
  void appendDamage(std::string& out, int defender, std::int32_t damage) const {
    out += damaged_[at(defender)];
    appendNumber(out, damage);
    out += damageEnd_;
  }
  const std::string& missLine() const { return missLine_; }
  // "<hits>回ヒットした！"
  void appendHits(std::string& out, std::int32_t hits) const {
    appendNumber(out, hits);
    out += hitsEnd_;
  }
  // The two lines that tell how the battle ended, without a line break after them.
  const std::string& judgement(Judgement j, int loser) const;

 private:
  static std::size_t at(int slot) { return slot == 1 ? 1 : 0; }

  std::array<std::array<std::string, kMoves>, kSlots> announce_;
  std::array<std::string, kSlots> damaged_;  // "<name>は、" by defender
  std::string damageEnd_;
  std::string missLine_;
  std::string hitsEnd_;
  std::array<std::string, kSlots> fell_;   // by loser
  std::array<std::string, kSlots> stuck_;  // by loser
  std::string draw_;
};

// The battle log, written as the turns are decided: a sink for Rules.
class LogWriter {
 public:
  LogWriter(const TurnTexts& texts, std::string& log) : texts_(texts), log_(log) {}

  void announced(int attacker, int move) { log_ += texts_.announcement(attacker, move); }
  void costPaid(int, std::int32_t, const BattleProgress&) {}
  void landed(int defender, int, std::int32_t damage, const BattleProgress&) {
    texts_.appendDamage(log_, defender, damage);
  }
  void missed(int, int) { log_ += texts_.missLine(); }
  void hitsCounted(std::int32_t hits) { texts_.appendHits(log_, hits); }
  void judged(const BattleProgress& p, bool logged) {
    if (logged) log_ += texts_.judgement(p.judgement, p.loser);
  }

 private:
  const TurnTexts& texts_;
  std::string& log_;
};

// The status labels of one slot (`name12_N` and `stas_N` on the colosseum): its name line ("Lv."
// level, a full-width space, the name) and its status block (the heading and, per body part, its
// name, its values and an empty line).
struct StatusTexts {
  std::string nameLine;
  std::string statusBlock;
};
StatusTexts statusTexts(const GameState& gs, int slot);
// The same with `name` in place of the record's name (the name as a screen shows it).
StatusTexts statusTexts(const GameState& gs, int slot, std::string_view name);

// The result screen's texts: its log box (`Text1`: heading, names, empty line, the battle log)
// and its outcome label (`Label1`: from winner and loser; equal slots mean a draw).
struct ResultTexts {
  std::string logBox;
  std::string outcome;
};
ResultTexts resultTexts(const GameState& gs);

// The records' texts as a reader is shown them: each name, and each move name after its code
// characters, through `show` (a safe form such as visibleText). The codes stay as they are, and
// names take no part in the rules, so the battle of these records is the same battle.
void showTexts(GameState& gs, std::string (*show)(std::string_view));

}  // namespace momiru::battle
