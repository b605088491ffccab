// The tournament window's first page: a new tournament's name and rules, and 作成, which makes
// its file (in the game's folder for tournaments, or where the player says when there is none).
#pragma once

#include <QWidget>
#include <filesystem>
#include <optional>

#include "report/tournament_session.h"
#include "ui/screen.h"
#include "ui/tournament_parts.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace momiru::ui {

class TournamentFormPage final : public TournamentPage {
  Q_OBJECT
 public:
  // `session` and `directory` as the window has them; `parent` is the window.
  TournamentFormPage(ScreenContext& context, TournamentHost& host,
                     std::optional<report::TournamentSession>& session,
                     std::optional<std::filesystem::path> directory, QWidget* parent);

  // 作成: the session made from the form, shown on the next page.
  void createTournament();
  // Where the keyboard starts on this page.
  QWidget* firstStep() const;

 signals:
  // A tournament was made and its gathering shown.
  void created();

 private:
  void updateRuleControls();

  std::optional<std::filesystem::path> directory_;

  QLabel* noDirectory_ = nullptr;
  QLineEdit* name_ = nullptr;
  QComboBox* format_ = nullptr;
  QComboBox* bestOf_ = nullptr;
  QSpinBox* rounds_ = nullptr;
  QComboBox* seeding_ = nullptr;
  QCheckBox* thirdPlace_ = nullptr;
  QCheckBox* halve_ = nullptr;
  QCheckBox* fairDraw_ = nullptr;
  QComboBox* beaconKind_ = nullptr;
  QLineEdit* beaconSource_ = nullptr;
  QPushButton* createButton_ = nullptr;
};

}  // namespace momiru::ui
