// The lab's human texts in the user's language, through gettext's catalogue "momiru-lab". A text
// is marked _("...") where it is shown and N_("...") where it is only defined; the catalogue's
// msgids are the English texts, which are also what shows when no translation applies. JSON keys
// and values, save-data field names and the game's own texts are never marked.
#pragma once

#ifdef _WIN32
// Before gettext's header, whose macros these headers would otherwise undo when included later.
#include <clocale>
#include <cstdio>
#endif
#include <libintl.h>

#ifdef _WIN32
// On Windows gettext is a library of its own, whose header makes the printf family and setlocale
// macros for its own functions: they read the catalogues' numbered arguments ("%2$u"), which the
// Windows C library prints as they are. A call written std::fprintf names that function, so the
// functions a translated text is printed with are declared in std as well. Texts formatted into
// a buffer are never a catalogue's: those keep MinGW's C99 printf, which rounds a tie as glibc
// does (gettext's hands floating point to Windows' C library, which rounds it away from zero).
#undef snprintf
#undef sprintf
#undef vsnprintf
#undef vsprintf
namespace std {
using ::libintl_fprintf;
using ::libintl_printf;
using ::libintl_setlocale;
using ::libintl_vfprintf;
using ::libintl_vprintf;
}  // namespace std
#endif

namespace momiru::report {

inline constexpr const char* kTextDomain = "momiru-lab";

// `text` translated, for a text marked N_ elsewhere.
inline const char* translated(const char* text) { return ::dgettext(kTextDomain, text); }

}  // namespace momiru::report

// The domain is named in each call, so the texts translate in any program that links them,
// whatever its own text domain.
#define _(text) ::dgettext("momiru-lab", text)
#define N_(text) text
