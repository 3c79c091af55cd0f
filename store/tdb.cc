// The store's construction, its wiring and the figures it publishes.

#include "store/tdb.h"

#include <cstring>

namespace tillgate {
namespace {

// No journal without a state folder, nor for a store that keeps no file.
std::string JournalFolder(const std::string& goods_folder, const std::string& report_folder,
                          const std::string& state_folder) {
  return goods_folder.empty() && report_folder.empty() ? std::string() : state_folder;
}

}  // namespace

TDB::TDB(const std::string& goods_folder, const std::string& report_folder, FileSystem& files,
         EventSink* events, const std::string& state_folder)
    : fs_(&files),
      events_(events),
      goods_(fs_, events, goods_folder),
      report_(fs_, events, report_folder),
      journal_(fs_, events, JournalFolder(goods_folder, report_folder, state_folder), this) {
  // The goods file first: a restored operation's stock movement can be taken
  // back only in the file it was made in.
  goods_.Exchange();
  journal_.Open();
  // Rows the journal kept waiting are written before any new one.
  const int restored_rows = QueuedRows();
  ExchangeReportStep();
  if (const int written = restored_rows - QueuedRows(); written > 0)
    Report(events_, Severity::kNotice,
           std::to_string(written) + " waiting row(s) from the journal written to otchet.dbf");
  // What was booked or withdrawn before the stop need not be read again.
  journal_.Compact(/*at_start=*/true);
}

TDB::~TDB() {
  // Every change went into the journal as it was made; one that failed is
  // made good now if the journal can be written at all.
  if (!journal_.IsOpen()) return;
  const std::string kept = std::to_string(pool_.PendingCount()) + " open operation(s) and " +
                           std::to_string(QueuedRows()) + " waiting row(s)";
  if (journal_.BringInStep())
    Report(events_, Severity::kNotice, "stop: the journal keeps " + kept + " for the next start");
  else
    Report(events_, Severity::kError,
           "stop: the journal " + journal_.Path() + " could not be brought up to date: " + kept +
               " may be lost");
}

void TDB::SetViews(GridModel* goods, GridModel* report, GridModel* diagnostics) {
  goods_.SetView(goods);
  report_view_.SetGrid(report);
  diagnostics_view_ = diagnostics;
}

void TDB::SetStatusBoard(StatusBoard* board) {
  std::lock_guard<std::mutex> lock(mutex_);
  status_ = board;
  PublishStatus();
}

void TDB::SetTrackStock(bool on) { goods_.SetTrackStock(on); }

void TDB::SetBackgroundIndexing(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  goods_.SetBackgroundIndexing(on);
}

void TDB::PublishStatus() {
  if (!status_) return;
  RegisterTable registers;
  for (uint32_t line = 0; line < static_cast<uint32_t>(kPortCount); ++line) {
    for (uint8_t network = 1; network <= kRegistersPerLine; ++network) {
      const RegisterState* state = registers_.Find(line, network);
      if (state->identified)
        registers[line][network - 1u].serial_number.assign(
            state->stamp.serial_number, strnlen(state->stamp.serial_number, kSerialNumberLength));
    }
  }
  int index = pool_.Head();
  for (int n = pool_.PendingCount(); n > 0; --n) {
    const OperationRecord& r = pool_.Record(index);
    if (r.line_index < static_cast<uint32_t>(kPortCount) && r.network_number >= 1 &&
        r.network_number <= kRegistersPerLine)
      ++registers[r.line_index][r.network_number - 1u].pending_operations;
    index = r.next;
  }
  status_->SetRegisters(registers);
  StoreStatus store;
  store.goods_open = goods_.IsOpen();
  store.goods_records = goods_.Records();
  store.report_open = report_.IsOpen();
  store.rows_written = report_.RowsWritten();
  store.rows_waiting = static_cast<uint64_t>(QueuedRows());
  store.journal = journal_.Health();
  status_->SetStore(store);
}

bool TDB::ExchangeGoods() {
  std::lock_guard<std::mutex> lock(mutex_);
  const PublishOnExit publish(*this);
  return goods_.Exchange();
}

void TDB::FillGoodsView() {
  std::lock_guard<std::mutex> lock(mutex_);
  goods_.FillView();
}

}  // namespace tillgate
