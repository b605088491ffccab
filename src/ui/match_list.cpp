// The tournament as a list of sentences.
#include "ui/match_list.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "ui/match_words.h"

namespace momiru::ui {

MatchList::MatchList(QWidget* parent) : QListWidget(parent) {
  setObjectName(QStringLiteral("Matches"));
  setAccessibleName(QStringLiteral("試合の一覧"));
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Each sentence whole, its result last: wrapped at the list's width, never cut short. The rows
  // then differ in height, and are laid out again when the list's width changes.
  setUniformItemSizes(false);
  setWordWrap(true);
  setTextElideMode(Qt::ElideNone);
  setResizeMode(QListView::Adjust);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setAlternatingRowColors(true);  // each match's two lines go together
  connect(this, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (!filling_ && item != nullptr) emit matchSelected(item->data(Qt::UserRole).toString());
  });
}

void MatchList::setTournament(const report::Tournament& t,
                              const std::vector<report::ScheduledMatch>& schedule) {
  const MatchWords words(t, schedule);
  const QString keep = selectedMatch();
  filling_ = true;
  // The items are kept as long as the matches come in the same order (the usual case: matches
  // played, a Swiss round or a second grand final added at the end), so that a screen reader's
  // place and the scroll position stay where they were.
  bool same = static_cast<std::size_t>(count()) <= schedule.size();
  for (int row = 0; same && row < count(); ++row)
    same = item(row)->data(Qt::UserRole).toString() ==
           QString::fromStdString(schedule[static_cast<std::size_t>(row)].match.id);
  if (!same) clear();
  rows_.clear();
  for (std::size_t i = 0; i < schedule.size(); ++i) {
    const report::ScheduledMatch& m = schedule[i];
    const int row = static_cast<int>(i);
    const QString text = words.twoLines(m);
    QListWidgetItem* shown = row < count() ? item(row) : nullptr;
    if (shown == nullptr) {
      shown = new QListWidgetItem(text);
      shown->setData(Qt::UserRole, QString::fromStdString(m.match.id));
      addItem(shown);
    } else if (shown->text() != text) {
      shown->setText(text);
    }
    // A screen reader hears the one sentence.
    shown->setData(Qt::AccessibleTextRole, words.sentence(m));
    rows_.emplace(m.match.id, row);
  }
  const auto it = rows_.find(keep.toStdString());
  if (!same && it != rows_.end()) setCurrentRow(it->second);
  filling_ = false;
  if (!keep.isEmpty() && it == rows_.end()) emit matchSelected(QString());
}

QString MatchList::selectedMatch() const {
  const QListWidgetItem* item = currentItem();
  return item != nullptr && item->isSelected() ? item->data(Qt::UserRole).toString() : QString();
}

void MatchList::selectMatch(const QString& id) {
  const auto it = rows_.find(id.toStdString());
  if (it == rows_.end()) {
    if (selectedMatch().isEmpty()) return;
    filling_ = true;
    setCurrentRow(-1);
    clearSelection();
    filling_ = false;
    emit matchSelected(QString());
    return;
  }
  if (currentRow() != it->second)
    setCurrentRow(it->second);
  else
    item(it->second)->setSelected(true);
  scrollToItem(item(it->second));
}

void MatchList::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
      currentItem() != nullptr) {
    emit matchActivated(currentItem()->data(Qt::UserRole).toString());
    return;
  }
  QListWidget::keyPressEvent(event);
}

void MatchList::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidgetItem* hit = itemAt(event->position().toPoint());
  if (hit != nullptr && event->button() == Qt::LeftButton) {
    setCurrentItem(hit);
    emit matchActivated(hit->data(Qt::UserRole).toString());
    return;
  }
  QListWidget::mouseDoubleClickEvent(event);
}

}  // namespace momiru::ui
