// What the tournament window's pages share: their buttons and labels made alike, and what each
// asks of the window that holds them.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>

#include "report/tournament_session.h"

class QLabel;
class QPushButton;
class QWidget;

namespace momiru::ui {

// What a page of the tournament window asks of the window, which holds the session.
class TournamentHost {
 public:
  virtual ~TournamentHost() = default;
  // The status line under the pages; and its words for a change the file lacks (the last save
  // failed).
  virtual void setStatus(const QString& text) = 0;
  // `problem`, when given, says why.
  virtual void sayUnsaved(const report::SessionProblem* problem = nullptr) = 0;
  // The page the session's stage calls for, shown as the session stands, with its buttons.
  virtual void showPage() = 0;
  // Every button of the window enabled as the session and quick play allow.
  virtual void updateButtons() = 0;
  // While quick play runs, only its worker touches the session.
  virtual bool playing() const = 0;
  // The window a dialog stands over, and the keyboard taken back to it once the dialog has gone.
  virtual QWidget* dialogParent() = 0;
  virtual void dialogClosed() = 0;
};

struct ScreenContext;

// A page of the tournament window: the screen's context, the window that holds it and the
// session they share, and what it asks of the window in short.
class TournamentPage : public QWidget {
 public:
  TournamentPage(ScreenContext& context, TournamentHost& host,
                 std::optional<report::TournamentSession>& session, QWidget* parent)
      : QWidget(parent), ctx(context), host_(host), session_(session) {}

 protected:
  bool playing() const { return host_.playing(); }
  void setStatus(const QString& text) { host_.setStatus(text); }
  void sayUnsaved(const report::SessionProblem* problem = nullptr) { host_.sayUnsaved(problem); }
  void showPage() { host_.showPage(); }
  void updateButtons() { host_.updateButtons(); }
  void takeFocusBackFromDialog() { host_.dialogClosed(); }

  ScreenContext& ctx;
  TournamentHost& host_;
  std::optional<report::TournamentSession>& session_;
};

}  // namespace momiru::ui

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
