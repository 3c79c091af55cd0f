#pragma once
// A monitoring grid as a Qt table model. Row 0 of the grid (the headings)
// becomes the horizontal header; grid rows 1.. are the table's rows. Cells
// hold code page 866 bytes and are decoded for display.
//
// The engine thread writes the grid; this model only reads it, and learns of
// changes by comparing the grid's version counter from the UI thread, so the
// window never waits on the engine.

#include <QAbstractTableModel>
#include <cstdint>

#include "store/grid_model.h"

namespace tillgate {

class GridTableModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit GridTableModel(const GridModel& grid, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Shows another grid from now on (the engine's own, once it exists).
  void Rebind(const GridModel& grid);

  // Looks at the grid's version; when it moved, tells the views. Returns
  // true when something changed.
  bool Refresh();

 private:
  const GridModel* grid_;
  uint64_t seen_version_ = 0;
  int rows_ = 0;  // data rows as last published (grid rows - 1)
  int columns_ = 0;
};

}  // namespace tillgate
