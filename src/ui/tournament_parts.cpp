// The tournament window's parts: its buttons and labels, and the session's matches as it shows
// them.
#include "ui/tournament_parts.h"

#include <QLabel>
#include <QPushButton>
#include <string>

namespace momiru::ui::tournament_parts {

QPushButton* button(QWidget* parent, const char* text, const char* name, const char* accessible) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAccessibleName(QString::fromUtf8(accessible));
  b->setAutoDefault(false);
  return b;
}

QLabel* label(QWidget* parent, const char* name) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setTextFormat(Qt::PlainText);  // names from files stay text
  l->setWordWrap(true);
  return l;
}

void setText(QLabel* label, const QString& text) {
  label->setText(text);
  label->setAccessibleName(text);
}

const report::Match* findMatch(const report::TournamentSession& session, const QString& id) {
  const std::string key = id.toStdString();
  if (const report::TournamentPlay* play = session.play()) {
    const report::ScheduledMatch* m = play->find(key);
    return m != nullptr ? &m->match : nullptr;
  }
  for (const report::Match& m : session.tournament().matches) {
    if (m.id == key) return &m;
  }
  return nullptr;
}

const report::Tournament& current(const report::TournamentSession& session) {
  return session.play() != nullptr ? session.play()->tournament() : session.tournament();
}

const char* writtenBy() { return "momiru-battle " MOMIRU_VERSION; }

}  // namespace momiru::ui::tournament_parts
