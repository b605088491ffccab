// The one typeface of the screens: a proportional Japanese Gothic, whatever the system calls it.
#pragma once

#include <QFont>

namespace momiru::ui {

// A proportional Japanese Gothic face at `points`, the first one installed of a fallback list
// (IPAPGothic, installed or shipped with the game, then the usual Japanese UI faces).
QFont uiFont(qreal points = 9.0, bool bold = false);

// Adds the typefaces shipped in the fonts folder beside the game (a copy for a system that has
// no Japanese face of its own, as on Windows without Japanese installed); returns how many.
int addShippedFonts();

// Makes Qt's own widgets speak Japanese whatever the system's locale: the default locale becomes
// Japanese (sizes, dates and numbers in the file dialog), and Qt's own Japanese texts (dialog
// buttons, "Look in:"…) are loaded when they are installed. Returns false when they are not;
// the dialogs then set their labels themselves.
bool installQtJapanese();

}  // namespace momiru::ui
