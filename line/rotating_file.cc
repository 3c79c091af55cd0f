#include "line/rotating_file.h"

namespace tillgate {

RotatingFile::RotatingFile(std::unique_ptr<TraceFile> file, uint64_t limit)
    : file_(std::move(file)), limit_(limit) {}

Status RotatingFile::EnsureOpen() {
  if (open_) return Status::Ok();
  const Status opened = file_->Open(&size_);
  open_ = opened.ok();
  return opened;
}

Status RotatingFile::Append(std::string_view line) {
  Status ready = EnsureOpen();
  if (!ready.ok()) return ready;
  if (size_ > 0 && size_ + line.size() > limit_) {
    open_ = false;
    // Lines are lost rather than let the file grow without bound.
    const Status moved = file_->MoveAside();
    if (!moved.ok()) return moved;
    ready = EnsureOpen();
    if (!ready.ok()) return ready;
  }
  const Status appended = file_->Append(line);
  if (!appended.ok()) {
    file_->Close();
    open_ = false;
    return appended;
  }
  size_ += line.size();
  return Status::Ok();
}

}  // namespace tillgate
