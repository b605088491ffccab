// Parsing JSON with bounded nesting.
#include "replay/bounded_json.h"

#include <new>

namespace momiru::battle {
namespace {

struct TooDeep {};

}  // namespace

std::optional<nlohmann::json> parseBoundedJson(std::string_view text, int maxDepth,
                                               JsonRefusal* refusal) {
  using nlohmann::json;
  const json::parser_callback_t depthLimit = [maxDepth](int depth, json::parse_event_t event,
                                                        json&) {
    if ((event == json::parse_event_t::object_start || event == json::parse_event_t::array_start) &&
        depth >= maxDepth)
      throw TooDeep{};
    return true;
  };
  JsonRefusal why;
  try {
    return json::parse(text.begin(), text.end(), depthLimit);
  } catch (const TooDeep&) {
    why.why = JsonRefusal::Why::TooDeep;
  } catch (const json::parse_error& e) {
    why.why = JsonRefusal::Why::NotJson;
    why.byte = e.byte;
  } catch (const json::exception&) {
    why.why = JsonRefusal::Why::NotJson;
  } catch (const std::bad_alloc&) {
    why.why = JsonRefusal::Why::TooLarge;
  }
  if (refusal != nullptr) *refusal = why;
  return std::nullopt;
}

}  // namespace momiru::battle
