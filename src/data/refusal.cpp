// The English words of each refusal.
#include "data/refusal.h"

#include <cstring>
#include <utility>

namespace momiru {
namespace {

std::string largerThan(std::size_t limit) {
  return "larger than " + std::to_string(limit) + " bytes";
}

}  // namespace

std::string describe(const Refusal& r) {
  const std::string what(r.what);
  // A writer's or a checker's own words, where it gave them, say the most.
  if (!r.english.empty()) return r.english;
  using K = Refusal::Kind;
  switch (r.kind) {
    case K::Folder:
      return "a folder, not a " + what + " file";
    case K::NotRegular:
      return "not a regular file";
    case K::CannotOpen:
      return std::string("cannot be opened: ") + std::strerror(r.systemError);
    case K::TooLarge:
      return largerThan(r.limit);
    case K::OutOfMemory:
      return "too large to read";
    case K::NotJson:
      // The parser's own message quotes the bytes it read, which may be anything.
      return "not JSON, or cut off (at byte " + std::to_string(r.at) + ")";
    case K::TooDeep:
      return "nested more than " + std::to_string(r.limit) + " levels deep";
    case K::PageCutOff:
      return "the page is cut off in a tag";
    case K::PageComment:
      return "the page holds a comment";
    case K::PageDeclaration:
      return "the page holds markup a browser reads as a comment";
    case K::PageScripts:
      return "the page holds more than one script";
    case K::PageOtherScript:
      return "the page's script is not a " + what;
    case K::PageTextMarkup:
      return "a text in the page holds markup, or is cut off";
    case K::PageHidingElement:
      return "the page holds an element that a browser reads otherwise";
    case K::PagePictureMarkup:
      return "a picture in the page holds markup other than a chart's";
    case K::PagePictureTitle:
      return "a picture in the page holds markup in its title";
    case K::PageNone:
      return "not a " + what + ": a page that carries none";
    case K::ElementCutOff:
      return "the " + what + " in the page is cut off";
    case K::ElementMarkup:
      return "the " + what + " in the page holds markup";
    case K::ElementTooLarge:
      return "the " + what + " in the page is " + largerThan(r.limit);
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
  }
  return "not a " + what;
}

bool refuse(Refusal* refusal, Refusal why) {
  if (refusal != nullptr) *refusal = std::move(why);
  return false;
}

}  // namespace momiru
