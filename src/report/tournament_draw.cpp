// The draw's values: hex, the secret and its commitment, the entries' hashes and digest, the
// seeds derived from them, and the fairness text.
#include "report/tournament_draw.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "data/platform.h"
#include "data/strangers_file.h"
#include "data/utf8.h"
#include "report/entry_json.h"

namespace momiru::report {

using detail::entryJson;
using nlohmann::ordered_json;

std::optional<std::string> hexBytes(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]);
    const int lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

std::optional<std::string> randomSecret() {
  const std::optional<std::string> bytes = systemRandomBytes(32);
  if (!bytes) return std::nullopt;
  return hexText(*bytes);
}

std::string_view beaconKindName(BeaconKind k) { return k == BeaconKind::Hex ? "hex" : "numbers"; }

std::optional<BeaconKind> beaconKindFromName(std::string_view name) {
  for (const BeaconKind k : {BeaconKind::Numbers, BeaconKind::Hex})
    if (beaconKindName(k) == name) return k;
  return std::nullopt;
}

namespace {

// The ASCII character a beacon's character at `at` (UTF-8, `length` bytes) stands for: itself,
// or the ASCII one of a full-width digit or Latin letter (U+FF10 to U+FF5A); 0 for any other.
char asciiOf(std::string_view text, std::size_t at, std::size_t* length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  if (byte(0) < 0x80) {
    *length = 1;
    return text[at];
  }
  // Full-width forms: EF BC 90..BF is U+FF10..U+FF3F, EF BD 80..9A is U+FF40..U+FF5A.
  if (at + 2 < text.size() && byte(0) == 0xEF && (byte(1) == 0xBC || byte(1) == 0xBD) &&
      byte(2) >= 0x80 && byte(2) <= 0xBF) {
    *length = 3;
    const int code = 0xFF00 + ((byte(1) - 0xBC) << 6) + (byte(2) - 0x80);
    if (code >= 0xFF10 && code <= 0xFF5A) return static_cast<char>(code - 0xFF10 + '0');
    return 0;
  }
  // Any other character: its whole sequence, whatever its first byte says.
  std::size_t n = 1;
  while (at + n < text.size() && (static_cast<unsigned char>(text[at + n]) & 0xC0) == 0x80) ++n;
  *length = n;
  return 0;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexLetter(char c) { return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The beacon read as ASCII: each full-width digit or letter as its ASCII one, any other character
// that is not ASCII as a NUL, which no kind takes as a digit.
std::string asciiForm(std::string_view beacon) {
  std::string out;
  out.reserve(beacon.size());
  for (std::size_t at = 0, n = 0; at < beacon.size(); at += n) out += asciiOf(beacon, at, &n);
  return out;
}

}  // namespace

std::optional<std::string> canonicalBeacon(std::string_view beacon, BeaconKind kind,
                                           BeaconProblem* problem) {
  const auto refused = [&](BeaconProblem p) -> std::optional<std::string> {
    if (problem != nullptr) *problem = p;
    return std::nullopt;
  };
  const std::string ascii = asciiForm(beacon);
  std::string out;
  if (kind == BeaconKind::Hex) {
    std::size_t from = ascii.find_first_not_of(" \t\n\r\f\v");
    if (from != std::string::npos && ascii.compare(from, 2, "0x") == 0) from += 2;
    if (from != std::string::npos && ascii.compare(from, 2, "0X") == 0) from += 2;
    for (std::size_t i = from == std::string::npos ? ascii.size() : from; i < ascii.size(); ++i) {
      const char c = ascii[i];
      if (isSpace(c)) continue;
      if (!isDigit(c) && !isHexLetter(c)) return refused(BeaconProblem::NotHex);
      out += c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (out.empty()) return refused(BeaconProblem::NotHex);
    return out;
  }
  // A word (letters and digits together) that is hex rather than numbers: digits mixed with the
  // letters a to f only, or 0x and hex digits.
  for (std::size_t i = 0; i < ascii.size();) {
    if (!isDigit(ascii[i]) && !isLetter(ascii[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    bool digit = false, hexLetter = false, otherLetter = false;
    while (end < ascii.size() && (isDigit(ascii[end]) || isLetter(ascii[end]))) {
      const char c = ascii[end++];
      digit = digit || isDigit(c);
      hexLetter = hexLetter || isHexLetter(c);
      otherLetter = otherLetter || (isLetter(c) && !isHexLetter(c));
    }
    const std::string_view word(ascii.data() + i, end - i);
    const bool prefixed = word.size() > 2 &&
                          (word.substr(0, 2) == "0x" || word.substr(0, 2) == "0X") &&
                          std::all_of(word.begin() + 2, word.end(),
                                      [](char c) { return isDigit(c) || isHexLetter(c); });
    if (prefixed || (digit && hexLetter && !otherLetter)) return refused(BeaconProblem::LooksHex);
    i = end;
  }
  for (std::size_t i = 0; i < ascii.size();) {
    if (!isDigit(ascii[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < ascii.size() && isDigit(ascii[end])) ++end;
    std::size_t first = i;
    while (first + 1 < end && ascii[first] == '0') ++first;
    if (!out.empty()) out += ' ';
    out.append(ascii, first, end - first);
    i = end;
  }
  if (out.empty()) return refused(BeaconProblem::NoNumber);
  return out;
}

std::string beaconProblemText(BeaconProblem p, BeaconKind kind) {
  (void)kind;
  switch (p) {
    case BeaconProblem::NoNumber:
      return "the beacon holds no number, and this tournament's beacon is numbers";
    case BeaconProblem::LooksHex:
      return "the beacon holds hex, and this tournament's beacon is numbers";
    case BeaconProblem::NotHex:
      break;
  }
  return "the beacon is not hex digits, and this tournament's beacon is hex";
}

std::string declarationText(const Tournament& t) {
  if (!t.declared) return {};
  ordered_json j;
  j["name"] = t.name;
  j["rules"] = detail::rulesJson(t.rules);
  j["beacon_kind"] = beaconKindName(t.declared->kind);
  j["beacon_source"] = t.declared->source;
  return j.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

std::string commitmentOf(const std::string& secretHex) {
  return sha256Hex(hexBytes(secretHex).value_or(std::string()));
}

std::string commitmentOf(const Tournament& t, const std::string& secretHex) {
  if (!t.declared) return commitmentOf(secretHex);
  return sha256Hex(hexBytes(secretHex).value_or(std::string()) + declarationText(t));
}

std::string entryCanonical(const Entry& e) {
  return entryJson(e).dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

Entry makeEntry(const std::string& file, const Combatant& record) {
  Entry e;
  e.file = validUtf8(file);
  std::replace(e.file.begin(), e.file.end(), '\0', '_');
  e.record = record;
  // The game names a record "<file>の<stored name>"; the stored name is what follows.
  const std::string prefix = file + "の";
  e.storedName = validUtf8(record.name.compare(0, prefix.size(), prefix) == 0
                               ? record.name.substr(prefix.size())
                               : record.name);
  e.record.name = e.file + "の" + e.storedName;
  for (std::string& move : e.record.moveNames) move = validUtf8(move);
  e.sha256 = sha256Hex(entryCanonical(e));
  return e;
}

std::string entriesDigestOf(const std::vector<Entry>& entries) {
  std::vector<std::string> hashes;
  hashes.reserve(entries.size());
  for (const Entry& e : entries) hashes.push_back(e.sha256);
  std::sort(hashes.begin(), hashes.end());
  std::string all;
  for (const std::string& h : hashes) all += h + "\n";
  return sha256Hex(all);
}

std::string tournamentSeedOf(const std::string& secretHex, const std::string& digestHex,
                             const std::optional<std::string>& beacon) {
  return sha256Hex(hexBytes(secretHex).value_or("") + hexBytes(digestHex).value_or("") +
                   beacon.value_or(""));
}

std::optional<std::string> seedBeacon(const Tournament& t) {
  if (!t.beacon || !t.declared) return t.beacon;
  return canonicalBeacon(*t.beacon, t.declared->kind).value_or(*t.beacon);
}

std::string tournamentSeedOf(const Tournament& t, const std::string& secretHex,
                             const std::string& digestHex) {
  if (!t.declared) return tournamentSeedOf(secretHex, digestHex, t.beacon);
  return sha256Hex(hexBytes(secretHex).value_or("") + hexBytes(digestHex).value_or("") +
                   sha256Bytes(declarationText(t)) + seedBeacon(t).value_or(""));
}

std::uint64_t battleSeedOf(const std::string& seedHex, std::string_view matchId, int k) {
  const std::string digest =
      sha256Bytes(seedHex + ":" + std::string(matchId) + ":" + std::to_string(k));
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 8; ++i) v = (v << 8) | static_cast<unsigned char>(digest[i]);
  return v;
}

std::string fairnessText(const Tournament& t) {
  if (!t.commitment)
    return "コミットメントのない簡易大会です。主催者は抽選をやり直して結果を選ぶことができました。";
  // What holds, and only on the condition that can be checked against what was published.
  const std::string condition = "コミットメントが参加締め切りの前に公表されていた場合に限り、";
  if (!t.beacon)
    return "抽選は、秘密の値とエントリーの要約値から決まります。" + condition +
           "主催者は締め切りの後で抽選をやり直すことはできませんでした。ただし、ビーコンがないため"
           "、"
           "主催者は締め切りの前に自分の参加者の変種を試して抽選を選ぶことができました。";
  if (!t.declared)
    return "抽選は、秘密の値、エントリーの要約値、ビーコンから決まります。" + condition +
           "主催者は締め切りの後で抽選をやり直すことはできませんでした。ただし、この大会では"
           "ビーコンの種類が宣言されておらず、書かれたとおりの文字が抽選に入るため、主催者は同じ"
           "値の書き方（空白や記号）を変えて抽選を選ぶことができました。";
  return "抽選は、秘密の値、エントリーの要約値、大会を作ったときに種類と出所を宣言したビーコンから"
         "決まります。ビーコンは数字（16進数と宣言した大会では16進の数字）だけが抽選に入るので、"
         "空白や記号の違いで抽選は変わりません。コミットメントが参加締め切りの前に公表され、"
         "ビーコンが締め切りの後に公表された値である場合に限り、主催者にも参加者にも抽選を選ぶ"
         "ことはできませんでした。公表されたコミットメント、要約値、ビーコンをこの大会の値と見比べ"
         "て"
         "確かめてください。";
}

}  // namespace momiru::report
