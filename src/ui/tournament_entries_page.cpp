// The tournament window before the draw: the field gathered from files, folders and drops, its
// closing and its start.
#include "ui/tournament_entries_page.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cstdio>
#include <system_error>

#include "data/platform.h"
#include "data/text_safety.h"
#include "report/tournament_draw.h"
#include "ui/picture_bank.h"
#include "ui/platform_dialogs.h"
#include "ui/refusal_text.h"
#include "ui/tournament_parts.h"
#include "ui/tournament_texts.h"
#include "ui/twips.h"
#include "ui/wait_cursor.h"

namespace momiru::ui {

using tournament_parts::setText;

namespace {

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

}  // namespace

std::vector<std::filesystem::path> TournamentEntriesPage::droppedEntries(const QMimeData* data) {
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

TournamentEntriesPage::TournamentEntriesPage(ScreenContext& context, TournamentHost& host,
                                             std::optional<report::TournamentSession>& session,
                                             QWidget* parent)
    : TournamentPage(context, host, session, parent) {
  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(0, 0, 0, 0);

  auto* promise = new QHBoxLayout;
  commitment_ = tournament_parts::label(this, "Commitment");
  commitment_->setWordWrap(false);
  commitment_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  copyCommitment_ =
      tournament_parts::button(this, "コピー", "CopyCommitment", "約束の値をコピーする");
  promise->addWidget(commitment_, 1);
  promise->addWidget(copyCommitment_);
  box->addLayout(promise);
  publishLine_ = tournament_parts::label(this, "Publish");
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
      tournament_parts::button(this, "読み込み", "Load", "セーブデータを読み込んでエントリーする");
  folderButton_ = tournament_parts::button(this, "フォルダから読み込み", "LoadFolder",
                                           "フォルダの中のセーブデータをすべてエントリーする");
  removeButton_ = tournament_parts::button(this, "削除", "Remove", "選んだエントリーを削除する");
  closeButton_ = tournament_parts::button(this, "締め切り", "CloseEntries", "エントリーを締め切る");
  startButton_ = tournament_parts::button(this, "開始", "Start", "抽選をして大会を始める");
  for (QPushButton* b : {loadButton_, folderButton_, removeButton_}) actions->addWidget(b);
  actions->addStretch(1);
  actions->addWidget(closeButton_);
  actions->addWidget(startButton_);
  box->addLayout(actions);
  connect(loadButton_, &QPushButton::clicked, this, &TournamentEntriesPage::loadFiles);
  connect(folderButton_, &QPushButton::clicked, this, &TournamentEntriesPage::loadFolder);
  connect(removeButton_, &QPushButton::clicked, this, &TournamentEntriesPage::removeSelectedEntry);
  connect(closeButton_, &QPushButton::clicked, this, &TournamentEntriesPage::closeEntries);
  connect(startButton_, &QPushButton::clicked, this, &TournamentEntriesPage::startTournament);

  count_ = tournament_parts::label(this, "EntryCount");
  box->addWidget(count_);
  entries_ = new QTreeWidget(this);
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

  auto* refusedLabel = new QLabel(QStringLiteral("エントリーできなかったファイル"), this);
  box->addWidget(refusedLabel);
  refused_ = new QListWidget(this);
  refused_->setObjectName(QStringLiteral("Refused"));
  refused_->setAccessibleName(QStringLiteral("エントリーできなかったファイルと理由"));
  refused_->setWordWrap(true);
  refusedLabel->setBuddy(refused_);
  box->addWidget(refused_, 1);

  auto* digestRow = new QHBoxLayout;
  digest_ = tournament_parts::label(this, "Digest");
  digest_->setWordWrap(false);
  digest_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  copyDigest_ =
      tournament_parts::button(this, "コピー", "CopyDigest", "エントリーの要約値をコピーする");
  digestRow->addWidget(digest_, 1);
  digestRow->addWidget(copyDigest_);
  box->addLayout(digestRow);
  connect(copyDigest_, &QPushButton::clicked, this, [this] {
    if (!session_ || !session_->tournament().entriesDigest) return;
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(*session_->tournament().entriesDigest));
    setStatus(QStringLiteral("エントリーの要約値をコピーしました。"));
  });
}

QWidget* TournamentEntriesPage::firstStep() const {
  QWidget* first = loadButton_->isEnabled() ? loadButton_ : startButton_;
  if (!first->isEnabled()) first = entries_;
  return first;
}

void TournamentEntriesPage::focusLoad() { loadButton_->setFocus(); }

void TournamentEntriesPage::enableButtons(bool idle) {
  const report::Tournament& t = session_->tournament();
  const bool open = t.stage == report::Stage::Open;
  loadButton_->setEnabled(idle && open);
  folderButton_->setEnabled(idle && open);
  removeButton_->setEnabled(idle && open && entries_->currentItem() != nullptr);
  closeButton_->setEnabled(idle && open && t.entries.size() >= 2);  // a field needs two
  startButton_->setEnabled(idle && t.stage == report::Stage::Closed && !session_->started());
}

void TournamentEntriesPage::showGathering() {
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

void TournamentEntriesPage::showEntries() {
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

QStringList TournamentEntriesPage::refusals() const {
  QStringList lines;
  for (int i = 0; i < refused_->count(); ++i) lines << refused_->item(i)->text();
  return lines;
}

void TournamentEntriesPage::loadFiles() {
  if (!session_ || playing()) return;
  const auto files =
      ctx.dialogs.openFiles(host_.dialogParent(), QString::fromUtf8(kSaveDataFilterText).trimmed(),
                            QString::fromUtf8(kSaveDataFilterPattern));
  takeFocusBackFromDialog();
  if (!files.empty()) addFiles(files);
}

void TournamentEntriesPage::loadFolder() {
  if (!session_ || playing()) return;
  const auto folder = ctx.dialogs.openFolder(host_.dialogParent());
  takeFocusBackFromDialog();
  if (folder) addFiles({*folder});
}

void TournamentEntriesPage::addFiles(const std::vector<std::filesystem::path>& given) {
  if (!session_ || playing() || session_->tournament().stage != report::Stage::Open) return;
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
  showPage();  // the title's rounds follow the field
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

void TournamentEntriesPage::removeSelectedEntry() {
  if (!session_ || playing() || entries_->currentItem() == nullptr) return;
  const int row = entries_->indexOfTopLevelItem(entries_->currentItem());
  const report::Tournament& t = session_->tournament();
  if (row < 0 || static_cast<std::size_t>(row) >= t.entries.size()) return;
  // Told by its number and file as well as its name: two entries may share a name.
  const QString which = QStringLiteral("#%1「%2」（%3）")
                            .arg(row + 1)
                            .arg(shownName(t.entries[static_cast<std::size_t>(row)].storedName),
                                 shownName(t.entries[static_cast<std::size_t>(row)].file));
  const bool sure = ctx.dialogs.confirm(
      host_.dialogParent(), QStringLiteral("エントリー %1 を削除しますか？").arg(which));
  takeFocusBackFromDialog();
  if (!sure) return;
  report::SessionProblem problem;
  const bool removed = session_->removeEntry(row, &problem);
  if (!removed)
    std::fprintf(stderr, "momiru-battle: remove entry: %s\n", visibleText(problem.english).c_str());
  if (!removed && !session_->unsaved()) {
    setStatus(QStringLiteral("削除できませんでした。") + sessionProblemText(problem));
    return;
  }
  showPage();
  setStatus(QStringLiteral("エントリー %1 を削除しました。").arg(which));
  if (!removed) sayUnsaved(&problem);
  (entries_->topLevelItemCount() > 0 ? static_cast<QWidget*>(entries_) : loadButton_)->setFocus();
}

void TournamentEntriesPage::closeEntries() {
  if (!session_ || playing()) return;
  // Two entries at least, as the session requires: below that it says why without asking.
  if (session_->tournament().stage == report::Stage::Open &&
      session_->tournament().entries.size() >= 2) {
    const bool sure = ctx.dialogs.confirm(
        host_.dialogParent(),
        QStringLiteral("%1人でエントリーを締め切りますか？締め切った後は、エントリーの追加も削除も"
                       "できません。")
            .arg(session_->tournament().entries.size()));
    takeFocusBackFromDialog();
    if (!sure) return;
  }
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

void TournamentEntriesPage::startTournament() {
  if (!session_ || playing() || session_->started()) return;
  // The kind and source declared when the tournament was made; none in an older file.
  const std::optional<report::BeaconDeclaration>& declared = session_->tournament().declared;
  // A line a phrase: the dialog is made as wide as the longest.
  QString asked = QStringLiteral(
      "締め切りの後に公表される値（例: 宝くじの当選番号）を入れると、\n"
      "主催者にも抽選を操れなかったことを示せます。\n"
      "（空のままでも始められます）");
  if (declared) {
    asked += declared->kind == report::BeaconKind::Hex
                 ? QStringLiteral("\n宣言した種類: 16進数（16進の数字だけが抽選に入ります）")
                 : QStringLiteral("\n宣言した種類: 数字（数字の並びだけが抽選に入ります）");
    if (!declared->source.empty())
      asked +=
          QStringLiteral("\n宣言した出所: ") + QString::fromStdString(plainName(declared->source));
  }
  const auto beacon =
      ctx.dialogs.askLine(host_.dialogParent(), QStringLiteral("大会を始める"), asked);
  takeFocusBackFromDialog();
  if (!beacon) return;
  const QString given = beacon->trimmed();
  std::optional<std::string> value;
  if (!given.isEmpty()) value = given.toStdString();
  // A value of another kind than declared is refused before anything is drawn, saying why.
  report::BeaconProblem wrong{};
  if (value && declared && !report::canonicalBeacon(*value, declared->kind, &wrong)) {
    setStatus(QStringLiteral("大会を始められませんでした。") + beaconProblemText(wrong));
    return;
  }
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
  emit tournamentStarted();
  if (!started) sayUnsaved(&problem);
}

}  // namespace momiru::ui
