// Swiss and round robin: the round's pairings and the standings, as two tables.
#include "ui/standings_view.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

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

}  // namespace

StandingsView::StandingsView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("standingsView"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);

  auto* roundRow = new QHBoxLayout;
  auto* roundLabel = new QLabel(QStringLiteral("回戦(&R)"), this);
  rounds_ = new QComboBox(this);
  rounds_->setObjectName(QStringLiteral("roundChooser"));
  rounds_->setAccessibleName(QStringLiteral("表示する回戦"));
  roundLabel->setBuddy(rounds_);
  roundRow->addWidget(roundLabel);
  roundRow->addWidget(rounds_);
  roundRow->addStretch(1);
  layout->addLayout(roundRow);

  pairings_ = makeTable(this, "pairingsTable", QStringLiteral("組み合わせ"));
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
  layout->addWidget(pairings_, 1);

  auto* standingsLabel = new QLabel(QStringLiteral("順位表"), this);
  layout->addWidget(standingsLabel);
  standings_ = makeTable(this, "standingsTable", QStringLiteral("順位表"));
  standingsLabel->setBuddy(standings_);
  layout->addWidget(standings_, 1);

  pairings_->installEventFilter(this);
  connect(rounds_, &QComboBox::currentIndexChanged, this, [this] {
    if (!filling_) fillPairings();
  });
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
  const int want = shown > 0 && rounds.count(shown) != 0 ? shown : current;
  const auto at = std::find(roundList_.begin(), roundList_.end(), want);
  if (at != roundList_.end()) rounds_->setCurrentIndex(static_cast<int>(at - roundList_.begin()));
  filling_ = false;
  fillPairings();
  fillStandings(t);
}

int StandingsView::shownRound() const {
  return rounds_->currentIndex() >= 0 ? rounds_->currentData().toInt() : 0;
}

void StandingsView::showRound(int round) {
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

void StandingsView::fillStandings(const report::Tournament& t) {
  QStringList heads = {QStringLiteral("順位"), QStringLiteral("参加者"), QStringLiteral("点")};
  if (!t.standings.empty())
    for (const auto& [name, value] : t.standings.front().tieBreaks) heads << tieBreakHead(name);
  if (standings_->columnCount() != heads.size()) {
    standings_->setColumnCount(static_cast<int>(heads.size()));
    standings_->setHorizontalHeaderLabels(heads);
    // Each number column as wide as its head or a number of five places, whichever is wider:
    // sizing to the contents would measure every row of a large field at each update.
    QHeaderView* head = standings_->horizontalHeader();
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->setSectionResizeMode(1, QHeaderView::Stretch);
    const QFontMetrics metrics(head->font());
    for (int c = 0; c < standings_->columnCount(); ++c)
      if (c != 1)
        standings_->setColumnWidth(c,
                                   std::max(metrics.horizontalAdvance(heads[c]),
                                            metrics.horizontalAdvance(QStringLiteral("-000.5"))) +
                                       metrics.height());
  }
  standings_->setHorizontalHeaderLabels(heads);
  if (standings_->rowCount() != static_cast<int>(t.standings.size()))
    standings_->setRowCount(static_cast<int>(t.standings.size()));
  const Qt::Alignment number = Qt::AlignRight | Qt::AlignVCenter;
  for (std::size_t i = 0; i < t.standings.size(); ++i) {
    const report::Standing& s = t.standings[i];
    const int row = static_cast<int>(i);
    setCell(standings_, row, 0, QString::number(s.rank), number);
    setCell(standings_, row, 1, words_.entry(s.entry));
    setCell(standings_, row, 2, pointsText(s.points), number);
    for (std::size_t k = 0;
         k < s.tieBreaks.size() && 3 + k < static_cast<std::size_t>(heads.size()); ++k)
      setCell(standings_, row, static_cast<int>(3 + k), pointsText(s.tieBreaks[k].second), number);
  }
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
  if (it == byId_.end()) return;
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
