// Reading files that someone else may have written: the bounded read, the bounded parse, the
// element a page carries, and the words for each refusal.
#include "data/strangers_file.h"

#include <nettle/sha2.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "data/platform.h"
#include "data/text_safety.h"

namespace momiru {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kScriptEnd = "</script>";

// --- pages -----------------------------------------------------------------------------------
//
// A page is read the way a browser's tokenizer reads it, far enough to tell whether the element
// is an element there, and the first of its kind. Whatever a browser might read otherwise
// (comments, declarations, other scripts, text elements holding markup, markup in a picture that
// is not plain SVG) is refused rather than modelled: the pages the writers make hold none of it.

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
// Elements after which a browser reads the rest otherwise, or not into the page at all; an
// object or applet shows its contents only when what it embeds fails to load.
constexpr std::string_view kHidingElements[] = {"plaintext", "template", "noscript", "frameset",
                                                "frame",     "math",     "object",   "applet"};
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

}  // namespace

std::string_view withoutByteOrderMark(std::string_view text) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    text.remove_prefix(kByteOrderMark.size());
  return text;
}

std::optional<bool> looksLikePage(std::string_view text) {
  text = withoutByteOrderMark(text);
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return std::nullopt;
  return text[first] == '<';
}

std::optional<std::string> readStrangersFile(const std::filesystem::path& file, std::size_t limit,
                                             std::size_t pageLimit, std::string_view what,
                                             Refusal* refusal) {
  const auto refuse = [&](Refusal r) -> std::optional<std::string> {
    r.what = what;
    if (refusal != nullptr) *refusal = r;
    return std::nullopt;
  };
  errno = 0;
  InputFile in(file);
  switch (in.status()) {
    case InputFile::Status::Open:
      break;
    case InputFile::Status::Folder:
      return refuse(Refusal(Refusal::Kind::Folder));
    case InputFile::Status::NotRegular:
      return refuse(Refusal(Refusal::Kind::NotRegular));
    case InputFile::Status::CannotOpen: {
      Refusal cannot(Refusal::Kind::CannotOpen);
      cannot.systemError = errno;
      return refuse(cannot);
    }
  }
  // A file whose size is already past its limit is told after its first bytes, which show
  // whether it is a page, without reading the rest.
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(file, sizeError);
  try {
    std::string text;
    char chunk[16384];
    std::optional<bool> page;
    const auto cap = [&] { return page.value_or(false) ? pageLimit : limit; };
    while (text.size() <= cap()) {
      const std::streamsize n = in.sgetn(chunk, sizeof chunk);
      if (n <= 0) break;
      text.append(chunk, static_cast<std::size_t>(n));
      if (!page) page = looksLikePage(text);
      if (!sizeError && size > cap() && (page || size > std::max(limit, pageLimit))) break;
    }
    if (text.size() > cap() || (!sizeError && size > cap()))
      return refuse(Refusal(Refusal::Kind::TooLarge, what, cap()));
    return text;
  } catch (const std::bad_alloc&) {
    return refuse(Refusal(Refusal::Kind::OutOfMemory));
  }
}

namespace {

// Thrown by the builder at the first object or list that opens too deep.
struct TooDeep {};
// Thrown by the builder at the first key an object holds twice.
struct DuplicateKey {
  std::string key;
};

// The keys of one open object, to find one given twice: a short list searched in turn, and a set
// once the object holds many, so that an object of a million keys costs no more than its size.
class KeysSeen {
 public:
  // False when `key` is there already.
  bool add(const std::string& key) {
    if (set_.empty()) {
      if (std::find(list_.begin(), list_.end(), key) != list_.end()) return false;
      list_.push_back(key);
      if (list_.size() > kListMost) {
        set_.insert(list_.begin(), list_.end());
        list_.clear();
      }
      return true;
    }
    return set_.insert(key).second;
  }
  void clear() {
    list_.clear();
    set_.clear();
  }

 private:
  static constexpr std::size_t kListMost = 32;
  std::vector<std::string> list_;
  std::unordered_set<std::string> set_;
};

// The document built as the plain parser builds it, in the same one pass, with the nesting
// counted as each object or list opens: one too deep is refused before anything inside it is
// built. A key an object holds twice is refused: the plain parser keeps the last, another reader
// may take the first, and the two would be shown different files.
template <class Json>
class BoundedBuilder : public nlohmann::detail::json_sax_dom_parser<Json> {
  using Base = nlohmann::detail::json_sax_dom_parser<Json>;

 public:
  BoundedBuilder(Json& document, int maxDepth) : Base(document, true), maxDepth_(maxDepth) {}
  bool start_object(std::size_t size) {
    open();
    // One list of keys for each object open, kept for the next object at that depth.
    if (objects_ == keys_.size()) keys_.emplace_back();
    keys_[objects_++].clear();
    return Base::start_object(size);
  }
  bool key(typename Json::string_t& k) {
    if (!keys_[objects_ - 1].add(k)) throw DuplicateKey{k};
    return Base::key(k);
  }
  bool start_array(std::size_t size) {
    open();
    return Base::start_array(size);
  }
  bool end_object() {
    --depth_;
    --objects_;
    return Base::end_object();
  }
  bool end_array() {
    --depth_;
    return Base::end_array();
  }

 private:
  void open() {
    if (depth_ >= maxDepth_) throw TooDeep{};
    ++depth_;
  }
  int maxDepth_;
  int depth_ = 0;
  std::size_t objects_ = 0;  // objects open
  std::vector<KeysSeen> keys_;
};

}  // namespace

template <class Json>
std::optional<Json> parseBoundedJson(std::string_view text, int maxDepth, Refusal* refusal) {
  Refusal why;
  try {
    Json root;
    BoundedBuilder<Json> builder(root, maxDepth);
    if (Json::sax_parse(text.begin(), text.end(), &builder)) return root;
    why.kind = Refusal::Kind::NotJson;
  } catch (const TooDeep&) {
    why.kind = Refusal::Kind::TooDeep;
    why.limit = static_cast<std::size_t>(maxDepth);
  } catch (const DuplicateKey& d) {
    why.kind = Refusal::Kind::DuplicateKey;
    // The key is the file's: shown with its control characters escaped, and cut short.
    why.subject = visibleText(d.key.substr(0, 64));
  } catch (const nlohmann::json::parse_error& e) {
    why.kind = Refusal::Kind::NotJson;
    why.at = e.byte;
  } catch (const nlohmann::json::exception&) {
    why.kind = Refusal::Kind::NotJson;
  } catch (const std::bad_alloc&) {
    why.kind = Refusal::Kind::OutOfMemory;
  }
  if (refusal != nullptr) {
    why.what = refusal->what;
    *refusal = why;
  }
  return std::nullopt;
}

template std::optional<nlohmann::json> parseBoundedJson(std::string_view, int, Refusal*);
template std::optional<nlohmann::ordered_json> parseBoundedJson(std::string_view, int, Refusal*);

std::optional<std::string_view> pageElementText(std::string_view page, std::string_view openTag,
                                                std::size_t limit, std::string_view what,
                                                Refusal* refusal) {
  const auto refuse = [&](Refusal::Kind kind) -> std::optional<std::string_view> {
    if (refusal != nullptr) *refusal = Refusal(kind, what, limit);
    return std::nullopt;
  };
  using K = Refusal::Kind;
  // One script in the whole page, wherever it stands: a second, even in a comment or in a text
  // a browser shows as text, may be the one something else reads.
  if (countNoCase(page, kPageScriptTag) > 1) return refuse(K::PageScripts);
  int pictures = 0;             // <svg> elements open
  bool inPictureTitle = false;  // in a picture's <title>, which a browser reads as HTML
  std::size_t at = 0;
  while ((at = page.find('<', at)) != std::string_view::npos && at + 1 < page.size()) {
    const char next = page[at + 1];
    if (next == '!' && holdsAt(page, at + 2, "doctype")) {
      at = page.find('>', at);
      if (at == std::string_view::npos) return refuse(K::PageCutOff);
      continue;
    }
    if (next == '!' && holdsAt(page, at + 2, "--")) return refuse(K::PageComment);
    if (next == '!' || next == '?' ||
        (next == '/' && at + 2 < page.size() && page[at + 2] != '>' && !isLetter(page[at + 2])))
      return refuse(K::PageDeclaration);
    if (next == '/' && at + 2 < page.size() && page[at + 2] == '>') {
      at += 3;  // "</>" is nothing to a browser
      continue;
    }
    if (!isLetter(next) && next != '/') {
      ++at;  // a '<' that starts no tag is text
      continue;
    }
    const Tag tag = readTag(page, at);
    if (tag.next == std::string_view::npos) return refuse(K::PageCutOff);
    if (inPictureTitle) {
      if (!tag.end || tag.name != "title") return refuse(K::PagePictureTitle);
      inPictureTitle = false;
    } else if (pictures > 0) {
      if (!oneOf(tag.name, kChartElements)) return refuse(K::PagePictureMarkup);
      if (tag.name == "svg" && tag.end) --pictures;
      if (tag.name == "svg" && !tag.end && !tag.selfClosing) ++pictures;
      if (tag.name == "title" && !tag.end && !tag.selfClosing) inPictureTitle = true;
    } else if (tag.end) {
      // An end tag changes nothing that matters here.
    } else if (tag.name == "script") {
      if (page.substr(at, openTag.size()) != openTag) return refuse(K::PageOtherScript);
      const std::size_t begin = at + openTag.size();
      const std::size_t end = page.find('<', begin);
      if (end == std::string_view::npos) return refuse(K::ElementCutOff);
      if (page.substr(end, kScriptEnd.size()) != kScriptEnd) return refuse(K::ElementMarkup);
      if (end - begin > limit) return refuse(K::ElementTooLarge);
      return page.substr(begin, end - begin);
    } else if (tag.name == "svg") {
      pictures = tag.selfClosing ? 0 : 1;
    } else if (oneOf(tag.name, kHidingElements)) {
      return refuse(K::PageHidingElement);
    } else if (oneOf(tag.name, kTextElements)) {
      // Its text runs to its end tag. Holding no markup, it reads the same to a browser that
      // takes it as text and to one that does not.
      const std::size_t close = page.find('<', tag.next);
      const std::size_t after = close + 2 + tag.name.size();
      if (close == std::string_view::npos || !holdsAt(page, close + 2, tag.name) ||
          page[close + 1] != '/' || after >= page.size() ||
          !(isSpace(page[after]) || page[after] == '/' || page[after] == '>'))
        return refuse(K::PageTextMarkup);
      at = close;
      continue;
    }
    at = tag.next;
  }
  return refuse(K::PageNone);
}

std::string jsonForPage(std::string_view json) {
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

std::string sha256Bytes(std::string_view bytes) {
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&ctx, sizeof digest, digest);
  return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

std::string hexText(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
  return out;
}

std::string sha256Hex(std::string_view bytes) { return hexText(sha256Bytes(bytes)); }

}  // namespace momiru
