// Fuzzes the reading of a battle page's replay: any bytes give the replay's JSON or one line
// saying why, never a crash. What is found is the one element a browser reads: the page holds
// no other script, and the text lies between the element's tags with no markup in it. A page
// read whole gives the replay of that text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "replay/replay.h"
#include "replay/replay_page.h"

namespace {

constexpr std::string_view kOpen = R"(<script type="application/json" id="momiru-replay">)";
constexpr std::string_view kClose = "</script>";

std::size_t scripts(std::string_view page) {
  std::size_t n = 0;
  for (std::size_t at = 0; at + 7 <= page.size(); ++at) {
    std::string tag(page.substr(at, 7));
    for (char& c : tag) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (tag == "<script") ++n;
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace momiru::replay;
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  momiru::Refusal refusal;
  const std::optional<std::string_view> json = pageReplayJson(page, &refusal);
  if (!json) {
    if (const std::string said = describe(refusal);
        said.empty() || said.find('\n') != std::string::npos)
      std::abort();
    return 0;
  }
  const auto begin = static_cast<std::size_t>(json->data() - page.data());
  if (begin < kOpen.size() || begin + json->size() > page.size()) std::abort();
  if (page.substr(begin - kOpen.size(), kOpen.size()) != kOpen) std::abort();
  if (page.substr(begin + json->size(), kClose.size()) != kClose) std::abort();
  if (json->find('<') != std::string_view::npos || json->size() > kReplayMaxBytes) std::abort();
  if (scripts(page) != 1) std::abort();

  // Only a text that starts with '<' (after a byte order mark and white space) is read as a page.
  const std::size_t first =
      page.find_first_not_of(" \t\r\n", page.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0);
  if (first == std::string_view::npos || page[first] != '<') return 0;
  momiru::Refusal whole, alone;
  const std::optional<Replay> fromPage = parseReplay(page, &whole);
  const std::optional<Replay> fromJson = parseReplay(*json, &alone);
  if (fromPage.has_value() != fromJson.has_value()) std::abort();
  if (fromPage && replayJson(*fromPage) != replayJson(*fromJson)) std::abort();
  return 0;
}
