#pragma once
// Keeps a grid's columns in their drawn proportions as the grid grows: the
// columns never fall below their fitted widths, and a grid wider than its
// columns spreads the room over all of them by the same factor. Once the
// operator has dragged a column, the widths are his and stay as they are.

#include <QObject>
#include <vector>

class QTableView;

namespace tillgate {

class ProportionalColumns final : public QObject {
  Q_OBJECT

 public:
  // Sets `widths` on `view` at once; lives as long as the view.
  ProportionalColumns(QTableView* view, std::vector<int> widths);

  bool OperatorSized() const { return operator_sized_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Apply();

  QTableView* view_;
  std::vector<int> widths_;
  bool applying_ = false;
  bool operator_sized_ = false;
};

}  // namespace tillgate
