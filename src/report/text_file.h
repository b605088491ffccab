// A text file written atomically: a tournament's file, its page, a copy kept elsewhere.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "data/refusal.h"

namespace momiru::report {

// Written atomically; `mustBeNew` refuses to replace an existing file (Exists). Otherwise false
// with `refusal` CannotWrite.
bool writeTextFile(const std::filesystem::path& file, std::string_view text, bool mustBeNew,
                   Refusal* refusal);

}  // namespace momiru::report
