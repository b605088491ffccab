// The tournament page: one self-contained page in Japanese with the bracket as SVG, the tables,
// the standings, every match and battle, the entries with their portraits, and the tournament
// file itself, so that verify and the game read the page as the tournament.
#include "report/tournament_page.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "data/strangers_file.h"
#include "data/text_safety.h"
#include "report/battle_page.h"
#include "report/bracket_layout.h"
#include "report/text_file.h"
#include "report/tournament_draw.h"
#include "report/tournament_file.h"
#include "report/tournament_words.h"

namespace momiru::report {

namespace {

using momiru::escapeMarkup;

// An entry's number as people count, from #1 for the first entry; the file counts from 0.
std::string entryNumber(int e) { return "#" + std::to_string(e + 1); }

// "#3 name": the number tells entries with equal names apart.
std::string entryMarkup(const Tournament& t, const std::optional<int>& e) {
  if (!e) return "<span class=\"bye\">不戦勝</span>";
  const Entry& entry = t.entries[static_cast<std::size_t>(*e)];
  return "<span class=\"no\">" + entryNumber(*e) + "</span> " + markupName(entry.storedName);
}

// The same as plain SVG text: the number and the name, cut to fit a box.
std::string entrySvgText(const Tournament& t, const std::optional<int>& e) {
  if (!e) return "不戦勝";
  const Entry& entry = t.entries[static_cast<std::size_t>(*e)];
  std::string name = momiru::plainName(entry.storedName);
  // At most 12 characters of the name.
  std::size_t chars = 0;
  std::size_t cut = 0;
  while (cut < name.size() && chars < 12) {
    ++cut;
    while (cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) ++cut;
    ++chars;
  }
  if (cut < name.size()) name = name.substr(0, cut) + "…";
  return entryNumber(*e) + " " + escapeMarkup(name);
}

std::string points(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// One bracket as columns of match boxes, a column a round, each match centred between the two
// that feed it.
std::string bracketSvg(const Tournament& t, const std::set<Bracket>& brackets,
                       std::string_view title) {
  std::map<int, std::vector<const Match*>> rounds;
  for (const Match& m : t.matches)
    if (brackets.count(m.bracket) != 0) rounds[m.round].push_back(&m);
  if (rounds.empty()) return {};
  std::size_t tallest = 0;
  for (const auto& [r, ms] : rounds) tallest = std::max(tallest, ms.size());
  constexpr int kBoxW = 210, kBoxH = 36, kGapX = 30, kRowH = 44;
  const int width = static_cast<int>(rounds.size()) * (kBoxW + kGapX) + 10;
  const int height = static_cast<int>(tallest) * kRowH + 30;
  std::string out = "<h3>" + std::string(title) +
                    "</h3>\n<svg class=\"bracket\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    std::to_string(width) + "\" height=\"" + std::to_string(height) +
                    "\" role=\"img\" aria-label=\"" + std::string(title) + "\">\n";
  int column = 0;
  for (const auto& [round, ms] : rounds) {
    const int x = 5 + column * (kBoxW + kGapX);
    out += "<text x=\"" + std::to_string(x) + "\" y=\"14\" class=\"head\">" +
           std::to_string(round) + "回戦</text>\n";
    const double slot = static_cast<double>(height - 24) / static_cast<double>(ms.size());
    for (std::size_t j = 0; j < ms.size(); ++j) {
      const Match& m = *ms[j];
      const int y = 20 + static_cast<int>(slot * (static_cast<double>(j) + 0.5)) - kBoxH / 2;
      out += "<g><title>" + escapeMarkup(m.id) + "</title><rect x=\"" + std::to_string(x) +
             "\" y=\"" + std::to_string(y) + "\" width=\"" + std::to_string(kBoxW) +
             "\" height=\"" + std::to_string(kBoxH) + "\"/>";
      // The battles each side won, at the box's right edge, once the match has battles.
      const std::array<int, 2> score = battlesWon(m);
      for (std::size_t s = 0; s < 2; ++s) {
        const bool won = m.winner && m.players[s] == m.winner;
        const std::string baseline = std::to_string(y + 14 + static_cast<int>(s) * 16);
        out += "<text x=\"" + std::to_string(x + 4) + "\" y=\"" + baseline + "\"" +
               (won ? " class=\"won\"" : "") + ">" + entrySvgText(t, m.players[s]) + "</text>";
        if (!m.battles.empty())
          out += "<text x=\"" + std::to_string(x + kBoxW - 6) + "\" y=\"" + baseline +
                 "\" class=\"" + (won ? "score won" : "score") + "\">" + std::to_string(score[s]) +
                 "</text>";
      }
      if (column > 0)
        out += "<line x1=\"" + std::to_string(x - kGapX) + "\" y1=\"" +
               std::to_string(y + kBoxH / 2) + "\" x2=\"" + std::to_string(x) + "\" y2=\"" +
               std::to_string(y + kBoxH / 2) + "\"/>";
      out += "</g>\n";
    }
    ++column;
  }
  return out + "</svg>\n";
}

// A few characters of `text` from byte `at`, quoted, as a line of a terminal may show them.
std::string excerpt(std::string_view text, std::size_t at) {
  // From the start of the character `at` falls in, 40 bytes and the rest of the last character.
  while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
  std::size_t end = std::min(text.size(), at + 40);
  while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  return "'" + momiru::visibleText(text.substr(at, end - at)) + "'";
}

// Whether `page` embeds a portrait of `t` that cannot be found here.
bool missingPortrait(std::string_view page, const Tournament& t,
                     const report::BattlePageOptions& options) {
  std::set<std::int32_t> used;
  for (const Entry& e : t.entries) used.insert(e.record.portrait);
  for (const std::int32_t p : used)
    if (page.find(".pic" + std::to_string(p) + " { background-image") != std::string_view::npos &&
        report::portraitUri(p, options).empty())
      return true;
  return false;
}

std::string fairnessSection(const Tournament& t) {
  std::string out = "<section><h2>公正さ</h2>\n<p>" + escapeMarkup(fairnessText(t)) + "</p>\n<dl>";
  const auto row = [&out](const char* key, const std::optional<std::string>& v) {
    out += "<dt>" + std::string(key) + "</dt><dd><code>" +
           (v ? "<bdi>" + escapeMarkup(*v) + "</bdi>" : std::string("なし")) + "</code></dd>";
  };
  row("コミットメント", t.commitment);
  row("参加者ダイジェスト", t.entriesDigest);
  row("秘密の値", t.secret);
  if (t.declared) {
    row("ビーコンの種類", std::string(t.declared->kind == BeaconKind::Hex ? "16進数" : "数字"));
    row("ビーコンの出所",
        t.declared->source.empty() ? std::nullopt : std::optional(t.declared->source));
    row("ビーコン（入力どおり）", t.beacon);
    row("抽選に入るビーコン", seedBeacon(t));
  } else {
    row("ビーコン", t.beacon);
  }
  row("大会シード", t.seed);
  return out +
         "</dl>\n<p>確かめ方: <code>momiru-lab tournament verify このページ.html --commitment "
         "公表されたコミットメント --digest 公表された参加者ダイジェスト</code></p></section>\n";
}

std::string standingsSection(const Tournament& t) {
  if (t.standings.empty()) return {};
  std::string out =
      "<section><h2>順位</h2>\n<table><thead><tr><th>順位</th><th>参加者</th><th>点</th>";
  for (const auto& [tieBreak, v] : t.standings.front().tieBreaks)
    out += "<th>" + std::string(tieBreakWords(tieBreak)) + "</th>";
  out += "</tr></thead><tbody>\n";
  for (const Standing& s : t.standings) {
    out += "<tr><td>" + std::to_string(s.rank) + "</td><td>" + entryMarkup(t, s.entry) +
           "</td><td>" + points(s.points) + "</td>";
    for (const auto& [tieBreak, v] : s.tieBreaks) out += "<td>" + points(v) + "</td>";
    out += "</tr>\n";
  }
  return out + "</tbody></table></section>\n";
}

// A cross table: one row an entry, one column an opponent; ○ won, ● lost, △ drawn.
std::string crossTable(const Tournament& t) {
  const std::size_t n = t.entries.size();
  std::vector<std::string> cell(n * n);
  for (const Match& m : t.matches) {
    if (!m.players[0] || !m.players[1]) continue;
    const auto a = static_cast<std::size_t>(*m.players[0]);
    const auto b = static_cast<std::size_t>(*m.players[1]);
    const char* forA = !m.winner ? "△" : (*m.winner == *m.players[0] ? "○" : "●");
    const char* forB = !m.winner ? "△" : (*m.winner == *m.players[1] ? "○" : "●");
    cell[a * n + b] += forA;
    cell[b * n + a] += forB;
  }
  std::string out = "<section><h2>対戦表</h2>\n<table class=\"cross\"><thead><tr><th></th>";
  for (std::size_t j = 0; j < n; ++j) out += "<th>" + entryNumber(static_cast<int>(j)) + "</th>";
  out += "</tr></thead><tbody>\n";
  for (std::size_t i = 0; i < n; ++i) {
    out += "<tr><th>" + entryMarkup(t, static_cast<int>(i)) + "</th>";
    for (std::size_t j = 0; j < n; ++j)
      out += "<td>" + (i == j ? std::string("—") : cell[i * n + j]) + "</td>";
    out += "</tr>\n";
  }
  return out + "</tbody></table></section>\n";
}

std::string matchesSection(const Tournament& t, bool byRound) {
  std::string out = std::string("<section><h2>") + (byRound ? "ラウンドごとの対戦" : "全試合") +
                    "</h2>\n<table class=\"matches\"><thead><tr><th>試合</th><th>先</th><th>後</th>"
                    "<th>各戦 (勝者・手数)</th><th>勝者</th></tr></thead><tbody>\n";
  int round = -1;
  std::optional<Bracket> bracket;
  for (const Match& m : t.matches) {
    if (byRound && (m.round != round || m.bracket != bracket))
      out += "<tr class=\"round\"><th colspan=\"5\">第" + std::to_string(m.round) +
             "ラウンド</th></tr>\n";
    round = m.round;
    bracket = m.bracket;
    std::string battles;
    for (std::size_t k = 0; k < m.battles.size(); ++k) {
      const BattleRecord& b = m.battles[k];
      battles += (k ? "、" : "") + (b.winner ? entryNumber(*b.winner) : std::string("引き分け")) +
                 "・" + std::to_string(b.turns) + "手";
    }
    out += "<tr><td>" + escapeMarkup(m.id) + "</td><td>" + entryMarkup(t, m.players[0]) +
           "</td><td>" + entryMarkup(t, m.players[1]) + "</td><td>" + battles + "</td><td>" +
           (m.winner ? entryMarkup(t, m.winner) : std::string("引き分け")) + "</td></tr>\n";
  }
  return out + "</tbody></table></section>\n";
}

// Each portrait once, as a class in the style sheet; the entries name the class.
std::string portraitStyles(const Tournament& t, const report::BattlePageOptions& options) {
  std::set<std::int32_t> used;
  for (const Entry& e : t.entries) used.insert(e.record.portrait);
  std::string out;
  for (const std::int32_t p : used) {
    const std::string uri = report::portraitUri(p, options);
    if (!uri.empty())
      out += ".pic" + std::to_string(p) + " { background-image: url(" + uri + "); }\n";
  }
  return out;
}

std::string entriesSection(const Tournament& t) {
  std::string out = "<section><h2>参加者</h2>\n<ul class=\"entries\">\n";
  for (std::size_t i = 0; i < t.entries.size(); ++i) {
    const Entry& e = t.entries[i];
    out += "<li><div class=\"pic pic" + std::to_string(e.record.portrait) +
           "\" role=\"img\" aria-label=\"" + escapeMarkup(plainName(e.storedName)) + "\"></div>" +
           entryMarkup(t, static_cast<int>(i)) + "<br/><small>" + markupName(e.file) + " Lv" +
           std::to_string(e.record.level) + "</small></li>\n";
  }
  return out + "</ul></section>\n";
}

}  // namespace

std::string tournamentPage(const Tournament& t, const report::BattlePageOptions& options,
                           PageVerdict verdict) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"ja\" xmlns=\"http://www.w3.org/1999/xhtml\">\n<head>\n"
      "<meta charset=\"utf-8\"/>\n<meta name=\"viewport\" content=\"width=device-width\"/>\n"
      "<title>" +
      escapeMarkup(plainName(t.name)) +
      "</title>\n<style>\n"
      "body { font-family: sans-serif; margin: 1em 2em; color: #222; }\n"
      "table { border-collapse: collapse; margin: .5em 0; }\n"
      "td, th { border: 1px solid #ccc; padding: 2px 6px; text-align: left; }\n"
      "tr.round th { background: #eef; }\n"
      ".cross td { text-align: center; }\n"
      ".no { color: #666; }\n.bye { color: #999; }\n"
      "svg.bracket rect { fill: #fff; stroke: #888; }\n"
      "svg.bracket line { stroke: #888; }\n"
      "svg.bracket text { font-size: 12px; fill: #333; }\n"
      "svg.bracket text.won { font-weight: bold; fill: #000; }\n"
      "svg.bracket text.head { font-weight: bold; }\n"
      "svg.bracket text.score { text-anchor: end; }\n"
      ".scroll { overflow-x: auto; }\n"
      "p.not-verified { color: #b00000; font-weight: bold; border: 2px solid #b00000; "
      "padding: .5em; }\n"
      "ul.entries { list-style: none; padding: 0; display: flex; flex-wrap: wrap; }\n"
      "ul.entries li { width: 120px; margin: 4px; font-size: 12px; }\n"
      ".pic { width: 80px; height: 92px; background: #f4f4f4 center / contain no-repeat; }\n" +
      portraitStyles(t, options) + "</style>\n</head>\n<body>\n";
  // Said before anything the page shows of the tournament.
  if (verdict == PageVerdict::NotVerified)
    out +=
        "<p class=\"not-verified\" role=\"alert\"><strong>検証できなかった大会です。</strong>"
        "以下はファイルの主張で、行われた大会とは限りません。</p>\n";
  out += "<h1>" + markupName(t.name) + "</h1>\n<p>" + std::string(formatWords(t.rules.format)) +
         "、1試合 " + std::to_string(t.rules.bestOf) + " 戦（過半数を勝った側の勝ち）、参加 " +
         std::to_string(t.entries.size()) + " 人" + (t.rules.halve ? "、ダメージ半減" : "") +
         "</p>\n";
  out += fairnessSection(t);
  switch (t.rules.format) {
    case Format::Single:
      out += "<section><h2>トーナメント表</h2><div class=\"scroll\">" +
             bracketSvg(t, {Bracket::Winners, Bracket::Final, Bracket::ThirdPlace},
                        "本戦（最終列は決勝と3位決定戦）") +
             "</div></section>\n";
      break;
    case Format::Double:
      out += "<section><h2>トーナメント表</h2><div class=\"scroll\">" +
             bracketSvg(t, {Bracket::Winners}, bracketWords(Bracket::Winners, Format::Double)) +
             bracketSvg(t, {Bracket::Losers}, bracketWords(Bracket::Losers, Format::Double)) +
             bracketSvg(t, {Bracket::Final}, bracketWords(Bracket::Final, Format::Double)) +
             "</div></section>\n";
      break;
    case Format::RoundRobin:
      out += crossTable(t);
      break;
    case Format::Swiss:
      break;
  }
  out += standingsSection(t);
  out += matchesSection(t, t.rules.format == Format::Swiss);
  out += entriesSection(t);
  out += "<script type=\"application/json\" id=\"momiru-tournament\">" + tournamentJsonForPage(t) +
         "</script>\n</body>\n</html>\n";
  return out;
}

bool writeTournamentPage(const std::filesystem::path& file, const Tournament& t, Refusal* refusal,
                         const report::BattlePageOptions& options, PageVerdict verdict) {
  return writeTextFile(file, tournamentPage(t, options, verdict), false, refusal);
}

std::optional<std::string> pageDifference(std::string_view text, const Tournament& t,
                                          const report::BattlePageOptions& options) {
  if (!looksLikePage(text).value_or(false)) return std::nullopt;
  const std::string want = tournamentPage(t, options);
  if (text == want) return std::nullopt;
  const std::size_t at = static_cast<std::size_t>(
      std::mismatch(text.begin(), text.end(), want.begin(), want.end()).first - text.begin());
  const auto line = std::to_string(1 + std::count(text.begin(), text.begin() + at, '\n'));
  std::string said;
  if (at == want.size()) {
    said = "the page goes on after its end, at line " + line;
  } else if (at == text.size()) {
    said = "the page stops short at line " + line;
  } else {
    said = "line " + line + " holds " + excerpt(text, at) + " where this version writes " +
           excerpt(want, at);
  }
  said += ": what the page shows is not the page this version writes from its data";
  if (missingPortrait(text, t, options))
    said += " (the game's pictures, which the page embeds, are not found here)";
  return said +
         "; a page another version of the game wrote differs as well, and its data, which "
         "verifies, gives this version's page with 'momiru-lab tournament show PAGE --html "
         "NEW.html'";
}

std::optional<std::string> pageFileDifference(const std::filesystem::path& file,
                                              const Tournament& t,
                                              const report::BattlePageOptions& options) {
  Refusal refusal;
  const std::optional<std::string> text =
      readStrangersFile(file, kTournamentMaxBytes, kTournamentMaxBytes, "tournament", &refusal);
  if (!text) return "the page cannot be read again to compare what it shows";
  if (!looksLikePage(*text).value_or(false)) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".html" || extension == ".htm" || extension == ".xhtml")
      return "the file is named as a page but holds the tournament's JSON, which a browser "
             "would show as markup";
    return std::nullopt;
  }
  return pageDifference(*text, t, options);
}

}  // namespace momiru::report
