#include "app/map/map_link.h"

#include <QItemSelectionModel>

namespace solvane::map {

MapLink::MapLink(const CameraTable& table, QTableView& tableView, QWidget* owner)
    : table_(table), tableView_(tableView), owner_(owner) {
  if (QItemSelectionModel* selection = tableView_.selectionModel())
    connect(selection, &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { tableCurrentChanged(current); });
}

void MapLink::openMap() {
  if (!window_) {
    window_ = new MapWindow(owner_);
    connect(window_, &MapWindow::rowClicked, this, &MapLink::selectInTable);
  }
  if (stale_) rebuild();
  const QModelIndex current = tableView_.currentIndex();
  if (current.isValid()) window_->view()->setSelectedRow(current.row());
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void MapLink::tableChanged() {
  stale_ = true;
  // A hidden map waits until it is opened again; a million rows take a moment to index.
  if (window_ && window_->isVisible()) rebuild();
}

void MapLink::rebuild() {
  // The same number of rows again is, in practice, the same lists reloaded or sorted before
  // a conversion: keep the place the user was looking at.
  const bool keepView = window_->view()->index() && table_.rowCount() == shownRows_;
  window_->showTable(table_, keepView, findings_ ? findings_() : nullptr);
  shownRows_ = table_.rowCount();
  stale_ = false;
}

void MapLink::selectInTable(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= table_.rowCount() || !tableView_.model()) return;
  // The table's selection would centre the map on the row just clicked and move it under
  // the pointer.
  selectingFromMap_ = true;
  tableView_.selectRow(row);
  tableView_.scrollTo(tableView_.model()->index(row, 0), QAbstractItemView::PositionAtCenter);
  selectingFromMap_ = false;
}

void MapLink::tableCurrentChanged(const QModelIndex& current) {
  if (selectingFromMap_ || !window_ || !window_->isVisible() || !current.isValid()) return;
  window_->selectAndCenter(current.row());
}

}  // namespace solvane::map
