// The replay list: the folder is listed through its index, so that it opens at once however many
// replays it holds; every action reads the file again and refuses it unless it is a replay, since
// it may have gone or changed meanwhile. A reader is handed the rows in view, each one item, so
// that opening the list costs the same with a reader listening whatever the rows' number.
#include "ui/replay_list_screen.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <system_error>
#include <vector>

#include "data/platform.h"
#include "replay/replay_store.h"
#include "report/battle_page.h"
#include "ui/platform_dialogs.h"
#include "ui/refusal_text.h"
#include "ui/title_screen.h"
#include "ui/twips.h"

namespace momiru::ui {
namespace {

enum Column { kDate, kPlayer1, kPlayer2, kOutcome, kTurns, kColumns };

QString fromUtf8(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The replay's UTC date as local date and time; the text as it is when it is not a date.
QString localDate(const std::string& date) {
  QDateTime t = QDateTime::fromString(fromUtf8(date), Qt::ISODate);
  if (!t.isValid()) return shownName(date);
  return t.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

// The list's view. Qt's own interface for a table makes one object a cell, 50,000 for 10,000
// replays, and tells a reader of cells by their place among all of them; this view tells of rows,
// as ReplayRowsAccessible counts them.
class ReplayTable;

// One row of the list for a reader: a list item named with its cells in words and its place in
// the whole list.
class ReplayRowAccessible final : public QAccessibleInterface {
 public:
  ReplayRowAccessible(QTableView* view, int row) : view_(view), row_(row) {}

  bool isValid() const override {
    return view_ != nullptr && view_->model() != nullptr && row_ < view_->model()->rowCount();
  }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    QAccessibleInterface* list = parent();
    return list != nullptr ? list->window() : nullptr;
  }
  QAccessibleInterface* parent() const override {
    return view_ != nullptr ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return {};
    const QAbstractItemModel* model = view_->model();
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column) {
      cells << model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString() +
                   QLatin1Char(' ') + model->index(row_, column).data().toString();
    }
    return cells.join(QStringLiteral("、")) +
           QStringLiteral("（%1 件中 %2 件目）").arg(model->rowCount()).arg(row_ + 1);
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const QAbstractItemModel* model = view_->model();
    const QRect first = view_->visualRect(model->index(row_, 0));
    const QRect last = view_->visualRect(model->index(row_, model->columnCount() - 1));
    const QRect inViewport = first.united(last);
    return QRect(view_->viewport()->mapToGlobal(inViewport.topLeft()), inViewport.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    s.selectable = true;
    s.focusable = true;
    s.readOnly = true;
    s.selected = view_->selectionModel()->isRowSelected(row_, QModelIndex());
    s.focused = view_->hasFocus() && view_->currentIndex().row() == row_;
    const QRect shown = view_->visualRect(view_->model()->index(row_, 0));
    if (!view_->isVisible() || !view_->viewport()->rect().intersects(shown)) {
      s.offscreen = true;
      s.invisible = !view_->isVisible();
    }
    return s;
  }

  int row() const { return row_; }

 private:
  QPointer<QTableView> view_;
  int row_;
};

// The list for a reader: the rows in view and the chosen row (in view unless scrolled away),
// never all of them. An item is made when it is asked for and kept while its row is shown or
// chosen; all are dropped when the rows change.
class ReplayRowsAccessible final : public QAccessibleWidget {
 public:
  explicit ReplayRowsAccessible(ReplayTable* view);
  ~ReplayRowsAccessible() override;
  ReplayRowsAccessible(const ReplayRowsAccessible&) = delete;
  ReplayRowsAccessible& operator=(const ReplayRowsAccessible&) = delete;

  int childCount() const override { return static_cast<int>(shownRows().size()); }
  QAccessibleInterface* child(int index) const override {
    const std::vector<int> rows = shownRows();
    if (index < 0 || index >= static_cast<int>(rows.size())) return nullptr;
    return item(rows[static_cast<std::size_t>(index)]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* row = dynamic_cast<const ReplayRowAccessible*>(child);
    if (row == nullptr) return -1;
    const std::vector<int> rows = shownRows();
    const auto it = std::find(rows.begin(), rows.end(), row->row());
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint at = view()->viewport()->mapFromGlobal(QPoint(x, y));
    if (!view()->viewport()->rect().contains(at)) return nullptr;
    const int row = view()->rowAt(at.y());
    return row >= 0 ? item(row) : nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    const QModelIndex current = view()->currentIndex();
    return view()->hasFocus() && current.isValid() ? item(current.row()) : nullptr;
  }

  // The item of a row, made when first asked for.
  QAccessibleInterface* item(int row) const {
    if (const auto it = items_.find(row); it != items_.end()) {
      if (QAccessibleInterface* kept = QAccessible::accessibleInterface(it->second)) return kept;
    }
    auto* made = new ReplayRowAccessible(view(), row);
    items_[row] = QAccessible::registerAccessibleInterface(made);
    return made;
  }
  // After a scroll: the items of rows no longer shown are dropped.
  void keepShownOnly() {
    const std::vector<int> rows = shownRows();
    for (auto it = items_.begin(); it != items_.end();) {
      if (std::find(rows.begin(), rows.end(), it->first) == rows.end()) {
        QAccessible::deleteAccessibleInterface(it->second);
        it = items_.erase(it);
      } else {
        ++it;
      }
    }
  }
  // After the rows changed: every item is dropped.
  void forgetRows() {
    for (const auto& [row, id] : items_) QAccessible::deleteAccessibleInterface(id);
    items_.clear();
  }

 private:
  QTableView* view() const { return static_cast<QTableView*>(widget()); }

  // The rows a reader is given: those in the view's viewport, top to bottom, and the chosen one.
  std::vector<int> shownRows() const {
    std::vector<int> rows;
    const int count = view()->model() != nullptr ? view()->model()->rowCount() : 0;
    if (count == 0) return rows;
    const int top = view()->rowAt(0);
    if (top >= 0) {
      int bottom = view()->rowAt(view()->viewport()->height() - 1);
      if (bottom < 0) bottom = count - 1;
      for (int row = top; row <= bottom; ++row) rows.push_back(row);
    }
    const int current = view()->currentIndex().row();
    if (current >= 0 && std::find(rows.begin(), rows.end(), current) == rows.end()) {
      rows.insert(std::upper_bound(rows.begin(), rows.end(), current), current);
    }
    return rows;
  }

  mutable std::map<int, QAccessible::Id> items_;
};

class ReplayTable final : public QTableView {
 public:
  explicit ReplayTable(QWidget* parent) : QTableView(parent) {}

  ReplayRowsAccessible* accessible = nullptr;  // set while the reader's interface lives

  void reset() override {
    QTableView::reset();
    // No reorder is told: Qt 6.4's bridge sends it with a signature readers refuse. A reader
    // learns of the new rows from the focus on the chosen one.
    if (accessible != nullptr) accessible->forgetRows();
  }

 protected:
  // QTableView's own would name a cell by its place among all cells.
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
    QAbstractItemView::currentChanged(current, previous);
    if (current.isValid() && hasFocus()) tellFocus(current.row());
  }
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override {
    QAbstractItemView::selectionChanged(selected, deselected);
    if (!QAccessible::isActive()) return;
    const auto tell = [this](const QItemSelection& rows, QAccessible::Event what) {
      const QModelIndex first = rows.indexes().value(0);
      if (!first.isValid()) return;
      QAccessibleEvent event(rowItem(first.row()), what);
      QAccessible::updateAccessibility(&event);
    };
    tell(selected, QAccessible::SelectionAdd);
    tell(deselected, QAccessible::SelectionRemove);
  }
  void focusInEvent(QFocusEvent* event) override {
    QTableView::focusInEvent(event);
    // The reader is told which row the keyboard came to, not only that it came to the list.
    if (currentIndex().isValid()) tellFocus(currentIndex().row());
  }
  void scrollContentsBy(int dx, int dy) override {
    QTableView::scrollContentsBy(dx, dy);
    if (accessible != nullptr && dy != 0) accessible->keepShownOnly();
  }

 private:
  QAccessibleInterface* rowItem(int row) {
    auto* list = dynamic_cast<ReplayRowsAccessible*>(QAccessible::queryAccessibleInterface(this));
    return list != nullptr ? list->item(row) : QAccessible::queryAccessibleInterface(this);
  }
  void tellFocus(int row) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent focus(rowItem(row), QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
  }
};

ReplayRowsAccessible::ReplayRowsAccessible(ReplayTable* view)
    : QAccessibleWidget(view, QAccessible::List) {
  view->accessible = this;
}

ReplayRowsAccessible::~ReplayRowsAccessible() {
  if (auto* table = dynamic_cast<ReplayTable*>(widget())) table->accessible = nullptr;
  forgetRows();
}

QAccessibleInterface* replayListAccessible(const QString&, QObject* object) {
  if (auto* table = dynamic_cast<ReplayTable*>(object)) return new ReplayRowsAccessible(table);
  return nullptr;
}

}  // namespace

QString outcomeText(const replay::ReplaySummary& replay) {
  if (!replay.finished) return QStringLiteral("決着つかず");
  if (!replay.winner) return QStringLiteral("引き分け");
  return shownName(replay.names[static_cast<std::size_t>(*replay.winner == 1 ? 1 : 0)]) +
         QStringLiteral("の勝利");
}

void ReplayListModel::setRows(std::vector<replay::ReplaySummary> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int ReplayListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ReplayListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant ReplayListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const replay::ReplaySummary& r = rows_[static_cast<std::size_t>(index.row())];
  if (role == Qt::TextAlignmentRole && index.column() == kTurns) {
    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  }
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole) {
    return {};
  }
  QString text;
  switch (index.column()) {
    case kDate:
      text = localDate(r.date);
      break;
    case kPlayer1:
      text = shownName(r.names[0]);
      break;
    case kPlayer2:
      text = shownName(r.names[1]);
      break;
    case kOutcome:
      text = outcomeText(r);
      break;
    case kTurns:
      text = QString::number(r.turns);
      break;
    default:
      return {};
  }
  // A cell too narrow for its text shows it whole in its tool tip, which Qt would read as markup.
  return role == Qt::ToolTipRole ? plainToolTip(text) : text;
}

QVariant ReplayListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeads[kColumns] = {"日時", "プレイヤー1", "プレイヤー2", "結果",
                                               "ターン"};
  return section >= 0 && section < kColumns ? QString::fromUtf8(kHeads[section]) : QVariant();
}

ReplayListScreen::ReplayListScreen(ScreenContext& context, std::filesystem::path folder)
    : Screen(context, "ReplayList", QStringLiteral("リプレイ一覧"), QSize(13500, 6900)),
      folder_(std::move(folder)),
      model_(this),
      openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  static const bool rowsForReaders = [] {
    QAccessible::installFactory(replayListAccessible);
    return true;
  }();
  (void)rowsForReaders;
  setAcceptDrops(true);

  auto* filterLabel = new QLabel(QStringLiteral("キャラクター"), this);
  filterLabel->setGeometry(twipsRect(120, 120, 1500, 360));
  filter_ = new QComboBox(this);
  filter_->setObjectName(QStringLiteral("Filter"));
  filter_->setEditable(true);
  filter_->setInsertPolicy(QComboBox::NoInsert);
  filter_->setGeometry(twipsRect(1620, 120, 5400, 360));
  filter_->setAccessibleName(QStringLiteral("キャラクターの名前で絞り込む"));
  filter_->lineEdit()->setPlaceholderText(QStringLiteral("名前の一部（空ならすべて）"));
  filterLabel->setBuddy(filter_);
  connect(filter_, &QComboBox::editTextChanged, this, [this] { applyFilter(); });

  record_ = new QLabel(this);
  record_->setObjectName(QStringLiteral("Record"));
  record_->setGeometry(twipsRect(120, 570, 13260, 330));
  record_->setTextFormat(Qt::PlainText);

  view_ = new ReplayTable(this);
  view_->setObjectName(QStringLiteral("Replays"));
  view_->setAccessibleName(QStringLiteral("リプレイの一覧"));
  view_->setGeometry(twipsRect(120, 960, 13260, 4620));
  view_->setModel(&model_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setTabKeyNavigation(false);
  view_->setWordWrap(false);
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setDefaultSectionSize(px(330));
  view_->horizontalHeader()->setStretchLastSection(false);
  view_->setColumnWidth(kDate, px(2400));
  view_->setColumnWidth(kPlayer1, px(3000));
  view_->setColumnWidth(kPlayer2, px(3000));
  view_->setColumnWidth(kOutcome, px(3900));
  view_->horizontalHeader()->setSectionResizeMode(kTurns, QHeaderView::Stretch);
  view_->installEventFilter(this);
  connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { updateButtons(); });
  connect(view_, &QTableView::doubleClicked, this, [this] { watchSelected(); });

  const auto button = [this](const char* text, const char* name, const char* accessible, int left,
                             int width) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(QString::fromUtf8(accessible));
    b->setGeometry(twipsRect(left, 5730, width, 450));
    return b;
  };
  watchButton_ = button("見る", "Watch", "選んだリプレイを見る", 120, 1800);
  saveButton_ = button("保存", "Save", "選んだリプレイを別の場所に保存する", 2040, 1800);
  exportButton_ = button("ページに書き出す", "ExportPage",
                         "選んだバトルのページを書き出してブラウザーで開く", 3960, 3000);
  deleteButton_ = button("削除", "Delete", "選んだリプレイを削除する", 11580, 1800);
  connect(watchButton_, &QPushButton::clicked, this, &ReplayListScreen::watchSelected);
  connect(saveButton_, &QPushButton::clicked, this, &ReplayListScreen::saveSelected);
  connect(exportButton_, &QPushButton::clicked, this, &ReplayListScreen::exportSelected);
  connect(deleteButton_, &QPushButton::clicked, this, &ReplayListScreen::deleteSelected);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("Status"));
  status_->setGeometry(twipsRect(120, 6330, 13260, 360));
  status_->setTextFormat(Qt::PlainText);

  setTabOrder(filter_, view_);
  setTabOrder(view_, watchButton_);
  setTabOrder(watchButton_, saveButton_);
  setTabOrder(saveButton_, exportButton_);
  setTabOrder(exportButton_, deleteButton_);

  reloadTimer_.setSingleShot(true);
  reloadTimer_.setInterval(200);
  connect(&reloadTimer_, &QTimer::timeout, this, &ReplayListScreen::reload);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { reloadTimer_.start(); });

  reload();
  view_->setFocus();
  if (model_.rowCount() > 0) view_->setCurrentIndex(model_.index(0, 0));
  updateButtons();
}

ReplayListScreen::~ReplayListScreen() {
  // The thread tells this screen it is done through a queued call; once joined here, nothing is
  // left to call, and the call it left is dropped with the screen.
  pageWriter_.wait();
}

void ReplayListScreen::reload() {
  std::string keep;
  if (const QModelIndex current = view_->currentIndex(); current.isValid()) {
    keep = model_.rows()[static_cast<std::size_t>(current.row())].file;
  }
  listing_ = replay::listReplays(folder_);
  const QString dir = QString::fromStdString(pathToUtf8(folder_));
  if (!watcher_.directories().contains(dir)) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder_, ec)) watcher_.addPath(dir);
  }
  // The filter offers every name among the replays, without what registration added.
  std::set<QString> names;
  for (const replay::ReplaySummary& r : listing_.replays) {
    for (const std::string& n : r.names) names.insert(shownName(replay::baseName(n)));
  }
  const QString text = filter_->currentText();
  {
    const QSignalBlocker quiet(filter_);
    filter_->clear();
    for (const QString& n : names) filter_->addItem(n);
    filter_->setEditText(text);
  }
  applyFilter();
  const auto& rows = model_.rows();
  const auto it = std::find_if(rows.begin(), rows.end(),
                               [&](const replay::ReplaySummary& r) { return r.file == keep; });
  if (it != rows.end()) {
    view_->setCurrentIndex(model_.index(static_cast<int>(it - rows.begin()), 0));
  } else if (!rows.empty()) {
    view_->setCurrentIndex(model_.index(0, 0));
  }
  updateButtons();
}

void ReplayListScreen::setFilter(const QString& text) { filter_->setEditText(text); }

void ReplayListScreen::selectFile(const std::string& file) {
  const auto& rows = model_.rows();
  const auto it = std::find_if(rows.begin(), rows.end(),
                               [&](const replay::ReplaySummary& r) { return r.file == file; });
  if (it == rows.end()) return;
  const QModelIndex row = model_.index(static_cast<int>(it - rows.begin()), 0);
  view_->setCurrentIndex(row);
  view_->scrollTo(row);
  updateButtons();
}

void ReplayListScreen::applyFilter() {
  const std::string filter = filter_->currentText().trimmed().toStdString();
  std::vector<replay::ReplaySummary> rows;
  for (const replay::ReplaySummary& r : listing_.replays) {
    if (replay::matchesName(r, filter)) rows.push_back(r);
  }
  model_.setRows(std::move(rows));
  if (model_.rowCount() > 0) view_->setCurrentIndex(model_.index(0, 0));
  status_->setText(statusText());
  status_->setAccessibleName(status_->text());
  updateRecord();
  updateButtons();
}

QString ReplayListScreen::statusText() const {
  const std::size_t all = listing_.replays.size();
  QString text =
      model_.rows().size() == all
          ? QStringLiteral("リプレイ %1 件").arg(all)
          : QStringLiteral("リプレイ %1 件中 %2 件を表示").arg(all).arg(model_.rows().size());
  if (listing_.skipped > 0) {
    text += QStringLiteral("　リプレイとして読めないファイル %1 件は表示していません")
                .arg(listing_.skipped);
  }
  if (exporting_) text += QStringLiteral("　ページを書き出しています…");
  return text;
}

QString ReplayListScreen::recordText() const { return record_->text(); }

void ReplayListScreen::updateRecord() {
  const std::string filter = filter_->currentText().trimmed().toStdString();
  // The character is the name typed in full, or the one name that holds what was typed.
  std::optional<std::string> name;
  if (!filter.empty()) {
    std::set<std::string> holding;
    for (const replay::ReplaySummary& r : listing_.replays) {
      for (const std::string& n : r.names) {
        const std::string base(replay::baseName(n));
        if (base == filter) name = base;
        if (base.find(filter) != std::string::npos) holding.insert(base);
      }
    }
    if (!name && holding.size() == 1) name = *holding.begin();
  }
  QString text;
  if (!name) {
    text = QStringLiteral("キャラクターの名前を入れると、その戦績を表示します");
  } else {
    const replay::CharacterRecord r = replay::recordOf(listing_.replays, *name);
    // In one pass: a name holding "%2" stays the name.
    text = QStringLiteral("%1の戦績：%2戦 %3勝 %4敗 %5引き分け")
               .arg(shownName(*name), QString::number(r.battles), QString::number(r.wins),
                    QString::number(r.losses), QString::number(r.draws));
    if (r.unfinished > 0) text += QStringLiteral(" 決着つかず%1").arg(r.unfinished);
    if (r.streakKind == 'W') text += QStringLiteral("　現在%1連勝").arg(r.streak);
    if (r.streakKind == 'L') text += QStringLiteral("　現在%1連敗").arg(r.streak);
    if (r.streakKind == 'D') {
      text += r.streak == 1 ? QStringLiteral("　直近は引き分け")
                            : QStringLiteral("　現在%1回続けて引き分け").arg(r.streak);
    }
  }
  record_->setText(text);
  record_->setAccessibleName(text);
}

void ReplayListScreen::updateButtons() {
  const bool chosen = view_->currentIndex().isValid();
  for (QPushButton* b : {watchButton_, saveButton_, exportButton_, deleteButton_}) {
    b->setEnabled(chosen);
  }
  // One page at a time.
  if (exporting_) exportButton_->setEnabled(false);
}

std::optional<std::filesystem::path> ReplayListScreen::selectedFile() {
  const QModelIndex current = view_->currentIndex();
  if (!current.isValid()) return std::nullopt;
  const std::filesystem::path file =
      folder_ / utf8ToPath(model_.rows()[static_cast<std::size_t>(current.row())].file);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(file, ec))) {
    ctx.dialogs.replayMessage(this,
                              QStringLiteral("このリプレイはもうありません。一覧を読み直します。"));
    reload();
    return std::nullopt;
  }
  return file;
}

std::optional<replay::Replay> ReplayListScreen::selectedReplay(std::filesystem::path* chosen) {
  const auto file = selectedFile();
  if (!file) return std::nullopt;
  Refusal why;
  auto replay = replay::readReplayFile(*file, &why);
  if (!replay) {
    replay::forgetInIndex(folder_, *file);  // whatever the index said of it, it is no replay
    ctx.dialogs.replayMessage(this,
                              QStringLiteral("このリプレイは読めません。\n") + refusalText(why));
    reload();
    return std::nullopt;
  }
  if (chosen != nullptr) *chosen = *file;
  return replay;
}

void ReplayListScreen::watchSelected() {
  std::filesystem::path file;
  if (selectedReplay(&file)) emit watchRequested(QString::fromStdString(pathToUtf8(file)));
}

void ReplayListScreen::saveSelected() {
  std::filesystem::path file;
  const auto replay = selectedReplay(&file);
  if (!replay) return;
  const auto target =
      ctx.dialogs.saveReplayAs(this, QString::fromStdString(pathToUtf8(file.filename())));
  if (!target) return;
  Refusal why;
  if (!replay::writeReplayFile(*target, *replay, &why)) {
    ctx.dialogs.replayMessage(
        this, QStringLiteral("リプレイを保存できませんでした。\n") + refusalText(why));
  }
}

void ReplayListScreen::exportSelected() {
  if (exporting_) return;
  std::filesystem::path file;
  const auto replay = selectedReplay(&file);
  if (!replay) return;
  std::filesystem::path suggested = file.filename();
  suggested.replace_extension(".html");
  const auto target = ctx.dialogs.saveFile(this, QStringLiteral("バトルのページ"),
                                           QStringLiteral("*.html"), suggested);
  if (!target) return;
  exporting_ = true;
  updateButtons();
  status_->setText(statusText());
  status_->setAccessibleName(status_->text());
  setCursor(Qt::BusyCursor);
  // The work holds its own copies; the screen outlives it (its destructor waits for it).
  // The reason is written by the work and read once it has ended.
  auto why = std::make_shared<Refusal>();
  pageWriter_.run(
      this,
      [page = *target, kept = *replay, why] {
        return report::writeBattlePage(page, kept, why.get());
      },
      [this, page = *target, why](bool written) { exportFinished(written, page, *why); });
}

void ReplayListScreen::exportFinished(bool written, const std::filesystem::path& page,
                                      const Refusal& why) {
  exporting_ = false;
  unsetCursor();
  status_->setText(statusText());
  status_->setAccessibleName(status_->text());
  updateButtons();
  if (!written) {
    ctx.dialogs.replayMessage(
        this, QStringLiteral("ページを書き出せませんでした。\n") + refusalText(why));
    return;
  }
  openUrl_(QUrl::fromLocalFile(QString::fromStdString(pathToUtf8(page))));
}

void ReplayListScreen::deleteSelected() {
  std::filesystem::path file;
  if (!selectedReplay(&file)) return;
  const QString question = QStringLiteral("このリプレイを削除しますか？\n%1")
                               .arg(shownName(pathToUtf8(file.filename())));
  if (!ctx.dialogs.confirm(this, question)) return;
  // The question may have been open a long time: the file is read once more just before.
  if (!replay::readReplayFile(file, nullptr)) {
    ctx.dialogs.replayMessage(this, QStringLiteral("このリプレイは読めません。"));
    reload();
    return;
  }
  std::error_code ec;
  if (!std::filesystem::remove(file, ec) && ec) {
    ctx.dialogs.replayMessage(this, QStringLiteral("リプレイを削除できませんでした。"));
  }
  const int row = view_->currentIndex().row();
  reload();
  // The focus stays at the same place in the list, on the replay after the one deleted.
  if (model_.rowCount() > 0) {
    view_->setCurrentIndex(model_.index(std::min(row, model_.rowCount() - 1), 0));
  }
}

bool ReplayListScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (!key->isAutoRepeat()) watchSelected();
      return true;
    }
    if (key->key() == Qt::Key_Delete) {
      if (!key->isAutoRepeat()) deleteSelected();
      return true;
    }
  }
  return Screen::eventFilter(watched, event);
}

void ReplayListScreen::keyPressEvent(QKeyEvent* event) {
  // The way back by keyboard: the flow leads a closed list back to where it was opened from.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (!event->isAutoRepeat()) close();
    event->accept();
    return;
  }
  Screen::keyPressEvent(event);
}

void ReplayListScreen::dragEnterEvent(QDragEnterEvent* event) {
  // The files the title screen takes: one replay file or battle page.
  if (TitleScreen::droppedReplay(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void ReplayListScreen::dropEvent(QDropEvent* event) {
  const auto file = TitleScreen::droppedReplay(event->mimeData());
  if (!file) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit watchRequested(QString::fromStdString(pathToUtf8(*file)));
}

}  // namespace momiru::ui
