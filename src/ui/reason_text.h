// The readers' and writers' reasons, which are English lines for stderr and scripts, told in
// Japanese in the game's message boxes.
#pragma once

#include <QString>
#include <string_view>

namespace momiru::ui {

// Why a replay (or a page that carries one) could not be read or written, in Japanese. A reason
// this does not know is told in general words; stderr keeps the English line with its detail.
QString japaneseReason(std::string_view reason);

// The keys of a replay's recorded result that differ from the result played ("winner, loser"),
// as Japanese words joined by "、".
QString japaneseMismatch(std::string_view keys);

}  // namespace momiru::ui
