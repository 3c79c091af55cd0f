#include "store/report_view.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "store/monitoring_views.h"
#include "store/store_fixture.h"

namespace tillgate {
namespace {

OperationRecord Operation(const std::string& code, double price, double quantity, char op,
                          char section) {
  return testing::Operation(code.c_str(), "Milk", price, quantity, op, section);
}

TEST(ReportView, RowsWrapAfterRow99) {
  GridModel grid(kReportColumns, kReportRows);
  ReportView view;
  view.SetGrid(&grid);
  const DocumentStamp stamp = testing::Stamp("1", 1, 0x24, 0x03, 0x15);
  for (int i = 1; i <= 100; ++i) view.Show(Operation(std::to_string(i), 1, 1, '1', '1'), stamp);
  EXPECT_EQ(grid.Cell(5, 1), "100");
  EXPECT_EQ(grid.Cell(5, 2), "2");  // overwritten only when its turn comes
  EXPECT_EQ(grid.Cell(5, 99), "99");
  EXPECT_EQ(view.NextRow(), 2);
}

TEST(ReportView, CellsShowTheRowAsTheReportHoldsIt) {
  GridModel grid(kReportColumns, kReportRows);
  ReportView view;
  view.SetGrid(&grid);
  DocumentStamp stamp = testing::Stamp("0012345", 4711, 0x24, 0x03, 0x15);
  stamp.hour = 0x09;
  stamp.minute = 0x41;
  view.Show(Operation("2000", 300, 0.25, kOpSaleByBarcode, '3'), stamp);
  const std::vector<std::string> expected = {"0012345", "4711", "20240315", "09:41:00", "2", "2000",
                                             "Milk",    "300",  "0.25",     "75",       "3"};
  for (int column = 0; column < kReportColumns; ++column)
    EXPECT_EQ(grid.Cell(column, 1), expected[static_cast<size_t>(column)]) << column;
  // No serial number yet, no operation code, a zero section: empty cells,
  // not zero bytes.
  view.Show(Operation("1", 12.5, 1, 0, 0), DocumentStamp{});
  EXPECT_EQ(grid.Cell(0, 2), "");
  EXPECT_EQ(grid.Cell(4, 2), "");
  EXPECT_EQ(grid.Cell(10, 2), "");
  EXPECT_EQ(grid.Cell(7, 2), "12.5");
}

TEST(ReportView, RowsAreCountedWithoutAGrid) {
  ReportView view;
  for (int i = 0; i < 99; ++i) view.Show(Operation("1", 1, 1, '1', '1'), DocumentStamp{});
  EXPECT_EQ(view.NextRow(), 100);
  view.Show(Operation("1", 1, 1, '1', '1'), DocumentStamp{});
  EXPECT_EQ(view.NextRow(), 2);
}

}  // namespace
}  // namespace tillgate
