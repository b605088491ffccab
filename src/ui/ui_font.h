// The one typeface of the screens: a proportional Japanese Gothic, whatever the system calls it.
#pragma once

#include <QFont>

namespace momiru::ui {

// A proportional Japanese Gothic face at `points`, the first one installed of a fallback list
// (IPAPGothic on Linux, the usual Japanese UI faces elsewhere).
QFont uiFont(qreal points = 9.0, bool bold = false);

// Loads Qt's own Japanese texts (dialog buttons, "Look in:"…) when they are installed.
// Returns false when they are not; the dialogs then set their labels themselves.
bool installQtJapanese();

}  // namespace momiru::ui
