// A text file written atomically, and what stopped it in words.
#include "report/text_file.h"

#include <cerrno>
#include <cstring>

#include "data/platform.h"

namespace momiru::report {

namespace {

// What stopped a write of `file`, errno saying why.
bool writeRefused(const std::filesystem::path& file, Refusal* refusal) {
  const int why = errno;
  const std::string name = pathToUtf8(file);
  std::string english = name + ": cannot be written";
  if (why == EEXIST) {
    english += ": it exists already";
  } else if (why != 0) {
    english += std::string(": ") + std::strerror(why);
  }
  return refuse(refusal,
                Refusal::said(why == EEXIST ? Refusal::Kind::Exists : Refusal::Kind::CannotWrite,
                              std::move(english), name, why));
}

}  // namespace

bool writeTextFile(const std::filesystem::path& file, std::string_view text, bool mustBeNew,
                   Refusal* refusal) {
  errno = 0;
  AtomicFile out(file);
  if (out.created() && (mustBeNew ? out.commitNew(text) : out.commit(text))) return true;
  return writeRefused(file, refusal);
}

bool replaceTextFileIf(const std::filesystem::path& file, std::string_view text,
                       const std::function<std::optional<Refusal>()>& whyNot, Refusal* refusal) {
  errno = 0;
  AtomicFile out(file);
  std::optional<Refusal> refused;
  const auto mayReplace = [&] {
    refused = whyNot();
    return !refused.has_value();
  };
  if (out.created() && out.commitIf(text, mayReplace)) return true;
  if (refused) return momiru::refuse(refusal, std::move(*refused));
  return writeRefused(file, refusal);
}

}  // namespace momiru::report
