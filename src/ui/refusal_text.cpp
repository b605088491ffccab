// The refusals in Japanese: each kind in its own words, the system's errors by their numbers.
#include "ui/refusal_text.h"

#include <QStringList>
#include <cerrno>
#include <string>
#include <utility>

namespace momiru::ui {

namespace {

// The system's words for an error number, in Japanese; empty when unknown.
QString japaneseSystemError(int error) {
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
#ifdef EDQUOT  // Windows' C library has no quota error: a full quota is a full disk there
      {EDQUOT, "使える容量を超えました"},
#endif
      {ELOOP, "リンクが多すぎるか、リンクはたどりません"},
      {EMFILE, "開いているファイルが多すぎます"},
      {ENFILE, "開いているファイルが多すぎます"},
      {ETXTBSY, "使用中のファイルです"},
  };
  for (const auto& [code, japanese] : kErrors) {
    if (error == code) return QString::fromUtf8(japanese);
  }
  return {};
}

QString withSystemError(const char* what, int error) {
  const QString why = japaneseSystemError(error);
  return why.isEmpty()
             ? QString::fromUtf8(what) + QStringLiteral("。")
             : QString::fromUtf8(what) + QStringLiteral("（") + why + QStringLiteral("）。");
}

// The kind of file in words: "リプレイ", "大会のファイル", ...
QString fileWord(std::string_view what) {
  if (what == "replay") return QStringLiteral("リプレイ");
  if (what == "tournament") return QStringLiteral("大会のファイル");
  if (what == "secret") return QStringLiteral("秘密の値のファイル");
  if (what == "index") return QStringLiteral("リプレイの一覧");
  return QStringLiteral("このゲームのファイル");
}

QString rulesText(report::RulesProblem problem) {
  switch (problem) {
    case report::RulesProblem::BestOf:
      return QStringLiteral("1試合の戦数は1、3、5、7のどれかです。");
    case report::RulesProblem::ThirdPlace:
      return QStringLiteral("3位決定戦はシングルエリミネーションだけのものです。");
    case report::RulesProblem::EliminationRounds:
      return QStringLiteral("回戦数はスイス式と総当たりだけのものです。");
    case report::RulesProblem::RoundRobinRounds:
      return QStringLiteral("総当たりは1回か2回です。");
    case report::RulesProblem::SwissRounds:
      break;
  }
  return QStringLiteral("スイス式の回戦数は1から%1です。").arg(report::kMaxSwissRounds);
}

}  // namespace

QString refusalText(const Refusal& r) {
  using K = Refusal::Kind;
  const QString file = fileWord(r.what);
  switch (r.kind) {
    case K::Folder:
      return QStringLiteral("フォルダです。%1ではありません。").arg(file);
    case K::NotRegular:
      return QStringLiteral("普通のファイルではありません。");
    case K::CannotOpen:
      return withSystemError("開けません", r.systemError);
    case K::TooLarge:
      return QStringLiteral("大きすぎて読めません。");
    case K::OutOfMemory:
      return QStringLiteral("大きすぎて読めません（メモリが足りません）。");
    case K::NotJson:
      return QStringLiteral("JSONではないか、途中で切れています（%1バイト目）。").arg(r.at);
    case K::TooDeep:
      return QStringLiteral("入れ子が深すぎます。");
    case K::DuplicateKey:
      return QStringLiteral("一つのオブジェクトに同じキーが二度あります。");
    case K::PageCutOff:
      return QStringLiteral("ページが途中で切れています。");
    case K::PageComment:
      return QStringLiteral("ページにコメントがあります。");
    case K::PageDeclaration:
      return QStringLiteral("ページに、ブラウザーがコメントとして読む部分があります。");
    case K::PageScripts:
      return QStringLiteral("ページにスクリプトが二つ以上あります。");
    case K::PageOtherScript:
      return QStringLiteral("ページのスクリプトが%1ではありません。").arg(file);
    case K::PageTextMarkup:
      return QStringLiteral("ページの文章にマークアップがあるか、途中で切れています。");
    case K::PageHidingElement:
      return QStringLiteral("ページに、ブラウザーが後ろを別の読み方で読む要素があります。");
    case K::PagePictureMarkup:
      return QStringLiteral("ページの図に、グラフのもの以外のマークアップがあります。");
    case K::PagePictureTitle:
      return QStringLiteral("ページの図の題にマークアップがあります。");
    case K::PageNone:
      return QStringLiteral("%1が載っていないページです。").arg(file);
    case K::ElementCutOff:
      return QStringLiteral("ページの中の%1が途中で切れています。").arg(file);
    case K::ElementMarkup:
      return QStringLiteral("ページの中の%1にマークアップがあります。").arg(file);
    case K::ElementTooLarge:
      return QStringLiteral("ページの中の%1が大きすぎます。").arg(file);
    case K::NotOfKind:
      return QStringLiteral("%1ではありません。").arg(file);
    case K::NewerVersion:
      return QStringLiteral("新しいバージョンのゲームで書かれた%1です。").arg(file);
    case K::UnknownVersion:
      return QStringLiteral("知らないバージョンの%1です。").arg(file);
    case K::Missing:
      return QStringLiteral("中身が正しくありません（足りない値があります）。");
    case K::WrongType:
      return QStringLiteral("中身が正しくありません（種類の違う値があります）。");
    case K::OutOfRange:
      return QStringLiteral("中身が正しくありません（範囲を超えた値があります）。");
    case K::NotAllowed:
      return QStringLiteral("中身が正しくありません（使えない値があります）。");
    case K::NoHomeFolder:
      return QStringLiteral("保存するフォルダが決まりません（XDG_DATA_HOMEもHOMEもありません）。");
    case K::CannotCreateFolder:
      return withSystemError("フォルダを作れません", r.systemError);
    case K::NotAFolder:
      return QStringLiteral("保存先がフォルダではありません。");
    case K::NotPrivate:
      return QStringLiteral(
          "保存先のフォルダが、ほかのユーザーのものか、ほかのユーザーも使えます。");
    case K::NotAFile:
      return QStringLiteral("書き込み先が普通のファイルではありません。");
    case K::IsAPage:
      return QStringLiteral("ページには書き戻しません。「保存」でファイルとして残してください。");
    case K::Exists:
      return QStringLiteral("同じ名前のファイルがあります。");
    case K::CannotWrite:
      return withSystemError("書き込めません", r.systemError);
    case K::NamesTaken:
      return QStringLiteral("空いているファイル名がありません。");
    case K::HeldElsewhere:
      return QStringLiteral("ほかのプログラム（別に起動したゲームなど）がこの大会を開いています。");
    case K::CannotHold:
      return r.systemError == 0
                 ? QStringLiteral(
                       "大会のファイルのそばの、同時に書き込まないための印のファイルが、"
                       "普通のファイルではありません。")
                 : withSystemError(
                       "大会のファイルのそばに、ほかのゲームと同時に書き込まないための"
                       "印のファイルを作れません",
                       r.systemError);
    case K::ChangedSince:
      return QStringLiteral(
          "開いた後に、ほかのゲームかプログラムが大会のファイルを書き換えました。"
          "そのファイルはそのままにしてあります。");
  }
  return QStringLiteral("中身が正しくありません。");
}

QString beaconProblemText(report::BeaconProblem problem) {
  switch (problem) {
    case report::BeaconProblem::NoNumber:
      return QStringLiteral("ビーコンは数字と宣言されていますが、数字がありません。");
    case report::BeaconProblem::LooksHex:
      return QStringLiteral(
          "ビーコンは数字と宣言されていますが、16進数（0xや、数字とa〜fの混じった語）があります。");
    case report::BeaconProblem::NotHex:
      break;
  }
  return QStringLiteral("ビーコンは16進数と宣言されていますが、16進の数字でない文字があります。");
}

QString sessionProblemText(const report::SessionProblem& p) {
  using S = report::SessionRefusal;
  const QString cause = p.cause ? refusalText(*p.cause) : QString();
  switch (p.why) {
    case S::Unreadable:
    case S::Unwritable:
    case S::Unsaved:
      return cause.isEmpty() ? QStringLiteral("ファイルを読み書きできません。") : cause;
    case S::NameTooLong:
      return QStringLiteral("大会の名前が長すぎます。");
    case S::Rules:
      return p.rules ? rulesText(*p.rules) : QStringLiteral("この規則では大会を行えません。");
    case S::Exists:
      return QStringLiteral("同じ名前の大会のファイルがあります。大会は置き換えません。");
    case S::NoRandomSource:
      return QStringLiteral("システムの乱数から秘密の値を作れません。");
    case S::Closed:
      return QStringLiteral("エントリーは締め切られています。");
    case S::NoSuchEntry:
      return QStringLiteral("そのエントリーはありません。");
    case S::FewerThanTwo:
      return QStringLiteral("エントリーが2人以上必要です。");
    case S::Full:
      return QStringLiteral("この形式の大会にはこれ以上エントリーできません。");
    case S::NotClosed:
      return QStringLiteral("エントリーがまだ締め切られていません。");
    case S::Started:
      return QStringLiteral("大会はもう始まっています。");
    case S::Finished:
      return QStringLiteral("大会はもう終わっています。");
    case S::DoesNotVerify:
      return QStringLiteral("検証できなかった大会です。");
    case S::BeaconTooLong:
      return QStringLiteral("締め切りの後に公表される値が長すぎます。");
    case S::BeaconWrongKind:
      return p.beacon ? beaconProblemText(*p.beacon)
                      : QStringLiteral("ビーコンが、宣言した種類の値ではありません。");
    case S::TooManyRounds:
      return QStringLiteral(
          "この人数のスイス式では、作成のときに決めた回戦数を行えません。"
          "エントリーを増やしてください。");
    case S::SecretUnreadable:
      return QStringLiteral("秘密の値のファイルを読めません。") + cause;
    case S::WrongSecret:
      return QStringLiteral("秘密の値が約束の値と合いません。");
    case S::SecretFileNamed:
      return QStringLiteral("約束の値のない大会に、秘密の値のファイルはありません。");
    case S::NotPlaying:
      return QStringLiteral("大会はまだ始まっていません。");
    case S::NotPlayable:
      return QStringLiteral("この規則では、次の試合を組めません。");
    case S::OutOfMemory:
      return QStringLiteral("メモリが足りません。");
    case S::HeldElsewhere:
      return QStringLiteral(
          "ほかのプログラム（別に起動したゲームなど）がこの大会を開いています。見るだけで、"
          "試合を進めることもファイルに書き込むこともできません。");
    case S::CannotHold:
      return cause + QStringLiteral(
                         "見るだけで、試合を進めることもファイルに書き込むことも"
                         "できません。");
  }
  return cause;
}

QString lookingOnlyText(const report::SessionProblem& p) {
  QString text = QStringLiteral("この大会は見るだけで開きました。\n") + sessionProblemText(p);
  if (p.why == report::SessionRefusal::HeldElsewhere)
    text += QStringLiteral("\n向こうで大会を閉じてから開き直すと、続きを進められます。");
  return text;
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
