// The English reasons mapped to Japanese: each family of reason by its fixed start, the system's
// error texts by their error numbers.
#include "ui/reason_text.h"

#include <QStringList>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace momiru::ui {

namespace {

bool startsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// The system's words for an error, as std::strerror gives them, in Japanese; empty when unknown.
QString japaneseSystemError(std::string_view text) {
  static const std::pair<int, const char*> kErrors[] = {
      {ENOENT, "フォルダかファイルがありません"},
      {EACCES, "アクセスする権限がありません"},
      {EPERM, "許可されていない操作です"},
      {ENOSPC, "ディスクに空きがありません"},
      {EROFS, "読み込み専用の場所です"},
      {EISDIR, "フォルダです"},
      {ENOTDIR, "途中の名前がフォルダではありません"},
      {ENAMETOOLONG, "名前が長すぎます"},
      {EEXIST, "同じ名前のものがあります"},
      {EIO, "読み書きの途中でエラーが起きました"},
      {EDQUOT, "使える容量を超えました"},
  };
  for (const auto& [code, japanese] : kErrors) {
    if (text == std::strerror(code)) return QString::fromUtf8(japanese);
  }
  return {};
}

// The part after the last ": ", where the writers put the system's words.
std::string_view afterColon(std::string_view text) {
  const std::size_t colon = text.rfind(": ");
  return colon == std::string_view::npos ? std::string_view{} : text.substr(colon + 2);
}

QString withSystemError(const char* what, std::string_view reason) {
  const QString why = japaneseSystemError(afterColon(reason));
  return why.isEmpty()
             ? QString::fromUtf8(what) + QStringLiteral("。")
             : QString::fromUtf8(what) + QStringLiteral("（") + why + QStringLiteral("）。");
}

}  // namespace

QString japaneseReason(std::string_view reason) {
  if (startsWith(reason, "not JSON, or cut off (at byte ")) {
    std::string_view rest = reason.substr(std::strlen("not JSON, or cut off (at byte "));
    const std::string byte(rest.substr(0, rest.find(')')));
    return QStringLiteral("JSONではないか、途中で切れています（%1バイト目）。")
        .arg(QString::fromStdString(byte));
  }
  const std::pair<const char*, const char*> kStarts[] = {
      {"written by a newer version", "新しいバージョンのゲームで書かれたリプレイです。"},
      {"unknown replay version", "知らないバージョンのリプレイです。"},
      {"not a replay", "リプレイではありません。"},
      {"a folder, not a replay file", "フォルダです。リプレイのファイルではありません。"},
      {"not a regular file", "普通のファイルではありません。"},
      {"nested more than", "入れ子が深すぎます。"},
      {"too large to read", "大きすぎて読めません。"},
      {"larger than", "大きすぎて読めません。"},
      {"the page is cut off", "ページが途中で切れています。"},
      {"the replay in the page is cut off", "ページの中のリプレイが途中で切れています。"},
      {"the replay in the page is larger", "ページの中のリプレイが大きすぎます。"},
      {"a text in the page holds markup",
       "ページの文章にマークアップがあるか、途中で切れています。"},
  };
  for (const auto& [start, japanese] : kStarts) {
    if (startsWith(reason, start)) return QString::fromUtf8(japanese);
  }
  if (startsWith(reason, "cannot be opened")) return withSystemError("開けません", reason);
  if (startsWith(reason, "cannot write")) return withSystemError("書き込めません", reason);
  if (startsWith(reason, "cannot create")) {
    return withSystemError("リプレイのフォルダを作れません", reason);
  }
  if (startsWith(reason, "cannot save")) return withSystemError("リプレイを保存できません", reason);
  return QStringLiteral("中身が正しくありません。");
}

QString japaneseMismatch(std::string_view keys) {
  static const std::pair<std::string_view, const char*> kWords[] = {
      {"winner", "勝者"},    {"loser", "敗者"},        {"draw", "引き分け"},   {"finished", "決着"},
      {"turns", "ターン数"}, {"final_hp", "最後のHP"}, {"log_sha256", "ログ"},
  };
  QStringList words;
  std::size_t at = 0;
  while (at <= keys.size()) {
    std::size_t end = keys.find(", ", at);
    if (end == std::string_view::npos) end = keys.size();
    const std::string_view key = keys.substr(at, end - at);
    QString word = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
    for (const auto& [english, japanese] : kWords) {
      if (key == english) word = QString::fromUtf8(japanese);
    }
    if (!key.empty()) words.append(word);
    at = end + 2;
  }
  return words.join(QStringLiteral("、"));
}

}  // namespace momiru::ui
