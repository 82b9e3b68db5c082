#include "app/map/map_link.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMessageBox>

#include <filesystem>
#include <vector>

#include "base/source_file.h"
#include "check/quality_findings.h"
#include "compare/release_diff.h"
#include "compare/release_side.h"

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
    connect(window_, &MapWindow::compareRequested, this, &MapLink::askAndCompare);
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
  clearComparison();  // of the rows before
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

namespace solvane::map {

void MapLink::clearComparison() {
  if (!window_) return;
  window_->view()->setDiffMarks(nullptr);
  window_->setDiffStatus({});
}

void MapLink::askAndCompare() {
  const QStringList paths = QFileDialog::getOpenFileNames(
      window_, QStringLiteral("Compare with"), QString(),
      QStringLiteral("Camera data (*.dbh *.txt *.csv *.gpx *.kml *.geojson *.json *.osm *.pbf *.bz2 *.gz);;"
                     "All files (*)"));
  if (paths.isEmpty()) return;
  const QString error = compareWith(paths);
  if (!error.isEmpty()) QMessageBox::warning(window_, QStringLiteral("Compare with"), error);
}

QString MapLink::compareWith(const QStringList& paths) {
  std::vector<std::filesystem::path> files;
  for (const QString& p : paths) files.push_back(std::filesystem::path(p.toStdU16String()));
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const compare::SideRead other = compare::readSide(files);
  if (other.error) {
    QApplication::restoreOverrideCursor();
    return QString::fromStdString(*other.error);
  }
  // The other release is the old side: "added" is what the table has and it has not.
  const compare::Side table = compare::sideOfTable(table_);
  const compare::ReleaseDiff diff = compare::diffReleases(other.side, table);
  QApplication::restoreOverrideCursor();

  auto marks = std::make_shared<std::vector<DiffMark>>();
  std::unordered_map<std::size_t, RowDifference> rows;
  const auto degrees = [](std::int32_t scaled) { return scaled / 10000.0; };
  for (const compare::CameraChange& c : diff.changes) {
    DiffMark m;
    m.kind = c.kind;
    const compare::DiffCamera& at = c.neu ? table.cameras[*c.neu] : other.side.cameras[*c.old];
    m.lon = degrees(at.lon);
    m.lat = degrees(at.lat);
    std::string text = compare::kindName(c.kind);
    if (c.old) text += std::string(c.neu ? " from " : " in ") + other.side.sourceOf(other.side.cameras[*c.old]);
    if (c.kind == compare::ChangeKind::kMoved) {
      const compare::DiffCamera& was = other.side.cameras[*c.old];
      m.from = QPointF(degrees(was.lon), degrees(was.lat));
      text += ", " + formatMetres(c.metres);
    }
    for (std::size_t k = 0; k < c.values.size(); ++k) {
      text += (k ? ", " : ": ") + std::string(c.values[k].field) + " " + std::to_string(c.values[k].before) + " -> " +
              std::to_string(c.values[k].after);
    }
    if (c.neu) rows[table.cameras[*c.neu].place - 1] = RowDifference{text};
    marks->push_back(std::move(m));
  }
  const compare::DiffSummary& s = diff.summary;
  const QString names =
      paths.size() == 1 ? QFileInfo(paths.front()).fileName() : QStringLiteral("%1 files").arg(paths.size());
  const QString status = QStringLiteral("compared with %1: %2 added, %3 removed, %4 moved, %5 changed, %6 unchanged")
                             .arg(names)
                             .arg(s.added)
                             .arg(s.removed)
                             .arg(s.moved)
                             .arg(s.changed)
                             .arg(s.unchanged);
  if (!window_) openMap();
  if (stale_) rebuild();
  window_->view()->setDiffMarks(std::move(marks));
  window_->setDiffStatus(status);
  if (rowMarks_) rowMarks_->setDifferences(std::move(rows));
  tableView_.viewport()->update();
  return {};
}

}  // namespace solvane::map
