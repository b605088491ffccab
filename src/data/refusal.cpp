// The English words of each refusal, each sentence one of the lab's catalogue.
#include "data/refusal.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

namespace momiru {
namespace {}  // namespace

// Texts marked for the lab's catalogue; describe() looks each up through the caller's translation.
#define N_(text) text

std::string describe(const Refusal& r, Translate translate) {
  // A writer's or a checker's own words, where it gave them, say the most.
  if (!r.english.empty()) return r.english;
  const auto tr = [translate](const char* text) {
    return translate != nullptr ? translate(text) : text;
  };
  // The kind of file in the same words as the sentence.
  static const char* const kWhats[] = {N_("replay"), N_("tournament"), N_("index"), N_("secret")};
  std::string what(r.what);
  for (const char* known : kWhats) {
    if (r.what == known) what = tr(known);
  }
  // One sentence of the catalogue with its values: a file's kind, then a number.
  const auto say = [&](const char* text, std::optional<std::size_t> number = std::nullopt) {
    const char* form = tr(text);
    char out[512];
    if (number) {
      std::snprintf(out, sizeof out, form, what.c_str(), *number);
    } else {
      std::snprintf(out, sizeof out, form, what.c_str());
    }
    return std::string(out);
  };
  const auto sayNumber = [&](const char* text, std::size_t number) {
    char out[512];
    std::snprintf(out, sizeof out, tr(text), number);
    return std::string(out);
  };
  using K = Refusal::Kind;
  switch (r.kind) {
    case K::Folder:
      return say(N_("a folder, not a %s file"));
    case K::NotRegular:
      return tr(N_("not a regular file"));
    case K::CannotOpen: {
      char out[512];
      std::snprintf(out, sizeof out, tr(N_("cannot be opened: %s")), std::strerror(r.systemError));
      return out;
    }
    case K::TooLarge:
      return sayNumber(N_("larger than %zu bytes"), r.limit);
    case K::OutOfMemory:
      return tr(N_("too large to read"));
    case K::NotJson:
      // The parser's own message quotes the bytes it read, which may be anything.
      return sayNumber(N_("not JSON, or cut off (at byte %zu)"), r.at);
    case K::TooDeep:
      return sayNumber(N_("nested more than %zu levels deep"), r.limit);
    case K::DuplicateKey: {
      char out[512];
      std::snprintf(out, sizeof out, tr(N_("an object holds the key \"%s\" twice")),
                    r.subject.c_str());
      return out;
    }
    case K::PageCutOff:
      return tr(N_("the page is cut off in a tag"));
    case K::PageComment:
      return tr(N_("the page holds a comment"));
    case K::PageDeclaration:
      return tr(N_("the page holds markup a browser reads as a comment"));
    case K::PageScripts:
      return tr(N_("the page holds more than one script"));
    case K::PageOtherScript:
      return say(N_("the page's script is not a %s"));
    case K::PageTextMarkup:
      return tr(N_("a text in the page holds markup, or is cut off"));
    case K::PageHidingElement:
      return tr(N_("the page holds an element that a browser reads otherwise"));
    case K::PagePictureMarkup:
      return tr(N_("a picture in the page holds markup other than a chart's"));
    case K::PagePictureTitle:
      return tr(N_("a picture in the page holds markup in its title"));
    case K::PageNone:
      return say(N_("not a %s: a page that carries none"));
    case K::ElementCutOff:
      return say(N_("the %s in the page is cut off"));
    case K::ElementMarkup:
      return say(N_("the %s in the page holds markup"));
    case K::ElementTooLarge:
      return say(N_("the %s in the page is larger than %zu bytes"), r.limit);
    case K::NotOfKind:
    case K::NewerVersion:
    case K::UnknownVersion:
    case K::Missing:
    case K::WrongType:
    case K::OutOfRange:
    case K::NotAllowed:
    case K::NoHomeFolder:
    case K::CannotCreateFolder:
    case K::NotAFolder:
    case K::NotPrivate:
    case K::NotAFile:
    case K::IsAPage:
    case K::Exists:
    case K::CannotWrite:
    case K::NamesTaken:
      break;
    case K::HeldElsewhere:
      return tr(
          N_("another game or momiru-lab has the tournament open; try again once it is "
             "closed"));
    case K::CannotHold:
      return tr(N_("no hold of the file can be had beside it"));
    case K::ChangedSince:
      return tr(N_("another program has written the file since it was read; it is left as it is"));
  }
  return say(N_("not a %s"));
}

bool refuse(Refusal* refusal, Refusal why) {
  if (refusal != nullptr) *refusal = std::move(why);
  return false;
}

}  // namespace momiru
