// The window as the operator reads it: whole values in the grids, room to
// grow, the newest report row, and the server's problems at the foot.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "app/window/event_list_dialog.h"
#include "app/window/font_scale.h"
#include "app/window/foot_line.h"
#include "app/presenter/station_engine.h"
#include "app/window/window_test_support.h"
#include "store/cp866.h"

namespace tillgate::testing {
namespace {

// A cell as it shows: without the padding spaces at its end.
QString Shown(QTableView* grid, int row, int column) {
  QString text = grid->model()->index(row, column).data().toString();
  while (text.endsWith(QLatin1Char(' '))) text.chop(1);
  return text;
}

void ExpectRowWhole(QTableView* grid, int row) {
  const QFontMetrics metrics(grid->font());
  const int margins = CellMargins(grid);
  for (int column = 0; column < grid->model()->columnCount(); ++column) {
    const QString text = Shown(grid, row, column);
    EXPECT_LE(metrics.horizontalAdvance(text) + margins, grid->columnWidth(column))
        << grid->objectName().toStdString() << " column " << column << " \"" << text.toStdString()
        << "\"";
  }
}

void SetRow(GridModel& grid, int row, const std::vector<std::string>& utf8_cells) {
  for (size_t column = 0; column < utf8_cells.size(); ++column)
    grid.SetCell(static_cast<int>(column), row, Utf8ToCp866(utf8_cells[column]));
}

class WindowView : public ::testing::Test {
 protected:
  void SetUp() override {
    h = std::make_unique<Harness>(InstalledRegistry(folder.path()), nullptr, true, &events);
    ASSERT_TRUE(h->Start());
  }
  void ShowPage(int page, int inner = -1) {
    h->form->show();
    h->Find<QTabWidget>("PageControl1")->setCurrentIndex(page);
    if (inner >= 0) h->Find<QTabWidget>("PageControl2")->setCurrentIndex(inner);
    QApplication::processEvents();
  }
  FootLine* Foot() { return h->Find<FootLine>("EventLine"); }
  ScratchDir folder;
  EventLog events;
  std::unique_ptr<Harness> h;
};

// --- Whole values -------------------------------------------------------------

TEST_F(WindowView, ReportAndGoodsRowsShowWholeWithTheDefaultFont) {
  // As the store writes them: a report row, and a goods record with its
  // fields padded as stored and a 13-digit barcode.
  SetRow(h->form->views().report, 1,
         {"0310001", "1234", "20261201", "10:18:00", "2", "20003", "Кефир 1%", "129.9", "0.15",
          "19.48", "3"});
  SetRow(h->form->views().report, 2,
         {"0310002", "7", "20261201", "23:59:00", "1", "101", "Хлеб Бородинский 400 г", "45.9", "1",
          "45.9", "1"});
  SetRow(h->form->views().goods, 1,
         {"101   ", "Хлеб Бородинский 400 г            ", "       45.90", "1", "4601234000017",
          "     120.000"});
  h->form->RefreshGrids();
  auto* report = h->Find<QTableView>("StringGrid3");
  auto* goods = h->Find<QTableView>("StringGrid2");
  ExpectRowWhole(report, 0);
  ExpectRowWhole(goods, 0);
  // A name longer than its column was drawn for is whole in the tooltip.
  EXPECT_EQ(report->model()->index(1, 6).data(Qt::ToolTipRole).toString(),
            "Хлеб Бородинский 400 г");
  // The diagnostics grid: a register's port, type and serial number.
  SetRow(h->form->views().diagnostics, 1, {"COM16", "EKR", "0310001", "10"});
  h->form->RefreshGrids();
  ExpectRowWhole(h->Find<QTableView>("StringGrid1"), 0);
}

TEST_F(WindowView, EveryCaptionFitsItsControl) {
  ShowPage(1);
  for (QWidget* widget : h->form->findChildren<QWidget*>()) {
    const QString name = widget->objectName();
    QString text;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      // The two wrapped banner lines and the cut problem line are exempt.
      if (label->wordWrap() || name == "PortProblem" || label->text().isEmpty()) continue;
      text = label->text();
      EXPECT_LE(label->fontMetrics().horizontalAdvance(text), label->width()) << name.toStdString();
    } else if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
      EXPECT_LE(widget->sizeHint().width(), widget->width()) << name.toStdString();
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
      if (qobject_cast<FootLine*>(widget)) continue;
      EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width())
          << name.toStdString();
    }
  }
  // The seven page tabs fit without scroll arrows.
  auto* pages = h->Find<QTabWidget>("PageControl1");
  EXPECT_LE(pages->tabBar()->sizeHint().width(), pages->width());
}

// --- Growing with the screen ------------------------------------------------

TEST_F(WindowView, GrowsToSixteenHundredByThousandAndTheGridsTakeTheRoom) {
  GridModel& goods_grid = h->form->views().goods;
  for (int row = 1; row <= 300; ++row)
    SetRow(goods_grid, row, {std::to_string(row), "Товар", "1.00", "1", "4601234000017", "1"});
  h->form->RefreshGrids();
  EXPECT_EQ(h->form->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  auto* goods = h->Find<QTableView>("StringGrid2");
  auto* report = h->Find<QTableView>("StringGrid3");
  auto* models = h->Find<QComboBox>("ComboBox1");
  auto* exit_button = h->Find<QPushButton>("Button1");
  ShowPage(4, 0);
  const QSize goods_before = goods->viewport()->size();
  const int goods_rows_before = goods->rowAt(goods->viewport()->height() - 1);
  const QRect models_before = models->geometry();
  const QSize window_before = h->form->size();
  const QPoint exit_gap_before =
      QPoint(window_before.width(), window_before.height()) - exit_button->geometry().bottomRight();
  // Not every goods column is in sight at the start.
  EXPECT_LT(goods->viewport()->width(), goods->columnViewportPosition(5) + goods->columnWidth(5));

  h->form->resize(1600, 1000);
  QApplication::processEvents();
  EXPECT_EQ(h->form->size(), QSize(1600, 1000));
  EXPECT_GT(goods->viewport()->width(), goods_before.width() + 800);
  EXPECT_GT(goods->viewport()->height(), goods_before.height() + 500);
  EXPECT_GT(goods->rowAt(goods->viewport()->height() - 1), goods_rows_before + 25);
  // Now every goods column shows.
  EXPECT_GE(goods->viewport()->width(), goods->columnViewportPosition(5) + goods->columnWidth(5));
  // The columns spread over the room in their drawn proportions.
  const int goods_total = goods->columnViewportPosition(5) + goods->columnWidth(5);
  EXPECT_GE(goods_total, goods->viewport()->width() - 6);
  EXPECT_NEAR(double(goods->columnWidth(4)) / goods->columnWidth(1), 64.0 / 146.0, 0.01);
  ShowPage(4, 1);
  EXPECT_GT(report->viewport()->height(), goods_before.height() + 500);
  EXPECT_GE(report->viewport()->width(),
            report->columnViewportPosition(10) + report->columnWidth(10));
  // The settings keep their places; "Выход" keeps its corner with the event
  // line left of it.
  EXPECT_EQ(models->geometry(), models_before);
  EXPECT_EQ(QPoint(1600, 1000) - exit_button->geometry().bottomRight(), exit_gap_before);
  EXPECT_LT(Foot()->geometry().right(), exit_button->geometry().left());
  EXPECT_GT(Foot()->width(), 1200);

  // A column the operator has dragged keeps the width he gave it.
  report->horizontalHeader()->resizeSection(6, 300);
  h->form->resize(1400, 900);
  QApplication::processEvents();
  EXPECT_EQ(report->columnWidth(6), 300);
  // Back to the first size: the goods columns shrink to their fitted widths.
  h->form->resize(window_before);
  ShowPage(4, 0);
  EXPECT_EQ(h->form->size(), window_before);
  EXPECT_LT(goods->viewport()->width(), goods->columnViewportPosition(5) + goods->columnWidth(5));
}

// --- The newest report row --------------------------------------------------

TEST_F(WindowView, NewestReportRowIsMarkedAndInSightAfterTheWrap) {
  ShowPage(4, 1);
  auto* report = h->Find<QTableView>("StringGrid3");
  GridModel& grid = h->form->views().report;
  // The store's order: rows 1..99, then row 1 again.
  const auto write = [&](int record) {
    const int row = (record - 1) % 99 + 1;
    SetRow(grid, row, {"0310001", std::to_string(record), "20261201", "10:18:00", "1", "101"});
  };
  const auto marked = [&](int data_row) {
    return report->model()->index(data_row, 0).data(Qt::BackgroundRole).isValid();
  };
  const auto in_sight = [&](int data_row) {
    return report->viewport()->rect().contains(
        report->visualRect(report->model()->index(data_row, 0)));
  };
  for (int record = 1; record <= 98; ++record) write(record);
  h->form->RefreshGrids();
  EXPECT_TRUE(marked(97));
  EXPECT_TRUE(in_sight(97));
  for (int record = 99; record <= 120; ++record) write(record);
  h->form->RefreshGrids();
  QApplication::processEvents();
  // Record 120 went to row 21 (data row 20), in the middle of the grid.
  EXPECT_EQ(Shown(report, 20, 1), "120");
  EXPECT_TRUE(marked(20));
  EXPECT_TRUE(in_sight(20));
  int marked_rows = 0;
  for (int row = 0; row < report->model()->rowCount(); ++row) marked_rows += marked(row);
  EXPECT_EQ(marked_rows, 1);
  // The operator scrolls away; the next record brings its row into sight.
  report->scrollToBottom();
  QApplication::processEvents();
  ASSERT_FALSE(in_sight(21));
  write(121);
  h->form->RefreshGrids();
  EXPECT_TRUE(marked(21));
  EXPECT_FALSE(marked(20));
  EXPECT_TRUE(in_sight(21));
}

// --- Problems shown ------------------------------------------------------------

TEST_F(WindowView, FootLineShowsLastingProblemsUntilClearedAndOneOffsUntilSeen) {
  ShowPage(1);
  EXPECT_EQ(Foot()->FullText(), "Журнал событий");
  EXPECT_FALSE(Foot()->ShowsError());
  ReportCondition(&events, Severity::kError, "report append",
                  "report append failed: otchet.dbf: No space left on device");
  ASSERT_TRUE(WaitUntil([&] { return Foot()->ShowsError(); }, 2000));
  EXPECT_TRUE(Foot()->FullText().startsWith("report append failed"));
  EXPECT_TRUE(Foot()->toolTip().startsWith("report append failed"));
  Report(&events, Severity::kNotice, "COM1: register 1 identified");  // not a problem
  Report(&events, Severity::kWarning, "goods file tovars.dbf has no RES field");
  ASSERT_TRUE(WaitUntil([&] { return Foot()->FullText().startsWith("goods file"); }, 2000));
  EXPECT_FALSE(Foot()->ShowsError());  // a warning is not red

  // Opening the list: the one-off warning has been seen, the lasting error
  // is still there.
  QTest::mouseClick(Foot(), Qt::LeftButton);
  auto* list = h->form->findChild<EventListDialog*>("EventList");
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->isVisible());
  EXPECT_TRUE(Foot()->ShowsError());
  auto* table = list->findChild<QTableWidget*>("EventTable");
  ASSERT_EQ(table->rowCount(), 3);
  EXPECT_EQ(table->item(0, 2)->text(), "goods file tovars.dbf has no RES field");
  EXPECT_EQ(table->item(0, 1)->text(), "предупреждение");
  EXPECT_EQ(table->item(2, 1)->text(), "ошибка");
  // The list follows the log while open.
  ReportConditionCleared(&events, "report append", "report append works again");
  ASSERT_TRUE(WaitUntil([&] { return table->rowCount() == 4; }, 2000));
  EXPECT_EQ(table->item(0, 2)->text(), "report append works again");
  EXPECT_EQ(Foot()->FullText(), "Журнал событий");

  // From an engine thread: a port condition reaches its radio button too.
  std::thread engine([this] {
    ReportCondition(&events, Severity::kError, "COM3 port",
                    "COM3 (/dev/ttyS2): port failed to open: Device or resource busy");
  });
  engine.join();
  auto* com3 = h->Find<QRadioButton>("RadioButton3");
  ASSERT_TRUE(WaitUntil([&] { return com3->toolTip().contains("port failed to open"); }, 2000));
  EXPECT_TRUE(h->Find<QRadioButton>("RadioButton2")->toolTip().isEmpty());
  ReportConditionCleared(&events, "COM3 port", "COM3 (/dev/ttyS2): port opened", Severity::kInfo);
  ASSERT_TRUE(WaitUntil([&] { return com3->toolTip().isEmpty(); }, 2000));
  EXPECT_FALSE(Foot()->ShowsError());
}

TEST(WindowProblems, PortThatFailsToOpenShowsAtTheFootOnItsPortAndInTheList) {
  ScratchDir data;
  // A goods file, so that the newest problem at the foot is the port's.
  const char* source = std::getenv("TILLGATE_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::filesystem::copy_file(std::string(source) + "/fuzz/corpus/goods_file_fuzzer/goods.dbf",
                             data.path() + "/tovars.dbf");
  const std::string device = data.path() + "/no-such-tty";
  EventLog events;
  Harness h(
      InstalledRegistry(data.path(), "\"DEVICE1\"=\"" + device + "\"\n"),
      [&events](const Settings& s) { return MakeStationEngine(s, &events); }, true, &events);
  ASSERT_TRUE(h.Start());
  h.form->show();
  // At the foot, in red, without waiting for the event loop.
  auto* foot = h.Find<FootLine>("EventLine");
  EXPECT_TRUE(foot->ShowsError());
  EXPECT_TRUE(foot->FullText().contains(QString::fromStdString("COM1 (" + device + ")")));
  EXPECT_TRUE(foot->FullText().contains("port failed to open"));
  // On the equipment page: COM1's radio button, and beside COM1's settings.
  auto* com1 = h.Find<QRadioButton>("RadioButton1");
  EXPECT_TRUE(com1->toolTip().contains("port failed to open"));
  auto* problem = h.Find<QLabel>("PortProblem");
  EXPECT_TRUE(problem->toolTip().isEmpty());  // COM2 on display
  QTest::mouseClick(com1, Qt::LeftButton, {}, QPoint(8, com1->height() / 2));
  EXPECT_EQ(h.form->selected_port(), 0);
  EXPECT_TRUE(problem->toolTip().contains("port failed to open"));
  EXPECT_FALSE(problem->text().isEmpty());
  // In the list, newest first.
  QTest::mouseClick(foot, Qt::LeftButton);
  auto* table = h.form->findChild<QTableWidget*>("EventTable");
  ASSERT_NE(table, nullptr);
  const std::vector<KeptEvent> recent = events.Recent();
  ASSERT_EQ(table->rowCount(), static_cast<int>(recent.size()));
  bool listed = false;
  for (int row = 0; row < table->rowCount(); ++row) {
    EXPECT_EQ(table->item(row, 2)->text(), QString::fromStdString(recent[row].text));
    listed |= table->item(row, 2)->text() == foot->FullText();
  }
  EXPECT_TRUE(listed);
  EXPECT_TRUE(foot->ShowsError());  // the port is still not open
}

}  // namespace
}  // namespace tillgate::testing
