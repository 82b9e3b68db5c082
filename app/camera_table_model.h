// The camera table as a Qt model, so the view asks only for the cells it shows and a million
// rows stay cheap. The model owns nothing: it reads the dialog's table, and the dialog calls
// reload() on the UI thread after every change to the table.
#pragma once

#include <QAbstractTableModel>
#include <functional>

#include "table/camera_table.h"

namespace solvane::gui {

class CameraTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // The row's item data, for code that needs to find a row again after a sort.
  static constexpr int kItemDataRole = Qt::UserRole + 1;

  // Extra roles for a cell (colours, tooltips, ...). Asked first for every role but the
  // displayed text; an invalid QVariant falls through to the model's own answer.
  using RoleHook = std::function<QVariant(const CameraTable& table, std::size_t row, int column, int role)>;

  explicit CameraTableModel(const CameraTable& table, QObject* parent = nullptr);

  void setRoleHook(RoleHook hook);
  // The table has changed: drop every cached view of it.
  void reload();

  [[nodiscard]] const CameraTable& table() const noexcept { return table_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  const CameraTable& table_;
  RoleHook roleHook_;
};

// Column 0 reads from the left, the others are centred.
Qt::Alignment columnAlignment(int column) noexcept;

}  // namespace solvane::gui
