#include "engine/status_file.h"

#include <memory>

#include "config/version.h"
#include "engine/status_json.h"

namespace tillgate {
namespace {

constexpr char kStatusCondition[] = "status file";

}  // namespace

StatusFile::StatusFile(const StatusBoard& board, FileSystem& files, std::string folder,
                       EventSink* events, StatusFileOptions options)
    : board_(board),
      folder_(std::move(folder)),
      path_(folder_ + "/" + kStatusFileName),
      events_(events),
      options_(options),
      fs_(&files),
      started_(std::chrono::system_clock::now()) {}

StatusFile::~StatusFile() { Stop(); }

void StatusFile::Start() {
  if (thread_.joinable()) return;
  Write(true);
  thread_ = std::thread([this] { Run(); });
}

void StatusFile::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    if (wake_.wait_for(lock, options_.interval, [this] { return stop_; })) break;
    lock.unlock();
    Write(true);
    lock.lock();
  }
}

void StatusFile::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
    stop_ = true;
  }
  wake_.notify_all();
  const bool started = thread_.joinable();
  if (started) thread_.join();
  if (started) Write(false);
}

void StatusFile::Failed(const std::string& text) {
  if (text == failure_) return;
  failure_ = text;
  ReportCondition(events_, Severity::kError, kStatusCondition, text);
}

bool StatusFile::Write(bool running) {
  const StatusSnapshot snapshot = board_.Snapshot();
  if (snapshot.store.journal == JournalHealth::kHeld) {
    // The server that holds the journal is the one serving: its status
    // file stays.
    Failed("status file " + path_ +
           " not written: another server keeps its journal in this state folder");
    return false;
  }
  StatusFileHeader header;
  header.version = TillgateVersion();
  header.pid = options_.process_id;
  header.started = started_;
  header.written = std::chrono::system_clock::now();
  header.running = running;
  const std::string text = StatusJson(snapshot, header);

  const std::string temp = path_ + ".new";
  Status s = fs_->MakeFolders(folder_);
  std::unique_ptr<File> file;
  if (s.ok()) s = fs_->Create(temp, OpenMode::kReadWriteExclusive, &file);
  if (s.code() == Status::kExists) {
    // Left by a write that was cut short: it never counted.
    fs_->Unlink(temp);
    s = fs_->Create(temp, OpenMode::kReadWriteExclusive, &file);
  }
  if (s.ok()) s = file->WriteAt(0, text.data(), text.size());
  if (s.ok()) s = file->Sync();
  if (file) {
    const Status closed = file->Close();
    if (s.ok()) s = closed;
  }
  if (s.ok()) s = fs_->RenameReplacing(temp, path_);
  if (!s.ok()) {
    if (file) fs_->Unlink(temp);
    Failed("status file " + path_ + " cannot be written (" + s.Reason() +
           "): monitoring tools see an old one, or none");
    return false;
  }
  if (!failure_.empty()) {
    failure_.clear();
    ReportConditionCleared(events_, kStatusCondition, "status file " + path_ + " written again");
  }
  return true;
}

}  // namespace tillgate
