// The "Map" window: the map preview of the camera table with a small tool row.
#pragma once

#include <QLabel>
#include <QWidget>

#include <memory>

#include "check/table_findings.h"
#include "table/camera_table.h"
#include "app/map/map_view.h"

namespace solvane::map {

class MapWindow : public QWidget {
  Q_OBJECT

 public:
  // A separate top-level window even with a parent (the parent only owns it).
  explicit MapWindow(QWidget* parent = nullptr);

  // Reads the table's rows again. With keepView the zoom and centre stay (the rows were only
  // reordered, as the sort before a conversion does); otherwise the view fits the new rows.
  // `findings`, when given, adds the table's quality findings.
  void showTable(const CameraTable& table, bool keepView = false,
                 std::shared_ptr<const TableFindings> findings = nullptr);

  [[nodiscard]] MapView* view() const noexcept { return view_; }

  // The counts of a comparison after the table's own ("compared with X: 1 added, ..."); empty
  // clears them.
  void setDiffStatus(const QString& text);
  [[nodiscard]] QString statusText() const;

 public slots:
  // Marks the row and brings it to the middle of the map.
  void selectAndCenter(int row);

 signals:
  void rowClicked(int row);
  // "Compare with..." was pressed.
  void compareRequested();

 private:
  void updateStatus(QPointF worldUnderPointer);
  MapView* view_;
  QLabel* status_;
  QString tableStatus_, diffStatus_;
  QLabel* pointer_;
};

}  // namespace solvane::map
