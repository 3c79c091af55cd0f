#include "app/window/grid_table_model.h"

#include <QBrush>
#include <QColor>
#include <algorithm>
#include <string>

#include "store/cp866.h"

namespace tillgate {
namespace {

// Pale yellow stands out on the grids' teal.
const QColor kNewestRowColour(0xff, 0xff, 0xb0);

QString Decode(const std::string& bytes) { return QString::fromStdString(Cp866ToUtf8(bytes)); }

}  // namespace

void GridTableModel::WriteWatcher::OnCellChanged(int /*column*/, int row,
                                                 std::string_view /*bytes*/) {
  if (row > 0) last_row.store(row, std::memory_order_relaxed);
}

void GridTableModel::WriteWatcher::OnRowCountChanged(int /*rows*/) {}

GridTableModel::GridTableModel(GridModel& grid, QObject* parent)
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
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      // Out of range (the grid shrank since the last refresh) reads as empty.
      return Decode(grid_->Cell(index.column(), index.row() + 1));
    case Qt::BackgroundRole:
      if (index.row() == newest_row_) return QBrush(kNewestRowColour);
      return {};
    default:
      return {};
  }
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return Decode(grid_->Cell(section, 0));
  return section + 1;
}

void GridTableModel::Rebind(GridModel& grid) {
  const bool marking = marking_;
  MarkNewestRow(false);
  beginResetModel();
  grid_ = &grid;
  seen_version_ = grid_->Version();
  rows_ = std::max(grid_->RowCount() - 1, 0);
  columns_ = grid_->ColumnCount();
  endResetModel();
  MarkNewestRow(marking);
}

void GridTableModel::MarkNewestRow(bool on) {
  if (on == marking_) return;
  marking_ = on;
  grid_->SetObserver(on ? &watcher_ : nullptr);
  watcher_.last_row.store(0);
  newest_row_ = -1;
}

bool GridTableModel::Refresh() {
  const uint64_t version = grid_->Version();
  if (version == seen_version_) return false;
  seen_version_ = version;
  const int rows = std::max(grid_->RowCount() - 1, 0);
  const int columns = grid_->ColumnCount();
  const int old_newest = newest_row_;
  if (marking_) newest_row_ = watcher_.last_row.load(std::memory_order_relaxed) - 1;
  if (rows != rows_ || columns != columns_) {
    beginResetModel();
    rows_ = rows;
    columns_ = columns;
    endResetModel();
    return true;
  }
  if (rows_ > 0 && columns_ > 0) {
    // Data and, when the newest row moved, the backgrounds of both rows.
    QList<int> roles{Qt::DisplayRole, Qt::ToolTipRole};
    if (newest_row_ != old_newest) roles.append(Qt::BackgroundRole);
    emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1), roles);
  }
  emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
  return true;
}

}  // namespace tillgate
