// Ties the Map window to the dialog's camera table: opens the window, rebuilds it when the
// table changes, selects in the table the row clicked on the map and centres the map on the
// row selected in the table.
#pragma once

#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <QTableView>

#include <cstddef>
#include <functional>
#include <memory>

#include "check/table_findings.h"
#include "table/camera_table.h"
#include "app/map/map_window.h"
#include "app/map/row_marks.h"

#include <QStringList>

namespace solvane::map {

class MapLink : public QObject {
  Q_OBJECT

 public:
  // `tableView` must already have its model. The window is created on first use as a
  // top-level window owned by `owner`.
  MapLink(const CameraTable& table, QTableView& tableView, QWidget* owner);

  // Where the map gets the table's quality findings (near duplicates to join, rows with a
  // quality problem); without it the map shows the row check only.
  void setFindingsSource(std::function<std::shared_ptr<const TableFindings>()> source) {
    findings_ = std::move(source);
  }

  // The table's row marks, which "Compare with..." adds the differing rows to.
  void setRowMarks(RowMarks* marks) noexcept { rowMarks_ = marks; }

  // Compares the table with a release (databases, lists, import files; camera_matcher.h has
  // what counts as a match): the map marks what differs (added and changed in the table,
  // removed from it, moved with a line from where it was), its status line counts them and the
  // table's differing rows are marked. Returns the error text, empty when it worked. The
  // window's "Compare with..." asks for the files and calls this.
  QString compareWith(const QStringList& paths);

  // Shows the window (building the map if the table changed since) and raises it.
  void openMap();
  // The table was reloaded or reordered.
  void tableChanged();

  // The window, or null before the first openMap().
  [[nodiscard]] MapWindow* window() const noexcept { return window_.data(); }

 private:
  void rebuild();
  void askAndCompare();
  void clearComparison();
  void selectInTable(int row);
  void tableCurrentChanged(const QModelIndex& current);

  const CameraTable& table_;
  QTableView& tableView_;
  QWidget* owner_;
  QPointer<MapWindow> window_;
  bool stale_ = true;
  std::size_t shownRows_ = 0;
  bool selectingFromMap_ = false;
  std::function<std::shared_ptr<const TableFindings>()> findings_;
  RowMarks* rowMarks_ = nullptr;
};

}  // namespace solvane::map
