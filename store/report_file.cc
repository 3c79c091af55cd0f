#include "store/report_file.h"

#include <algorithm>
#include <cstring>

namespace tillgate {
namespace {

constexpr char kReportFileCondition[] = "report file";
constexpr char kReportAppendCondition[] = "report append";
constexpr char kHandOverCondition[] = "report hand-over";

uint64_t RecordOffset(uint64_t record_index) {
  return kReportHeaderLength + record_index * kReportRecordLength;
}

}  // namespace

ReportFile::ReportFile(FileSystem* fs, EventSink* events, const std::string& folder)
    : fs_(fs),
      events_(events),
      enabled_(!folder.empty()),
      folder_(folder),
      path_(folder + "/otchet.dbf"),
      handover_path_(folder + "/otchet2.dbf"),
      signal_path_(folder + "/otchet.exp") {}

void ReportFile::Close() {
  if (file_) file_->Close();
  file_.reset();
}

void ReportFile::Hold(std::unique_ptr<File> file) {
  identity_ = FileIdentity();
  identity_known_ = file->Identity(&identity_).ok();
  file_ = std::move(file);
  failure_reported_ = false;
}

bool ReportFile::FileFailure(const char* what, const Status& status) {
  if (!failure_reported_)
    ReportCondition(events_, Severity::kError, kReportFileCondition,
                    std::string("report file otchet.dbf cannot be ") + what + " (" +
                        status.Reason() + "): rows wait until it can");
  failure_reported_ = true;
  return false;
}

bool ReportFile::Create() {
  std::unique_ptr<File> file;
  const Status created =
      fs_->Create(path_, OpenMode::kReadWriteExclusiveSync, Readers::kEveryone, &file);
  if (!created.ok()) return FileFailure("created", created);
  const auto& image = ReportHeaderImage();
  const Status written =
      file->WriteAt(0, reinterpret_cast<const char*>(image.data()), image.size());
  if (!written.ok()) {
    // A file without its header must not be taken for a report next time.
    file->Close();
    fs_->Unlink(path_);
    return FileFailure("created", written);
  }
  // The new name, and the hand-over's rename before it, reach the disk
  // before rows are booked into the file. A folder that cannot be synced
  // (some shared ones) does not stop the report.
  fs_->SyncFolder(folder_);
  Hold(std::move(file));
  end_ = {identity_, 0, identity_known_};
  ++creations_;
  ReportConditionCleared(events_, kReportFileCondition, "report file otchet.dbf created",
                         Severity::kInfo);
  return true;
}

// A report file shorter than its header was cut short while it was being
// created (the header is the first and only write of a new file): when its
// bytes are the start of the header image, the image is written in full so
// that appends can go on. Anything else shorter than a header is left as it
// is. False only when the completion itself fails.
bool ReportFile::CompleteHeader(File* file) {
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

bool ReportFile::RepairHeader() { return file_ && RepairHeader(file_.get()); }

// A stop between a record and its header update leaves the count one short,
// and readers that trust the count would miss the record; a stop inside a
// record leaves a torn one, which no reader can use.
bool ReportFile::RepairHeader(File* file) {
  uint64_t size = 0;
  if (!file->Size(&size).ok()) return false;
  if (size < kReportHeaderLength) return true;  // not a report yet
  DbfHeader header;
  if (!dbf_.ReadHeader(file, &header)) return false;
  // Another table placed under the name is not ours to cut or to append to.
  if (header.header_length != kReportHeaderLength || header.record_length != kReportRecordLength) {
    if (!failure_reported_)
      ReportCondition(events_, Severity::kError, kReportFileCondition,
                      "report file otchet.dbf is not a report file (header length " +
                          std::to_string(header.header_length) + ", record length " +
                          std::to_string(header.record_length) + "): rows wait until it is");
    failure_reported_ = true;
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

bool ReportFile::OpenOrCreate() {
  if (file_) return true;
  if (!fs_->Exists(path_)) return Create();
  std::unique_ptr<File> file;
  const Status opened = fs_->Open(path_, OpenMode::kReadWriteExclusiveSync, &file);
  if (!opened.ok()) return FileFailure("opened", opened);
  if (!CompleteHeader(file.get()) || !RepairHeader(file.get())) {
    file->Close();
    return false;
  }
  Hold(std::move(file));
  ReportConditionCleared(events_, kReportFileCondition, "report file otchet.dbf opened",
                         Severity::kInfo);
  return true;
}

void ReportFile::OpenIfThere() {
  if (!file_ && fs_->Exists(path_)) OpenOrCreate();
}

// Rows written into a file that no longer has the name would reach no one:
// the file held open must still be the one otchet.dbf names.
bool ReportFile::StillNamed() {
  if (!file_) return false;
  FileIdentity named;
  const Status found = fs_->Identity(path_, &named);
  if (found.ok() && named == identity_) return true;
  // A name that cannot be looked up for another reason is not taken as gone.
  if (!found.ok() && found.code() != Status::kNotFound) return true;
  Close();
  ReportCondition(events_, Severity::kError, kReportFileCondition,
                  found.ok() ? "report file otchet.dbf was replaced by another file while open: "
                               "rows go into the file that now has the name"
                             : "report file otchet.dbf was deleted or moved away while open: a "
                               "new otchet.dbf is started as soon as the report folder is there; "
                               "rows wait for it");
  failure_reported_ = true;
  return false;
}

bool ReportFile::HandOverAsked() const { return fs_->Exists(signal_path_); }

bool ReportFile::RefuseUncollected() {
  if (!fs_->Exists(handover_path_)) return false;
  // The previous hand-over has not been collected: the request is dropped.
  fs_->Unlink(signal_path_);
  Report(events_, Severity::kWarning,
         "report hand-over refused: otchet2.dbf has not been collected");
  OpenOrCreate();
  return true;
}

bool ReportFile::HeldElsewhere() {
  std::unique_ptr<File> file;
  const Status opened = fs_->Open(path_, OpenMode::kReadWriteExclusiveSync, &file);
  if (opened.ok()) file->Close();
  return opened.code() == Status::kBusy;
}

bool ReportFile::HandOver(int waiting_rows) {
  // A report file another program holds open (another server writing rows
  // it has answered for) is not ours to hand over.
  if (!file_ && HeldElsewhere()) {
    if (!handover_failure_reported_)
      ReportCondition(events_, Severity::kError, kHandOverCondition,
                      "report hand-over not done: otchet.dbf is held open by another program; "
                      "tried again at every step");
    handover_failure_reported_ = true;
    return false;
  }
  if (file_) {
    const Status closed = file_->Close();
    file_.reset();
    if (!closed.ok()) return false;
  }
  const Status moved = fs_->Rename(path_, handover_path_);
  if (moved != Status::kOk && moved != Status::kNotFound) {
    // Keep the request so that the next step tries again; go on writing.
    if (!handover_failure_reported_)
      ReportCondition(events_, Severity::kError, kHandOverCondition,
                      "report hand-over failed: otchet.dbf cannot be renamed to otchet2.dbf (" +
                          moved.Reason() + "); tried again at every step");
    handover_failure_reported_ = true;
    OpenOrCreate();
    return false;
  }
  // The rename reaches the disk before the request is answered: a power cut
  // between them must not leave otchet.dbf, rows and all, under its old
  // name with the request gone, to be handed over a second time.
  if (moved == Status::kOk) fs_->SyncFolder(folder_);
  fs_->Unlink(signal_path_);
  const std::string done = moved == Status::kOk ? "report handed over as otchet2.dbf"
                                                : "report hand-over: no otchet.dbf to hand over";
  if (handover_failure_reported_)
    ReportConditionCleared(events_, kHandOverCondition, done);
  else
    Report(events_, done);
  handover_failure_reported_ = false;
  // Rows whose append failed were never in the handed-over file.
  if (waiting_rows > 0)
    Report(events_, Severity::kWarning,
           "report hand-over: " + std::to_string(waiting_rows) +
               " record(s) still waiting go into the new otchet.dbf");
  return Create();
}

bool ReportFile::Append(const std::vector<ReportRecordBytes>& rows, bool* maybe_written,
                        const ReportEnd& booked_end) {
  if (AppendRows(rows, maybe_written, booked_end)) {
    rows_written_ += rows.size();
    return true;
  }
  // A report that lost its name has been said so already.
  if (file_ && !append_failed_) {
    ReportCondition(events_, Severity::kError, kReportAppendCondition,
                    "report append failed (" + append_status_.Reason() +
                        "): rows wait and are written, whole documents in order, at the "
                        "next step that can write");
    append_failed_ = true;
  }
  return false;
}

void ReportFile::AppendsRecovered(int rows) {
  if (!append_failed_ || rows <= 0) return;
  ReportConditionCleared(events_, kReportAppendCondition,
                         "report append recovered: " + std::to_string(rows) +
                             " row(s) written to otchet.dbf, those that waited first");
  append_failed_ = false;
}

bool ReportFile::RowsAlreadyWritten(const std::vector<ReportRecordBytes>& rows, uint32_t present,
                                    const ReportEnd& booked_end, uint32_t* done) {
  *done = 0;
  // The document went in right after the last one booked into this file:
  // all the records after that end are its rows, or none of them are.
  const bool from_end = booked_end.known && identity_known_ && booked_end.file == identity_ &&
                        booked_end.records <= present;
  if (from_end && present - booked_end.records > rows.size()) return true;
  const uint32_t most = from_end ? present - booked_end.records
                                 : static_cast<uint32_t>(std::min<uint64_t>(rows.size(), present));
  const uint32_t least = from_end ? most : 1;
  if (most == 0) return true;
  std::string tail(static_cast<size_t>(most) * kReportRecordLength, '\0');
  size_t got = 0;
  append_status_ = file_->ReadAt(RecordOffset(present - most), tail.data(), tail.size(), &got);
  if (!append_status_.ok()) return false;
  if (got != tail.size()) {
    append_status_ = Status(Status::kError);
    return false;
  }
  // The longest start of the document that ends the file.
  for (uint32_t k = most; k >= least && k > 0; --k) {
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

bool ReportFile::AppendRows(const std::vector<ReportRecordBytes>& rows, bool* maybe_written,
                            const ReportEnd& booked_end) {
  append_status_ = Status(Status::kNotFound);
  if (!file_ || !StillNamed()) return false;
  uint64_t size = 0;
  append_status_ = file_->Size(&size);
  if (!append_status_.ok()) return false;
  if (size < kReportHeaderLength) {
    append_status_ = Status(Status::kError, "Invalid argument");  // not a report file
    return false;
  }
  const uint64_t present = (size - kReportHeaderLength) / kReportRecordLength;
  const uint32_t count = static_cast<uint32_t>(rows.size());
  if (present + count >= UINT32_MAX) return false;
  // Rows that cannot be looked for are not written: they might be there.
  uint32_t done = 0;
  if (*maybe_written &&
      !RowsAlreadyWritten(rows, static_cast<uint32_t>(present), booked_end, &done))
    return false;
  // Whole records only: a record torn by an earlier failed write is
  // overwritten rather than left to shift every later record.
  std::string bytes;
  for (uint32_t i = done; i < count; ++i) bytes.append(rows[i].data(), kReportRecordLength);
  append_status_ = file_->WriteAt(RecordOffset(present), bytes.data(), bytes.size());
  if (append_status_.ok() &&
      !dbf_.WriteRecordCount(file_.get(), static_cast<uint32_t>(present + count - done)))
    append_status_ = Status(Status::kError);
  if (append_status_.ok()) {
    end_ = {identity_, static_cast<uint32_t>(present + count - done), identity_known_};
    return true;
  }
  // None of the document stays: it is written whole at the next try. A
  // count left too high is set right when the file is opened or handed over.
  const uint64_t before = present - done;
  *maybe_written = !file_->Truncate(RecordOffset(before)).ok();
  if (!*maybe_written) dbf_.WriteRecordCount(file_.get(), static_cast<uint32_t>(before));
  return false;
}

}  // namespace tillgate
