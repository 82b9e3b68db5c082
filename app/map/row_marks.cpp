#include "app/map/row_marks.h"

#include <QBrush>
#include <QString>

#include "check/row_check.h"

namespace solvane::map {
namespace {

QVariant marks(const RowCheck& check, const TableFindings* findings, std::size_t row, int role) {
  const bool qualityProblem = findings && findings->problem(row);
  if (role == Qt::ToolTipRole) {
    std::string text = check.reason();
    if (findings) {
      const std::string_view more = findings->text(row);
      if (!more.empty()) text += (text.empty() ? "" : "; ") + std::string(more);
    }
    if (text.empty()) return {};
    return QString::fromStdString(text);
  }
  if (!check.isProblem() && !qualityProblem) return {};
  if (role == Qt::ForegroundRole) return QBrush(Qt::black);  // readable on the tint in a dark theme too
  return QBrush(QColor::fromRgb(check.skipped() ? kSkippedRowBackground : kProblemRowBackground));
}

bool marked(int role) { return role == Qt::BackgroundRole || role == Qt::ForegroundRole || role == Qt::ToolTipRole; }

}  // namespace

QVariant rowMarkData(const CameraTable& table, std::size_t row, int /*column*/, int role) {
  if (!marked(role) || row >= table.rowCount()) return {};
  // The table does not know which list a row came from; the check then flags a section
  // without an end point only by its other end-point cells.
  return marks(checkRow(table.cells(row)), nullptr, row, role);
}

std::shared_ptr<const TableFindings> RowMarks::findings() {
  if (!findings_) findings_ = std::make_shared<const TableFindings>(TableFindings::build(table_));
  return findings_;
}

QVariant RowMarks::data(std::size_t row, int /*column*/, int role) {
  if (!marked(role) || row >= table_.rowCount()) return {};
  QVariant own = marks(checkRow(table_.cells(row)), findings().get(), row, role);
  const RowDifference* d = difference(row);
  if (!d) return own;
  // The row's own marks come first; a row that only differs gets the comparison's tint.
  if (role == Qt::ToolTipRole) {
    const QString text = QString::fromStdString(d->text);
    return own.isValid() ? QVariant(own.toString() + QStringLiteral("; ") + text) : QVariant(text);
  }
  if (own.isValid()) return own;
  if (role == Qt::ForegroundRole) return QBrush(Qt::black);
  return QBrush(QColor::fromRgb(kDiffRowBackground));
}

}  // namespace solvane::map
