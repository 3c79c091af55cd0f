#include "engine/status_file.h"

#include <memory>

#include "config/version.h"
#include "engine/status_json.h"
#include "platform/paths.h"

namespace tillgate {
namespace {

constexpr char kStatusCondition[] = "status file";

}  // namespace

StatusFile::StatusFile(const StatusBoard& board, FileSystem& files, std::string folder,
                       EventSink* events, StatusFileOptions options)
    : board_(board),
      folder_(std::move(folder)),
      path_(JoinedPath(folder_, kStatusFileName)),
      events_(events),
      options_(options),
      fs_(&files),
      lock_(fs_, JoinedPath(folder_, kStatusLockName)),
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
  lock_.Release();
}

void StatusFile::Failed(Severity severity, const std::string& text) {
  if (text == failure_) return;
  failure_ = text;
  ReportCondition(events_, severity, kStatusCondition, text);
}

std::string StatusFile::LeftText() const {
  return "status file " + path_ + " is left to another server that runs with this state folder";
}

bool StatusFile::Write(bool running) {
  const StatusSnapshot snapshot = board_.Snapshot();
  if (snapshot.store.journal == JournalHealth::kHeld) {
    // The server that holds the journal is the one serving: it is the one
    // to write the file, and may need the lock to.
    lock_.Release();
    Failed(Severity::kWarning, LeftText());
    return false;
  }
  Status s = fs_->MakeFolders(folder_);
  if (s.ok()) s = lock_.Hold();
  if (s.code() == Status::kBusy) {
    Failed(Severity::kWarning, LeftText());
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
  std::unique_ptr<File> file;
  if (s.ok()) s = fs_->Create(temp, OpenMode::kReadWriteExclusive, Readers::kOwner, &file);
  if (s.code() == Status::kExists) {
    // Left by a write that was cut short: it never counted.
    fs_->Unlink(temp);
    s = fs_->Create(temp, OpenMode::kReadWriteExclusive, Readers::kOwner, &file);
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
    Failed(Severity::kError, "status file " + path_ + " cannot be written (" + s.Reason() +
                                 "): monitoring tools see an old one, or none");
    return false;
  }
  if (!failure_.empty()) {
    const bool taken_over = failure_ == LeftText();
    failure_.clear();
    ReportConditionCleared(events_, kStatusCondition,
                           "status file " + path_ +
                               (taken_over ? " written by this server now: the other one has gone"
                                           : " written again"));
  }
  return true;
}

}  // namespace tillgate
