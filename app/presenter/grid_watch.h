#pragma once
// What a view of a monitoring grid must draw again. The engine thread writes
// the grid; the window looks from its own thread at what was written since
// it last looked, so it never waits on the engine. Row 0 of the grid (the
// headings) heads the view; grid rows 1.. are the view's data rows 0.., as
// the rows and cells below count them.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/grid_model.h"

namespace tillgate {

struct GridChange {
  // The number of rows or columns changed (or another grid is shown): draw
  // everything again with the new shape; the fields below but the newest
  // row then say nothing.
  bool reshaped = false;
  int rows = 0;  // data rows
  int columns = 0;
  // Data rows first_row..last_row hold cells written since the last look
  // (none when first_row > last_row); the headings were written too.
  int first_row = 0;
  int last_row = -1;
  bool headings = false;
  // The data row written last, when marked; -1 for none. The row marked
  // before is to be drawn again too when it differs.
  int newest_row = -1;
  int old_newest_row = -1;
};

class GridWatch {
 public:
  explicit GridWatch(GridModel& grid);
  ~GridWatch();
  GridWatch(const GridWatch&) = delete;
  GridWatch& operator=(const GridWatch&) = delete;

  // Watches another grid from now on (the engine's own, once it exists);
  // the next Poll reports it reshaped.
  void Rebind(GridModel& grid);
  // Stops watching the grid's writes; do it before the grid goes, and only
  // while nothing writes it. Poll then reports nothing more.
  void Release();

  // What changed since the last Poll; nothing when nothing did.
  std::optional<GridChange> Poll();

  // Marks the row written last (a grid that reuses its rows has its newest
  // not always at the bottom).
  void MarkNewestRow(bool on);

  // As published by the last Poll.
  int rows() const { return rows_; }
  int columns() const { return columns_; }
  int newest_row() const { return newest_row_; }

  // A data cell's text (UTF-8, decoded from code page 866); empty outside
  // the grid (it may have shrunk since the last Poll).
  std::string CellText(int column, int data_row) const;
  // A column's heading (UTF-8).
  std::string HeadingText(int column) const;

 private:
  // Told of every write, on the writing thread: the grid rows written,
  // lowest and highest in one word so that they are taken together.
  class WriteWatcher final : public GridObserver {
   public:
    static constexpr uint64_t kNone = ~uint64_t{0} << 32;  // lowest 0xffffffff, highest 0
    void OnCellChanged(int column, int row, std::string_view bytes) override;
    void OnRowCountChanged(int rows) override;
    // The rows written since the last call: false when none.
    bool TakeRows(int* lowest, int* highest);
    std::atomic<uint64_t> written{kNone};
    std::atomic<int> last_row{0};  // grid row; 0: none yet
  };

  GridModel* grid_;  // read only; written through its observer hook alone
  bool watching_ = true;
  bool rebound_ = false;
  int rows_ = 0;
  int columns_ = 0;
  bool marking_ = false;
  WriteWatcher watcher_;
  int newest_row_ = -1;
};

}  // namespace tillgate
