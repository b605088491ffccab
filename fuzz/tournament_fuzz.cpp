// Fuzzes the tournament reader: any bytes must give a tournament or one line saying why, never a
// crash; a tournament read must survive writing and a second reading unchanged, and its check,
// its standings and its page must be made without a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "report/tournament.h"
#include "report/tournament_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace momiru::report;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string error;
  const std::optional<Tournament> t = parseTournament(bytes, &error);
  if (!t) {
    if (error.empty() || error.find('\n') != std::string::npos) std::abort();
    return 0;
  }
  const std::string text = tournamentJson(*t);
  const std::optional<Tournament> again = parseTournament(text, &error);
  if (!again || tournamentJson(*again) != text) std::abort();
  const std::optional<Tournament> fromPage = parseTournament(tournamentPage(*t), &error);
  if (!fromPage || tournamentJson(*fromPage) != text) std::abort();
  computeStandings(*t);
  // A field this small plays in moments; a larger one is the benchmark's.
  if (t->entries.size() <= 4) verifyTournament(*t);
  return 0;
}
