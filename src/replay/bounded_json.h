// JSON from a file someone else may have written: nesting is refused as the parser meets it,
// before anything deeper is built, and running out of memory is a refusal, not a crash. The
// caller caps the text's size before it gets here.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

namespace momiru::battle {

struct JsonRefusal {
  enum class Why { NotJson, TooDeep, TooLarge } why = Why::NotJson;
  std::size_t byte = 0;  // where the text stops being JSON (NotJson)
};

// The document of `text`, or nothing with the reason in `refusal`. No object or array may open
// at a depth of `maxDepth` or more (the root is at 0).
std::optional<nlohmann::json> parseBoundedJson(std::string_view text, int maxDepth,
                                               JsonRefusal* refusal);

}  // namespace momiru::battle
