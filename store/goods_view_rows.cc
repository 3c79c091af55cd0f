#include "store/goods_view_rows.h"

namespace tillgate {

GoodsViewRows::GoodsViewRows(std::unique_ptr<File> file, int header_length, int record_length,
                             const std::array<DbfField, 6>& fields, int records)
    : file_(std::move(file)),
      header_length_(header_length),
      record_length_(record_length),
      fields_(fields),
      records_(records) {}

std::string GoodsViewRows::Cell(int column, int row) const {
  if (column < 0 || column >= static_cast<int>(fields_.size()) || row < 1 || row > records_)
    return {};
  const DbfField& field = fields_[static_cast<size_t>(column)];
  if (field.length <= 0 || field.position < 1 || field.position + field.length > record_length_)
    return {};
  std::string bytes(static_cast<size_t>(field.length), '\0');
  size_t got = 0;
  const uint64_t at = static_cast<uint64_t>(header_length_) +
                      static_cast<uint64_t>(record_length_) * static_cast<uint64_t>(row - 1) +
                      static_cast<uint64_t>(field.position);
  if (!file_->ReadAt(at, bytes.data(), bytes.size(), &got).ok() || got != bytes.size()) return {};
  return bytes;
}

}  // namespace tillgate
