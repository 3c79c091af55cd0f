#include "store/report_view.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "store/report_record.h"

namespace tillgate {
namespace {

constexpr int kLastRow = 99;

// General form with up to 15 significant digits, no trailing zeros.
std::string ViewNumber(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

}  // namespace

void ReportView::Show(const OperationRecord& r, const DocumentStamp& stamp) {
  if (row_ > kLastRow) row_ = 1;
  if (grid_) {
    GridModel& v = *grid_;
    v.SetCell(0, row_,
              std::string_view(stamp.serial_number,
                               strnlen(stamp.serial_number, sizeof stamp.serial_number)));
    v.SetCell(1, row_, DocumentNumberText(stamp));
    v.SetCell(2, row_, ReportDate(stamp));
    v.SetCell(3, row_, ReportTime(stamp));
    v.SetCell(4, row_, std::string_view(&r.operation_code, r.operation_code ? 1 : 0));
    v.SetCell(5, row_, std::string_view(r.goods_code, strnlen(r.goods_code, sizeof r.goods_code)));
    v.SetCell(6, row_, std::string_view(r.name, strnlen(r.name, sizeof r.name)));
    v.SetCell(7, row_, ViewNumber(r.price));
    v.SetCell(8, row_, ViewNumber(r.quantity));
    v.SetCell(9, row_, ViewNumber(r.amount));
    v.SetCell(10, row_, std::string_view(&r.section, r.section ? 1 : 0));
  }
  ++row_;
}

}  // namespace tillgate
