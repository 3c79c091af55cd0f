// What the presenter tells a view of a monitoring grid to draw again.

#include "app/presenter/grid_watch.h"

#include <gtest/gtest.h>

#include "store/cp866.h"

namespace tillgate::testing {
namespace {

TEST(GridWatch, ReportsTheRowsWrittenTheShapeAndARebindOnlyWhenTheyChanged) {
  GridModel grid(3, 4);
  grid.SetCell(0, 0, Utf8ToCp866("   Код товара"));
  GridWatch watch(grid);
  EXPECT_EQ(watch.rows(), 3);
  EXPECT_EQ(watch.columns(), 3);
  EXPECT_EQ(watch.HeadingText(0), "   Код товара");
  EXPECT_FALSE(watch.Poll());

  grid.SetCell(1, 2, Utf8ToCp866("Хлеб  "));
  std::optional<GridChange> change = watch.Poll();
  ASSERT_TRUE(change);
  EXPECT_FALSE(change->reshaped);
  EXPECT_EQ(change->first_row, 1);  // data row 1 is grid row 2
  EXPECT_EQ(change->last_row, 1);
  EXPECT_FALSE(change->headings);
  EXPECT_EQ(watch.CellText(1, 1), "Хлеб  ");
  EXPECT_FALSE(watch.Poll());
  // Several writes between two looks: one change over the rows they span.
  grid.SetCell(2, 3, "x");
  grid.SetCell(0, 0, "Code");
  grid.SetCell(2, 1, "y");
  change = watch.Poll();
  ASSERT_TRUE(change);
  EXPECT_TRUE(change->headings);
  EXPECT_EQ(change->first_row, 0);
  EXPECT_EQ(change->last_row, 2);

  grid.SetRowCount(10);
  change = watch.Poll();
  ASSERT_TRUE(change);
  EXPECT_TRUE(change->reshaped);
  EXPECT_EQ(change->rows, 9);
  EXPECT_EQ(watch.rows(), 9);
  // A grid shrunk since the last look reads as empty, never out of range.
  grid.SetRowCount(1);
  EXPECT_EQ(watch.CellText(1, 8), "");

  // Another grid, even one that has not moved, is drawn whole.
  GridModel other(5, 2);
  watch.Rebind(other);
  change = watch.Poll();
  ASSERT_TRUE(change);
  EXPECT_TRUE(change->reshaped);
  EXPECT_EQ(change->columns, 5);
  EXPECT_EQ(change->rows, 1);
  EXPECT_FALSE(watch.Poll());
}

TEST(GridWatch, MarksTheRowWrittenLastThroughTheWrapAndAcrossARebind) {
  GridModel report(11, 100);
  GridWatch watch(report);
  watch.MarkNewestRow(true);
  for (int row = 1; row <= 99; ++row) report.SetCell(1, row, std::to_string(row));
  std::optional<GridChange> change = watch.Poll();
  ASSERT_TRUE(change);
  EXPECT_EQ(change->newest_row, 98);
  EXPECT_EQ(change->old_newest_row, -1);
  // The store starts again at row 1: that row is the newest now.
  report.SetCell(1, 1, "100");
  change = watch.Poll();
  ASSERT_TRUE(change);
  EXPECT_EQ(change->newest_row, 0);
  EXPECT_EQ(change->old_newest_row, 98);
  // The headings are no data row.
  report.SetCell(0, 0, "N KKM");
  change = watch.Poll();
  ASSERT_TRUE(change);
  EXPECT_EQ(change->newest_row, 0);
  EXPECT_EQ(change->old_newest_row, 0);

  // Marking follows the grid shown; the old one is let go of.
  GridModel engines(11, 100);
  watch.Rebind(engines);
  EXPECT_TRUE(watch.Poll()->reshaped);
  report.SetCell(1, 50, "unseen");
  engines.SetCell(1, 7, "101");
  change = watch.Poll();
  ASSERT_TRUE(change);
  EXPECT_EQ(change->first_row, 6);
  EXPECT_EQ(change->last_row, 6);
  EXPECT_EQ(change->newest_row, 6);
  EXPECT_EQ(change->old_newest_row, -1);
  watch.MarkNewestRow(false);
  engines.SetCell(1, 9, "102");
  EXPECT_EQ(watch.Poll()->newest_row, -1);
  // Let go of (the engine stopped), the grid is written unseen.
  watch.Release();
  engines.SetCell(1, 10, "103");
  EXPECT_FALSE(watch.Poll());
}

}  // namespace
}  // namespace tillgate::testing
