#include "store/grid_model.h"

#include <algorithm>

namespace tillgate {

GridModel::GridModel(int columns, int rows)
    : columns_(std::max(columns, 0)), rows_(std::max(rows, 0)) {
  sources_.resize(static_cast<size_t>(columns_));
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
    if (rows < rows_) {
      cells_.erase(cells_.lower_bound(Key(0, rows)), cells_.end());
      for (ColumnSource& column : sources_) column.end_row = std::min(column.end_row, rows);
    }
    rows_ = rows;
    ++version_;
    observer = observer_;
  }
  if (observer) observer->OnRowCountChanged(rows);
}

std::string GridModel::Cell(int column, int row) const {
  std::shared_ptr<const CellSource> source;
  {
    std::lock_guard lock(mutex_);
    if (!Inside(column, row)) return {};
    const auto it = cells_.find(Key(column, row));
    if (it != cells_.end()) return it->second;
    const ColumnSource& from = sources_[static_cast<size_t>(column)];
    if (!from.Covers(row)) return {};
    source = from.source;
  }
  // Read outside the lock: a slow read holds up no writer.
  return source->Cell(column, row);
}

GridObserver* GridModel::Store(int column, int row, std::string_view bytes) {
  if (!Inside(column, row)) return nullptr;
  // An empty cell need not be kept unless it hides a source's.
  if (bytes.empty() && !sources_[static_cast<size_t>(column)].Covers(row))
    cells_.erase(Key(column, row));
  else
    cells_[Key(column, row)].assign(bytes);
  ++version_;
  return observer_;
}

void GridModel::SetCell(int column, int row, std::string_view bytes) {
  GridObserver* observer;
  {
    std::lock_guard lock(mutex_);
    if (!Inside(column, row)) return;
    observer = Store(column, row, bytes);
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

void GridModel::ShowFrom(std::shared_ptr<const CellSource> source, std::span<const int> columns,
                         int first_row, int end_row) {
  std::lock_guard lock(mutex_);
  first_row = std::max(first_row, 0);
  end_row = std::min(end_row, rows_);
  for (const int column : columns) {
    if (column < 0 || column >= columns_) continue;
    // The column's cells from first_row on are the source's now.
    for (auto it = cells_.lower_bound(Key(0, first_row)); it != cells_.end();)
      it = it->first % static_cast<uint64_t>(columns_) == static_cast<uint64_t>(column)
               ? cells_.erase(it)
               : std::next(it);
    sources_[static_cast<size_t>(column)] = {source, first_row, end_row};
  }
  ++version_;
}

void GridModel::SourceCellChanged(const CellSource* source, int column, int row,
                                  std::string_view bytes) {
  GridObserver* observer;
  {
    std::lock_guard lock(mutex_);
    if (!Inside(column, row)) return;
    const ColumnSource& from = sources_[static_cast<size_t>(column)];
    if (source && from.source.get() == source && from.Covers(row)) {
      cells_.erase(Key(column, row));
      ++version_;
      observer = observer_;
    } else {
      observer = Store(column, row, bytes);
    }
  }
  if (observer) observer->OnCellChanged(column, row, bytes);
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
