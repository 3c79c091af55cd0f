#pragma once
// A monitoring grid as data: rows x columns of byte strings (code page 866
// where they come from DBF files). The engine thread writes it; a window may
// read it from another thread and learns of every change through an observer.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tillgate {

class GridObserver {
 public:
  virtual ~GridObserver() = default;
  // Called on the writing thread after the cell holds its new bytes.
  virtual void OnCellChanged(int column, int row, std::string_view bytes) = 0;
  // Called on the writing thread after the row count changed.
  virtual void OnRowCountChanged(int rows) = 0;
};

class GridModel final {
 public:
  GridModel(int columns, int rows);
  GridModel(const GridModel&) = delete;
  GridModel& operator=(const GridModel&) = delete;

  int ColumnCount() const;
  int RowCount() const;
  // Rows beyond the new count are dropped; new rows are empty.
  void SetRowCount(int rows);

  // Empty for a cell outside the grid.
  std::string Cell(int column, int row) const;
  // A cell outside the grid is ignored: callers index by values from files
  // and wires, and a stray index must not write anywhere.
  void SetCell(int column, int row, std::string_view bytes);
  // Empties the cells of columns [first_column, last_column] x rows
  // [first_row, last_row], clipped to the grid.
  void ClearCells(int first_column, int last_column, int first_row, int last_row);

  // Counts every change; a reader can compare it to see whether to look again.
  uint64_t Version() const;

  // At most one observer; nullptr removes it. Not owned.
  void SetObserver(GridObserver* observer);

 private:
  mutable std::mutex mutex_;
  int columns_;
  int rows_;
  std::vector<std::string> cells_;  // row-major
  uint64_t version_ = 0;
  GridObserver* observer_ = nullptr;
};

}  // namespace tillgate
