// A replay inside a battle page, written and read side by side: the one element that carries it,
// the JSON as it may stand there, and the reading of a page as a browser reads it.
#include "replay/replay_page.h"

#include <string>

#include "data/strangers_file.h"

namespace momiru::replay {
namespace {

constexpr std::string_view kPageScript = R"(<script type="application/json" id="momiru-replay">)";
constexpr std::string_view kPageScriptEnd = "</script>";

}  // namespace

std::optional<std::string_view> pageReplayJson(std::string_view page, Refusal* refusal) {
  return pageElementText(page, kPageScript, kReplayMaxBytes, "replay", refusal);
}

std::string replayJsonForPage(const Replay& replay) { return jsonForPage(replayJson(replay)); }

std::string replayElement(const Replay& replay) {
  std::string out(kPageScript);
  out += replayJsonForPage(replay);
  out += kPageScriptEnd;
  return out;
}

}  // namespace momiru::replay
