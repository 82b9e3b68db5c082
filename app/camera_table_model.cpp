#include "app/camera_table_model.h"

#include <QString>
#include <limits>

namespace solvane::gui {

Qt::Alignment columnAlignment(int column) noexcept {
  return (column == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter;
}

CameraTableModel::CameraTableModel(const CameraTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {}

void CameraTableModel::setRoleHook(RoleHook hook) {
  beginResetModel();
  roleHook_ = std::move(hook);
  endResetModel();
}

void CameraTableModel::reload() {
  beginResetModel();
  endResetModel();
}

int CameraTableModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  const std::size_t rows = table_.rowCount();
  return rows > static_cast<std::size_t>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                          : static_cast<int>(rows);
}

int CameraTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant CameraTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() >= kColumnCount) return {};
  const auto row = static_cast<std::size_t>(index.row());
  if (row >= table_.rowCount()) return {};
  if (role == Qt::DisplayRole) {
    const std::string_view text = table_.cell(row, index.column());
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
  }
  if (roleHook_) {
    QVariant extra = roleHook_(table_, row, index.column(), role);
    if (extra.isValid()) return extra;
  }
  switch (role) {
    case Qt::TextAlignmentRole: return static_cast<int>(columnAlignment(index.column()));
    case kItemDataRole: return QVariant::fromValue(static_cast<qlonglong>(table_.itemData(row)));
    default: return {};
  }
}

QVariant CameraTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) {
    const std::string_view heading = kColumns[static_cast<std::size_t>(section)].heading;
    return QString::fromLatin1(heading.data(), static_cast<qsizetype>(heading.size()));
  }
  if (role == Qt::TextAlignmentRole) return static_cast<int>(columnAlignment(section));
  return {};
}

Qt::ItemFlags CameraTableModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace solvane::gui
