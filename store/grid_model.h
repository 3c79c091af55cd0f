#pragma once
// A monitoring grid as data: rows x columns of byte strings (code page 866
// where they come from DBF files). The engine thread writes it; a window may
// read it from another thread and learns of every change through an observer.
//
// The grid keeps only the cells set one by one. Whole columns may instead be
// read when asked from a CellSource (the goods view reads the goods file's
// records so), so a grid of a million rows costs no more than its sources.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
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

// Cells read when the grid is asked for them.
class CellSource {
 public:
  virtual ~CellSource() = default;
  // The bytes of the cell; empty when they cannot be read. Called on the
  // reading thread, outside the grid's lock.
  virtual std::string Cell(int column, int row) const = 0;
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

  // From now on the cells of `columns` in rows [first_row, end_row) are
  // read from `source` when asked, in place of what the grid had there
  // (rows from end_row on are empty). Cells set later show over it; a row
  // count that drops below end_row drops those rows for good. Counts as one
  // change; the observer is told of none.
  void ShowFrom(std::shared_ptr<const CellSource> source, std::span<const int> columns,
                int first_row, int end_row);
  // The cell of `source` at (column, row) now holds `bytes`: where the grid
  // reads that cell from `source` the change is only counted (and told);
  // anywhere else the bytes are set as by SetCell.
  void SourceCellChanged(const CellSource* source, int column, int row, std::string_view bytes);

  // Counts every change; a reader can compare it to see whether to look again.
  uint64_t Version() const;

  // At most one observer; nullptr removes it. Not owned.
  void SetObserver(GridObserver* observer);

 private:
  struct ColumnSource {
    std::shared_ptr<const CellSource> source;
    int first_row = 0;
    int end_row = 0;
    bool Covers(int row) const { return source && row >= first_row && row < end_row; }
  };
  uint64_t Key(int column, int row) const {
    return static_cast<uint64_t>(row) * static_cast<uint64_t>(columns_) +
           static_cast<uint64_t>(column);
  }
  bool Inside(int column, int row) const {
    return column >= 0 && column < columns_ && row >= 0 && row < rows_;
  }
  // Sets a cell under the lock; the observer to tell, if any.
  GridObserver* Store(int column, int row, std::string_view bytes);

  mutable std::mutex mutex_;
  int columns_;
  int rows_;
  std::map<uint64_t, std::string> cells_;  // set one by one; row-major keys
  std::vector<ColumnSource> sources_;      // one per column
  uint64_t version_ = 0;
  GridObserver* observer_ = nullptr;
};

}  // namespace tillgate
