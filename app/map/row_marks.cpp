#include "app/map/row_marks.h"

#include <QBrush>
#include <QString>

#include "check/row_check.h"

namespace solvane::map {

QVariant rowMarkData(const CameraTable& table, std::size_t row, int /*column*/, int role) {
  if (role != Qt::BackgroundRole && role != Qt::ForegroundRole && role != Qt::ToolTipRole) return {};
  if (row >= table.rowCount()) return {};
  // The table does not know which list a row came from; the check then flags a section
  // without an end point only by its other end-point cells.
  const RowCheck check = checkRow(table.cells(row));
  if (role == Qt::ToolTipRole) {
    const std::string reason = check.reason();
    if (reason.empty()) return {};
    return QString::fromStdString(reason);
  }
  if (!check.isProblem()) return {};
  if (role == Qt::ForegroundRole) return QBrush(Qt::black);  // readable on the tint in a dark theme too
  return QBrush(QColor::fromRgb(check.skipped() ? kSkippedRowBackground : kProblemRowBackground));
}

}  // namespace solvane::map
