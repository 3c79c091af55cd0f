#include "store/grid_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace tillgate {
namespace {

struct Recorder final : GridObserver {
  std::vector<std::string> events;
  void OnCellChanged(int column, int row, std::string_view bytes) override {
    events.push_back(std::to_string(column) + "," + std::to_string(row) + "=" + std::string(bytes));
  }
  void OnRowCountChanged(int rows) override { events.push_back("rows=" + std::to_string(rows)); }
};

TEST(GridModel, IgnoresCellsOutsideAndReportsEveryChange) {
  GridModel grid(3, 2);
  Recorder recorder;
  grid.SetObserver(&recorder);
  grid.SetCell(1, 1, "abc");
  grid.SetCell(3, 0, "x");   // column past the end
  grid.SetCell(0, -1, "x");  // negative row
  grid.SetCell(0, 2, "x");   // row past the end
  EXPECT_EQ(grid.Cell(1, 1), "abc");
  EXPECT_EQ(grid.Cell(3, 0), "");
  EXPECT_EQ(recorder.events, std::vector<std::string>{"1,1=abc"});
}

TEST(GridModel, RowCountKeepsExistingCellsAndDropsCutOnes) {
  GridModel grid(2, 3);
  grid.SetCell(1, 1, "keep");
  grid.SetCell(0, 2, "drop");
  grid.SetRowCount(2);
  grid.SetRowCount(4);
  EXPECT_EQ(grid.Cell(1, 1), "keep");
  EXPECT_EQ(grid.Cell(0, 2), "");
  EXPECT_EQ(grid.RowCount(), 4);
}

TEST(GridModel, ClearCellsIsClippedToTheGrid) {
  GridModel grid(5, 12);
  grid.SetCell(0, 0, "head");
  grid.SetCell(4, 11, "last");
  grid.SetCell(2, 5, "mid");
  const uint64_t before = grid.Version();
  grid.ClearCells(0, 4, 1, 14);
  EXPECT_EQ(grid.Cell(0, 0), "head");
  EXPECT_EQ(grid.Cell(4, 11), "");
  EXPECT_EQ(grid.Cell(2, 5), "");
  EXPECT_GT(grid.Version(), before);
}

}  // namespace
}  // namespace tillgate
