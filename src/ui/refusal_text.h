// The refusals of the readers, the writers and the tournament session told in Japanese, from
// their kinds alone: the screens never read the English that the lab and stderr get.
#pragma once

#include <QString>
#include <string_view>

#include "data/refusal.h"
#include "report/tournament_session.h"

namespace momiru::ui {

// Why a file could not be read or written, one or two sentences ending in "。". The place of a
// wrong value is left to stderr: a player is told that the content is wrong and in what way.
QString refusalText(const Refusal& refusal);

// Why a step of a tournament was refused or failed, with the file's own reason where there is
// one.
QString sessionProblemText(const report::SessionProblem& problem);
// The message of a tournament opened to look only (`problem`: the session's lookOnly()): that it
// is only looked at, why, and what to do.
QString lookingOnlyText(const report::SessionProblem& problem);

// Why a beacon is not of the kind its tournament declared, one sentence ending in "。".
QString beaconProblemText(report::BeaconProblem problem);

// The keys of a replay's recorded result that differ from the result played ("winner, loser"),
// as Japanese words joined by "、".
QString japaneseMismatch(std::string_view keys);

}  // namespace momiru::ui
