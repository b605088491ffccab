// The secret file, *.momiru-secret, whose SHA-256 a tournament's commitment is, and the draw's
// values revealed from it once the entries are closed.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "data/refusal.h"
#include "report/tournament.h"

namespace momiru::report {

// The secret file: created for its owner only (0600) and never replaced, holding the secret's
// 64 hex digits and a line feed. Reading gives the lower-case hex or nothing, with `refusal` set.
bool writeSecretFile(const std::filesystem::path& file, const std::string& secretHex,
                     Refusal* refusal);
std::optional<std::string> readSecretFile(const std::filesystem::path& file, Refusal* refusal);

// Why the draw's values cannot be made.
enum class DrawRefusal {
  SecretUnreadable,  // the secret file cannot be read or holds no secret (`refusal` says which)
  WrongSecret,       // its SHA-256 is not the commitment
  NoRandomSource,    // a tournament without a commitment, and the system gives no secret
};
// Makes the draw's values in `t`, once its entries are closed: reveals the secret (read from
// `secretFile` and checked against the commitment; for a tournament without a commitment, drawn
// from the system's random source), then the entries digest and the tournament seed from the
// secret, the entries and t.beacon. Refused, with the secret file's refusal (if given) for
// SecretUnreadable and the English of the others: `t` is left as it was.
std::optional<DrawRefusal> revealDraw(Tournament& t, const std::filesystem::path& secretFile,
                                      Refusal* refusal);

}  // namespace momiru::report
