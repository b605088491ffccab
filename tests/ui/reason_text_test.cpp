// The readers' English reasons as the message boxes tell them: in Japanese, details kept.
#include "ui/reason_text.h"

#include <gtest/gtest.h>

#include <QString>
#include <cerrno>
#include <cstring>
#include <string>

#include "replay/replay.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

// A Latin letter outside "JSON", the one word kept: the format's name.
bool hasLatinWord(QString text) {
  text.remove(QStringLiteral("JSON"));
  for (const QChar c : text) {
    if (c.isLetter() && c.unicode() < 0x80) return true;
  }
  return false;
}

TEST(ReasonTextTest, TheReadersReasonsAreToldInJapanese) {
  const struct {
    std::string english;
    QString japanese;
  } cases[] = {
      {"not JSON, or cut off (at byte 39)",
       QStringLiteral("JSONではないか、途中で切れています（39バイト目）。")},
      {"written by a newer version of momiru-battle (replay version 9; this one reads 1)",
       QStringLiteral("新しいバージョンのゲームで書かれたリプレイです。")},
      {"not a replay: format is not \"x\"", QStringLiteral("リプレイではありません。")},
      {std::string("cannot be opened: ") + std::strerror(EACCES),
       QStringLiteral("開けません（アクセスする権限がありません）。")},
      {std::string("cannot write '/no/such/a.momiru-replay': ") + std::strerror(ENOENT),
       QStringLiteral("書き込めません（フォルダかファイルがありません）。")},
      {"cannot write 'x': a reason nobody knows", QStringLiteral("書き込めません。")},
      {"seed is not a whole number from 0 to 2^64-1", QStringLiteral("中身が正しくありません。")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.english);
    EXPECT_EQ(ui::japaneseReason(c.english), c.japanese);
  }
}

// What the reader really says about broken files comes out in Japanese, never in English.
TEST(ReasonTextTest, RealReadFailuresHaveNoEnglishInTheirJapanese) {
  ScratchDir dir;
  const auto cut = dir.write("cut.momiru-replay", "{\"format\": \"momi");
  const auto empty = dir.write("empty.momiru-replay", "");
  std::filesystem::create_directory(dir.path() / "folder.momiru-replay");
  for (const auto& file :
       {cut, empty, dir.path() / "folder.momiru-replay", dir.path() / "missing.momiru-replay"}) {
    std::string error;
    ASSERT_FALSE(battle::readReplayFile(file, &error));
    SCOPED_TRACE(error);
    EXPECT_FALSE(hasLatinWord(ui::japaneseReason(error)))
        << ui::japaneseReason(error).toStdString();
  }
}

TEST(ReasonTextTest, TheKeysOfAMismatchAreJapaneseWords) {
  EXPECT_EQ(ui::japaneseMismatch("winner, loser"), QStringLiteral("勝者、敗者"));
  EXPECT_EQ(ui::japaneseMismatch("turns, final_hp, log_sha256"),
            QStringLiteral("ターン数、最後のHP、ログ"));
  EXPECT_EQ(ui::japaneseMismatch("draw, finished"), QStringLiteral("引き分け、決着"));
}

}  // namespace
}  // namespace momiru::uitest
