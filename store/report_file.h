#pragma once
// The report file otchet.dbf in the report folder: opened (its header
// completed or its count set right) or created with the header image,
// checked to be still the file its name leads to, appended to one whole
// document at a time, and handed over as otchet2.dbf when otchet.exp asks.
// Problems are told as events, each once while it lasts.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/event_sink.h"
#include "platform/file_system.h"
#include "store/dbff.h"
#include "store/report_end.h"
#include "store/report_record.h"

namespace tillgate {

class ReportFile {
 public:
  // otchet.dbf, otchet2.dbf and otchet.exp in `folder`; an empty folder
  // (program not installed) touches no file. Neither pointer is owned;
  // `events` may be null.
  ReportFile(FileSystem* fs, EventSink* events, const std::string& folder);
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  bool Enabled() const { return enabled_; }
  bool IsOpen() const { return file_ != nullptr; }
  // Rows appended since start-up.
  uint64_t RowsWritten() const { return rows_written_; }

  // Opens otchet.dbf (a header cut short in its creation is completed, a
  // count that disagrees with the records is set right, a torn last record
  // is cut off), or creates it with the header image when there is none.
  // True when a report file is open afterwards.
  bool OpenOrCreate();
  // Opens otchet.dbf when it is there (not yet opened since a start).
  void OpenIfThere();
  // False (and the file closed, said once) when otchet.dbf no longer names
  // the file held open: deleted, moved away, or replaced.
  bool StillNamed();
  // Sets the header's record count to the whole records present and cuts a
  // torn last record off. False when the file cannot be read or fixed, or
  // is no report file.
  bool RepairHeader();

  // Appends a document's rows after the last whole record, then the header
  // count; on failure cuts the file back so that none of them stays, and
  // says so once. With `*maybe_written`, rows that already end the file
  // (a crash or a failed cut while it was written) are looked for first and
  // not written again; it is set when a failed cut may have left some.
  // When `booked_end` is this file's and it holds that many records, they
  // are looked for only from there: the rows before belong to documents
  // booked already, however alike.
  bool Append(const std::vector<ReportRecordBytes>& rows, bool* maybe_written,
              const ReportEnd& booked_end = ReportEnd());
  // Where the file ended after the last append that succeeded (not known
  // when the file's identity is not).
  const ReportEnd& End() const { return end_; }
  // How many report files this one has created (each starts empty).
  uint32_t Creations() const { return creations_; }
  // After appends that failed, `rows` could be written again: said once.
  void AppendsRecovered(int rows);

  // The hand-over. HandOverAsked: otchet.exp is there. RefuseUncollected:
  // when otchet2.dbf from the previous hand-over is still there, the
  // request is dropped (otchet.exp deleted, said), the report file opened,
  // and true. HandOver: otchet.dbf closed and renamed to otchet2.dbf (never
  // one another program holds open), the folder synced, otchet.exp deleted,
  // a new otchet.dbf created; `waiting_rows` not yet in
  // the file are said to go into the new one. False when the rename fails
  // (said once, the request kept for the next step) or the new file cannot
  // be created.
  bool HandOverAsked() const;
  bool RefuseUncollected();
  bool HandOver(int waiting_rows);

 private:
  bool Create();
  void Close();
  // Another program holds otchet.dbf open (it cannot be opened: busy).
  bool HeldElsewhere();
  // Says once that otchet.dbf cannot be `what` ("opened") and why; false.
  bool FileFailure(const char* what, const Status& status);
  // Adopts `file` as the report file held open.
  void Hold(std::unique_ptr<File> file);
  bool CompleteHeader(File* file);
  bool RepairHeader(File* file);
  // How many of `rows` (from the first) already end the report, in `*done`.
  bool RowsAlreadyWritten(const std::vector<ReportRecordBytes>& rows, uint32_t present,
                          const ReportEnd& booked_end, uint32_t* done);
  bool AppendRows(const std::vector<ReportRecordBytes>& rows, bool* maybe_written,
                  const ReportEnd& booked_end);

  FileSystem* fs_;
  EventSink* events_;
  bool enabled_;
  std::string folder_, path_, handover_path_, signal_path_;
  TDBFF dbf_;
  std::unique_ptr<File> file_;
  FileIdentity identity_;  // of the file held open
  bool identity_known_ = false;
  ReportEnd end_;
  uint32_t creations_ = 0;
  uint64_t rows_written_ = 0;
  // Events are told on changes, not at every step.
  bool failure_reported_ = false;  // the report file cannot be used
  bool append_failed_ = false;
  Status append_status_;  // why the last append failed
  bool handover_failure_reported_ = false;
};

}  // namespace tillgate
