// Fuzzes the tournament reader: any bytes must give a tournament or one line saying why, never a
// crash; a tournament read must survive writing and a second reading unchanged, and its check,
// its standings and its page must be made without a crash; one kept part way must be taken in
// for play, or refused with a reason, and then played to its end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "report/standings.h"
#include "report/tournament.h"
#include "report/tournament_file.h"
#include "report/tournament_head.h"
#include "report/tournament_page.h"
#include "report/tournament_schedule.h"
#include "report/tournament_verify.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace momiru::report;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  momiru::Refusal refusal;
  const std::optional<Tournament> t = parseTournament(bytes, &refusal);
  // The head reader never fails where the whole reader reads a tournament's JSON, and agrees.
  const std::optional<TournamentHead> head = tournamentHead(bytes);
  if (t && head && (head->name != t->name || head->stage != t->stage)) std::abort();
  if (!t) {
    if (const std::string said = describe(refusal);
        said.empty() || said.find('\n') != std::string::npos)
      std::abort();
    return 0;
  }
  const std::string text = tournamentJson(*t);
  const std::optional<Tournament> again = parseTournament(text, &refusal);
  if (!again || tournamentJson(*again) != text) std::abort();
  const std::optional<Tournament> fromPage = parseTournament(tournamentPage(*t), &refusal);
  if (!fromPage || tournamentJson(*fromPage) != text) std::abort();
  computeStandings(*t);
  // A field this small plays in moments; a larger one is the benchmark's.
  if (t->entries.size() > 4) return 0;
  verifyTournament(*t);
  verifyPartialTournament(*t);
  if (t->stage != Stage::Closed || !t->seed) return 0;
  try {
    TournamentPlay play(*t);
    play.playRest(1);
  } catch (const std::exception& e) {
    // Refused with a reason, as the game's session refuses it.
    if (std::string_view(e.what()).empty()) std::abort();
  }
  return 0;
}
