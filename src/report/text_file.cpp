// A text file written atomically, and what stopped it in words.
#include "report/text_file.h"

#include <cerrno>
#include <cstring>

#include "data/platform.h"

namespace momiru::report {

bool writeTextFile(const std::filesystem::path& file, std::string_view text, bool mustBeNew,
                   std::string* error) {
  errno = 0;
  AtomicFile out(file);
  if (out.created() && (mustBeNew ? out.commitNew(text) : out.commit(text))) return true;
  if (error) {
    *error = pathToUtf8(file) + ": cannot be written";
    if (errno == EEXIST) {
      *error += ": it exists already";
    } else if (errno != 0) {
      *error += std::string(": ") + std::strerror(errno);
    }
  }
  return false;
}

}  // namespace momiru::report
