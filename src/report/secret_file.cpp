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
                     Refusal* refusal) {
  const std::string name = pathToUtf8(file);
  OpenFile out = createNewFile(file, 0600);
  if (!out) {
    const int why = errno;
    return refuse(refusal,
                  Refusal::said(why == EEXIST ? Refusal::Kind::Exists : Refusal::Kind::CannotWrite,
                                name + ": cannot be created: " + std::strerror(why), name, why));
  }
  const std::string text = secretHex + "\n";
  const bool ok = out.write(text) && out.flushToDisk();
  if (!out.close() || !ok) {
    const int why = errno;
    removeFile(file);
    return refuse(refusal, Refusal::said(Refusal::Kind::CannotWrite, name + ": cannot be written",
                                         name, why));
  }
  return true;
}

std::optional<std::string> readSecretFile(const std::filesystem::path& file, Refusal* refusal) {
  const std::string name = pathToUtf8(file);
  InputFile in(file);
  if (in.status() != InputFile::Status::Open) {
    Refusal cannot =
        Refusal::said(Refusal::Kind::CannotOpen, name + ": cannot be read", name, errno);
    cannot.what = "secret";
    refuse(refusal, std::move(cannot));
    return std::nullopt;
  }
  char buf[80];
  const std::streamsize n = in.sgetn(buf, sizeof buf);
  std::string text(buf, static_cast<std::size_t>(std::max<std::streamsize>(n, 0)));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.size() != 64 || !hexBytes(text)) {
    Refusal notSecret = Refusal::said(Refusal::Kind::NotOfKind,
                                      name + ": not a secret (64 hexadecimal digits)", name);
    notSecret.what = "secret";
    refuse(refusal, std::move(notSecret));
    return std::nullopt;
  }
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<DrawRefusal> revealDraw(Tournament& t, const std::filesystem::path& secretFile,
                                      Refusal* refusal) {
  std::optional<std::string> secret;
  if (t.commitment) {
    secret = readSecretFile(secretFile, refusal);
    if (!secret) return DrawRefusal::SecretUnreadable;
    if (commitmentOf(t, *secret) != *t.commitment) {
      Refusal wrong = Refusal::said(Refusal::Kind::NotAllowed,
                                    "the secret does not match the tournament's commitment",
                                    pathToUtf8(secretFile));
      wrong.what = "secret";
      refuse(refusal, std::move(wrong));
      return DrawRefusal::WrongSecret;
    }
  } else {
    secret = randomSecret();
    if (!secret) {
      refuse(refusal, Refusal::said(Refusal::Kind::CannotOpen,
                                    "the system's random source gives no secret"));
      return DrawRefusal::NoRandomSource;
    }
  }
  t.secret = std::move(secret);
  t.entriesDigest = entriesDigestOf(t.entries);
  t.seed = tournamentSeedOf(t, *t.secret, *t.entriesDigest);
  return std::nullopt;
}

}  // namespace momiru::report
