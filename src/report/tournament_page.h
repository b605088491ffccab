// The tournament page: one self-contained HTML page in Japanese (no script, no network) with the
// fairness statement, the bracket as inline SVG, the round-robin cross table or the Swiss rounds,
// the standings, every match with its battles, and the entries with their portraits, each picture
// embedded once. It carries the tournament file in a <script type="application/json"
// id="momiru-tournament"> element, so that the page can be verified and opened as the file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "report/battle_page.h"
#include "report/tournament.h"

namespace momiru::report {

// Whether the tournament a page shows has been verified. One that has not says so first in its
// body, in the words the game's window uses, and its visible part is not the page verify accepts.
enum class PageVerdict { Verified, NotVerified };

std::string tournamentPage(const Tournament& t, const report::BattlePageOptions& options = {},
                           PageVerdict verdict = PageVerdict::Verified);

// Written atomically. False, with `refusal` set, when it cannot be.
bool writeTournamentPage(const std::filesystem::path& file, const Tournament& t, Refusal* refusal,
                         const report::BattlePageOptions& options = {},
                         PageVerdict verdict = PageVerdict::Verified);

// What a browser shows of `text`, the page that carries `t` (which verified), must be what `t`
// gives: the page must be, byte for byte, the page this version writes of `t` with the pictures
// `options` finds. Any markup, style or text that is not the renderer's, a title, a champion line
// after </html>, a hidden body, is a difference; so is a page another version of the game wrote,
// whose data still reads and verifies and may be written again as this version's page. Nothing
// when the page is the one this version writes, otherwise the first difference in English.
// `text` that is no page (JSON) shows nothing of its own and gives nothing.
std::optional<std::string> pageDifference(std::string_view text, const Tournament& t,
                                          const report::BattlePageOptions& options = {});

// The same of the file `file`, read again: nothing for a tournament file that is JSON, unless its
// name says it is a page (.html, .htm, .xhtml), which a browser would show as markup.
std::optional<std::string> pageFileDifference(const std::filesystem::path& file,
                                              const Tournament& t,
                                              const report::BattlePageOptions& options = {});

}  // namespace momiru::report
