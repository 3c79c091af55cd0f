#include "app/presenter/grid_watch.h"

#include <algorithm>

#include "store/cp866.h"

namespace tillgate {

void GridWatch::WriteWatcher::OnCellChanged(int /*column*/, int row, std::string_view /*bytes*/) {
  if (row > 0) last_row.store(row, std::memory_order_relaxed);
}

void GridWatch::WriteWatcher::OnRowCountChanged(int /*rows*/) {}

GridWatch::GridWatch(GridModel& grid) : grid_(&grid) {
  seen_version_ = grid_->Version();
  rows_ = std::max(grid_->RowCount() - 1, 0);
  columns_ = grid_->ColumnCount();
}

GridWatch::~GridWatch() { MarkNewestRow(false); }

void GridWatch::Rebind(GridModel& grid) {
  const bool marking = marking_;
  MarkNewestRow(false);
  grid_ = &grid;
  rebound_ = true;
  MarkNewestRow(marking);
}

void GridWatch::MarkNewestRow(bool on) {
  if (on == marking_) return;
  marking_ = on;
  grid_->SetObserver(on ? &watcher_ : nullptr);
  watcher_.last_row.store(0);
  newest_row_ = -1;
}

std::optional<GridChange> GridWatch::Poll() {
  const uint64_t version = grid_->Version();
  if (version == seen_version_ && !rebound_) return std::nullopt;
  seen_version_ = version;
  GridChange change;
  change.rows = std::max(grid_->RowCount() - 1, 0);
  change.columns = grid_->ColumnCount();
  change.reshaped = rebound_ || change.rows != rows_ || change.columns != columns_;
  rebound_ = false;
  change.old_newest_row = newest_row_;
  if (marking_) newest_row_ = watcher_.last_row.load(std::memory_order_relaxed) - 1;
  change.newest_row = newest_row_;
  rows_ = change.rows;
  columns_ = change.columns;
  return change;
}

std::string GridWatch::CellText(int column, int data_row) const {
  return Cp866ToUtf8(grid_->Cell(column, data_row + 1));
}

std::string GridWatch::HeadingText(int column) const { return Cp866ToUtf8(grid_->Cell(column, 0)); }

}  // namespace tillgate
