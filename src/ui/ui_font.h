// The one typeface of the screens: a proportional Japanese Gothic, whatever the system calls it.
#pragma once

#include <QFont>

namespace momiru::ui {

// A proportional Japanese Gothic face at `points`, the first one installed of a fallback list
// (IPAPGothic on Linux, the usual Japanese UI faces elsewhere).
QFont uiFont(qreal points = 9.0, bool bold = false);

// Makes Qt's own widgets speak Japanese whatever the system's locale: the default locale becomes
// Japanese (sizes, dates and numbers in the file dialog), and Qt's own Japanese texts (dialog
// buttons, "Look in:"…) are loaded when they are installed. Returns false when they are not;
// the dialogs then set their labels themselves.
bool installQtJapanese();

}  // namespace momiru::ui
