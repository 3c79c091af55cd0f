// The monitoring grids as the operator sees them.

#include "app/window/grid_table_model.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <optional>
#include <string>
#include <vector>

#include "app/window/window_test_support.h"
#include "store/cp866.h"

namespace tillgate::testing {
namespace {

TEST(GridTableModel, HeadingRowBecomesHeaderAndCellsAreDecoded) {
  EnsureApplication();
  GridModel grid(3, 4);
  grid.SetCell(0, 0, Utf8ToCp866("   Код товара"));
  grid.SetCell(1, 2, Utf8ToCp866("Хлеб бородинский  "));
  GridWatch watch(grid);
  GridTableModel model(watch);
  EXPECT_EQ(model.rowCount(), 3);
  EXPECT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "   Код товара");
  EXPECT_EQ(model.data(model.index(1, 1)).toString(), "Хлеб бородинский  ");
  EXPECT_EQ(model.data(model.index(0, 1)).toString(), "");
}

TEST(GridTableModel, RefreshPublishesChangesOnlyWhenTheGridMoved) {
  EnsureApplication();
  GridModel grid(2, 3);
  GridWatch watch(grid);
  GridTableModel model(watch);
  // What the window's timer does: the presenter's look at the grid, drawn.
  const auto refresh = [&] {
    const std::optional<GridChange> change = watch.Poll();
    if (change) model.Apply(*change);
    return change.has_value();
  };
  int changed = 0, resets = 0;
  QObject::connect(&model, &QAbstractItemModel::dataChanged, [&] { ++changed; });
  QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
  EXPECT_FALSE(refresh());
  grid.SetCell(1, 1, "x");
  EXPECT_TRUE(refresh());
  EXPECT_EQ(changed, 1);
  EXPECT_FALSE(refresh());
  grid.SetRowCount(10);
  EXPECT_TRUE(refresh());
  EXPECT_EQ(resets, 1);
  EXPECT_EQ(model.rowCount(), 9);
  // A grid shrunk behind the model's back reads as empty, never out of range.
  grid.SetRowCount(1);
  EXPECT_EQ(model.data(model.index(8, 1)).toString(), "");
}

class WindowGrids : public ::testing::Test {
 protected:
  void SetUp() override {
    h = std::make_unique<Harness>(InstalledRegistry(folder.path()));
    ASSERT_TRUE(h->Start());
  }
  QTableView* Grid(const char* name) { return h->Find<QTableView>(name); }
  ScratchDir folder;
  std::unique_ptr<Harness> h;
};

TEST_F(WindowGrids, ShapesHeadingsAndTeal) {
  QTableView* diagnostics = Grid("StringGrid1");
  QTableView* goods = Grid("StringGrid2");
  QTableView* report = Grid("StringGrid3");
  EXPECT_EQ(diagnostics->model()->rowCount(), 15);  // rows 1..15 under the headings
  EXPECT_EQ(goods->model()->rowCount(), kGoodsInitialRows - 1);
  EXPECT_EQ(report->model()->rowCount(), 99);
  EXPECT_EQ(diagnostics->model()->headerData(0, Qt::Horizontal).toString(), "    Порт");
  EXPECT_EQ(diagnostics->model()->headerData(3, Qt::Horizontal).toString(), "Сет.Номер");
  EXPECT_EQ(goods->model()->headerData(1, Qt::Horizontal).toString(), " Наименование");
  EXPECT_EQ(report->model()->headerData(1, Qt::Horizontal).toString(), "N чека");
  // The columns as drawn, grown by one factor for the font: never narrower,
  // and in the drawn proportions (to within the rounding up).
  const auto expect_drawn_ratios = [](QTableView* grid, const std::vector<int>& drawn) {
    const double factor = double(grid->columnWidth(0)) / drawn[0];
    EXPECT_GE(factor, 1.0);
    for (size_t c = 0; c < drawn.size(); ++c) {
      EXPECT_GE(grid->columnWidth(int(c)), drawn[c]) << c;
      EXPECT_NEAR(grid->columnWidth(int(c)), drawn[c] * factor, 1.5) << c;
    }
  };
  expect_drawn_ratios(goods, {103, 146, 71, 29, 64, 64});
  expect_drawn_ratios(report, {42, 33, 53, 48, 47, 49, 46, 40, 37, 34, 44});
  expect_drawn_ratios(diagnostics, {57, 57, 57, 57, 57});
  for (QTableView* grid : {goods, report})
    EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
  EXPECT_GE(diagnostics->verticalHeader()->defaultSectionSize(), 15);
  EXPECT_GE(goods->verticalHeader()->defaultSectionSize(), 16);
  EXPECT_EQ(diagnostics->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  for (QTableView* grid : {diagnostics, goods, report})
    EXPECT_EQ(grid->palette().color(QPalette::Base), QColor(0, 128, 128));
  auto* inner = h->Find<QTabWidget>("PageControl2");
  EXPECT_EQ(inner->tabPosition(), QTabWidget::South);
  EXPECT_EQ(inner->tabText(inner->currentIndex()), "Отчеты");
}

TEST_F(WindowGrids, EngineWritesReachTheViewsWithoutBlocking) {
  h->form->views().diagnostics.SetCell(0, 15, "COM1");
  h->form->views().report.SetCell(6, 1, Utf8ToCp866("Молоко"));
  ASSERT_TRUE(WaitUntil(
      [&] {
        return Grid("StringGrid1")->model()->index(14, 0).data().toString() == QString("COM1");
      },
      2000));
  ASSERT_TRUE(WaitUntil(
      [&] {
        return Grid("StringGrid3")->model()->index(0, 6).data().toString() == QString("Молоко");
      },
      2000));
}

TEST_F(WindowGrids, StartButtonClearsDiagnosticsWithoutEngine) {
  // No server built (nothing connected in a bare harness): the window still
  // clears the rows it shows (1..15) itself.
  Harness bare(InstalledRegistry(folder.path()), nullptr, /*fake_engine=*/false);
  ASSERT_TRUE(bare.Start());
  bare.form->views().diagnostics.SetCell(1, 3, "EKR");
  bare.form->views().diagnostics.SetCell(1, 15, "stale");
  bare.Find<QPushButton>("Button2")->click();
  EXPECT_EQ(bare.form->views().diagnostics.Cell(1, 3), "");
  EXPECT_EQ(bare.form->views().diagnostics.Cell(1, 15), "");
  EXPECT_EQ(bare.form->views().diagnostics.Cell(1, 0), Utf8ToCp866("Тип кассы"));
}

TEST_F(WindowGrids, HundredThousandGoodsShowWithinASecondAndScroll) {
  GridModel& goods = h->form->views().goods;
  QTableView* view = Grid("StringGrid2");
  h->Find<QTabWidget>("PageControl1")->setCurrentIndex(4);
  h->Find<QTabWidget>("PageControl2")->setCurrentIndex(0);
  h->form->show();
  constexpr int kRecords = 100000;
  QElapsedTimer timer;
  timer.start();
  goods.SetRowCount(kRecords + 1);
  for (int row = 1; row <= kRecords; ++row) {
    goods.SetCell(0, row, std::to_string(row));
    goods.SetCell(1, row, Utf8ToCp866("Товар"));
  }
  ASSERT_TRUE(WaitUntil([&] { return view->model()->rowCount() == kRecords; }, 5000));
  view->scrollToBottom();
  QApplication::processEvents();
  const qint64 shown_ms = timer.elapsed();
  EXPECT_EQ(view->model()->index(kRecords - 1, 0).data().toString(), QString::number(kRecords));
  std::printf("[ metric ] 100000 goods records filled and shown in %lld ms\n",
              static_cast<long long>(shown_ms));
  EXPECT_LT(shown_ms, 1000);
  // Scrolling page by page through the grid stays quick.
  timer.restart();
  for (int step = 0; step < 50; ++step) {
    view->verticalScrollBar()->setValue(step * 2000);
    view->viewport()->repaint();
  }
  const qint64 scroll_ms = timer.elapsed();
  std::printf("[ metric ] 50 scroll-and-repaint steps in %lld ms\n",
              static_cast<long long>(scroll_ms));
  EXPECT_LT(scroll_ms, 2000);
}

}  // namespace
}  // namespace tillgate::testing
