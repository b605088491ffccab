// The tournament window's words: the formats and rules, why a file was not entered, where the
// tournament stands, in Japanese. Names from files go through shownName.
#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "report/tournament.h"
#include "report/tournament_schedule.h"
#include "report/tournament_session.h"

namespace momiru::ui {

QString formatText(report::Format format);
QString seedingText(report::Seeding seeding);
QString bestOfText(int bestOf);  // "3戦2勝"

// An entry's name as the window shows it: its stored name, made plain.
QString entryName(const report::Tournament& t, int entry);

// One line for a file that was not entered: "<file>：<why>".
QString refusalLine(const report::Tournament& t, const report::EntryResult& result);

// 「第3回戦　12試合中 5試合終了」: the round of the next match to play and that round's matches
// (byes are no matches); in double elimination the bracket goes first (「敗者側　第2回戦…」,
// 「グランドファイナル…」); 「全試合終了」 once every match is played.
QString progressLine(const report::TournamentPlay& play);
// 「全体　40試合中 12試合終了」.
QString wholeLine(const report::TournamentPlay& play);
// 「優勝：<name>」 for a finished tournament (several names for a shared first place); empty
// before.
QString winnerLine(const report::Tournament& t);

// The Japanese of a file that did not verify: said before anything of it is shown.
QString notVerifiedText();

}  // namespace momiru::ui
