// Swiss and round robin: the round's pairings and the standings, as two tables.
#include "ui/standings_view.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>
#include <vector>

#include "ui/screen.h"

namespace momiru::ui {

namespace {

enum PairingColumn { kId, kFirst, kSecond, kScore, kResult, kPairingColumns };

QTableWidget* makeTable(QWidget* parent, const char* objectName, const QString& accessible) {
  auto* table = new QTableWidget(parent);
  table->setObjectName(QString::fromLatin1(objectName));
  table->setAccessibleName(accessible);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setTabKeyNavigation(false);
  table->setWordWrap(false);
  table->setCornerButtonEnabled(false);
  table->verticalHeader()->setVisible(false);
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->horizontalHeader()->setHighlightSections(false);
  return table;
}

// Sets the cell's text, reusing its item so that a refill keeps the selection.
void setCell(QTableWidget* table, int row, int column, const QString& text,
             Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  QTableWidgetItem* item = table->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    table->setItem(row, column, item);
  }
  if (item->text() != text) item->setText(text);
  if (item->textAlignment() != static_cast<int>(align)) item->setTextAlignment(align);
}

// The standings' columns fitted to the table's width at each resize: the numbers as wide as
// their heads where there is room, else narrower (to a number's own width, the head cut short
// and said whole in its tip), and the name column the rest, so that no column is out of view.
class FitColumns final : public QObject {
 public:
  explicit FitColumns(QTableWidget* table) : QObject(table), table_(table) {
    table->installEventFilter(this);
  }

  void fit() const {
    const int columns = table_->columnCount();
    if (columns < 2) return;
    const QFontMetrics metrics(table_->horizontalHeader()->font());
    const int pad = metrics.height() / 2 + 6;
    const int number = metrics.horizontalAdvance(QStringLiteral("-000.5")) + pad;
    std::vector<int> wanted(static_cast<std::size_t>(columns), 0);
    int sum = 0;
    for (int c = 0; c < columns; ++c) {
      if (c == 1) continue;
      const QTableWidgetItem* head = table_->horizontalHeaderItem(c);
      const int w =
          std::max(number, (head != nullptr ? metrics.horizontalAdvance(head->text()) : 0) + pad);
      wanted[static_cast<std::size_t>(c)] = w;
      sum += w;
    }
    const int room = table_->viewport()->width();
    const int names = std::max(room / 4, metrics.horizontalAdvance(QStringLiteral("名前名前名前")));
    const double scale = sum + names <= room || sum == 0 ? 1.0 : double(room - names) / sum;
    for (int c = 0; c < columns; ++c)
      if (c != 1)
        table_->setColumnWidth(
            c, std::max(number * 3 / 4,
                        static_cast<int>(wanted[static_cast<std::size_t>(c)] * scale)));
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == table_ && event->type() == QEvent::Resize) fit();
    return false;
  }

 private:
  QTableWidget* table_;
};

}  // namespace

QTableWidget* makeStandingsTable(QWidget* parent, const char* objectName,
                                 const QString& accessible) {
  QTableWidget* table = makeTable(parent, objectName, accessible);
  // Every column in view: the name column takes what the numbers leave.
  table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table->horizontalHeader()->setTextElideMode(Qt::ElideRight);
  new FitColumns(table);
  return table;
}

void fillStandingsTable(QTableWidget* table, const report::Tournament& t, const MatchWords& words) {
  QStringList heads = {QStringLiteral("順位"), QStringLiteral("参加者"), QStringLiteral("点")};
  if (!t.standings.empty())
    for (const auto& [name, value] : t.standings.front().tieBreaks) heads << tieBreakHead(name);
  if (table->columnCount() != heads.size()) {
    table->setColumnCount(static_cast<int>(heads.size()));
    table->setHorizontalHeaderLabels(heads);
    // Fitted to the table's width by the heads, not the contents: sizing to the contents would
    // measure every row of a large field at each update.
    QHeaderView* head = table->horizontalHeader();
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->setSectionResizeMode(1, QHeaderView::Stretch);
    table->setHorizontalHeaderLabels(heads);
    for (const QObject* child : table->children())
      if (const auto* fit = dynamic_cast<const FitColumns*>(child)) fit->fit();
  }
  table->setHorizontalHeaderLabels(heads);
  for (int c = 0; c < table->columnCount(); ++c)
    if (QTableWidgetItem* h = table->horizontalHeaderItem(c)) h->setToolTip(heads[c]);
  if (table->rowCount() != static_cast<int>(t.standings.size()))
    table->setRowCount(static_cast<int>(t.standings.size()));
  const Qt::Alignment number = Qt::AlignRight | Qt::AlignVCenter;
  for (std::size_t i = 0; i < t.standings.size(); ++i) {
    const report::Standing& s = t.standings[i];
    const int row = static_cast<int>(i);
    setCell(table, row, 0, QString::number(s.rank), number);
    setCell(table, row, 1, words.entry(s.entry));
    setCell(table, row, 2, pointsText(s.points), number);
    for (std::size_t k = 0;
         k < s.tieBreaks.size() && 3 + k < static_cast<std::size_t>(heads.size()); ++k)
      setCell(table, row, static_cast<int>(3 + k), pointsText(s.tieBreaks[k].second), number);
  }
}

StandingsView::StandingsView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Standings"));
  // The round's pairings beside the standings, each with the whole height: the standings show
  // many rows, and neither needs sideways scrolling.
  auto* sideBySide = new QHBoxLayout(this);
  sideBySide->setContentsMargins(0, 0, 0, 0);
  auto* layout = new QVBoxLayout;
  sideBySide->addLayout(layout, 4);
  auto* ranking = new QVBoxLayout;
  sideBySide->addLayout(ranking, 5);

  auto* roundRow = new QHBoxLayout;
  auto* roundLabel = new QLabel(QStringLiteral("回戦"), this);
  rounds_ = new QComboBox(this);
  rounds_->setObjectName(QStringLiteral("Round"));
  rounds_->setAccessibleName(QStringLiteral("表示する回戦"));
  roundLabel->setBuddy(rounds_);
  roundRow->addWidget(roundLabel);
  roundRow->addWidget(rounds_);
  roundRow->addStretch(1);
  layout->addLayout(roundRow);

  pairings_ = makeTable(this, "Pairings", QStringLiteral("組み合わせ"));
  pairings_->setColumnCount(kPairingColumns);
  pairings_->setHorizontalHeaderLabels({QStringLiteral("試合"), QStringLiteral("先"),
                                        QStringLiteral("後"), QStringLiteral("勝数"),
                                        QStringLiteral("結果")});
  QHeaderView* head = pairings_->horizontalHeader();
  head->setSectionResizeMode(QHeaderView::Interactive);
  head->setSectionResizeMode(kFirst, QHeaderView::Stretch);
  head->setSectionResizeMode(kSecond, QHeaderView::Stretch);
  head->setSectionResizeMode(kResult, QHeaderView::Stretch);
  pairings_->setColumnWidth(kId, 64);
  pairings_->setColumnWidth(kScore, 56);
  pairings_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  layout->addWidget(pairings_, 1);

  auto* standingsLabel = new QLabel(QStringLiteral("順位表"), this);
  // As high as the round's row, so that the two tables start level.
  standingsLabel->setMinimumHeight(rounds_->sizeHint().height());
  ranking->addWidget(standingsLabel);
  standings_ = makeStandingsTable(this, "Ranking", QStringLiteral("順位表"));
  standingsLabel->setBuddy(standings_);
  ranking->addWidget(standings_, 1);

  pairings_->installEventFilter(this);
  connect(rounds_, &QComboBox::currentIndexChanged, this, [this] {
    if (!filling_) fillPairings();
  });
  connect(rounds_, &QComboBox::activated, this,
          [this] { following_ = shownRound() == currentRound_; });
  connect(pairings_, &QTableWidget::itemSelectionChanged, this, [this] { pairingChanged(); });
  connect(pairings_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    const QTableWidgetItem* item = pairings_->item(row, kId);
    if (item != nullptr) emit matchActivated(item->data(Qt::UserRole).toString());
  });
}

void StandingsView::setTournament(const report::Tournament& t,
                                  const std::vector<report::ScheduledMatch>& schedule) {
  schedule_ = schedule;
  words_ = MatchWords(t, schedule_);
  byId_.clear();
  std::set<int> rounds;
  for (std::size_t i = 0; i < schedule_.size(); ++i) {
    byId_.emplace(schedule_[i].match.id, i);
    rounds.insert(schedule_[i].match.round);
  }
  const int shown = shownRound();
  // The round to show first: the one being played, or the last once all are played.
  int current = rounds.empty() ? 0 : *rounds.rbegin();
  for (const report::ScheduledMatch& m : schedule_)
    if (!m.played && !m.bye) {
      current = m.match.round;
      break;
    }
  filling_ = true;
  const std::vector<int> list(rounds.begin(), rounds.end());
  if (list != roundList_) {
    roundList_ = list;
    rounds_->clear();
    for (const int r : roundList_) rounds_->addItem(QStringLiteral("第%1回戦").arg(r), r);
  }
  // The round being played is followed from round to round, until another one is chosen.
  const int want = !following_ && rounds.count(shown) != 0 ? shown : current;
  currentRound_ = current;
  const auto at = std::find(roundList_.begin(), roundList_.end(), want);
  if (at != roundList_.end()) rounds_->setCurrentIndex(static_cast<int>(at - roundList_.begin()));
  filling_ = false;
  fillPairings();
  fillStandingsTable(standings_, t, words_);
  if (!selected_.isEmpty() && byId_.count(selected_.toStdString()) == 0) {
    selected_.clear();
    emit matchSelected(QString());
  }
}

int StandingsView::shownRound() const {
  return rounds_->currentIndex() >= 0 ? rounds_->currentData().toInt() : 0;
}

void StandingsView::showRound(int round) {
  following_ = round == currentRound_;
  const auto at = std::find(roundList_.begin(), roundList_.end(), round);
  if (at != roundList_.end()) rounds_->setCurrentIndex(static_cast<int>(at - roundList_.begin()));
}

void StandingsView::fillPairings() {
  filling_ = true;
  const int round = shownRound();
  int row = 0;
  int selectedRow = -1;
  std::vector<const report::ScheduledMatch*> shown;
  for (const report::ScheduledMatch& m : schedule_)
    if (m.match.round == round) shown.push_back(&m);
  if (pairings_->rowCount() != static_cast<int>(shown.size()))
    pairings_->setRowCount(static_cast<int>(shown.size()));
  for (const report::ScheduledMatch* m : shown) {
    const QString id = QString::fromStdString(m->match.id);
    setCell(pairings_, row, kId, shownName(m->match.id));
    pairings_->item(row, kId)->setData(Qt::UserRole, id);
    setCell(pairings_, row, kFirst, words_.player(*m, 0));
    setCell(pairings_, row, kSecond, words_.player(*m, 1));
    QString score = QStringLiteral("—");
    if (m->played && !m->match.battles.empty()) {
      const auto won = MatchWords::wins(m->match);
      score = QStringLiteral("%1 - %2").arg(won[0]).arg(won[1]);
    }
    setCell(pairings_, row, kScore, score, Qt::AlignCenter);
    setCell(pairings_, row, kResult, words_.result(*m));
    if (id == selected_) selectedRow = row;
    ++row;
  }
  if (selectedRow >= 0)
    pairings_->selectRow(selectedRow);
  else
    pairings_->clearSelection();
  filling_ = false;
}

void StandingsView::pairingChanged() {
  if (filling_) return;
  const QList<QTableWidgetItem*> items = pairings_->selectedItems();
  if (items.isEmpty()) return;
  const QTableWidgetItem* idItem = pairings_->item(items.front()->row(), kId);
  if (idItem == nullptr) return;
  const QString id = idItem->data(Qt::UserRole).toString();
  if (id == selected_) return;
  selected_ = id;
  emit matchSelected(id);
}

QString StandingsView::selectedMatch() const { return selected_; }

void StandingsView::selectMatch(const QString& id) {
  const auto it = byId_.find(id.toStdString());
  if (it == byId_.end()) {
    if (selected_.isEmpty()) return;
    selected_.clear();
    filling_ = true;
    pairings_->clearSelection();
    filling_ = false;
    emit matchSelected(QString());
    return;
  }
  showRound(schedule_[it->second].match.round);
  for (int row = 0; row < pairings_->rowCount(); ++row) {
    const QTableWidgetItem* item = pairings_->item(row, kId);
    if (item != nullptr && item->data(Qt::UserRole).toString() == id) {
      pairings_->selectRow(row);
      pairings_->scrollToItem(item);
      break;
    }
  }
  if (selected_ != id) {
    selected_ = id;
    emit matchSelected(id);
  }
}

bool StandingsView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pairings_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
        key->key() == Qt::Key_Space) {
      const int row = pairings_->currentRow();
      const QTableWidgetItem* item = row >= 0 ? pairings_->item(row, kId) : nullptr;
      if (item != nullptr) {
        emit matchActivated(item->data(Qt::UserRole).toString());
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace momiru::ui
