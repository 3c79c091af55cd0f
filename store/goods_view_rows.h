#pragma once
// The goods view's cells read from the goods file when the view is looked
// at: row n is goods record n, each cell its field's bytes as stored, read
// afresh at every look (the stock in them moves).

#include <array>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "store/dbff.h"
#include "store/grid_model.h"

namespace tillgate {

class GoodsViewRows final : public CellSource {
 public:
  // `file` is read from the thread that reads the view (a handle of the
  // view's own: positioned reads only); `fields` are the view's columns
  // (length 0: none); rows 1..`records` are read.
  GoodsViewRows(std::unique_ptr<File> file, int header_length, int record_length,
                const std::array<DbfField, 6>& fields, int records);

  std::string Cell(int column, int row) const override;

 private:
  std::unique_ptr<File> file_;
  int header_length_;
  int record_length_;
  std::array<DbfField, 6> fields_;
  int records_;
};

}  // namespace tillgate
