// A text file written atomically: a tournament's file, its page, a copy kept elsewhere.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "data/refusal.h"

namespace momiru::report {

// Written atomically; `mustBeNew` refuses to replace an existing file (Exists). Otherwise false
// with `refusal` CannotWrite.
bool writeTextFile(const std::filesystem::path& file, std::string_view text, bool mustBeNew,
                   Refusal* refusal);
// Written atomically over `file` only while `whyNot`, asked once the text is whole on the disk
// just before the replace, gives nothing; what it gives is the refusal otherwise, and the file is
// left as it is.
bool replaceTextFileIf(const std::filesystem::path& file, std::string_view text,
                       const std::function<std::optional<Refusal>()>& whyNot, Refusal* refusal);

}  // namespace momiru::report
