#include "store/grid_model.h"

#include <algorithm>

namespace tillgate {

GridModel::GridModel(int columns, int rows)
    : columns_(std::max(columns, 0)), rows_(std::max(rows, 0)) {
  cells_.resize(static_cast<size_t>(columns_) * rows_);
}

int GridModel::ColumnCount() const {
  std::lock_guard lock(mutex_);
  return columns_;
}

int GridModel::RowCount() const {
  std::lock_guard lock(mutex_);
  return rows_;
}

void GridModel::SetRowCount(int rows) {
  GridObserver* observer;
  {
    std::lock_guard lock(mutex_);
    rows = std::max(rows, 0);
    if (rows == rows_) return;
    rows_ = rows;
    cells_.resize(static_cast<size_t>(columns_) * rows_);
    ++version_;
    observer = observer_;
  }
  if (observer) observer->OnRowCountChanged(rows);
}

std::string GridModel::Cell(int column, int row) const {
  std::lock_guard lock(mutex_);
  if (column < 0 || column >= columns_ || row < 0 || row >= rows_) return {};
  return cells_[static_cast<size_t>(row) * columns_ + column];
}

void GridModel::SetCell(int column, int row, std::string_view bytes) {
  GridObserver* observer;
  {
    std::lock_guard lock(mutex_);
    if (column < 0 || column >= columns_ || row < 0 || row >= rows_) return;
    cells_[static_cast<size_t>(row) * columns_ + column].assign(bytes);
    ++version_;
    observer = observer_;
  }
  if (observer) observer->OnCellChanged(column, row, bytes);
}

void GridModel::ClearCells(int first_column, int last_column, int first_row, int last_row) {
  {
    std::lock_guard lock(mutex_);
    first_column = std::max(first_column, 0);
    first_row = std::max(first_row, 0);
    last_column = std::min(last_column, columns_ - 1);
    last_row = std::min(last_row, rows_ - 1);
  }
  for (int row = first_row; row <= last_row; ++row)
    for (int column = first_column; column <= last_column; ++column) SetCell(column, row, {});
}

uint64_t GridModel::Version() const {
  std::lock_guard lock(mutex_);
  return version_;
}

void GridModel::SetObserver(GridObserver* observer) {
  std::lock_guard lock(mutex_);
  observer_ = observer;
}

}  // namespace tillgate
