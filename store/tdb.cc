// The store's construction and its two views.

#include "store/tdb.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "store/monitoring_views.h"

namespace tillgate {
namespace {

// General form with up to 15 significant digits, no trailing zeros.
std::string ViewNumber(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

}  // namespace

TDB::TDB(const std::string& goods_folder, const std::string& report_folder, FileSystem& files,
         EventSink* events, const std::string& state_folder)
    : fs_(&files),
      events_(events),
      goods_enabled_(!goods_folder.empty()),
      report_enabled_(!report_folder.empty()) {
  goods_path_ = goods_folder + "/tovars.dbf";
  goods_candidate_path_ = goods_folder + "/tovars2.dbf";
  goods_signal_path_ = goods_folder + "/tovars.exp";
  report_folder_ = report_folder;
  report_path_ = report_folder + "/otchet.dbf";
  report_handover_path_ = report_folder + "/otchet2.dbf";
  report_signal_path_ = report_folder + "/otchet.exp";
  // The goods file first: a restored operation's stock movement can be taken
  // back only in the file it was made in.
  ExchangeGoodsStep();
  if (!state_folder.empty() && (goods_enabled_ || report_enabled_)) {
    journal_ = std::make_unique<Journal>(fs_, state_folder);
    OpenJournal();
  }
  // Rows the journal kept waiting are written before any new one.
  const int restored_rows = QueuedReportRecords();
  ExchangeReportStep();
  if (const int written = restored_rows - QueuedReportRecords(); written > 0)
    Report(events_, Severity::kNotice,
           std::to_string(written) + " waiting row(s) from the journal written to otchet.dbf");
  // What was booked or withdrawn before the stop need not be read again.
  CompactJournal(/*at_start=*/true);
}

TDB::~TDB() {
  // Every change went into the journal as it was made; one that failed is
  // made good now if the journal can be written at all.
  if (!journal_ || !journal_->IsOpen()) return;
  const std::string kept = std::to_string(PendingCount()) + " open operation(s) and " +
                           std::to_string(QueuedReportRecords()) + " waiting row(s)";
  if (BringJournalInStep())
    Report(events_, Severity::kNotice, "stop: the journal keeps " + kept + " for the next start");
  else
    Report(events_, Severity::kError,
           "stop: the journal " + journal_->Path() + " could not be brought up to date: " + kept +
               " may be lost");
}

void TDB::SetViews(GridModel* goods, GridModel* report, GridModel* diagnostics) {
  goods_view_ = goods;
  report_view_ = report;
  diagnostics_view_ = diagnostics;
}

void TDB::SetStatusBoard(StatusBoard* board) {
  std::lock_guard<std::mutex> lock(mutex_);
  status_ = board;
  PublishStatus();
}

void TDB::PublishStatus() {
  if (!status_) return;
  RegisterTable registers;
  for (uint32_t line = 0; line < static_cast<uint32_t>(kPortCount); ++line) {
    for (uint8_t network = 1; network <= kRegistersPerLine; ++network) {
      const RegisterState* state = registers_.Find(line, network);
      if (state->identified)
        registers[line][network - 1u].serial_number.assign(
            state->serial_number, strnlen(state->serial_number, sizeof state->serial_number));
    }
  }
  int index = Head();
  for (int n = PendingCount(); n > 0; --n) {
    const OperationRecord& r = Record(index);
    if (r.line_index < static_cast<uint32_t>(kPortCount) && r.network_number >= 1 &&
        r.network_number <= kRegistersPerLine)
      ++registers[r.line_index][r.network_number - 1u].pending_operations;
    index = r.next;
  }
  status_->SetRegisters(registers);
  StoreStatus store;
  store.goods_open = goods_ != nullptr;
  store.goods_records = goods_ ? goods_records_ : 0;
  store.report_open = report_ != nullptr;
  store.rows_written = rows_written_;
  store.rows_waiting = static_cast<uint64_t>(QueuedReportRecords());
  if (!journal_) {
    store.journal = JournalHealth::kNone;
  } else if (JournalWorking()) {
    store.journal = JournalHealth::kOk;
  } else {
    store.journal = journal_held_ ? JournalHealth::kHeld : JournalHealth::kFailing;
  }
  status_->SetStore(store);
}

void TDB::SetTrackStock(bool on) { track_stock_ = on; }

bool TDB::TrackStock() const { return track_stock_ && !stock_disabled_; }

void TDB::FillGoodsView() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!goods_ || !goods_view_) return;
  DbfHeader header;
  uint64_t size = 0;
  if (!dbf_.ReadHeader(goods_.get(), &header) || goods_->Size(&size) != Status::kOk) return;
  if (header.record_length == 0) return;
  // A count beyond what the file holds would only make empty rows.
  const uint64_t room =
      size > header.header_length ? (size - header.header_length) / header.record_length : 0;
  const uint64_t rows = std::min<uint64_t>({header.record_count, room, INT32_MAX - 1});
  goods_view_->SetRowCount(static_cast<int>(rows) + 1);

  const DbfField* fields[kGoodsColumns] = {&layout_.code,   &layout_.name,    &layout_.price,
                                           &layout_.divnum, &layout_.sh_code, &layout_.res};
  dbf_.ScanRecords(goods_.get(), [&](int32_t number, const char* record, int length) {
    if (static_cast<uint64_t>(number) > rows) return false;
    for (int column = 0; column < kGoodsColumns; ++column) {
      const DbfField& f = *fields[column];
      if (f.length == 0 || f.position + f.length > length) continue;
      goods_view_->SetCell(column, number, std::string_view(record + f.position, f.length));
    }
    return true;
  });
}

void TDB::ShowReportRow(const OperationRecord& r, const DocumentStamp& stamp) {
  if (report_row_ > 99) report_row_ = 1;
  if (report_view_) {
    const int row = report_row_;
    GridModel& v = *report_view_;
    v.SetCell(0, row,
              std::string_view(stamp.serial_number,
                               strnlen(stamp.serial_number, sizeof stamp.serial_number)));
    v.SetCell(1, row, DocumentNumberText(stamp));
    v.SetCell(2, row, ReportDate(stamp));
    v.SetCell(3, row, ReportTime(stamp));
    v.SetCell(4, row, std::string_view(&r.operation_code, r.operation_code ? 1 : 0));
    v.SetCell(5, row, std::string_view(r.goods_code, strnlen(r.goods_code, sizeof r.goods_code)));
    v.SetCell(6, row, std::string_view(r.name, strnlen(r.name, sizeof r.name)));
    v.SetCell(7, row, ViewNumber(r.price));
    v.SetCell(8, row, ViewNumber(r.quantity));
    v.SetCell(9, row, ViewNumber(r.amount));
    v.SetCell(10, row, std::string_view(&r.section, r.section ? 1 : 0));
  }
  ++report_row_;
}

}  // namespace tillgate
