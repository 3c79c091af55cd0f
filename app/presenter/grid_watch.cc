#include "app/presenter/grid_watch.h"

#include <algorithm>

#include "store/cp866.h"

namespace tillgate {
namespace {

uint64_t Pack(uint32_t lowest, uint32_t highest) { return uint64_t{lowest} << 32 | highest; }

}  // namespace

void GridWatch::WriteWatcher::OnCellChanged(int /*column*/, int row, std::string_view /*bytes*/) {
  if (row < 0) return;
  const auto at = static_cast<uint32_t>(row);
  uint64_t seen = written.load(std::memory_order_relaxed);
  uint64_t wanted;
  do {
    wanted = Pack(std::min(static_cast<uint32_t>(seen >> 32), at),
                  std::max(static_cast<uint32_t>(seen), at));
  } while (wanted != seen && !written.compare_exchange_weak(seen, wanted));
  if (row > 0) last_row.store(row, std::memory_order_relaxed);
}

void GridWatch::WriteWatcher::OnRowCountChanged(int /*rows*/) {}

bool GridWatch::WriteWatcher::TakeRows(int* lowest, int* highest) {
  const uint64_t taken = written.exchange(kNone);
  const auto low = static_cast<uint32_t>(taken >> 32);
  const auto high = static_cast<uint32_t>(taken);
  if (low > high) return false;
  *lowest = static_cast<int>(low);
  *highest = static_cast<int>(high);
  return true;
}

GridWatch::GridWatch(GridModel& grid) : grid_(&grid) {
  rows_ = std::max(grid_->RowCount() - 1, 0);
  columns_ = grid_->ColumnCount();
  grid_->SetObserver(&watcher_);
}

GridWatch::~GridWatch() { Release(); }

void GridWatch::Release() {
  if (!watching_) return;
  watching_ = false;
  grid_->SetObserver(nullptr);
}

void GridWatch::Rebind(GridModel& grid) {
  Release();
  grid_ = &grid;
  watching_ = true;
  rebound_ = true;
  // What was written to the old grid is of no matter: the new one is drawn
  // whole.
  int ignored = 0;
  watcher_.TakeRows(&ignored, &ignored);
  watcher_.last_row.store(0);
  newest_row_ = -1;
  grid_->SetObserver(&watcher_);
}

void GridWatch::MarkNewestRow(bool on) {
  if (on == marking_) return;
  marking_ = on;
  watcher_.last_row.store(0);
  newest_row_ = -1;
}

std::optional<GridChange> GridWatch::Poll() {
  if (!watching_) return std::nullopt;
  GridChange change;
  change.rows = std::max(grid_->RowCount() - 1, 0);
  change.columns = grid_->ColumnCount();
  change.reshaped = rebound_ || change.rows != rows_ || change.columns != columns_;
  rebound_ = false;
  int lowest = 0;
  int highest = -1;
  // A write told after its row count was read shows at the next look.
  const bool written = watcher_.TakeRows(&lowest, &highest);
  if (!change.reshaped && !written) return std::nullopt;
  if (written) {
    change.headings = lowest == 0;
    change.first_row = std::max(lowest, 1) - 1;
    change.last_row = std::min(highest - 1, change.rows - 1);
  }
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
