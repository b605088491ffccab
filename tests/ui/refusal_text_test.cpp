// Every refusal as the screens tell it: in Japanese, from its kind, for every kind there is.
#include "ui/refusal_text.h"

#include <gtest/gtest.h>

#include <QString>
#include <cerrno>
#include <filesystem>
#include <string>

#include "replay/replay.h"
#include "report/tournament_file.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

using Kind = Refusal::Kind;

// A Latin letter outside the names kept as they are: the format "JSON" and the variables a
// player sets.
bool hasLatinWord(QString text) {
  for (const char* kept : {"JSON", "XDG_DATA_HOME", "HOME"}) text.remove(QString::fromLatin1(kept));
  for (const QChar c : text) {
    if (c.isLetter() && c.unicode() < 0x80) return true;
  }
  return false;
}

// A kind of refusal gets its own words, which hold no English, and no two kinds of a reader share
// a sentence unless they say the same thing.
TEST(RefusalTextTest, EveryKindIsToldInJapaneseWithItsDetails) {
  for (int k = 0; k <= static_cast<int>(Kind::ChangedSince); ++k) {
    for (const char* what : {"replay", "tournament", "secret", "index"}) {
      Refusal r(static_cast<Kind>(k), what, 64);
      r.english = "some English words the lab prints";
      r.subject = "entries[3].parts[0].hp";
      const QString text = ui::refusalText(r);
      SCOPED_TRACE(std::to_string(k) + " " + what + ": " + text.toStdString());
      EXPECT_FALSE(hasLatinWord(text));
      EXPECT_TRUE(text.endsWith(QStringLiteral("。")));
      EXPECT_NE(text, QStringLiteral("中身が正しくありません。"));
    }
  }
  Refusal notJson(Kind::NotJson, "replay");
  notJson.at = 39;
  EXPECT_EQ(ui::refusalText(notJson),
            QStringLiteral("JSONではないか、途中で切れています（39バイト目）。"));
  Refusal denied(Kind::CannotOpen, "replay");
  denied.systemError = EACCES;
  EXPECT_EQ(ui::refusalText(denied),
            QStringLiteral("開けません（アクセスする権限がありません）。"));
  Refusal unknown(Kind::CannotWrite);
  unknown.systemError = 9999;
  EXPECT_EQ(ui::refusalText(unknown), QStringLiteral("書き込めません。"));
  EXPECT_EQ(ui::refusalText(Refusal(Kind::NewerVersion, "tournament", 1)),
            QStringLiteral("新しいバージョンのゲームで書かれた大会のファイルです。"));
}

TEST(RefusalTextTest, EveryTournamentStepIsToldInJapaneseWithTheFilesReason) {
  using report::SessionRefusal;
  for (int k = 0; k <= static_cast<int>(SessionRefusal::CannotHold); ++k) {
    report::SessionProblem p;
    p.why = static_cast<SessionRefusal>(k);
    p.english = "the English of the step";
    const QString text = ui::sessionProblemText(p);
    SCOPED_TRACE(std::to_string(k) + ": " + text.toStdString());
    EXPECT_FALSE(text.isEmpty());
    EXPECT_FALSE(hasLatinWord(text));
  }
  report::SessionProblem unsaved;
  unsaved.why = SessionRefusal::Unsaved;
  Refusal full(Kind::CannotWrite);
  full.systemError = ENOSPC;
  unsaved.cause = full;
  EXPECT_EQ(ui::sessionProblemText(unsaved),
            QStringLiteral("書き込めません（ディスクに空きがありません）。"));
  report::SessionProblem rules;
  rules.why = SessionRefusal::Rules;
  rules.rules = report::RulesProblem::BestOf;
  EXPECT_EQ(ui::sessionProblemText(rules), QStringLiteral("1試合の戦数は1、3、5、7のどれかです。"));
}

// What the readers really give for broken files reads in Japanese, never in English.
TEST(RefusalTextTest, RealReadFailuresHaveNoEnglishInTheirJapanese) {
  ScratchDir dir;
  const auto cut = dir.write("cut.momiru-replay", "{\"format\": \"momi");
  const auto empty = dir.write("empty.momiru-replay", "");
  const auto other = dir.write("other.momiru-replay", R"({"format": "something-else"})");
  const auto inTitle = dir.write(
      "title.html",
      R"(<!DOCTYPE html><html><head><title><script type="application/json" id="momiru-tournament">{}</script></title></head></html>)");
  std::filesystem::create_directory(dir.path() / "folder.momiru-replay");
  for (const auto& file : {cut, empty, other, dir.path() / "folder.momiru-replay",
                           dir.path() / "missing.momiru-replay"}) {
    Refusal why;
    ASSERT_FALSE(replay::readReplayFile(file, &why));
    SCOPED_TRACE(describe(why));
    EXPECT_FALSE(hasLatinWord(ui::refusalText(why))) << ui::refusalText(why).toStdString();
  }
  Refusal why;
  ASSERT_FALSE(report::readTournamentFile(inTitle, &why));
  EXPECT_EQ(why.kind, Kind::PageTextMarkup);
  EXPECT_EQ(ui::refusalText(why),
            QStringLiteral("ページの文章にマークアップがあるか、途中で切れています。"));
}

TEST(RefusalTextTest, TheKeysOfAMismatchAreJapaneseWords) {
  EXPECT_EQ(ui::japaneseMismatch("winner, loser"), QStringLiteral("勝者、敗者"));
  EXPECT_EQ(ui::japaneseMismatch("turns, final_hp, log_sha256"),
            QStringLiteral("ターン数、最後のHP、ログ"));
  EXPECT_EQ(ui::japaneseMismatch("draw, finished"), QStringLiteral("引き分け、決着"));
}

}  // namespace
}  // namespace momiru::uitest
