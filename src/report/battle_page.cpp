// The battle page, built as one string of XHTML-compatible markup.
#include "report/battle_page.h"

#include <nettle/base64.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>
#include <string_view>
#include <thread>
#include <vector>

#include "battle/headless.h"
#include "battle/move_code.h"
#include "battle/rules.h"
#include "battle/texts.h"
#include "data/platform.h"
#include "data/text_safety.h"
#include "replay/replay_page.h"
#include "report/format.h"
#include "report/odds.h"

namespace momiru::report {
namespace {

// Portraits are a few kilobytes; a larger file is not ours and is left out.
constexpr std::size_t kMaxPictureBytes = 256 * 1024;
// A chart draws at most this many points per line; longer battles are sampled evenly.
constexpr std::size_t kMaxChartPoints = 1200;
// The log's turns take at most this much of the page, half from its start and half from its end,
// so that the page of even the longest battle stays small enough to be opened as a replay.
constexpr std::size_t kMaxLogMarkup = 320 * 1024;
constexpr const char* kPartColours[kParts] = {"#c0392b", "#2166ac", "#27ae60", "#8e44ad"};

std::string number(std::int64_t v) { return std::to_string(v); }

// "12,345"
std::string grouped(std::uint64_t v) {
  const std::string digits = std::to_string(v);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string percent(double share) { return format("%.2f%%", 100.0 * share); }

// Markup with CR LF (or LF) line ends as lines joined by <br/>. Its names are markupName's, which
// hold no line break, so every break is one of the text's own.
std::string markupLines(std::string_view markup) {
  std::string out;
  std::size_t start = 0;
  while (start <= markup.size()) {
    std::size_t end = markup.find('\n', start);
    if (end == std::string_view::npos) end = markup.size();
    std::string_view line = markup.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!out.empty()) out += "<br/>";
    out += line;
    if (end == markup.size()) break;
    start = end + 1;
  }
  // A text ending in a line break gives no empty line after it.
  while (out.size() >= 5 && out.compare(out.size() - 5, 5, "<br/>") == 0)
    out.resize(out.size() - 5);
  return out;
}

// Text from a file that is not a name, with its lines kept: each line shown visibly and escaped.
std::string escapedLines(std::string_view text) {
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out += escapeMarkup(visibleText(line)) + "\r\n";
    if (end == text.size()) break;
    start = end + 1;
  }
  return out;
}

// The records of `gs` with their names as markup (markupName).
GameState markupRecords(const GameState& gs) {
  GameState shown;
  shown.combatant = gs.combatant;
  battle::showTexts(shown, markupName);
  return shown;
}

std::string base64(std::string_view bytes) {
  std::string out(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
  base64_encode_raw(out.data(), bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
  return out;
}

}  // namespace

std::string portraitUri(std::int32_t portrait, const BattlePageOptions& options) {
  if (portrait < 0 || portrait >= 14) return {};
  const std::filesystem::path relative =
      std::filesystem::path("pictures") / format("mae%02d.svg", static_cast<int>(portrait));
  const std::filesystem::path file =
      options.findFile ? options.findFile(relative) : findDataFile(relative);
  if (file.empty()) return {};
  InputFile in(file);
  if (in.status() != InputFile::Status::Open) return {};
  std::string bytes;
  char buf[4096];
  for (std::streamsize n; (n = in.sgetn(buf, sizeof buf)) > 0;) {
    bytes.append(buf, static_cast<std::size_t>(n));
    if (bytes.size() > kMaxPictureBytes) return {};
  }
  if (bytes.find("<svg") == std::string::npos) return {};
  return "data:image/svg+xml;base64," + base64(bytes);
}

namespace {

// Everything the page shows of the battle, played by these rules.
struct Played {
  GameState start;  // the records as registered
  replay::ReplayResult result;
  std::string log;
  std::vector<battle::TurnRecord> turns;
  battle::Hp startHp{};
  std::vector<std::string> turnTexts;  // the log cut into its turns
};

// The log cut at the start of each turn, as markup. Each turn's lines are told again from its
// record, with the log's own texts to follow the log and with the names as markup to show it;
// the judgement stays with the last turn. Where the record and the log part ways (they never
// should), the rest of the log goes to that turn whole, each line escaped.
std::vector<std::string> cutLog(const Played& p) {
  const battle::TurnTexts texts(p.start);
  const battle::TurnTexts shown(p.start, markupName);
  std::vector<std::string> out;
  std::size_t pos = 0;
  for (std::size_t i = 0; i < p.turns.size(); ++i) {
    const battle::TurnRecord& t = p.turns[i];
    std::string s = texts.announcement(t.attacker, t.move);
    std::string m = shown.announcement(t.attacker, t.move);
    for (const battle::BlowRecord& b : t.blows) {
      if (b.damage) {
        texts.appendDamage(s, 1 - t.attacker, *b.damage);
        shown.appendDamage(m, 1 - t.attacker, *b.damage);
      } else {
        s += texts.missLine();
        m += shown.missLine();
      }
    }
    texts.appendHits(s, t.hits);
    shown.appendHits(m, t.hits);
    const bool follows = p.log.compare(pos, s.size(), s) == 0;
    if (i + 1 == p.turns.size() && follows) {
      const std::string_view rest = std::string_view(p.log).substr(pos + s.size());
      if (rest.empty()) {
        out.push_back(std::move(m));
        return out;
      }
      if (battle::isOver(t.judgement) && rest == texts.judgement(t.judgement, t.loser)) {
        out.push_back(m + shown.judgement(t.judgement, t.loser));
        return out;
      }
    }
    if (i + 1 == p.turns.size() || !follows) {
      out.push_back(escapedLines(std::string_view(p.log).substr(std::min(pos, p.log.size()))));
      return out;
    }
    out.push_back(std::move(m));
    pos += s.size();
  }
  return out;
}

Played play(const replay::Replay& replay) {
  Played p;
  p.start = battle::startState(replay::replayStart(replay));
  p.result = replay::playReplay(replay, &p.log, &p.turns);
  p.startHp = battle::Rules(p.start).start().hp;
  p.turnTexts = cutLog(p);
  return p;
}

// The result screen's outcome label for the battle as played, as markup.
std::string outcomeLabel(const Played& p) {
  if (!p.result.finished) {
    return format("%d ターンを過ぎても決着がつかなかった。", static_cast<int>(p.result.turns));
  }
  GameState gs = markupRecords(p.start);
  gs.winner = p.result.winner.value_or(0);
  gs.loser = p.result.loser.value_or(0);
  return battle::resultTexts(gs).outcome;
}

std::string characterSection(const replay::Replay& replay, int slot,
                             const BattlePageOptions& options) {
  const Combatant& c = replay.characters[static_cast<std::size_t>(slot)].record;
  std::string out = format("<section class=\"character\" id=\"player%d\">\n", slot + 1);
  out += format("<h3>プレイヤー%d：", slot + 1) + markupName(c.name) + "</h3>\n";
  const std::string uri = portraitUri(c.portrait, options);
  if (uri.empty()) {
    out += "<div class=\"portrait empty\" role=\"img\" aria-label=\"絵なし\"></div>\n";
  } else {
    out += "<img class=\"portrait\" width=\"159\" height=\"183\" alt=\"" +
           escapeMarkup(plainName(c.name)) + "の絵\" src=\"" + uri + "\"/>\n";
  }
  out += "<p class=\"level\">Lv." + number(c.level) + "</p>\n";
  out +=
      "<table class=\"parts\">\n<tr><th>部位</th><th>HP</th><th>攻撃力</th><th>防御力</th></tr>\n";
  for (std::size_t part = 0; part < kParts; ++part) {
    out += std::string("<tr><th>") + kPartNames[part] + "</th><td class=\"n\">" +
           number(c.hp[part]) + "</td><td class=\"n\">" + number(c.attack[part]) +
           "</td><td class=\"n\">" + number(c.defence[part]) + "</td></tr>\n";
  }
  out += "</table>\n<table class=\"moves\">\n<tr><th>技</th><th>コード</th><th>威力</th></tr>\n";
  for (std::size_t m = 0; m < kMoves; ++m) {
    const std::string& move = c.moveNames[m];
    const battle::MoveCode code = battle::parseMoveCode(move);
    const std::string_view shown = code.displayName(move);
    const std::string_view head =
        std::string_view(move).substr(0, std::min<std::size_t>(code.displayOffset, move.size()));
    out += "<tr><td>" + markupName(shown) + "</td><td><code>" + escapeMarkup(visibleText(head)) +
           "</code></td><td class=\"n\">" + number(c.movePower[m]) + "</td></tr>\n";
  }
  out += "</table>\n</section>\n";
  return out;
}

// One side's hit points, part by part, from the start (turn 0) to the last turn.
std::string hpChart(const Played& p, const std::string& name, int slot) {
  const auto s = static_cast<std::size_t>(slot);
  const std::size_t points = p.turns.size() + 1;
  const auto hpAt = [&](std::size_t turn, std::size_t part) {
    const std::int32_t v = turn == 0 ? p.startHp[s][part] : p.turns[turn - 1].hp[s][part];
    return std::max<std::int32_t>(v, 0);
  };
  std::int32_t most = 1;
  for (std::size_t t = 0; t < points; ++t) {
    for (std::size_t part = 0; part < kParts; ++part) most = std::max(most, hpAt(t, part));
  }
  const double left = 56;
  const double top = 16;
  const double width = 560;
  const double height = 200;
  const double xSpan = static_cast<double>(std::max<std::size_t>(points - 1, 1));
  const auto x = [&](std::size_t t) { return left + static_cast<double>(t) / xSpan * width; };
  const auto y = [&](std::int32_t v) {
    return top + height - static_cast<double>(v) / static_cast<double>(most) * height;
  };
  std::string svg = format(
      "<svg class=\"hp-chart\" data-slot=\"%d\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
      "role=\"img\" aria-label=\"",
      slot, static_cast<int>(left + width + 24), static_cast<int>(top + height + 64),
      static_cast<int>(left + width + 24), static_cast<int>(top + height + 64));
  svg += escapeMarkup(plainName(name)) + "の部位ごとのHPの推移\">\n";
  // Axes with the HP at 0, half and most, and the first and last turn.
  svg += format(
      "<rect x=\"%.0f\" y=\"%.0f\" width=\"%.0f\" height=\"%.0f\" fill=\"#fafafa\" "
      "stroke=\"#999999\"/>\n",
      left, top, width, height);
  for (const std::int32_t v : {0, most / 2, most}) {
    svg += format(
        "<line x1=\"%.0f\" y1=\"%.1f\" x2=\"%.0f\" y2=\"%.1f\" stroke=\"#e0e0e0\"/>"
        "<text x=\"%.0f\" y=\"%.1f\" text-anchor=\"end\" class=\"tick\">%d</text>\n",
        left, y(v), left + width, y(v), left - 6, y(v) + 4, static_cast<int>(v));
  }
  svg += format(
      "<text x=\"%.0f\" y=\"%.0f\" class=\"tick\">0</text><text x=\"%.0f\" y=\"%.0f\" "
      "text-anchor=\"end\" class=\"tick\">%zu</text><text x=\"%.0f\" y=\"%.0f\" "
      "text-anchor=\"middle\" class=\"tick\">ターン</text>\n",
      left, top + height + 16, left + width, top + height + 16, points - 1, left + width / 2,
      top + height + 16);
  const std::size_t step = (points + kMaxChartPoints - 1) / kMaxChartPoints;
  for (std::size_t part = 0; part < kParts; ++part) {
    svg += std::string("<polyline class=\"part\" data-part=\"") + number(static_cast<int>(part)) +
           "\" fill=\"none\" stroke-width=\"2\" stroke=\"" + kPartColours[part] + "\" points=\"";
    for (std::size_t t = 0; t < points; t += step) {
      svg += format("%.1f,%.1f ", x(t), y(hpAt(t, part)));
    }
    if ((points - 1) % step != 0)
      svg += format("%.1f,%.1f", x(points - 1), y(hpAt(points - 1, part)));
    svg += std::string("\"><title>") + kPartNames[part] + "</title></polyline>\n";
    svg += format(
        "<rect x=\"%.0f\" y=\"%.0f\" width=\"14\" height=\"4\" fill=\"%s\"/><text x=\"%.0f\" "
        "y=\"%.0f\">%s</text>\n",
        left + 110.0 * static_cast<double>(part), top + height + 38, kPartColours[part],
        left + 110.0 * static_cast<double>(part) + 20, top + height + 44, kPartNames[part]);
  }
  svg += "</svg>\n";
  return svg;
}

// The turns of the log as list items; a log longer than kMaxLogMarkup keeps its first and last
// turns and says which are left out between them.
std::string logList(const Played& p, const std::string (&names)[kSlots]) {
  std::vector<std::string> items;
  items.reserve(p.turnTexts.size());
  for (std::size_t i = 0; i < p.turnTexts.size(); ++i) {
    const int attacker = i < p.turns.size() ? p.turns[i].attacker : 0;
    items.push_back(format("<span class=\"who\">ターン%zu（", i + 1) +
                    names[static_cast<std::size_t>(attacker)] + "）</span><br/>" +
                    markupLines(p.turnTexts[i]) + "</li>\n");
  }
  std::size_t head = 0;
  std::size_t used = 0;
  while (head < items.size() && used + items[head].size() <= kMaxLogMarkup / 2) {
    used += items[head++].size();
  }
  std::size_t tail = items.size();
  used = 0;
  while (tail > head && used + items[tail - 1].size() <= kMaxLogMarkup / 2) {
    used += items[--tail].size();
  }
  std::string out = "<ol class=\"log\">\n";
  for (std::size_t i = 0; i < head; ++i) out += "<li>" + items[i];
  if (head < tail) {
    out += format(
        "<li class=\"gap\">（ターン%zu～%zuは長いので省略しました。すべてのターンは "
        "momiru-lab battle で表示できます）</li>\n",
        head + 1, tail);
    for (std::size_t i = tail; i < items.size(); ++i) {
      out += format("<li value=\"%zu\">", i + 1) + items[i];
    }
  } else {
    for (std::size_t i = tail; i < items.size(); ++i) out += "<li>" + items[i];
  }
  return out + "</ol>\n";
}

std::string oddsSection(const replay::Replay& replay, const Played& p,
                        const BattlePageOptions& options) {
  const unsigned jobs =
      options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  const OddsCount c = countOutcomes(p.start, options.oddsBattles, replay.seed, jobs,
                                    battle::kDefaultMaxTurns, options.oddsTurns);
  const std::string names[kSlots] = {markupName(p.start.combatant[0].name),
                                     markupName(p.start.combatant[1].name)};
  std::string out = "<section id=\"odds\">\n<h2>この組み合わせの勝率</h2>\n";
  out += "<p>同じ2体で " + grouped(c.battles()) + " 回戦わせた結果です。";
  if (c.battles() < options.oddsBattles) {
    out += "戦いが長いので、ターンの合計が " + grouped(options.oddsTurns) +
           " ターンに達したところで止めました（予定は " + grouped(options.oddsBattles) + " 回）。";
  }
  out += std::string() + "それぞれの戦いのシードは、このバトルのシード " +
         std::to_string(replay.seed) + " から <code>momiru-lab simulate --seed " +
         std::to_string(replay.seed) +
         "</code> と同じ手順で導いています。区間は95%信頼区間（Wilson）です。" +
         format("%d ターンで終わらない戦いは「決着つかず」です。</p>\n",
                static_cast<int>(battle::kDefaultMaxTurns));
  out +=
      "<table class=\"odds\">\n<tr><th>結果</th><th>回数</th><th>割合</th><th>95%信頼区間</th></"
      "tr>\n";
  const std::pair<std::string, std::uint64_t> rows[] = {{names[0] + "の勝ち", c.player1Wins},
                                                        {names[1] + "の勝ち", c.player2Wins},
                                                        {"引き分け", c.draws},
                                                        {"決着つかず", c.unfinished}};
  const char* keys[] = {"player1_wins", "player2_wins", "draws", "unfinished"};
  for (std::size_t k = 0; k < 4; ++k) {
    const Share s = wilson(rows[k].second, c.battles());
    out += std::string("<tr data-outcome=\"") + keys[k] + "\"><td>" + rows[k].first +
           "</td><td class=\"n\">" + grouped(rows[k].second) + "</td><td class=\"n\">" +
           percent(s.share) + "</td><td class=\"n\">" + percent(s.low) + " ～ " + percent(s.high) +
           "</td></tr>\n";
  }
  out += "</table>\n</section>\n";
  return out;
}

constexpr const char* kStyle =
    "body { font-family: \"Noto Sans CJK JP\", \"Noto Sans JP\", \"IPAexGothic\", "
    "\"IPAPGothic\", \"Hiragino Sans\", \"Yu Gothic\", Meiryo, sans-serif; margin: 24px; color: "
    "#222; max-width: 980px; }\n"
    "table { border-collapse: collapse; margin: 6px 0; }\n"
    "th, td { padding: 2px 8px; border-bottom: 1px solid #ddd; text-align: left; }\n"
    "td.n { text-align: right; font-variant-numeric: tabular-nums; }\n"
    "th { background: #f0f0f0; }\n"
    ".characters { display: flex; gap: 24px; flex-wrap: wrap; }\n"
    ".character { flex: 1; min-width: 300px; }\n"
    ".portrait { display: block; width: 159px; height: 183px; background: #f4f4f4; }\n"
    ".outcome { font-size: 1.4em; font-weight: bold; }\n"
    ".warning { color: #a33; }\n"
    "svg { font-family: inherit; font-size: 12px; display: block; margin: 8px 0; }\n"
    "svg .tick { fill: #666; font-size: 11px; }\n"
    "ol.log li { margin: 4px 0; }\n"
    "ol.log .who { color: #666; font-size: 0.9em; }\n"
    "pre { background: #f4f4f4; padding: 8px; white-space: pre-wrap; word-break: break-all; }\n";

// Who wrote the replay: the game writes its version alone, momiru-lab its name and version.
std::string writer(const std::string& writtenBy) {
  if (!writtenBy.empty() && writtenBy[0] >= '0' && writtenBy[0] <= '9') {
    return "momiru-battle " + writtenBy;
  }
  return writtenBy;
}

}  // namespace

std::string battlePage(const replay::Replay& replay, const BattlePageOptions& options) {
  const Played p = play(replay);
  const std::string names[kSlots] = {markupName(p.start.combatant[0].name),
                                     markupName(p.start.combatant[1].name)};
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\"/>\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n<title>";
  // The title holds text only: the names isolated as plain text.
  out += escapeMarkup(plainName(p.start.combatant[0].name)) + " 対 " +
         escapeMarkup(plainName(p.start.combatant[1].name)) + "：バトルの記録</title>\n<style>\n" +
         kStyle + "</style>\n</head>\n<body>\n";
  out += "<h1>バトルの記録：" + names[0] + " 対 " + names[1] + "</h1>\n";
  out += "<p class=\"meta\">日時 " + markupName(replay.date) + "（UTC）、シード " +
         std::to_string(replay.seed) + "、ダメージ半減 " + (replay.halve ? "あり" : "なし") +
         "、記録したプログラム " + markupName(writer(replay.writtenBy)) + "</p>\n";

  out += "<section id=\"result\">\n<h2>結果</h2>\n<p class=\"outcome\">" +
         markupLines(outcomeLabel(p)) + "</p>\n<p>" + number(p.result.turns) + " ターン</p>\n";
  if (replay::replayMismatch(replay.result, p.result)) {
    out +=
        "<p class=\"warning\">この記録に残る結果は、いまのルールで戦わせた結果と違います。"
        "このページは、いまのルールで戦わせたとおりに表しています。</p>\n";
  }
  out += "</section>\n";

  out += "<section id=\"characters\">\n<h2>キャラクター</h2>\n<div class=\"characters\">\n";
  for (int slot = 0; slot < kSlots; ++slot) out += characterSection(replay, slot, options);
  out += "</div>\n</section>\n";

  out += "<section id=\"hp\">\n<h2>HPの推移</h2>\n";
  for (int slot = 0; slot < kSlots; ++slot) {
    out += format("<h3>プレイヤー%d：", slot + 1) + names[slot] + "</h3>\n";
    out += hpChart(p, p.start.combatant[static_cast<std::size_t>(slot)].name, slot);
  }
  out += "</section>\n";

  out += "<section id=\"log\">\n<h2>バトルの経過</h2>\n" + logList(p, names) + "</section>\n";

  if (options.oddsBattles > 0) out += oddsSection(replay, p, options);

  const std::string page = options.pageName.empty() ? std::string("PAGE.html") : options.pageName;
  out += "<section id=\"replay\">\n<h2>このバトルを再生するには</h2>\n";
  out +=
      "<p>このページはバトルの記録そのものを含んでいます。momiru-lab で結果を表示するには：</p>\n"
      "<pre><code>momiru-lab battle " +
      escapeMarkup(shellQuote(page)) +
      "</code></pre>\n<p>ゲームで見るには：</p>\n<pre><code>momiru-battle " +
      escapeMarkup(shellQuote(page)) + "</code></pre>\n</section>\n";

  out += replay::replayElement(replay) + "\n</body>\n</html>\n";
  return out;
}

bool writeBattlePage(const std::filesystem::path& file, const replay::Replay& replay,
                     Refusal* refusal, BattlePageOptions options) {
  const std::string name = pathToUtf8(file);
  const auto fail = [&](const std::string& why, Refusal::Kind kind = Refusal::Kind::OutOfMemory,
                        int systemError = 0) {
    return refuse(refusal, Refusal::said(kind, name + ": " + why, name, systemError));
  };
  if (options.pageName.empty()) options.pageName = pathToUtf8(file.filename());
  std::string page;
  try {
    page = battlePage(replay, options);
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  }
  // Read back as the game and momiru-lab read pages: one that would not open again as this
  // battle is never written. The bounds on each part of the page keep this from happening.
  Refusal why;
  const std::optional<replay::Replay> back = replay::parseReplay(page, &why);
  if (!back) {
    return fail("the page would not open again as its battle (" + describe(why) + ")",
                Refusal::Kind::NotAllowed);
  }
  if (replay::replayJson(*back) != replay::replayJson(replay))
    return fail("the page would not open again as the same battle", Refusal::Kind::NotAllowed);
  errno = 0;
  AtomicFile out(file);
  if (!out.created()) return fail("cannot be written", Refusal::Kind::CannotWrite, errno);
  if (!out.commit(page))
    return fail("cannot be written (disk full?)", Refusal::Kind::CannotWrite, errno);
  return true;
}

}  // namespace momiru::report
