#pragma once
// A monitoring grid as a Qt table model, redrawn where the presenter's
// GridWatch says. Row 0 of the grid (the headings) becomes the horizontal header; grid
// rows 1.. are the table's rows. The shape and the newest row are those
// published by the last change applied, so the views never see a row the
// model has not announced.

#include <QAbstractTableModel>

#include "app/presenter/grid_watch.h"

namespace tillgate {

class GridTableModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `grid` must outlive the model's use.
  explicit GridTableModel(const GridWatch& grid, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  // The cell's text for display and, whole, as its tooltip (a narrow column
  // may cut it); the newest row's background when it is marked.
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Tells the views what `change` says is to be drawn again.
  void Apply(const GridChange& change);
  // The data row marked as newest; -1 for none.
  int NewestRow() const { return newest_row_; }

 private:
  const GridWatch* grid_;
  int rows_ = 0;
  int columns_ = 0;
  int newest_row_ = -1;
};

}  // namespace tillgate
