// What the tournament window's two source files share: its buttons and labels made alike.
#pragma once

#include <QString>

#include "report/tournament_session.h"

class QLabel;
class QPushButton;
class QWidget;

namespace momiru::ui::tournament_parts {

// A button that Enter and Space press, named for the reader.
QPushButton* button(QWidget* parent, const char* text, const char* name, const char* accessible);
// A label of plain text, wrapped: names from files never act.
QLabel* label(QWidget* parent, const char* name);
// Its text, and the same for the reader.
void setText(QLabel* label, const QString& text);
// The match of that id as the session holds it, or null.
const report::Match* findMatch(const report::TournamentSession& session, const QString& id);
// The tournament as played so far.
const report::Tournament& current(const report::TournamentSession& session);
// What the game writes in the files it makes.
const char* writtenBy();

}  // namespace momiru::ui::tournament_parts
