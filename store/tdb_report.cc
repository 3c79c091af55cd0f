// Documents closed and written to the report: a closed document goes into
// the journal first, then into the report (whole, in the order documents
// closed), then is marked booked; the hand-over waits until the report's
// end is known.

#include <algorithm>
#include <cstring>

#include "store/tdb.h"

namespace tillgate {

int TDB::CloseDocument(uint32_t line_index, uint8_t network_number, const DocumentClose& document) {
  std::lock_guard<std::mutex> lock(mutex_);
  const PublishOnExit publish(*this);
  const int rows = ReportPending(line_index, network_number, document);
  journal_.Compact(/*at_start=*/false);
  if (rows >= 0 && status_)
    status_->DocumentClosed(static_cast<int>(line_index), network_number, document.document_number);
  return rows;
}

int TDB::ReportPending(uint32_t line_index, uint8_t network_number, const DocumentClose& document) {
  // A journal not yet taken up (held by another server) may hold sales of
  // this document: it is not closed without them.
  if (journal_.Kept() && !journal_.IsOpen() && !journal_.BringInStep()) return -1;
  RegisterState* state = registers_.Find(line_index, network_number);
  // The register's serial number and year as it last identified (kept
  // across a restart), with what the close message tells of the document.
  DocumentStamp stamp = state ? state->stamp : DocumentStamp();
  stamp.document_number = document.document_number;
  stamp.day = document.day;
  stamp.month = document.month;
  stamp.hour = document.hour;
  stamp.minute = document.minute;
  std::vector<int> closed;
  int index = pool_.Head();
  for (int n = pool_.PendingCount(); n > 0; --n) {
    // Operations kept for another register stay open for it.
    if (OwnedBy(index, line_index, network_number)) closed.push_back(index);
    index = pool_.Record(index).next;
  }
  auto close_register = [&] {
    if (state == nullptr) return;
    state->stamp = stamp;
    state->last_sequence = 0xFF;
    state->last_operation = -1;  // nothing of the closed document is pending
  };
  if (closed.empty()) {
    close_register();
    return 0;
  }
  // The document goes into the journal whole before anything of it reaches
  // the report, so that a stop at any write leaves it either still open or
  // waiting whole for the report.
  if (!journal_.BringInStep()) return -1;
  WaitingDocument waiting;
  waiting.id = journal_.NewId();
  JournalDocument entry;
  entry.id = waiting.id;
  for (const int i : closed) {
    entry.operations.push_back(OperationId(i));
    // No report folder: nowhere to keep the rows.
    if (report_.Enabled()) waiting.rows.push_back(BuildReportRecord(pool_.Record(i), stamp));
  }
  entry.rows = waiting.rows;
  journal_.Add(entry);
  if (state) journal_.Add(JournalRegister{line_index, network_number, 0xFF, 0});
  if (!journal_.Write()) return -1;

  close_register();
  for (const int i : closed) {
    report_view_.Show(pool_.Record(i), stamp);
    pool_.Release(i);
  }
  if (!waiting.rows.empty()) {
    // Older waiting documents go first so that the report keeps its order.
    report_queue_.push_back(std::move(waiting));
    FlushReportQueue();
  }
  return static_cast<int>(closed.size());
}

bool TDB::ExchangeReport() {
  std::lock_guard<std::mutex> lock(mutex_);
  const PublishOnExit publish(*this);
  return ExchangeReportStep();
}

bool TDB::ExchangeReportStep() {
  if (!report_.Enabled()) return false;
  // The report belongs to the server that holds the journal: another one
  // neither opens, creates nor hands over otchet.dbf, which the holder has
  // open and writes (rows it answered "o" for). It takes the journal up
  // once that one has stopped.
  if (journal_.Kept() && !journal_.IsOpen() && !journal_.BringInStep()) return false;
  if (report_.IsOpen()) report_.StillNamed();
  if (report_.HandOverAsked())
    HandOverReport();
  else
    report_.OpenOrCreate();
  NoteNewReportFile();
  if (report_.IsOpen()) FlushReportQueue();
  return report_.IsOpen();
}

void TDB::HandOverReport() {
  if (report_.RefuseUncollected()) return;
  // Not yet opened since a start: opening it sets its header right.
  report_.OpenIfThere();
  if (report_.IsOpen() && MaybeWrittenWaiting()) {
    // Rows a crash may have left at its end are looked for while they can
    // be: after the hand-over they would be written again into the new file.
    FlushReportQueue();
    if (MaybeWrittenWaiting()) return;  // said by the flush; tried again
  }
  if (report_.IsOpen()) {
    // The file handed over must say how many records it holds, and the
    // journal must know which documents are in it: after the hand-over they
    // could not be found in the report any more.
    report_.RepairHeader();
    if (!journal_.BringInStep()) return;
  }
  report_.HandOver(QueuedRows());
}

bool TDB::MaybeWrittenWaiting() const {
  return std::any_of(report_queue_.begin(), report_queue_.end(),
                     [](const WaitingDocument& d) { return d.maybe_written; });
}

// The new file may have the identity of one gone since (a deleted file's
// inode comes back), whose end the journal holds: rows of the new file's
// first document would be looked for from there after a crash. Should the
// mark fail, the journal's rewrite (before any row goes in) carries the end.
void TDB::NoteNewReportFile() {
  if (report_.Creations() == report_creations_noted_) return;
  report_creations_noted_ = report_.Creations();
  report_end_ = report_.End();
  if (!journal_.Working()) return;
  journal_.Add(JournalBooked{0, report_end_});
  journal_.Write();
}

int TDB::QueuedRows() const {
  int rows = 0;
  for (const WaitingDocument& d : report_queue_) rows += static_cast<int>(d.rows.size());
  return rows;
}

void TDB::FlushReportQueue() {
  if (report_queue_.empty()) return;
  // A report that lost its name is replaced before any row goes out.
  if (report_.IsOpen()) report_.StillNamed();
  if (!report_.OpenOrCreate()) return;
  NoteNewReportFile();
  int written = 0;
  while (!report_queue_.empty()) {
    // After a crash only the last document without its mark can be found at
    // the report's end: a second one would push the first away from it, and
    // the first would be written again. The rows wait in the journal.
    if (journal_.Kept() && !journal_.Working() && !journal_.BringInStep()) return;
    WaitingDocument& next = report_queue_.front();
    if (!report_.Append(next.rows, &next.maybe_written, report_end_)) return;
    report_end_ = report_.End();
    const JournalId booked = next.id;
    written += static_cast<int>(next.rows.size());
    report_queue_.pop_front();
    // Without this mark the rows would be looked for at the report's end
    // after a restart; a failed mark is made good by the journal's next
    // rewrite, which no longer holds the document. The report's end goes
    // with it: the next document's rows can only be found from there.
    if (journal_.Working()) {
      journal_.Add(JournalBooked{booked, report_end_});
      journal_.Write();
    }
  }
  report_.AppendsRecovered(written);
}

}  // namespace tillgate
