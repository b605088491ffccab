// The tournament window before the draw: a new tournament's rules, the field gathered from files,
// folders and drops, its closing and its start.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "data/platform.h"
#include "data/text_safety.h"
#include "ui/picture_bank.h"
#include "ui/platform_dialogs.h"
#include "ui/refusal_text.h"
#include "ui/tournament_parts.h"
#include "ui/tournament_screen.h"
#include "ui/tournament_texts.h"
#include "ui/twips.h"
#include "ui/wait_cursor.h"

namespace momiru::ui {

using tournament_parts::setText;

namespace {

constexpr int kDefaultSwissRounds = 5;
constexpr QSize kIconSize{26, 30};

bool isSaveDataName(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension == ".dat";
}

// The files to enter: each file as given, and the *.dat files in each folder, in name order.
std::vector<std::filesystem::path> expandFolders(const std::vector<std::filesystem::path>& given) {
  std::vector<std::filesystem::path> files;
  for (const std::filesystem::path& p : given) {
    std::error_code ec;
    if (!std::filesystem::is_directory(p, ec)) {
      files.push_back(p);
      continue;
    }
    std::vector<std::filesystem::path> inside;
    for (std::filesystem::directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) {
      if (isSaveDataName(it->path())) inside.push_back(it->path());
    }
    std::sort(inside.begin(), inside.end());
    files.insert(files.end(), inside.begin(), inside.end());
  }
  return files;
}

// The local files and folders of a drop that may be entries.
std::vector<std::filesystem::path> droppedEntries(const QMimeData* data) {
  std::vector<std::filesystem::path> files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const std::filesystem::path p = utf8ToPath(url.toLocalFile().toStdString());
    std::error_code ec;
    if (isSaveDataName(p) || std::filesystem::is_directory(p, ec)) files.push_back(p);
  }
  return files;
}

}  // namespace

QWidget* TournamentScreen::buildNewPage() {
  auto* page = new QWidget(this);
  auto* box = new QVBoxLayout(page);
  box->setContentsMargins(0, px(120), 0, 0);
  noDirectory_ = tournament_parts::label(page, "NoFolder");
  setText(
      noDirectory_,
      QStringLiteral("大会を置くフォルダを作れませんでした。作成のときに保存する場所を尋ねます。"));
  noDirectory_->setVisible(!directory_.has_value());
  box->addWidget(noDirectory_);

  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Fields as wide as they need, not the window's width.
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  name_ = new QLineEdit(page);
  name_->setObjectName(QStringLiteral("Name"));
  name_->setAccessibleName(QStringLiteral("大会の名前"));
  name_->setPlaceholderText(QStringLiteral("大会"));
  name_->setMaxLength(100);
  name_->setMinimumWidth(px(6000));
  form->addRow(QStringLiteral("大会の名前"), name_);

  format_ = new QComboBox(page);
  format_->setObjectName(QStringLiteral("Format"));
  format_->setAccessibleName(QStringLiteral("大会の形式"));
  for (report::Format f : {report::Format::Single, report::Format::Double,
                           report::Format::RoundRobin, report::Format::Swiss}) {
    format_->addItem(formatText(f), static_cast<int>(f));
  }
  form->addRow(QStringLiteral("形式"), format_);

  bestOf_ = new QComboBox(page);
  bestOf_->setObjectName(QStringLiteral("BestOf"));
  bestOf_->setAccessibleName(QStringLiteral("1試合のバトルの数"));
  for (int n : {1, 3, 5, 7}) bestOf_->addItem(bestOfText(n), n);
  form->addRow(QStringLiteral("1試合"), bestOf_);

  rounds_ = new QSpinBox(page);
  rounds_->setObjectName(QStringLiteral("Rounds"));
  rounds_->setAccessibleName(QStringLiteral("スイス式の回戦数、または総当たりの回数"));
  rounds_->setRange(1, report::kMaxSwissRounds);
  rounds_->setValue(kDefaultSwissRounds);
  form->addRow(QStringLiteral("回戦数"), rounds_);

  seeding_ = new QComboBox(page);
  seeding_->setObjectName(QStringLiteral("Seeding"));
  seeding_->setAccessibleName(QStringLiteral("シードの決め方"));
  for (report::Seeding s :
       {report::Seeding::Draw, report::Seeding::Listed, report::Seeding::Strength}) {
    seeding_->addItem(seedingText(s), static_cast<int>(s));
  }
  form->addRow(QStringLiteral("シード"), seeding_);

  thirdPlace_ = new QCheckBox(QStringLiteral("3位決定戦"), page);
  thirdPlace_->setObjectName(QStringLiteral("ThirdPlace"));
  thirdPlace_->setAccessibleName(QStringLiteral("3位決定戦を行う"));
  form->addRow(QString(), thirdPlace_);
  halve_ = new QCheckBox(QStringLiteral("ダメージ半減"), page);
  halve_->setObjectName(QStringLiteral("Halve"));
  halve_->setAccessibleName(QStringLiteral("ダメージ半減"));
  form->addRow(QString(), halve_);
  fairDraw_ = new QCheckBox(QStringLiteral("公正な抽選"), page);
  fairDraw_->setObjectName(QStringLiteral("FairDraw"));
  fairDraw_->setAccessibleName(QStringLiteral("公正な抽選（秘密の値を先に約束する）"));
  fairDraw_->setChecked(true);
  form->addRow(QString(), fairDraw_);
  box->addLayout(form);

  auto* row = new QHBoxLayout;
  createButton_ = tournament_parts::button(page, "作成", "Create", "この設定で大会を作成する");
  row->addWidget(createButton_);
  row->addStretch(1);
  box->addLayout(row);
  box->addStretch(1);

  connect(format_, &QComboBox::currentIndexChanged, this, [this] { updateRuleControls(); });
  connect(createButton_, &QPushButton::clicked, this, &TournamentScreen::createTournament);
  updateRuleControls();
  return page;
}

void TournamentScreen::updateRuleControls() {
  const auto f = static_cast<report::Format>(format_->currentData().toInt());
  const bool swiss = f == report::Format::Swiss;
  const bool league = f == report::Format::RoundRobin;
  rounds_->setEnabled(swiss || league);
  rounds_->setMaximum(league ? 2 : report::kMaxSwissRounds);
  if (league && rounds_->value() > 2) rounds_->setValue(1);
  if (swiss && rounds_->value() < 1) rounds_->setValue(kDefaultSwissRounds);
  thirdPlace_->setEnabled(f == report::Format::Single);
  if (f != report::Format::Single) thirdPlace_->setChecked(false);
}

void TournamentScreen::createTournament() {
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
        this, QStringLiteral("大会ファイル"), QStringLiteral("*.momiru-tournament"),
        report::newTournamentFile({}, name.toStdString(), std::chrono::system_clock::now())
            .filename());
    takeFocusBackFromDialog();
    if (!chosen) return;
    file = *chosen;
  }
  report::SessionProblem problem;
  auto made = report::TournamentSession::create(file, report::secretFileOf(file),
                                                name.toStdString(), rules, fairDraw_->isChecked(),
                                                tournament_parts::writtenBy(), &problem);
  if (!made) {
    std::fprintf(stderr, "momiru-battle: %s: %s\n", shellQuote(pathToUtf8(file)).c_str(),
                 visibleText(problem.english).c_str());
    setStatus(QStringLiteral("大会を作成できませんでした。") + sessionProblemText(problem));
    return;
  }
  session_.emplace(std::move(*made));
  showPage();
  setStatus(QStringLiteral("大会を作成しました。エントリーを読み込んでください。"));
  loadButton_->setFocus();
}

QWidget* TournamentScreen::buildGatherPage() {
  auto* page = new QWidget(this);
  auto* box = new QVBoxLayout(page);
  box->setContentsMargins(0, 0, 0, 0);

  auto* promise = new QHBoxLayout;
  commitment_ = tournament_parts::label(page, "Commitment");
  commitment_->setWordWrap(false);
  commitment_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  copyCommitment_ =
      tournament_parts::button(page, "コピー", "CopyCommitment", "約束の値をコピーする");
  promise->addWidget(commitment_, 1);
  promise->addWidget(copyCommitment_);
  box->addLayout(promise);
  publishLine_ = tournament_parts::label(page, "Publish");
  setText(publishLine_,
          QStringLiteral("この約束の値を、エントリーを締め切る前に参加者へ公表してください。"));
  box->addWidget(publishLine_);
  connect(copyCommitment_, &QPushButton::clicked, this, [this] {
    if (!session_ || !session_->tournament().commitment) return;
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(*session_->tournament().commitment));
    setStatus(QStringLiteral("約束の値をコピーしました。"));
  });

  auto* actions = new QHBoxLayout;
  loadButton_ =
      tournament_parts::button(page, "読み込み", "Load", "セーブデータを読み込んでエントリーする");
  folderButton_ = tournament_parts::button(page, "フォルダから読み込み", "LoadFolder",
                                           "フォルダの中のセーブデータをすべてエントリーする");
  removeButton_ = tournament_parts::button(page, "削除", "Remove", "選んだエントリーを削除する");
  closeButton_ = tournament_parts::button(page, "締め切り", "CloseEntries", "エントリーを締め切る");
  startButton_ = tournament_parts::button(page, "開始", "Start", "抽選をして大会を始める");
  for (QPushButton* b : {loadButton_, folderButton_, removeButton_}) actions->addWidget(b);
  actions->addStretch(1);
  actions->addWidget(closeButton_);
  actions->addWidget(startButton_);
  box->addLayout(actions);
  connect(loadButton_, &QPushButton::clicked, this, &TournamentScreen::loadFiles);
  connect(folderButton_, &QPushButton::clicked, this, &TournamentScreen::loadFolder);
  connect(removeButton_, &QPushButton::clicked, this, &TournamentScreen::removeSelectedEntry);
  connect(closeButton_, &QPushButton::clicked, this, &TournamentScreen::closeEntries);
  connect(startButton_, &QPushButton::clicked, this, &TournamentScreen::startTournament);

  count_ = tournament_parts::label(page, "EntryCount");
  box->addWidget(count_);
  entries_ = new QTreeWidget(page);
  entries_->setObjectName(QStringLiteral("Entries"));
  entries_->setAccessibleName(QStringLiteral("エントリーの一覧"));
  entries_->setColumnCount(4);
  entries_->setHeaderLabels({QStringLiteral("番号"), QStringLiteral("名前"),
                             QStringLiteral("ファイル"), QStringLiteral("レベル")});
  entries_->setRootIsDecorated(false);
  entries_->setUniformRowHeights(true);
  entries_->setIconSize(kIconSize);
  entries_->setSelectionMode(QAbstractItemView::SingleSelection);
  entries_->header()->setStretchLastSection(false);
  entries_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  entries_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  entries_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
  entries_->header()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
  box->addWidget(entries_, 3);
  connect(entries_, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });

  auto* refusedLabel = new QLabel(QStringLiteral("エントリーできなかったファイル"), page);
  box->addWidget(refusedLabel);
  refused_ = new QListWidget(page);
  refused_->setObjectName(QStringLiteral("Refused"));
  refused_->setAccessibleName(QStringLiteral("エントリーできなかったファイルと理由"));
  refused_->setWordWrap(true);
  refusedLabel->setBuddy(refused_);
  box->addWidget(refused_, 1);

  auto* digestRow = new QHBoxLayout;
  digest_ = tournament_parts::label(page, "Digest");
  digest_->setWordWrap(false);
  digest_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  copyDigest_ =
      tournament_parts::button(page, "コピー", "CopyDigest", "エントリーの要約値をコピーする");
  digestRow->addWidget(digest_, 1);
  digestRow->addWidget(copyDigest_);
  box->addLayout(digestRow);
  connect(copyDigest_, &QPushButton::clicked, this, [this] {
    if (!session_ || !session_->tournament().entriesDigest) return;
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(*session_->tournament().entriesDigest));
    setStatus(QStringLiteral("エントリーの要約値をコピーしました。"));
  });
  return page;
}

void TournamentScreen::showGathering() {
  const report::Tournament& t = session_->tournament();
  const bool promised = t.commitment.has_value();
  commitment_->setVisible(promised);
  copyCommitment_->setVisible(promised);
  publishLine_->setVisible(promised && t.stage == report::Stage::Open);
  if (promised) {
    setText(commitment_,
            QStringLiteral("約束の値（公正な抽選）：") + QString::fromStdString(*t.commitment));
  }
  const bool closed = t.entriesDigest.has_value();
  digest_->setVisible(closed);
  copyDigest_->setVisible(closed);
  if (closed) {
    setText(digest_, QStringLiteral("締め切りました。エントリーの要約値：") +
                         QString::fromStdString(*t.entriesDigest));
  }
  showEntries();
}

void TournamentScreen::showEntries() {
  const report::Tournament& t = session_->tournament();
  const int keep = entries_->currentItem() != nullptr
                       ? entries_->indexOfTopLevelItem(entries_->currentItem())
                       : -1;
  // Fifteen portraits at most, each drawn once at this screen's pixel ratio.
  std::array<QIcon, PictureBank::kPortraits> icons;
  const qreal dpr = devicePixelRatioF();
  entries_->clear();
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(t.entries.size()));
  for (std::size_t i = 0; i < t.entries.size(); ++i) {
    const report::Entry& e = t.entries[i];
    auto* row = new QTreeWidgetItem;
    row->setText(0, QString::number(i + 1));
    row->setText(1, shownName(e.storedName));
    row->setText(2, shownName(e.file));
    row->setText(3, QString::number(e.record.level));
    row->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    const int picture = e.record.portrait >= 0 && e.record.portrait < PictureBank::kPortraits
                            ? e.record.portrait
                            : PictureBank::kEmptyPortrait;
    QIcon& icon = icons[static_cast<std::size_t>(picture)];
    if (icon.isNull()) {
      QPixmap full = ctx.pictures.portrait(picture, dpr);
      if (!full.isNull()) {
        QPixmap small = full.scaled(kIconSize * dpr, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        small.setDevicePixelRatio(dpr);
        icon = QIcon(small);
      }
    }
    if (!icon.isNull()) row->setIcon(1, icon);
    rows.append(row);
  }
  entries_->addTopLevelItems(rows);
  if (!rows.isEmpty()) {
    entries_->setCurrentItem(rows[std::clamp(keep, 0, static_cast<int>(rows.size()) - 1)]);
  }
  const QString stage =
      t.stage == report::Stage::Open ? QStringLiteral("受付中") : QStringLiteral("締め切り済み");
  setText(count_, QStringLiteral("エントリー %1人（%2）").arg(t.entries.size()).arg(stage));
}

QStringList TournamentScreen::refusals() const {
  QStringList lines;
  for (int i = 0; i < refused_->count(); ++i) lines << refused_->item(i)->text();
  return lines;
}

void TournamentScreen::loadFiles() {
  if (!session_ || playing_) return;
  const auto files = ctx.dialogs.openFiles(this, QString::fromUtf8(kSaveDataFilterText).trimmed(),
                                           QString::fromUtf8(kSaveDataFilterPattern));
  takeFocusBackFromDialog();
  if (!files.empty()) addFiles(files);
}

void TournamentScreen::loadFolder() {
  if (!session_ || playing_) return;
  const auto folder = ctx.dialogs.openFolder(this);
  takeFocusBackFromDialog();
  if (folder) addFiles({*folder});
}

void TournamentScreen::addFiles(const std::vector<std::filesystem::path>& given) {
  if (!session_ || playing_ || session_->tournament().stage != report::Stage::Open) return;
  const std::vector<std::filesystem::path> files = expandFolders(given);
  std::vector<report::EntryResult> results;
  std::optional<report::SessionProblem> unsaved;
  {
    const WaitCursor wait;
    results = session_->addEntries(files, &unsaved);
  }
  refused_->clear();
  int entered = 0;
  for (const report::EntryResult& r : results) {
    if (r.entry) {
      ++entered;
      continue;
    }
    if (!r.detail.empty()) {
      std::fprintf(stderr, "momiru-battle: %s: %s\n", shellQuote(pathToUtf8(r.file)).c_str(),
                   visibleText(r.detail).c_str());
    }
    auto* line = new QListWidgetItem(refusalLine(session_->tournament(), r), refused_);
    line->setData(Qt::AccessibleTextRole, line->text());
  }
  showGathering();
  updateButtons();
  const int refused = static_cast<int>(results.size()) - entered;
  QString text = QStringLiteral("%1件をエントリーしました。").arg(entered);
  if (refused > 0) text += QStringLiteral("%1件はエントリーできませんでした。").arg(refused);
  if (files.empty()) text = QStringLiteral("セーブデータ（*.dat）が見つかりませんでした。");
  setStatus(text);
  if (unsaved) {
    std::fprintf(stderr, "momiru-battle: %s\n", visibleText(unsaved->english).c_str());
    sayUnsaved(&*unsaved);
  }
  if (entered > 0)
    entries_->setCurrentItem(entries_->topLevelItem(entries_->topLevelItemCount() - 1));
}

void TournamentScreen::removeSelectedEntry() {
  if (!session_ || playing_ || entries_->currentItem() == nullptr) return;
  const int row = entries_->indexOfTopLevelItem(entries_->currentItem());
  const QString name = entries_->currentItem()->text(1);
  report::SessionProblem problem;
  const bool removed = session_->removeEntry(row, &problem);
  if (!removed)
    std::fprintf(stderr, "momiru-battle: remove entry: %s\n", visibleText(problem.english).c_str());
  if (!removed && !session_->unsaved()) {
    setStatus(QStringLiteral("削除できませんでした。") + sessionProblemText(problem));
    return;
  }
  showGathering();
  updateButtons();
  setStatus(QStringLiteral("%1を削除しました。").arg(name));
  if (!removed) sayUnsaved(&problem);
  (entries_->topLevelItemCount() > 0 ? static_cast<QWidget*>(entries_) : loadButton_)->setFocus();
}

void TournamentScreen::closeEntries() {
  if (!session_ || playing_) return;
  report::SessionProblem problem;
  const bool closed = session_->closeEntries(&problem);
  if (!closed)
    std::fprintf(stderr, "momiru-battle: close entries: %s\n",
                 visibleText(problem.english).c_str());
  if (!closed && !session_->unsaved()) {
    setStatus(QStringLiteral("締め切れません。") + sessionProblemText(problem));
    return;
  }
  showPage();
  setStatus(QStringLiteral("エントリーを締め切りました。要約値を公表してから開始してください。"));
  startButton_->setFocus();
  if (!closed) sayUnsaved(&problem);
}

void TournamentScreen::startTournament() {
  if (!session_ || playing_ || session_->started()) return;
  const auto beacon = ctx.dialogs.askLine(
      this, QStringLiteral("大会を始める"),
      QStringLiteral("締め切りの後に公表される値（例: 宝くじの当選番号）を入れると、"
                     "主催者にも抽選を操れなかったことを示せます。（空のままでも始められます）"));
  takeFocusBackFromDialog();
  if (!beacon) return;
  const QString given = beacon->trimmed();
  std::optional<std::string> value;
  if (!given.isEmpty()) value = given.toStdString();
  report::SessionProblem problem;
  bool started = false;
  {
    const WaitCursor wait;
    started = session_->start(value, &problem);
  }
  if (!started)
    std::fprintf(stderr, "momiru-battle: start: %s\n", visibleText(problem.english).c_str());
  if (!started && !session_->unsaved()) {
    setStatus(QStringLiteral("大会を始められませんでした。") + sessionProblemText(problem));
    return;
  }
  showPage();
  setStatus(QStringLiteral("抽選をして大会を始めました。"));
  nextButton_->setFocus();
  if (!started) sayUnsaved(&problem);
}

void TournamentScreen::dragEnterEvent(QDragEnterEvent* event) {
  if (session_ && !playing_ && session_->tournament().stage == report::Stage::Open &&
      !droppedEntries(event->mimeData()).empty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TournamentScreen::dropEvent(QDropEvent* event) {
  const auto files = droppedEntries(event->mimeData());
  if (files.empty() || !session_ || playing_) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  addFiles(files);
}

}  // namespace momiru::ui
