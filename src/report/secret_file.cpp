// The secret file written for its owner only and read back as hex, and the draw revealed.
#include "report/secret_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

#include "data/platform.h"
#include "report/tournament_draw.h"

namespace momiru::report {

bool writeSecretFile(const std::filesystem::path& file, const std::string& secretHex,
                     std::string* error) {
  const std::string name = pathToUtf8(file);
  OpenFile out = createNewFile(file, 0600);
  if (!out) {
    if (error) *error = name + ": cannot be created: " + std::strerror(errno);
    return false;
  }
  const std::string text = secretHex + "\n";
  const bool ok = out.write(text) && out.flushToDisk();
  if (!out.close() || !ok) {
    if (error) *error = name + ": cannot be written";
    removeFile(file);
    return false;
  }
  return true;
}

std::optional<std::string> readSecretFile(const std::filesystem::path& file, std::string* error) {
  const std::string name = pathToUtf8(file);
  InputFile in(file);
  if (in.status() != InputFile::Status::Open) {
    if (error) *error = name + ": cannot be read";
    return std::nullopt;
  }
  char buf[80];
  const std::streamsize n = in.sgetn(buf, sizeof buf);
  std::string text(buf, static_cast<std::size_t>(std::max<std::streamsize>(n, 0)));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.size() != 64 || !hexBytes(text)) {
    if (error) *error = name + ": not a secret (64 hexadecimal digits)";
    return std::nullopt;
  }
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<DrawRefusal> revealDraw(Tournament& t, const std::filesystem::path& secretFile,
                                      std::string* error) {
  std::optional<std::string> secret;
  if (t.commitment) {
    std::string why;
    secret = readSecretFile(secretFile, &why);
    if (!secret) {
      if (error) *error = why;
      return DrawRefusal::SecretUnreadable;
    }
    if (commitmentOf(*secret) != *t.commitment) {
      if (error) *error = "the secret does not match the tournament's commitment";
      return DrawRefusal::WrongSecret;
    }
  } else {
    secret = randomSecret();
    if (!secret) {
      if (error) *error = "the system's random source gives no secret";
      return DrawRefusal::NoRandomSource;
    }
  }
  t.secret = std::move(secret);
  t.entriesDigest = entriesDigestOf(t.entries);
  t.seed = tournamentSeedOf(*t.secret, *t.entriesDigest, t.beacon);
  return std::nullopt;
}

}  // namespace momiru::report
