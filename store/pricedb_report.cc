// The store's report side: otchet.dbf, its hand-over through otchet.exp and
// otchet2.dbf, voids checked against pending operations, closed documents.

#include <cstring>
#include <string>

#include "store/pricedb.h"

namespace tillgate {
namespace {

constexpr char kReportFileCondition[] = "report file";
constexpr char kReportAppendCondition[] = "report append";

// Quantities travel in thousandths; sums of doubles may miss zero by far less.
constexpr double kQuantityTolerance = 0.0005;

bool SameCode(const OperationRecord& a, const OperationRecord& b) {
  return std::strncmp(a.goods_code, b.goods_code, kGoodsCodeSize) == 0;
}

}  // namespace

void TDB::CloseReport() {
  if (report_) report_->Close();
  report_.reset();
}

bool TDB::CreateReport() {
  std::unique_ptr<File> file;
  if (fs_->Create(report_path_, OpenMode::kReadWriteExclusiveSync, &file) != FsStatus::kOk)
    return false;
  const auto& image = ReportHeaderImage();
  if (file->WriteAt(0, reinterpret_cast<const char*>(image.data()), image.size()) !=
      FsStatus::kOk) {
    // A file without its header must not be taken for a report next time.
    file->Close();
    fs_->Unlink(report_path_);
    return false;
  }
  report_ = std::move(file);
  ReportConditionCleared(events_, kReportFileCondition, "report file otchet.dbf created",
                         Severity::kInfo);
  return true;
}

// A report file shorter than its header was cut short while it was being
// created (the header is the first and only write of a new file): when its
// bytes are the start of the header image, the image is written in full so
// that appends can go on. Anything else shorter than a header is left as it
// is. False only when the completion itself fails.
bool TDB::CompleteReportHeader(File* file) {
  const auto& image = ReportHeaderImage();
  uint64_t size = 0;
  if (file->Size(&size) != FsStatus::kOk || size >= image.size()) return true;
  char bytes[kReportHeaderLength];
  size_t got = 0;
  if (file->ReadAt(0, bytes, static_cast<size_t>(size), &got) != FsStatus::kOk || got != size)
    return false;
  if (std::memcmp(bytes, image.data(), got) != 0) {
    ReportCondition(events_, Severity::kError, kReportFileCondition,
                    "report file otchet.dbf is not a report file: records wait until it is");
    return true;
  }
  if (file->WriteAt(0, reinterpret_cast<const char*>(image.data()), image.size()) != FsStatus::kOk)
    return false;
  Report(events_, Severity::kWarning,
         "report file otchet.dbf completed: its header had been cut short");
  return true;
}

bool TDB::OpenOrCreateReport() {
  if (report_) return true;
  if (fs_->Exists(report_path_)) {
    std::unique_ptr<File> file;
    if (fs_->Open(report_path_, OpenMode::kReadWriteExclusiveSync, &file) != FsStatus::kOk)
      return false;
    if (!CompleteReportHeader(file.get())) {
      file->Close();
      return false;
    }
    report_ = std::move(file);
    ReportConditionCleared(events_, kReportFileCondition, "report file otchet.dbf opened",
                           Severity::kInfo);
    return true;
  }
  return CreateReport();
}

bool TDB::HandOverReport() {
  if (fs_->Exists(report_handover_path_)) {
    // The previous hand-over has not been collected: the request is dropped.
    fs_->Unlink(report_signal_path_);
    Report(events_, Severity::kWarning,
           "report hand-over refused: otchet2.dbf has not been collected");
    return OpenOrCreateReport();
  }
  if (report_ && report_->Close() != FsStatus::kOk) {
    report_.reset();
    return false;
  }
  report_.reset();
  const FsStatus moved = fs_->Rename(report_path_, report_handover_path_);
  if (moved != FsStatus::kOk && moved != FsStatus::kNotFound) {
    // Keep the request so that the next step tries again; go on writing.
    OpenOrCreateReport();
    return false;
  }
  fs_->Unlink(report_signal_path_);
  Report(events_, moved == FsStatus::kOk ? "report handed over as otchet2.dbf"
                                         : "report hand-over: no otchet.dbf to hand over");
  // Records whose append failed were never in the handed-over file.
  if (!report_queue_.empty())
    Report(events_, Severity::kWarning,
           "report hand-over: " + std::to_string(report_queue_.size()) +
               " record(s) still waiting go into the new otchet.dbf");
  return CreateReport();
}

bool TDB::ExchangeReport() {
  std::lock_guard<std::mutex> lock(mutex_);
  return ExchangeReportStep();
}

bool TDB::ExchangeReportStep() {
  if (!report_enabled_) return false;
  if (fs_->Exists(report_signal_path_))
    HandOverReport();
  else
    OpenOrCreateReport();
  if (report_) FlushReportQueue();
  return report_ != nullptr;
}

void TDB::FlushReportQueue() {
  if (report_queue_.empty()) return;
  int written = 0;
  while (!report_queue_.empty()) {
    bool record_written = false;
    dbf_.AppendRecord(report_.get(), report_queue_.front().data(), &record_written);
    if (!record_written) break;
    report_queue_.pop_front();
    ++written;
  }
  if (written > 0 && report_queue_.empty()) {
    ReportConditionCleared(events_, kReportAppendCondition,
                           "report append recovered: " + std::to_string(written) +
                               " waiting record(s) written to otchet.dbf");
    report_failure_reported_ = false;
  }
}

bool TDB::WriteReportRecord(int pool_index, const DocumentStamp& stamp) {
  const ReportRecordBytes record = BuildReportRecord(Record(pool_index), stamp);
  if (!report_enabled_) return false;  // no report folder: nowhere to keep it
  // Older waiting records go first so that the report keeps its order.
  if (report_) FlushReportQueue();
  if (report_queue_.empty() && report_) {
    bool record_written = false;
    dbf_.AppendRecord(report_.get(), record.data(), &record_written);
    if (record_written) return true;
  }
  report_queue_.push_back(record);
  ReportCondition(events_, Severity::kError, kReportAppendCondition,
                  report_failure_reported_
                      ? "report append failed: record queued (" +
                            std::to_string(report_queue_.size()) + " waiting)"
                      : "report append failed: record queued (" +
                            std::to_string(report_queue_.size()) +
                            " waiting); it will be written at the next step that can write");
  report_failure_reported_ = true;
  return false;
}

bool TDB::CheckVoid(const OperationRecord& r) {
  double covered = -r.quantity;
  int index = Head();
  for (int n = PendingCount(); n > 0; --n) {
    const OperationRecord& p = Record(index);
    if (p.network_number == r.network_number && p.line_index == r.line_index &&
        p.section == r.section && SameCode(p, r)) {
      if (p.operation_code == kOpReturn || p.operation_code == kOpVoid)
        covered -= p.quantity;
      else
        covered += p.quantity;
    }
    index = p.next;
  }
  return covered >= -kQuantityTolerance;
}

int TDB::ReportPending(uint32_t line_index, uint8_t network_number, const DocumentStamp& stamp) {
  int handed_over = 0;
  int index = Head();
  for (int n = PendingCount(); n > 0; --n) {
    const OperationRecord& r = Record(index);
    const int next = r.next;
    if (r.network_number == network_number && r.line_index == line_index) {
      WriteReportRecord(index, stamp);
      ShowReportRow(r, stamp);
      Release(index);
      ++handed_over;
    }
    index = next;
  }
  return handed_over;
}

}  // namespace tillgate
