// The tournament window's first page: a new tournament's rules and its making.
#include "ui/tournament_form_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <chrono>
#include <cstdio>

#include "data/platform.h"
#include "data/text_safety.h"
#include "report/secret_file.h"
#include "report/tournament_file.h"
#include "ui/platform_dialogs.h"
#include "ui/refusal_text.h"
#include "ui/tournament_texts.h"
#include "ui/twips.h"

namespace momiru::ui {

using tournament_parts::setText;

TournamentFormPage::TournamentFormPage(ScreenContext& context, TournamentHost& host,
                                       std::optional<report::TournamentSession>& session,
                                       std::optional<std::filesystem::path> directory,
                                       QWidget* parent)
    : TournamentPage(context, host, session, parent), directory_(std::move(directory)) {
  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(0, px(120), 0, 0);
  noDirectory_ = tournament_parts::label(this, "NoFolder");
  setText(
      noDirectory_,
      QStringLiteral("大会を置くフォルダを作れませんでした。作成のときに保存する場所を尋ねます。"));
  noDirectory_->setVisible(!directory_.has_value());
  box->addWidget(noDirectory_);

  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Fields as wide as they need, not the window's width.
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("Name"));
  name_->setAccessibleName(QStringLiteral("大会の名前"));
  name_->setPlaceholderText(QStringLiteral("大会"));
  name_->setMaxLength(100);
  name_->setMinimumWidth(px(6000));
  form->addRow(QStringLiteral("大会の名前"), name_);

  format_ = new QComboBox(this);
  format_->setObjectName(QStringLiteral("Format"));
  format_->setAccessibleName(QStringLiteral("大会の形式"));
  for (report::Format f : {report::Format::Single, report::Format::Double,
                           report::Format::RoundRobin, report::Format::Swiss}) {
    format_->addItem(formatText(f), static_cast<int>(f));
  }
  form->addRow(QStringLiteral("形式"), format_);

  bestOf_ = new QComboBox(this);
  bestOf_->setObjectName(QStringLiteral("BestOf"));
  bestOf_->setAccessibleName(QStringLiteral("1試合のバトルの数"));
  for (int n : {1, 3, 5, 7}) bestOf_->addItem(bestOfText(n), n);
  form->addRow(QStringLiteral("1試合"), bestOf_);

  rounds_ = new QSpinBox(this);
  rounds_->setObjectName(QStringLiteral("Rounds"));
  rounds_->setAccessibleName(QStringLiteral("スイス式の回戦数、または総当たりの回数"));
  // A Swiss's rounds are 自動 (0 in the file) unless chosen: as many as it takes to find one
  // winner, the rule the lab and the README give.
  rounds_->setRange(0, report::kMaxSwissRounds);
  rounds_->setSpecialValueText(QStringLiteral("自動"));
  rounds_->setToolTip(
      QStringLiteral("スイス式の「自動」は、2のN乗が人数以上になる最小のN回戦です（8人なら3回戦、10"
                     "人なら4回戦）。"));
  rounds_->setValue(0);
  form->addRow(QStringLiteral("回戦数"), rounds_);

  seeding_ = new QComboBox(this);
  seeding_->setObjectName(QStringLiteral("Seeding"));
  seeding_->setAccessibleName(QStringLiteral("シードの決め方"));
  for (report::Seeding s :
       {report::Seeding::Draw, report::Seeding::Listed, report::Seeding::Strength}) {
    seeding_->addItem(seedingText(s), static_cast<int>(s));
  }
  form->addRow(QStringLiteral("シード"), seeding_);

  thirdPlace_ = new QCheckBox(QStringLiteral("3位決定戦"), this);
  thirdPlace_->setObjectName(QStringLiteral("ThirdPlace"));
  thirdPlace_->setAccessibleName(QStringLiteral("3位決定戦を行う"));
  form->addRow(QString(), thirdPlace_);
  halve_ = new QCheckBox(QStringLiteral("ダメージ半減"), this);
  halve_->setObjectName(QStringLiteral("Halve"));
  halve_->setAccessibleName(QStringLiteral("ダメージ半減"));
  form->addRow(QString(), halve_);
  fairDraw_ = new QCheckBox(QStringLiteral("公正な抽選"), this);
  fairDraw_->setObjectName(QStringLiteral("FairDraw"));
  fairDraw_->setAccessibleName(QStringLiteral("公正な抽選（秘密の値を先に約束する）"));
  fairDraw_->setChecked(true);
  form->addRow(QString(), fairDraw_);
  // The beacon's kind and source, fixed with the commitment when the tournament is made.
  beaconKind_ = new QComboBox(this);
  beaconKind_->setObjectName(QStringLiteral("BeaconKind"));
  beaconKind_->setAccessibleName(QStringLiteral("ビーコンの種類"));
  beaconKind_->addItem(QStringLiteral("数字（例: 宝くじの当選番号）"),
                       static_cast<int>(report::BeaconKind::Numbers));
  beaconKind_->addItem(QStringLiteral("16進数（例: 公開されたハッシュ値）"),
                       static_cast<int>(report::BeaconKind::Hex));
  form->addRow(QStringLiteral("ビーコンの種類"), beaconKind_);
  beaconSource_ = new QLineEdit(this);
  beaconSource_->setObjectName(QStringLiteral("BeaconSource"));
  beaconSource_->setAccessibleName(QStringLiteral("ビーコンの出所"));
  beaconSource_->setPlaceholderText(QStringLiteral("例: 12月8日の宝くじの当選番号"));
  beaconSource_->setMaxLength(200);
  beaconSource_->setMinimumWidth(px(6000));
  form->addRow(QStringLiteral("ビーコンの出所"), beaconSource_);
  box->addLayout(form);

  auto* row = new QHBoxLayout;
  createButton_ = tournament_parts::button(this, "作成", "Create", "この設定で大会を作成する");
  row->addWidget(createButton_);
  row->addStretch(1);
  box->addLayout(row);
  box->addStretch(1);

  connect(format_, &QComboBox::currentIndexChanged, this, [this] { updateRuleControls(); });
  connect(createButton_, &QPushButton::clicked, this, &TournamentFormPage::createTournament);
  updateRuleControls();
}

QWidget* TournamentFormPage::firstStep() const { return name_; }

void TournamentFormPage::updateRuleControls() {
  const auto f = static_cast<report::Format>(format_->currentData().toInt());
  const bool swiss = f == report::Format::Swiss;
  const bool league = f == report::Format::RoundRobin;
  rounds_->setEnabled(swiss || league);
  if (league) {
    // Once or twice around; 自動 means nothing here.
    rounds_->setSpecialValueText(QString());
    if (rounds_->value() < 1 || rounds_->value() > 2) rounds_->setValue(1);
    rounds_->setRange(1, 2);
  } else {
    const bool fromLeague = rounds_->minimum() == 1;
    rounds_->setRange(0, report::kMaxSwissRounds);
    rounds_->setSpecialValueText(QStringLiteral("自動"));
    if (fromLeague) rounds_->setValue(0);
  }
  thirdPlace_->setEnabled(f == report::Format::Single);
  if (f != report::Format::Single) thirdPlace_->setChecked(false);
}

void TournamentFormPage::createTournament() {
  if (session_) return;
  report::TournamentRules rules;
  rules.format = static_cast<report::Format>(format_->currentData().toInt());
  rules.bestOf = bestOf_->currentData().toInt();
  rules.rounds = rules.format == report::Format::Swiss || rules.format == report::Format::RoundRobin
                     ? rounds_->value()
                     : 0;
  rules.seeding = static_cast<report::Seeding>(seeding_->currentData().toInt());
  rules.thirdPlace = rules.format == report::Format::Single && thirdPlace_->isChecked();
  rules.halve = halve_->isChecked();
  QString name = name_->text().trimmed();
  if (name.isEmpty()) name = name_->placeholderText();

  std::filesystem::path file;
  if (directory_) {
    file = report::newTournamentFile(*directory_, name.toStdString(),
                                     std::chrono::system_clock::now());
  } else {
    const auto chosen = ctx.dialogs.saveFile(
        host_.dialogParent(), QStringLiteral("大会ファイル"), QStringLiteral("*.momiru-tournament"),
        report::newTournamentFile({}, name.toStdString(), std::chrono::system_clock::now())
            .filename());
    takeFocusBackFromDialog();
    if (!chosen) return;
    file = *chosen;
  }
  report::SessionProblem problem;
  report::BeaconDeclaration beacon;
  beacon.kind = static_cast<report::BeaconKind>(beaconKind_->currentData().toInt());
  beacon.source = beaconSource_->text().trimmed().toStdString();
  auto made = report::TournamentSession::create(file, report::secretFileOf(file),
                                                name.toStdString(), rules, fairDraw_->isChecked(),
                                                tournament_parts::writtenBy(), &problem, beacon);
  if (!made) {
    std::fprintf(stderr, "momiru-battle: %s: %s\n", shellQuote(pathToUtf8(file)).c_str(),
                 visibleText(problem.english).c_str());
    setStatus(QStringLiteral("大会を作成できませんでした。") + sessionProblemText(problem));
    return;
  }
  session_.emplace(std::move(*made));
  showPage();
  setStatus(QStringLiteral("大会を作成しました。エントリーを読み込んでください。"));
  emit created();
}

}  // namespace momiru::ui
