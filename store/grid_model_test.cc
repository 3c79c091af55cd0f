#include "store/grid_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
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

// Cells named by where they are, counting the reads.
struct Where final : CellSource {
  explicit Where(std::string tag) : tag(std::move(tag)) {}
  std::string Cell(int column, int row) const override {
    ++reads;
    return tag + std::to_string(column) + "," + std::to_string(row);
  }
  std::string tag;
  mutable int reads = 0;
};

TEST(GridModel, ColumnsReadFromASourceUnderTheCellsSetOverThem) {
  GridModel grid(3, 10);
  grid.SetCell(0, 0, "head");
  grid.SetCell(0, 2, "before");
  grid.SetCell(2, 2, "other column");
  auto first = std::make_shared<Where>("a");
  const int columns[] = {0, 1};
  const uint64_t version = grid.Version();
  grid.ShowFrom(first, columns, 1, 6);
  EXPECT_GT(grid.Version(), version);
  EXPECT_EQ(first->reads, 0);  // nothing is read until asked
  EXPECT_EQ(grid.Cell(0, 0), "head");
  EXPECT_EQ(grid.Cell(0, 2), "a0,2");  // the source's now
  EXPECT_EQ(grid.Cell(2, 2), "other column");
  EXPECT_EQ(grid.Cell(1, 5), "a1,5");
  EXPECT_EQ(grid.Cell(1, 6), "");  // past the source's rows
  EXPECT_EQ(first->reads, 2);
  // A cell set over the source shows, even an empty one.
  grid.SetCell(1, 3, "");
  EXPECT_EQ(grid.Cell(1, 3), "");
  // A later source for one column leaves the other on the first.
  auto second = std::make_shared<Where>("b");
  const int one[] = {1};
  grid.ShowFrom(second, one, 1, 6);
  EXPECT_EQ(grid.Cell(1, 3), "b1,3");
  EXPECT_EQ(grid.Cell(0, 3), "a0,3");
  // Rows cut off stay empty when they come back.
  grid.SetRowCount(3);
  grid.SetRowCount(10);
  EXPECT_EQ(grid.Cell(0, 2), "a0,2");
  EXPECT_EQ(grid.Cell(0, 4), "");
  EXPECT_EQ(grid.Cell(1, 4), "");
}

TEST(GridModel, AChangeInTheSourceIsToldOrKeptAsACell) {
  GridModel grid(2, 5);
  Recorder recorder;
  grid.SetObserver(&recorder);
  auto source = std::make_shared<Where>("s");
  const int columns[] = {1};
  grid.ShowFrom(source, columns, 1, 5);
  // Read through the source: only counted and told.
  uint64_t version = grid.Version();
  grid.SourceCellChanged(source.get(), 1, 2, "new");
  EXPECT_EQ(grid.Cell(1, 2), "s1,2");
  EXPECT_GT(grid.Version(), version);
  // Not read through that source: kept as a cell.
  Where elsewhere("x");
  grid.SourceCellChanged(&elsewhere, 1, 3, "kept");
  grid.SourceCellChanged(source.get(), 0, 3, "left");
  EXPECT_EQ(grid.Cell(1, 3), "kept");
  EXPECT_EQ(grid.Cell(0, 3), "left");
  // Through the source again: the cell set over it goes.
  grid.SourceCellChanged(source.get(), 1, 3, "again");
  EXPECT_EQ(grid.Cell(1, 3), "s1,3");
  version = grid.Version();
  grid.SourceCellChanged(source.get(), 1, 7, "outside");
  EXPECT_EQ(grid.Version(), version);
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"1,2=new", "1,3=kept", "0,3=left", "1,3=again"}));
}

}  // namespace
}  // namespace tillgate
