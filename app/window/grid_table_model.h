#pragma once
// A monitoring grid as a Qt table model. Row 0 of the grid (the headings)
// becomes the horizontal header; grid rows 1.. are the table's rows. Cells
// hold code page 866 bytes and are decoded for display.
//
// The engine thread writes the grid; this model only reads it (and may
// hook itself in as the grid's observer), and learns of changes by comparing the grid's version
// counter from the UI thread, so the window never waits on the engine.

#include <QAbstractTableModel>
#include <atomic>
#include <cstdint>

#include "store/grid_model.h"

namespace tillgate {

class GridTableModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit GridTableModel(GridModel& grid, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  // The cell's text for display and, whole, as its tooltip (a narrow column
  // may cut it); the newest row's background when it is marked.
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Shows another grid from now on (the engine's own, once it exists).
  void Rebind(GridModel& grid);

  // Looks at the grid's version; when it moved, tells the views. Returns
  // true when something changed.
  bool Refresh();

  // Marks the row written last (the grid reuses its rows, so the newest is
  // not always the bottom one). Watches the grid's writes until stopped; stop
  // it before the grid goes, and only while nothing writes the grid.
  void MarkNewestRow(bool on);
  // The data row (0-based) marked as newest after the last Refresh; -1 for
  // none.
  int NewestRow() const { return newest_row_; }

 private:
  // Told of every write, on the writing thread.
  class WriteWatcher final : public GridObserver {
   public:
    void OnCellChanged(int column, int row, std::string_view bytes) override;
    void OnRowCountChanged(int rows) override;
    std::atomic<int> last_row{0};  // grid row; 0: none yet
  };

  GridModel* grid_;  // read only; written through its observer hook alone
  uint64_t seen_version_ = 0;
  int rows_ = 0;  // data rows as last published (grid rows - 1)
  int columns_ = 0;
  bool marking_ = false;
  WriteWatcher watcher_;
  int newest_row_ = -1;
};

}  // namespace tillgate
