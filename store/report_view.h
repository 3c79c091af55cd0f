#pragma once
// The report view: the last report rows written, one grid row each, from
// row 1 to row 99 and then from row 1 again (old rows are overwritten, not
// cleared).

#include "store/document_stamp.h"
#include "store/grid_model.h"
#include "store/operation_record.h"

namespace tillgate {

class ReportView {
 public:
  // The grid (11 columns); may be null, rows are counted all the same.
  void SetGrid(GridModel* grid) { grid_ = grid; }
  // Shows operation `r` of the document stamped `stamp` in the next row.
  void Show(const OperationRecord& r, const DocumentStamp& stamp);
  // The row the next Show writes, 1..99 (100 just after row 99).
  int NextRow() const { return row_; }

 private:
  GridModel* grid_ = nullptr;
  int row_ = 1;
};

}  // namespace tillgate
