// The league's reports. All three are built from the same standings; names go out as each format
// needs them: valid UTF-8 in JSON, shown visibly on a terminal (visibleText), in <bdi> in the
// page's HTML and isolated plain text in its SVG (markupName, plainName).
#include "report/league_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <utility>

#include "data/text_safety.h"
#include "report/format.h"
#include "report/json_output.h"
#include "report/translation.h"

namespace momiru::report {
namespace {

unsigned long long ull(std::uint64_t v) { return static_cast<unsigned long long>(v); }

// At most `limit` characters of `text`, with "…" when cut.
std::string shortened(const std::string& text, std::size_t limit) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (++chars > limit) return text.substr(0, i) + "…";
    i += decodeUtf8(text, i).length;
  }
  return text;
}

std::string percentText(const std::optional<double>& share) {
  return share ? format("%.1f%%", 100.0 * *share) : std::string("-");
}

std::string ratingText(double r) { return std::isfinite(r) ? format("%.1f", r) : "?"; }

// A rating's 95% interval on the page, from its low end to its high end: in Japanese, like the
// rest of the page's words, in every locale.
std::string intervalNote(double low, double high) {
  return ratingText(low) + " ～ " + ratingText(high);
}

// The text report's lines, in the user's language. Their Japanese translations are the page's
// notes below, word for word: the page keeps its own copy because it is Japanese in every locale,
// whether or not the catalogue is installed.
std::string settingsLine(const LeagueReport& report) {
  const std::size_t n = report.entrants.size();
  const std::uint64_t total = report.settings.battles * n * (n > 0 ? n - 1 : 0);
  return format(_("%zu characters, %llu battles per ordered pairing (%llu in all), seed %llu%s, at "
                  "most %d turns"),
                n, ull(report.settings.battles), ull(total), ull(report.settings.seed),
                report.settings.halve ? _(", halved damage") : "", report.settings.maxTurns);
}

std::string firstMoverLine(const RatingFit& fit) {
  return format(_("first mover (player 2) advantage: %+.1f rating points (95%% interval %+.1f to "
                  "%+.1f)"),
                fit.firstMover, fit.firstMoverLow, fit.firstMoverHigh);
}

constexpr const char* kMethodLine =
    // xgettext:no-c-format
    N_("ratings: Bradley-Terry by maximum likelihood, draws half a win, unfinished battles left "
       "out; Elo scale, mean 1500; 95% intervals from the likelihood's curvature");

constexpr const char* kWinRateLine =
    N_("win rate of each row against each column (wins and half the draws, both orders; columns "
       "by rank)");

// The page's notes, in Japanese: the same figures as the text report's lines, and the
// translations of those lines.
std::string settingsNote(const LeagueReport& report) {
  const std::size_t n = report.entrants.size();
  const std::uint64_t total = report.settings.battles * n * (n > 0 ? n - 1 : 0);
  return format(
      "%zu 体、先手と後手を決めた組み合わせごとに %llu 戦（全 %llu 戦）、シード %llu%s、"
      "最大 %d ターン",
      n, ull(report.settings.battles), ull(total), ull(report.settings.seed),
      report.settings.halve ? "、ダメージ半減" : "", report.settings.maxTurns);
}

std::string firstMoverNote(const RatingFit& fit) {
  return format("先手（プレイヤー2）の有利さ：%+.1f レーティング点（95%%区間 %+.1f ～ %+.1f）",
                fit.firstMover, fit.firstMoverLow, fit.firstMoverHigh);
}

constexpr const char* kMethodNote =
    "レーティング：Bradley-Terry モデルの最尤推定。引き分けは半分の勝ち、決着つかずの戦いは"
    "数えない。Elo の尺度で平均 1500。95%区間は尤度の曲率から";

// Cell colour of a win rate: white at one half, red towards winning, blue towards losing.
std::string heatColour(const std::optional<double>& rate) {
  if (!rate) return "#dddddd";
  const double t = std::clamp(std::abs(*rate - 0.5) * 2.0, 0.0, 1.0);
  const int target[3] = {*rate >= 0.5 ? 192 : 33, *rate >= 0.5 ? 57 : 102, *rate >= 0.5 ? 43 : 172};
  int rgb[3];
  for (int k = 0; k < 3; ++k) rgb[k] = static_cast<int>(std::lround(255 + (target[k] - 255) * t));
  return format("#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
}

std::string ratingChart(const LeagueReport& report, const std::vector<LeagueStanding>& table) {
  const RatingFit& fit = report.fit;
  double lo = kMeanRating;
  double hi = kMeanRating;
  for (const LeagueStanding& s : table) {
    for (const double v : {fit.rating[s.character], fit.low[s.character], fit.high[s.character]}) {
      if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    }
  }
  const double pad = std::max(20.0, (hi - lo) * 0.05);
  lo -= pad;
  hi += pad;
  double step = 10;
  for (const double s : {10.0, 20.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0}) {
    step = s;
    if ((hi - lo) / s <= 8) break;
  }
  const int labelWidth = 300;
  const int plotWidth = 560;
  const int rowHeight = 22;
  const int top = 30;
  const int height = top + rowHeight * static_cast<int>(table.size()) + 10;
  const int width = labelWidth + plotWidth + 30;
  const auto x = [&](double r) { return labelWidth + (r - lo) / (hi - lo) * plotWidth; };

  std::string svg = format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" width=\"%d\" height=\"%d\" "
      "viewBox=\"0 0 %d %d\" role=\"img\" aria-label=\"レーティングと95%%区間\">\n",
      width, height, width, height);
  for (double t = std::ceil(lo / step) * step; t <= hi; t += step) {
    svg += format(
        "<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" stroke=\"%s\"/>"
        "<text x=\"%.1f\" y=\"%d\" class=\"tick\" text-anchor=\"middle\">%.0f</text>\n",
        x(t), top - 8, x(t), height - 10, t == kMeanRating ? "#888888" : "#e4e4e4", x(t), top - 12,
        t);
  }
  for (std::size_t rank = 0; rank < table.size(); ++rank) {
    const std::size_t c = table[rank].character;
    const std::string name = escapeMarkup(plainName(report.entrants[c].name));
    const double y = top + rowHeight * (static_cast<double>(rank) + 0.5);
    svg += format("<g class=\"rating\" data-rank=\"%zu\">", rank + 1);
    svg += "<title>" + name + "：" + ratingText(fit.rating[c]) + "（" +
           intervalNote(fit.low[c], fit.high[c]) + "）</title>";
    svg += format(
               "<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\" dominant-baseline=\"middle\">"
               "%zu. ",
               labelWidth - 10, y, rank + 1) +
           escapeMarkup(plainName(shortened(visibleText(report.entrants[c].name), 22))) + "</text>";
    if (std::isfinite(fit.low[c]) && std::isfinite(fit.high[c])) {
      svg += format(
          "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#2166ac\" "
          "stroke-width=\"2\"/>",
          x(fit.low[c]), y, x(fit.high[c]), y);
      svg += format(
          "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#2166ac\"/>"
          "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#2166ac\"/>",
          x(fit.low[c]), y - 5, x(fit.low[c]), y + 5, x(fit.high[c]), y - 5, x(fit.high[c]), y + 5);
    }
    if (std::isfinite(fit.rating[c])) {
      svg +=
          format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"4\" fill=\"#c0392b\"/>", x(fit.rating[c]), y);
    }
    svg += "</g>\n";
  }
  svg += "</svg>\n";
  return svg;
}

std::string heatMap(const LeagueReport& report, const std::vector<LeagueStanding>& table) {
  const std::size_t n = table.size();
  const int cell = std::clamp(static_cast<int>(640 / std::max<std::size_t>(n, 1)), 8, 44);
  const bool named = cell >= 14;
  const int labelWidth = named ? 290 : 40;
  const int top = 40;
  const int size = cell * static_cast<int>(n);
  const int width = labelWidth + size + 10;
  const int height = top + size + 50;
  const std::size_t labelEvery = cell >= 14 ? 1 : 5;
  const double fontSize = std::min(13.0, std::max(8.0, cell * 0.6));
  std::string svg = format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"heatmap\" width=\"%d\" height=\"%d\" "
      "viewBox=\"0 0 %d %d\" role=\"img\" aria-label=\"組み合わせごとの勝率\" "
      "font-size=\"%.0f\">\n",
      width, height, width, height, fontSize);
  for (std::size_t k = 0; k < n; ++k) {
    if ((k + 1) % labelEvery != 0 && k != 0) continue;
    const double centre = labelWidth + cell * (static_cast<double>(k) + 0.5);
    svg += format("<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%zu</text>\n", centre, top - 8,
                  k + 1);
  }
  for (std::size_t row = 0; row < n; ++row) {
    const std::size_t r = table[row].character;
    const double y = top + cell * static_cast<double>(row);
    if (named || (row + 1) % labelEvery == 0 || row == 0) {
      std::string label = format("%zu", row + 1);
      if (named) label += ". " + plainName(shortened(visibleText(report.entrants[r].name), 22));
      svg += format("<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\" dominant-baseline=\"middle\">",
                    labelWidth - 6, y + cell / 2.0) +
             escapeMarkup(label) + "</text>\n";
    }
    for (std::size_t col = 0; col < n; ++col) {
      const std::size_t c = table[col].character;
      const double x = labelWidth + cell * static_cast<double>(col);
      if (row == col) {
        svg += format("<rect x=\"%.0f\" y=\"%.0f\" width=\"%d\" height=\"%d\" fill=\"#f4f4f4\"/>",
                      x, y, cell, cell);
        continue;
      }
      const std::optional<double> rate = pairwiseWinRate(report.results, r, c);
      svg += format(
                 "<rect class=\"cell\" x=\"%.0f\" y=\"%.0f\" width=\"%d\" height=\"%d\" "
                 "fill=\"%s\"><title>",
                 x, y, cell, cell, heatColour(rate).c_str()) +
             escapeMarkup(plainName(report.entrants[r].name)) + " 対 " +
             escapeMarkup(plainName(report.entrants[c].name)) + "：" + percentText(rate) +
             "</title></rect>";
      if (cell >= 40 && rate) {
        svg += format(
            "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" "
            "dominant-baseline=\"middle\" font-size=\"11\">%.0f</text>",
            x + cell / 2.0, y + cell / 2.0, 100.0 * *rate);
      }
    }
    svg += "\n";
  }
  // The legend: the colour scale from 0% to 100%.
  const int legendY = top + size + 16;
  for (int k = 0; k <= 10; ++k) {
    svg += format("<rect x=\"%d\" y=\"%d\" width=\"20\" height=\"12\" fill=\"%s\"/>",
                  labelWidth + 20 * k, legendY, heatColour(k / 10.0).c_str());
  }
  svg += format("<text x=\"%d\" y=\"%d\" text-anchor=\"end\">0%%</text>", labelWidth - 4,
                legendY + 10);
  svg +=
      format("<text x=\"%d\" y=\"%d\">100%%（行の勝ち）</text>\n", labelWidth + 226, legendY + 10);
  svg += "</svg>\n";
  return svg;
}

}  // namespace

std::optional<double> pairwiseWinRate(const LeagueResults& results, std::size_t row,
                                      std::size_t column) {
  const std::size_t n = results.characters;
  if (row == column || row >= n || column >= n) return std::nullopt;
  const PairingResult& asFirst = results.results[row * n + column];   // row is player 1
  const PairingResult& asSecond = results.results[column * n + row];  // row is player 2
  const std::uint64_t finished = asFirst.finished() + asSecond.finished();
  if (finished == 0) return std::nullopt;
  const double score = static_cast<double>(asFirst.player1Wins + asSecond.player2Wins) +
                       0.5 * static_cast<double>(asFirst.draws + asSecond.draws);
  return score / static_cast<double>(finished);
}

std::vector<LeagueStanding> standings(const LeagueReport& report) {
  const std::size_t n = report.results.characters;
  std::vector<LeagueStanding> table(n);
  for (std::size_t c = 0; c < n; ++c) {
    LeagueStanding& s = table[c];
    s.character = c;
    std::uint64_t turns = 0;
    for (std::size_t o = 0; o < n; ++o) {
      if (o == c) continue;
      const PairingResult& first = report.results.results[c * n + o];
      const PairingResult& second = report.results.results[o * n + c];
      s.wins += first.player1Wins + second.player2Wins;
      s.losses += first.player2Wins + second.player1Wins;
      s.draws += first.draws + second.draws;
      s.unfinished += first.unfinished + second.unfinished;
      turns += first.turnSum + second.turnSum;
    }
    const std::uint64_t finished = s.wins + s.draws + s.losses;
    if (finished > 0) {
      s.winShare = (static_cast<double>(s.wins) + 0.5 * static_cast<double>(s.draws)) /
                   static_cast<double>(finished);
      s.meanTurns = static_cast<double>(turns) / static_cast<double>(finished);
    }
  }
  std::stable_sort(table.begin(), table.end(),
                   [&](const LeagueStanding& a, const LeagueStanding& b) {
                     return report.fit.rating[a.character] > report.fit.rating[b.character];
                   });
  return table;
}

std::string textReport(const LeagueReport& report) {
  const std::vector<LeagueStanding> table = standings(report);
  const RatingFit& fit = report.fit;
  std::string out = format(_("league: %s"), settingsLine(report).c_str()) + "\n" +
                    translated(kMethodLine) + "\n" + firstMoverLine(fit) + "\n\n";
  // TRANSLATORS: the table's column headings, each right-aligned in its column with a space
  // before it: rank 4 columns wide, rating 9, 95% interval 19, wins 11, draws 10, losses 10,
  // unfinished 11, win share 11, mean turns 12 (a wide character takes two).
  const std::pair<const char*, std::size_t> headings[] = {{_("rank"), 4},
                                                          {_("rating"), 9},
                                                          // xgettext:no-c-format
                                                          {_("95% interval"), 19},
                                                          {_("wins"), 11},
                                                          {_("draws"), 10},
                                                          {_("losses"), 10},
                                                          {_("unfinished"), 11},
                                                          {_("win share"), 11},
                                                          {_("mean turns"), 12}};
  for (const auto& [heading, width] : headings) out += padLeft(heading, width);
  out += "  " + std::string(_("name")) + "\n";
  for (std::size_t rank = 0; rank < table.size(); ++rank) {
    const LeagueStanding& s = table[rank];
    const std::size_t c = s.character;
    // TRANSLATORS: a row of the table; the words between the numbers keep their widths.
    out += format(_("%4zu %8s  %7s to %-7s %9llu %9llu %9llu %10llu %10s %11s  "), rank + 1,
                  ratingText(fit.rating[c]).c_str(), ratingText(fit.low[c]).c_str(),
                  ratingText(fit.high[c]).c_str(), ull(s.wins), ull(s.draws), ull(s.losses),
                  ull(s.unfinished), percentText(s.winShare).c_str(),
                  s.meanTurns ? format("%.2f", *s.meanTurns).c_str() : "-");
    out += visibleText(report.entrants[c].name) + "\n";
  }
  out += "\n" + std::string(translated(kWinRateLine)) + "\n";
  out += padLeft(_("rank"), 4);
  for (std::size_t col = 0; col < table.size(); ++col) out += format(" %6zu", col + 1);
  out += "  " + std::string(_("name")) + "\n";
  for (std::size_t row = 0; row < table.size(); ++row) {
    out += format("%4zu", row + 1);
    for (std::size_t col = 0; col < table.size(); ++col) {
      if (row == col) {
        out += "      -";
        continue;
      }
      const auto rate = pairwiseWinRate(report.results, table[row].character, table[col].character);
      out += format(" %6s", percentText(rate).c_str());
    }
    out += "  " + visibleText(report.entrants[table[row].character].name) + "\n";
  }
  return out;
}

std::string jsonReport(const LeagueReport& report) {
  const std::vector<LeagueStanding> table = standings(report);
  const RatingFit& fit = report.fit;
  const std::size_t n = report.entrants.size();
  Json j;
  j["seed"] = report.settings.seed;
  j["battles"] = report.settings.battles;
  j["halve"] = report.settings.halve;
  j["max_turns"] = report.settings.maxTurns;
  j["characters"] = static_cast<std::uint64_t>(n);
  j["total_battles"] = report.settings.battles * n * (n > 0 ? n - 1 : 0);
  j["method"] = "bradley-terry maximum likelihood, elo scale, observed information";
  j["converged"] = fit.converged;
  Json& firstMover = j["first_mover"];
  firstMover["rating_points"] = jsonNumber(fit.firstMover);
  firstMover["ci95"] = {jsonNumber(fit.firstMoverLow), jsonNumber(fit.firstMoverHigh)};
  Json ranking = Json::array();
  for (std::size_t rank = 0; rank < table.size(); ++rank) {
    const LeagueStanding& s = table[rank];
    const std::size_t c = s.character;
    Json row;
    row["rank"] = static_cast<std::uint64_t>(rank + 1);
    row["name"] = report.entrants[c].name;
    row["file"] = report.entrants[c].file;
    row["rating"] = jsonNumber(fit.rating[c]);
    row["ci95"] = {jsonNumber(fit.low[c]), jsonNumber(fit.high[c])};
    row["wins"] = s.wins;
    row["draws"] = s.draws;
    row["losses"] = s.losses;
    row["unfinished"] = s.unfinished;
    row["win_share"] = jsonNumber(s.winShare);
    row["mean_turns"] = jsonNumber(s.meanTurns);
    ranking.push_back(std::move(row));
  }
  j["ranking"] = std::move(ranking);
  // Rows and columns in rank order, as in the ranking.
  Json winRates = Json::array();
  for (std::size_t row = 0; row < table.size(); ++row) {
    Json rates = Json::array();
    for (std::size_t col = 0; col < table.size(); ++col) {
      rates.push_back(
          jsonNumber(pairwiseWinRate(report.results, table[row].character, table[col].character)));
    }
    winRates.push_back(std::move(rates));
  }
  j["win_rates"] = std::move(winRates);
  Json leftOut = Json::array();
  for (const LeftOut& l : report.leftOut) {
    Json entry;
    entry["file"] = l.file;
    entry["reason"] = l.reason;
    leftOut.push_back(std::move(entry));
  }
  j["left_out"] = std::move(leftOut);
  return jsonText(std::move(j)) + "\n";
}

std::string htmlReport(const LeagueReport& report) {
  const std::vector<LeagueStanding> table = standings(report);
  const RatingFit& fit = report.fit;
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\"/>\n"
      "<title>momiru-lab リーグ戦</title>\n<style>\n"
      "body { font-family: \"Noto Sans CJK JP\", \"Noto Sans JP\", \"IPAexGothic\", "
      "\"IPAPGothic\", \"Hiragino Sans\", \"Yu Gothic\", Meiryo, sans-serif; margin: 24px; color: "
      "#222; }\n"
      "table { border-collapse: collapse; }\n"
      "th, td { padding: 2px 8px; border-bottom: 1px solid #ddd; }\n"
      "td.n { text-align: right; font-variant-numeric: tabular-nums; }\n"
      "th { background: #f0f0f0; }\n"
      "svg { font-family: inherit; font-size: 13px; }\n"
      "svg .tick { fill: #666; font-size: 11px; }\n"
      "</style>\n</head>\n<body>\n<h1>リーグ戦</h1>\n";
  out += "<p>" + escapeMarkup(settingsNote(report)) + "。</p>\n";
  out += "<p>" + escapeMarkup(kMethodNote) + "。</p>\n";
  out += "<p>" + escapeMarkup(firstMoverNote(fit)) + "。</p>\n";
  if (!report.leftOut.empty()) {
    out += "<p>使えなかったファイル：</p>\n<ul>\n";
    for (const LeftOut& l : report.leftOut) {
      out += "<li>" + markupName(l.file) + ": " + escapeMarkup(visibleText(l.reason)) + "</li>\n";
    }
    out += "</ul>\n";
  }
  out +=
      "<h2>順位表</h2>\n<table>\n<tr><th>順位</th><th>名前</th><th>レーティング</th>"
      "<th>95%区間</th><th>勝ち</th><th>引き分け</th><th>負け</th><th>決着つかず</th>"
      "<th>勝ち点の割合</th><th>平均ターン数</th></tr>\n";
  for (std::size_t rank = 0; rank < table.size(); ++rank) {
    const LeagueStanding& s = table[rank];
    const std::size_t c = s.character;
    out += format("<tr><td class=\"n\">%zu</td><td>", rank + 1) +
           markupName(report.entrants[c].name) + "</td>";
    out += "<td class=\"n\">" + ratingText(fit.rating[c]) + "</td><td class=\"n\">" +
           intervalNote(fit.low[c], fit.high[c]) + "</td>";
    out += format(
        "<td class=\"n\">%llu</td><td class=\"n\">%llu</td><td class=\"n\">%llu</td>"
        "<td class=\"n\">%llu</td>",
        ull(s.wins), ull(s.draws), ull(s.losses), ull(s.unfinished));
    out += "<td class=\"n\">" + escapeMarkup(percentText(s.winShare)) + "</td><td class=\"n\">" +
           (s.meanTurns ? format("%.2f", *s.meanTurns) : std::string("-")) + "</td></tr>\n";
  }
  out += "</table>\n<h2>レーティングと95%区間</h2>\n" + ratingChart(report, table);
  out +=
      "<h2>勝率</h2>\n<p>各行のキャラクターが各列のキャラクターから得た点の割合（勝ちと"
      "引き分けの半分、先手と後手の両方）。並びは順位の順。</p>\n" +
      heatMap(report, table);
  out += "</body>\n</html>\n";
  return out;
}

}  // namespace momiru::report
