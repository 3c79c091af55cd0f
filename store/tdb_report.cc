// The store's report side: otchet.dbf, its hand-over through otchet.exp and
// otchet2.dbf, voids checked against pending operations, closed documents
// written whole.

#include <algorithm>
#include <cstring>
#include <string>

#include "store/tdb.h"

namespace tillgate {
namespace {

constexpr char kReportFileCondition[] = "report file";
constexpr char kReportAppendCondition[] = "report append";
constexpr char kHandOverCondition[] = "report hand-over";

// Quantities travel in thousandths; sums of doubles may miss zero by far less.
constexpr double kQuantityTolerance = 0.0005;

bool SameCode(const OperationRecord& a, const OperationRecord& b) {
  return std::strncmp(a.goods_code, b.goods_code, kGoodsCodeSize) == 0;
}

uint64_t RecordOffset(uint64_t record_index) {
  return kReportHeaderLength + record_index * kReportRecordLength;
}

}  // namespace

void TDB::CloseReport() {
  if (report_) report_->Close();
  report_.reset();
}

bool TDB::ReportFileFailure(const char* what, const Status& status) {
  if (!report_failure_reported_)
    ReportCondition(events_, Severity::kError, kReportFileCondition,
                    std::string("report file otchet.dbf cannot be ") + what + " (" +
                        status.Reason() + "): rows wait until it can");
  report_failure_reported_ = true;
  return false;
}

bool TDB::CreateReport() {
  std::unique_ptr<File> file;
  const Status created =
      fs_->Create(report_path_, OpenMode::kReadWriteExclusiveSync, Readers::kEveryone, &file);
  if (!created.ok()) return ReportFileFailure("created", created);
  const auto& image = ReportHeaderImage();
  const Status written =
      file->WriteAt(0, reinterpret_cast<const char*>(image.data()), image.size());
  if (!written.ok()) {
    // A file without its header must not be taken for a report next time.
    file->Close();
    fs_->Unlink(report_path_);
    return ReportFileFailure("created", written);
  }
  // The new name, and the hand-over's rename before it, reach the disk
  // before rows are booked into the file. A folder that cannot be synced
  // (some shared ones) does not stop the report.
  fs_->SyncFolder(report_folder_);
  report_identity_ = FileIdentity();
  file->Identity(&report_identity_);
  report_ = std::move(file);
  report_failure_reported_ = false;
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
  if (file->Size(&size) != Status::kOk || size >= image.size()) return true;
  char bytes[kReportHeaderLength];
  size_t got = 0;
  if (file->ReadAt(0, bytes, static_cast<size_t>(size), &got) != Status::kOk || got != size)
    return false;
  if (std::memcmp(bytes, image.data(), got) != 0) {
    ReportCondition(events_, Severity::kError, kReportFileCondition,
                    "report file otchet.dbf is not a report file: records wait until it is");
    return true;
  }
  if (file->WriteAt(0, reinterpret_cast<const char*>(image.data()), image.size()) != Status::kOk)
    return false;
  Report(events_, Severity::kWarning,
         "report file otchet.dbf completed: its header had been cut short");
  return true;
}

// A stop between a record and its header update leaves the count one short,
// and readers that trust the count would miss the record; a stop inside a
// record leaves a torn one, which no reader can use.
bool TDB::RepairReportHeader(File* file) {
  uint64_t size = 0;
  if (!file->Size(&size).ok()) return false;
  if (size < kReportHeaderLength) return true;  // not a report yet
  DbfHeader header;
  if (!dbf_.ReadHeader(file, &header)) return false;
  // Another table placed under the name is not ours to cut or to append to.
  if (header.header_length != kReportHeaderLength || header.record_length != kReportRecordLength) {
    if (!report_failure_reported_)
      ReportCondition(events_, Severity::kError, kReportFileCondition,
                      "report file otchet.dbf is not a report file (header length " +
                          std::to_string(header.header_length) + ", record length " +
                          std::to_string(header.record_length) + "): rows wait until it is");
    report_failure_reported_ = true;
    return false;
  }
  const uint64_t whole = (size - kReportHeaderLength) / kReportRecordLength;
  if (whole >= UINT32_MAX) return false;
  if (RecordOffset(whole) != size) {
    if (!file->Truncate(RecordOffset(whole)).ok()) return false;
    Report(events_, Severity::kWarning,
           "report file otchet.dbf: a torn last record (" +
               std::to_string(size - RecordOffset(whole)) + " bytes) was cut off");
  }
  if (header.record_count == whole) return true;
  if (!dbf_.WriteRecordCount(file, static_cast<uint32_t>(whole))) return false;
  Report(events_, Severity::kWarning,
         "report file otchet.dbf: its header counted " + std::to_string(header.record_count) +
             " records where " + std::to_string(whole) + " are present; the count was set right");
  return true;
}

bool TDB::OpenOrCreateReport() {
  if (report_) return true;
  if (fs_->Exists(report_path_)) {
    std::unique_ptr<File> file;
    const Status opened = fs_->Open(report_path_, OpenMode::kReadWriteExclusiveSync, &file);
    if (!opened.ok()) return ReportFileFailure("opened", opened);
    if (!CompleteReportHeader(file.get()) || !RepairReportHeader(file.get())) {
      file->Close();
      return false;
    }
    report_identity_ = FileIdentity();
    file->Identity(&report_identity_);
    report_ = std::move(file);
    report_failure_reported_ = false;
    ReportConditionCleared(events_, kReportFileCondition, "report file otchet.dbf opened",
                           Severity::kInfo);
    return true;
  }
  return CreateReport();
}

// Rows written into a file that no longer has the name would reach no one:
// the file held open must still be the one otchet.dbf names.
bool TDB::ReportStillNamed() {
  if (!report_) return false;
  FileIdentity named;
  const Status found = fs_->Identity(report_path_, &named);
  if (found.ok() && named == report_identity_) return true;
  // A name that cannot be looked up for another reason is not taken as gone.
  if (!found.ok() && found.code() != Status::kNotFound) return true;
  CloseReport();
  ReportCondition(events_, Severity::kError, kReportFileCondition,
                  found.ok() ? "report file otchet.dbf was replaced by another file while open: "
                               "rows go into the file that now has the name"
                             : "report file otchet.dbf was deleted or moved away while open: a "
                               "new otchet.dbf is started as soon as the report folder is there; "
                               "rows wait for it");
  report_failure_reported_ = true;
  return false;
}

bool TDB::HandOverReport() {
  if (fs_->Exists(report_handover_path_)) {
    // The previous hand-over has not been collected: the request is dropped.
    fs_->Unlink(report_signal_path_);
    Report(events_, Severity::kWarning,
           "report hand-over refused: otchet2.dbf has not been collected");
    return OpenOrCreateReport();
  }
  // Not yet opened since a start: opening it sets its header right.
  if (!report_ && fs_->Exists(report_path_)) OpenOrCreateReport();
  if (report_ && MaybeWrittenWaiting()) {
    // Rows a crash may have left at its end are looked for while they can
    // be: after the hand-over they would be written again into the new file.
    FlushReportQueue();
    if (MaybeWrittenWaiting()) return false;  // said by the flush; tried again
  }
  if (report_) {
    // The file handed over must say how many records it holds, and the
    // journal must know which documents are in it: after the hand-over they
    // could not be found in the report any more.
    RepairReportHeader(report_.get());
    if (!BringJournalInStep()) return false;
    const Status closed = report_->Close();
    report_.reset();
    if (!closed.ok()) return false;
  }
  const Status moved = fs_->Rename(report_path_, report_handover_path_);
  if (moved != Status::kOk && moved != Status::kNotFound) {
    // Keep the request so that the next step tries again; go on writing.
    if (!handover_failure_reported_)
      ReportCondition(events_, Severity::kError, kHandOverCondition,
                      "report hand-over failed: otchet.dbf cannot be renamed to otchet2.dbf (" +
                          moved.Reason() + "); tried again at every step");
    handover_failure_reported_ = true;
    OpenOrCreateReport();
    return false;
  }
  fs_->Unlink(report_signal_path_);
  const std::string done = moved == Status::kOk ? "report handed over as otchet2.dbf"
                                                : "report hand-over: no otchet.dbf to hand over";
  if (handover_failure_reported_)
    ReportConditionCleared(events_, kHandOverCondition, done);
  else
    Report(events_, done);
  handover_failure_reported_ = false;
  // Rows whose append failed were never in the handed-over file.
  if (!report_queue_.empty())
    Report(events_, Severity::kWarning,
           "report hand-over: " + std::to_string(QueuedReportRecords()) +
               " record(s) still waiting go into the new otchet.dbf");
  return CreateReport();
}

bool TDB::ExchangeReport() {
  std::lock_guard<std::mutex> lock(mutex_);
  const PublishOnExit publish(*this);
  return ExchangeReportStep();
}

bool TDB::ExchangeReportStep() {
  if (!report_enabled_) return false;
  if (report_) ReportStillNamed();
  if (fs_->Exists(report_signal_path_))
    HandOverReport();
  else
    OpenOrCreateReport();
  if (report_) FlushReportQueue();
  return report_ != nullptr;
}

bool TDB::MaybeWrittenWaiting() const {
  return std::any_of(report_queue_.begin(), report_queue_.end(),
                     [](const WaitingDocument& d) { return d.maybe_written; });
}

int TDB::QueuedReportRecords() const {
  int rows = 0;
  for (const WaitingDocument& d : report_queue_) rows += static_cast<int>(d.rows.size());
  return rows;
}

void TDB::FlushReportQueue() {
  if (report_queue_.empty()) return;
  // A report that lost its name is replaced before any row goes out.
  if (report_) ReportStillNamed();
  if (!OpenOrCreateReport()) return;
  int written = 0;
  while (!report_queue_.empty()) {
    // After a crash only the last document without its mark can be found at
    // the report's end: a second one would push the first away from it, and
    // the first would be written again. The rows wait in the journal.
    if (journal_ && !JournalWorking() && !BringJournalInStep()) return;
    if (!AppendDocument(report_queue_.front())) {
      // A report that lost its name has been said so already.
      if (report_ && !report_append_failed_) {
        ReportCondition(events_, Severity::kError, kReportAppendCondition,
                        "report append failed (" + report_append_status_.Reason() +
                            "): rows wait and are written, whole documents in order, at the "
                            "next step that can write");
        report_append_failed_ = true;
      }
      return;
    }
    const JournalId booked = report_queue_.front().id;
    written += static_cast<int>(report_queue_.front().rows.size());
    rows_written_ += report_queue_.front().rows.size();
    report_queue_.pop_front();
    // Without this mark the rows would be looked for at the report's end
    // after a restart; a failed mark is made good by the journal's next
    // rewrite, which no longer holds the document.
    if (JournalWorking()) {
      journal_batch_.clear();
      journal_batch_.push_back(EncodeEntry(JournalBooked{booked}));
      WriteJournal();
    }
  }
  if (report_append_failed_ && written > 0) {
    ReportConditionCleared(events_, kReportAppendCondition,
                           "report append recovered: " + std::to_string(written) +
                               " row(s) written to otchet.dbf, those that waited first");
    report_append_failed_ = false;
  }
}

bool TDB::RowsAlreadyWritten(const std::vector<ReportRecordBytes>& rows, uint32_t present,
                             uint32_t* done) {
  *done = 0;
  const uint32_t most = static_cast<uint32_t>(std::min<uint64_t>(rows.size(), present));
  if (most == 0) return true;
  std::string tail(static_cast<size_t>(most) * kReportRecordLength, '\0');
  size_t got = 0;
  report_append_status_ =
      report_->ReadAt(RecordOffset(present - most), tail.data(), tail.size(), &got);
  if (!report_append_status_.ok()) return false;
  if (got != tail.size()) {
    report_append_status_ = Status(Status::kError);
    return false;
  }
  // The longest start of the document that ends the file.
  for (uint32_t k = most; k > 0; --k) {
    bool same = true;
    for (uint32_t i = 0; i < k && same; ++i)
      same = std::memcmp(tail.data() + static_cast<size_t>(most - k + i) * kReportRecordLength,
                         rows[i].data(), kReportRecordLength) == 0;
    if (same) {
      *done = k;
      return true;
    }
  }
  return true;
}

bool TDB::AppendDocument(WaitingDocument& document) {
  report_append_status_ = Status(Status::kNotFound);
  if (!report_ || !ReportStillNamed()) return false;
  uint64_t size = 0;
  report_append_status_ = report_->Size(&size);
  if (!report_append_status_.ok()) return false;
  if (size < kReportHeaderLength) {
    report_append_status_ = Status(Status::kError, "Invalid argument");  // not a report file
    return false;
  }
  const uint64_t present = (size - kReportHeaderLength) / kReportRecordLength;
  const uint32_t count = static_cast<uint32_t>(document.rows.size());
  if (present + count >= UINT32_MAX) return false;
  // Rows that cannot be looked for are not written: they might be there.
  uint32_t done = 0;
  if (document.maybe_written &&
      !RowsAlreadyWritten(document.rows, static_cast<uint32_t>(present), &done))
    return false;
  // Whole records only: a record torn by an earlier failed write is
  // overwritten rather than left to shift every later record.
  std::string bytes;
  for (uint32_t i = done; i < count; ++i)
    bytes.append(document.rows[i].data(), kReportRecordLength);
  report_append_status_ = report_->WriteAt(RecordOffset(present), bytes.data(), bytes.size());
  if (report_append_status_.ok() &&
      !dbf_.WriteRecordCount(report_.get(), static_cast<uint32_t>(present + count - done)))
    report_append_status_ = Status(Status::kError);
  if (report_append_status_.ok()) return true;
  // None of the document stays: it is written whole at the next try. A
  // count left too high is set right when the file is opened or handed over.
  const uint64_t before = present - done;
  document.maybe_written = !report_->Truncate(RecordOffset(before)).ok();
  if (!document.maybe_written) dbf_.WriteRecordCount(report_.get(), static_cast<uint32_t>(before));
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

int TDB::ReportPending(uint32_t line_index, uint8_t network_number,
                       const DocumentStamp& line_stamp) {
  // A journal not yet taken up (held by another server) may hold sales of
  // this document: it is not closed without them.
  if (journal_ && !journal_->IsOpen() && !BringJournalInStep()) return -1;
  RegisterState* state = registers_.Find(line_index, network_number);
  // A line that has not heard the register identify since a restart has no
  // serial number for it; the one the store kept stands in.
  DocumentStamp stamp = line_stamp;
  if (stamp.serial_number[0] == 0 && state != nullptr && state->identified) {
    std::memcpy(stamp.serial_number, state->serial_number, kSerialNumberLength);
    stamp.year = state->year;
  }
  std::vector<int> closed;
  int index = Head();
  for (int n = PendingCount(); n > 0; --n) {
    const OperationRecord& r = Record(index);
    if (r.network_number == network_number && r.line_index == line_index) closed.push_back(index);
    index = r.next;
  }
  auto reset_register = [&] {
    if (state == nullptr) return;
    state->last_sequence = 0xFF;
    state->last_operation = -1;  // nothing of the closed document is pending
  };
  if (closed.empty()) {
    reset_register();
    return 0;
  }
  // The document goes into the journal whole before anything of it reaches
  // the report, so that a stop at any write leaves it either still open or
  // waiting whole for the report.
  if (!BringJournalInStep()) return -1;
  WaitingDocument document;
  document.id = next_journal_id_++;
  JournalDocument entry;
  entry.id = document.id;
  for (const int i : closed) {
    entry.operations.push_back(OperationId(i));
    // No report folder: nowhere to keep the rows.
    if (report_enabled_) document.rows.push_back(BuildReportRecord(Record(i), stamp));
  }
  entry.rows = document.rows;
  journal_batch_.clear();
  journal_batch_.push_back(EncodeEntry(entry));
  if (state) RecordRegister(line_index, network_number, RegisterState{0xFF, -1});
  if (!WriteJournal()) return -1;

  reset_register();
  for (const int i : closed) {
    ShowReportRow(Record(i), stamp);
    Release(i);
  }
  if (!document.rows.empty()) {
    // Older waiting documents go first so that the report keeps its order.
    report_queue_.push_back(std::move(document));
    FlushReportQueue();
  }
  return static_cast<int>(closed.size());
}

}  // namespace tillgate
