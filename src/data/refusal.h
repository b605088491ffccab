// What went wrong reading, checking or writing a file, as a value: its kind and what it is about
// (the kind of file, a limit, the place of a value, the system's error number). Each front end
// words it for its own reader: the screens in Japanese from the kind alone, the lab and the log
// in the English describe() gives.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace momiru {

struct Refusal {
  enum class Kind {
    // Reading a file of `what`.
    Folder,             // a folder, not a file of `what`
    NotRegular,         // a FIFO, a device, a socket
    CannotOpen,         // systemError says why
    TooLarge,           // larger than `limit` bytes
    OutOfMemory,        // too large to hold while it was read or parsed
    NotJson,            // not JSON, or cut off, at byte `at`
    TooDeep,            // nested `limit` levels deep or more
    DuplicateKey,       // an object holds the key `subject` twice
    PageCutOff,         // the page ends inside a tag
    PageComment,        // the page holds a comment
    PageDeclaration,    // markup a browser reads as a comment (a declaration, "<?", "</!")
    PageScripts,        // more than one script
    PageOtherScript,    // the page's script is not the element of `what`
    PageTextMarkup,     // an element whose text a browser reads as text holds markup, or is cut off
    PageHidingElement,  // an element after which a browser reads the page otherwise
    PagePictureMarkup,  // a picture holds markup other than a chart's
    PagePictureTitle,   // a picture's title holds markup
    PageNone,           // the page carries no element of `what`
    ElementCutOff,      // the element of `what` is cut off
    ElementMarkup,      // the element of `what` holds markup
    ElementTooLarge,    // the element of `what` is larger than `limit` bytes
    // The document's values, each refused where it stood (`subject`: "matches[3].winner").
    NotOfKind,       // another kind of document than `what`
    NewerVersion,    // written by a newer version of the game (`limit`: the version read here)
    UnknownVersion,  // a version this game never wrote
    Missing,         // `subject` is not there
    WrongType,       // `subject` is another type of value (a text for a number, ...)
    OutOfRange,      // `subject` is a number outside its range, or a text or list too long
    NotAllowed,      // `subject` holds a value these rules do not know or allow
    // Writing, and the folders written in (`subject`: the file or folder).
    NoHomeFolder,        // neither XDG_DATA_HOME nor HOME names the folder for `what`
    CannotCreateFolder,  // systemError says why
    NotAFolder,          // `subject` is something other than a folder
    NotPrivate,          // the folder `subject` belongs to another user, or others may enter it
    NotAFile,            // the file to write is a folder, a FIFO, a device or a link
    IsAPage,             // a tournament opened from a page, which is never written back
    Exists,              // `subject` exists already and is never replaced
    CannotWrite,         // systemError says why (0 when the system gave none)
    NamesTaken,          // every free name for a new file in `subject` is taken
    // One writer at a time (`subject`: the file).
    HeldElsewhere,  // another game or momiru-lab has `subject` open and holds it
    CannotHold,     // no hold of `subject` can be had: systemError says why (0: its lock file is
                    // a folder, a FIFO, a device or a link)
    ChangedSince,   // `subject` is no longer the file read: another program wrote or removed it
  };
  Refusal() = default;
  explicit Refusal(Kind k, std::string_view of = {}, std::size_t limitOf = 0)
      : kind(k), what(of), limit(limitOf) {}
  // A refusal whose English line is `english`, as the writer or the checker built it.
  static Refusal said(Kind k, std::string english, std::string subjectOf = {},
                      int systemErrorOf = 0) {
    Refusal r(k);
    r.english = std::move(english);
    r.subject = std::move(subjectOf);
    r.systemError = systemErrorOf;
    return r;
  }

  Kind kind = Kind::NotJson;
  std::string_view what;  // the kind of file: "replay", "tournament", "index", "secret"
  std::size_t limit = 0;  // TooLarge, TooDeep, ElementTooLarge, NewerVersion
  std::size_t at = 0;     // NotJson: the byte where the text stops being JSON
  int systemError = 0;    // CannotOpen, CannotCreateFolder, CannotWrite, CannotHold: the system's
                          // error number
  std::string subject;    // where a value stood, or the file or folder written
  std::string english;    // the lab's words, where they say more than the kind (describe)
};

// The refusal in the lab's and the log's English, one line: the words every reader and writer
// of these files has always given, which callers and catalogues know.
// Each sentence is looked up through `translate` when one is given (the lab's catalogue); a
// writer's or a checker's own English is kept as it is.
using Translate = const char* (*)(const char*);
std::string describe(const Refusal& refusal, Translate translate = nullptr);

// The reasons a caller gives as English text for the log, each with its kind: `refusal` (if
// given) set, and false.
bool refuse(Refusal* refusal, Refusal why);

}  // namespace momiru
