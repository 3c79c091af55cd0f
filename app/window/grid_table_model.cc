#include "app/window/grid_table_model.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

namespace tillgate {
namespace {

// Pale yellow stands out on the grids' teal.
const QColor kNewestRowColour(0xff, 0xff, 0xb0);

}  // namespace

GridTableModel::GridTableModel(const GridWatch& grid, QObject* parent)
    : QAbstractTableModel(parent),
      grid_(&grid),
      rows_(grid.rows()),
      columns_(grid.columns()),
      newest_row_(grid.newest_row()) {}

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
      // Out of range (the grid shrank since the last change) reads as empty.
      return QString::fromStdString(grid_->CellText(index.column(), index.row()));
    case Qt::BackgroundRole:
      if (index.row() == newest_row_) return QBrush(kNewestRowColour);
      return {};
    default:
      return {};
  }
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return QString::fromStdString(grid_->HeadingText(section));
  return section + 1;
}

void GridTableModel::Apply(const GridChange& change) {
  newest_row_ = change.newest_row;
  if (change.reshaped) {
    beginResetModel();
    rows_ = change.rows;
    columns_ = change.columns;
    endResetModel();
    return;
  }
  if (columns_ <= 0) return;
  const auto redraw = [this](int first, int last, const QList<int>& roles) {
    first = std::max(first, 0);
    last = std::min(last, rows_ - 1);
    if (first <= last) emit dataChanged(index(first, 0), index(last, columns_ - 1), roles);
  };
  redraw(change.first_row, change.last_row, {Qt::DisplayRole, Qt::ToolTipRole});
  if (change.newest_row != change.old_newest_row) {
    // The mark moved: both rows' backgrounds.
    for (int row : {change.old_newest_row, change.newest_row})
      redraw(row, row, {Qt::BackgroundRole});
  }
  if (change.headings) emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

}  // namespace tillgate
