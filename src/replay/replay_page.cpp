// A replay inside a battle page, written and read side by side: the one element that carries it,
// the JSON as it may stand there, and the reading of a page as a browser reads it.
#include "replay/replay_page.h"

#include <string>

namespace momiru::battle {
namespace {

constexpr std::string_view kPageScript = R"(<script type="application/json" id="momiru-replay">)";
constexpr std::string_view kPageScriptEnd = "</script>";

std::string largerThan(std::size_t limit) {
  return "larger than " + std::to_string(limit) + " bytes";
}

// --- battle pages --------------------------------------------------------------------------
//
// A page is read the way a browser's tokenizer reads it, far enough to tell whether the replay
// element is an element there, and the first of its kind. Whatever a browser might read otherwise
// (comments, declarations, other scripts, text elements holding markup, markup in a picture that
// is not plain SVG) is refused rather than modelled: the pages the writer makes hold none of it.

constexpr std::string_view kPageScriptTag = "<script";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `text` holds `word` (lower-case) at `at`, in any case.
bool holdsAt(std::string_view text, std::size_t at, std::string_view word) {
  if (at > text.size() || text.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (lower(text[at + i]) != word[i]) return false;
  }
  return true;
}

std::size_t countNoCase(std::string_view text, std::string_view word) {
  std::size_t n = 0;
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1))
    if (holdsAt(text, at, word)) ++n;
  return n;
}

template <std::size_t N>
bool oneOf(std::string_view name, const std::string_view (&names)[N]) {
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// Elements whose text a browser reads up to their end tag, markup and all.
constexpr std::string_view kTextElements[] = {"style",  "title",   "textarea", "xmp",
                                              "iframe", "noembed", "noframes"};
// Elements after which a browser reads the rest otherwise, or not into the page at all.
constexpr std::string_view kHidingElements[] = {"plaintext", "template", "noscript",
                                                "frameset",  "frame",    "math"};
// What a page's charts are drawn with; inside a picture nothing else is taken, since other
// elements there (HTML ones among them) change how a browser reads what follows.
constexpr std::string_view kChartElements[] = {
    "svg", "g", "rect", "line", "polyline", "polygon", "path", "circle", "text", "tspan", "title"};

struct Tag {
  std::string name;  // lower-case
  bool end = false;
  bool selfClosing = false;
  std::size_t next = std::string_view::npos;  // just past its '>'; npos when the page ends first
};

// The tag whose '<' is at `at` (followed by a letter, or by '/' and a letter), read as a browser's
// tokenizer reads it: attribute values in quotes may hold '>' and '/'.
Tag readTag(std::string_view page, std::size_t at) {
  Tag tag;
  std::size_t i = at + 1;
  if (page[i] == '/') {
    tag.end = true;
    ++i;
  }
  while (i < page.size() && !isSpace(page[i]) && page[i] != '/' && page[i] != '>')
    tag.name += lower(page[i++]);
  enum class State { BeforeName, Name, AfterName, BeforeValue, Unquoted, Quoted, AfterQuoted };
  State state = State::BeforeName;
  char quote = '"';
  for (; i < page.size(); ++i) {
    const char c = page[i];
    switch (state) {
      case State::BeforeName:
      case State::AfterName:
      case State::AfterQuoted:
        if (isSpace(c)) {
          if (state == State::AfterQuoted) state = State::BeforeName;
          continue;
        }
        if (c == '>') {
          tag.next = i + 1;
          return tag;
        }
        if (c == '/') {
          if (i + 1 < page.size() && page[i + 1] == '>') {
            tag.selfClosing = true;
            tag.next = i + 2;
            return tag;
          }
          state = State::BeforeName;
          continue;
        }
        state = c == '=' && state == State::AfterName ? State::BeforeValue : State::Name;
        continue;
      case State::Name:
        if (isSpace(c)) state = State::AfterName;
        if (c == '=') state = State::BeforeValue;
        if (c == '/' || c == '>') {
          state = State::BeforeName;
          --i;
        }
        continue;
      case State::BeforeValue:
        if (isSpace(c)) continue;
        if (c == '"' || c == '\'') {
          quote = c;
          state = State::Quoted;
        } else {
          state = State::Unquoted;
          --i;
        }
        continue;
      case State::Unquoted:
        if (isSpace(c)) state = State::BeforeName;
        if (c == '>') {
          tag.next = i + 1;
          return tag;
        }
        continue;
      case State::Quoted:
        if (c == quote) state = State::AfterQuoted;
        continue;
    }
  }
  return tag;
}

std::optional<std::string_view> refusePage(std::string* error, const char* why) {
  if (error) *error = why;
  return std::nullopt;
}

}  // namespace

std::optional<bool> looksLikePage(std::string_view text) {
  std::size_t start = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (start < text.size() &&
         (text[start] == ' ' || text[start] == '\t' || text[start] == '\r' || text[start] == '\n'))
    ++start;
  if (start >= text.size()) return std::nullopt;
  return text[start] == '<';
}

std::optional<std::string_view> pageReplayJson(std::string_view page, std::string* error) {
  // One script in the whole page, wherever it stands: a second, even in a comment or in a text
  // a browser shows as text, may be the one something else reads.
  if (countNoCase(page, kPageScriptTag) > 1)
    return refusePage(error, "the page holds more than one script");
  int pictures = 0;             // <svg> elements open
  bool inPictureTitle = false;  // in a picture's <title>, which a browser reads as HTML
  std::size_t at = 0;
  while ((at = page.find('<', at)) != std::string_view::npos && at + 1 < page.size()) {
    const char next = page[at + 1];
    if (next == '!' && holdsAt(page, at + 2, "doctype")) {
      at = page.find('>', at);
      if (at == std::string_view::npos) return refusePage(error, "the page is cut off in a tag");
      continue;
    }
    if (next == '!' && holdsAt(page, at + 2, "--"))
      return refusePage(error, "the page holds a comment");
    if (next == '!' || next == '?' ||
        (next == '/' && at + 2 < page.size() && page[at + 2] != '>' && !isLetter(page[at + 2])))
      return refusePage(error, "the page holds markup a browser reads as a comment");
    if (next == '/' && at + 2 < page.size() && page[at + 2] == '>') {
      at += 3;  // "</>" is nothing to a browser
      continue;
    }
    if (!isLetter(next) && next != '/') {
      ++at;  // a '<' that starts no tag is text
      continue;
    }
    const Tag tag = readTag(page, at);
    if (tag.next == std::string_view::npos)
      return refusePage(error, "the page is cut off in a tag");
    if (inPictureTitle) {
      if (!tag.end || tag.name != "title")
        return refusePage(error, "a picture in the page holds markup in its title");
      inPictureTitle = false;
    } else if (pictures > 0) {
      if (!oneOf(tag.name, kChartElements))
        return refusePage(error, "a picture in the page holds markup other than a chart's");
      if (tag.name == "svg" && tag.end) --pictures;
      if (tag.name == "svg" && !tag.end && !tag.selfClosing) ++pictures;
      if (tag.name == "title" && !tag.end && !tag.selfClosing) inPictureTitle = true;
    } else if (tag.end) {
      // An end tag changes nothing that matters here.
    } else if (tag.name == "script") {
      if (page.substr(at, kPageScript.size()) != kPageScript)
        return refusePage(error, "the page's script is not a replay");
      const std::size_t begin = at + kPageScript.size();
      const std::size_t end = page.find('<', begin);
      if (end == std::string_view::npos)
        return refusePage(error, "the replay in the page is cut off");
      if (page.substr(end, kPageScriptEnd.size()) != kPageScriptEnd)
        return refusePage(error, "the replay in the page holds markup");
      if (end - begin > kReplayMaxBytes) {
        if (error) *error = "the replay in the page is " + largerThan(kReplayMaxBytes);
        return std::nullopt;
      }
      return page.substr(begin, end - begin);
    } else if (tag.name == "svg") {
      pictures = tag.selfClosing ? 0 : 1;
    } else if (oneOf(tag.name, kHidingElements)) {
      return refusePage(error, "the page holds an element that a browser reads otherwise");
    } else if (oneOf(tag.name, kTextElements)) {
      // Its text runs to its end tag. Holding no markup, it reads the same to a browser that
      // takes it as text and to one that does not.
      const std::size_t close = page.find('<', tag.next);
      const std::size_t after = close + 2 + tag.name.size();
      if (close == std::string_view::npos || !holdsAt(page, close + 2, tag.name) ||
          page[close + 1] != '/' || after >= page.size() ||
          !(isSpace(page[after]) || page[after] == '/' || page[after] == '>'))
        return refusePage(error, "a text in the page holds markup, or is cut off");
      at = close;
      continue;
    }
    at = tag.next;
  }
  return refusePage(error, "not a replay: a page that carries none");
}

std::string replayJsonForPage(const Replay& replay) {
  const std::string json = replayJson(replay);
  std::string out;
  out.reserve(json.size() + 64);
  for (const char ch : json) {
    switch (ch) {
      case '<':
        out += "\\u003c";
        break;
      case '>':
        out += "\\u003e";
        break;
      case '&':
        out += "\\u0026";
        break;
      default:
        out += ch;
    }
  }
  return out;
}

std::string replayElement(const Replay& replay) {
  std::string out(kPageScript);
  out += replayJsonForPage(replay);
  out += kPageScriptEnd;
  return out;
}

}  // namespace momiru::battle
