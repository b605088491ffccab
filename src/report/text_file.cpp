// A text file written atomically, and what stopped it in words.
#include "report/text_file.h"

#include <cerrno>
#include <cstring>

#include "data/platform.h"

namespace momiru::report {

bool writeTextFile(const std::filesystem::path& file, std::string_view text, bool mustBeNew,
                   Refusal* refusal) {
  errno = 0;
  AtomicFile out(file);
  if (out.created() && (mustBeNew ? out.commitNew(text) : out.commit(text))) return true;
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

}  // namespace momiru::report
