// A text file written atomically: a tournament's file, its page, a copy kept elsewhere.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace momiru::report {

// Written atomically; `mustBeNew` refuses to replace an existing file.
bool writeTextFile(const std::filesystem::path& file, std::string_view text, bool mustBeNew,
                   std::string* error);

}  // namespace momiru::report
