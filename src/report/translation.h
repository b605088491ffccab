// The lab's human texts in the user's language, through gettext's catalogue "momiru-lab". A text
// is marked _("...") where it is shown and N_("...") where it is only defined; the catalogue's
// msgids are the English texts, which are also what shows when no translation applies. JSON keys
// and values, save-data field names and the game's own texts are never marked.
#pragma once

#include <libintl.h>

namespace momiru::report {

inline constexpr const char* kTextDomain = "momiru-lab";

// `text` translated, for a text marked N_ elsewhere.
inline const char* translated(const char* text) { return ::dgettext(kTextDomain, text); }

}  // namespace momiru::report

// The domain is named in each call, so the texts translate in any program that links them,
// whatever its own text domain.
#define _(text) ::dgettext("momiru-lab", text)
#define N_(text) text
