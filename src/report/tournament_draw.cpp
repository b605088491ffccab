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

std::string commitmentOf(const std::string& secretHex) {
  return sha256Hex(hexBytes(secretHex).value_or(std::string()));
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
  if (t.beacon)
    return "秘密の値は参加締め切り前にコミットメントで固定され、締め切り後に公開されたビーコンと"
           "組み合わされています。誰も結果を選ぶことはできませんでした。";
  return "秘密の値は参加締め切り前にコミットメントで固定されていますが、ビーコンがありません。"
         "主催者は自分の参加者の変種を試して抽選を選ぶことができました。";
}

}  // namespace momiru::report
