// A replay inside a battle page: the one element that carries it, written and read here side by
// side, so that what the writer puts in a page is what the reader takes out.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "replay/replay.h"

namespace momiru::replay {

// The element that carries `replay` in a page:
// <script type="application/json" id="momiru-replay">, the JSON of replayJsonForPage, </script>.
std::string replayElement(const Replay& replay);

// The text of `replayJson(replay)` as it may stand inside a <script> element of a page that is
// also XML: '<', '>' and '&' (which JSON has only inside strings) as \u escapes, so it holds no
// "</" and no markup, and parses back to the same replay.
std::string replayJsonForPage(const Replay& replay);

// The JSON text of a battle page's replay, the one
// <script type="application/json" id="momiru-replay"> element, found as a browser reads the page,
// so that the game never opens another battle than the page holds. Kept strict and simple: the
// page holds one script only; no comment, no CDATA or other declaration but a doctype; the
// element lies outside every other element's text, attribute and picture, with no '<' in it.
// Anything else is refused, with its kind in `refusal`.
std::optional<std::string_view> pageReplayJson(std::string_view page, Refusal* refusal);

}  // namespace momiru::replay
