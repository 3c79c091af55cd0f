#include "app/window/grid_table_model.h"

#include <algorithm>
#include <string>

#include "store/cp866.h"

namespace tillgate {
namespace {

QString Decode(const std::string& bytes) { return QString::fromStdString(Cp866ToUtf8(bytes)); }

}  // namespace

GridTableModel::GridTableModel(const GridModel& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(&grid) {
  seen_version_ = grid_->Version();
  rows_ = std::max(grid_->RowCount() - 1, 0);
  columns_ = grid_->ColumnCount();
}

int GridTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int GridTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columns_;
}

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  // Out of range (the grid shrank since the last refresh) reads as empty.
  return Decode(grid_->Cell(index.column(), index.row() + 1));
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return Decode(grid_->Cell(section, 0));
  return section + 1;
}

void GridTableModel::Rebind(const GridModel& grid) {
  beginResetModel();
  grid_ = &grid;
  seen_version_ = grid_->Version();
  rows_ = std::max(grid_->RowCount() - 1, 0);
  columns_ = grid_->ColumnCount();
  endResetModel();
}

bool GridTableModel::Refresh() {
  const uint64_t version = grid_->Version();
  if (version == seen_version_) return false;
  seen_version_ = version;
  const int rows = std::max(grid_->RowCount() - 1, 0);
  const int columns = grid_->ColumnCount();
  if (rows != rows_ || columns != columns_) {
    beginResetModel();
    rows_ = rows;
    columns_ = columns;
    endResetModel();
    return true;
  }
  if (rows_ > 0 && columns_ > 0)
    emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1), {Qt::DisplayRole});
  emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
  return true;
}

}  // namespace tillgate
