#include "store/background_index_build.h"

#include <new>

namespace tillgate {

BackgroundIndexBuild::BackgroundIndexBuild(std::unique_ptr<File> file, const GoodsLayout& layout)
    : file_(std::move(file)), layout_(layout), thread_([this] { Run(); }) {}

BackgroundIndexBuild::~BackgroundIndexBuild() {
  stop_.store(true, std::memory_order_relaxed);
  if (thread_.joinable()) thread_.join();
}

void BackgroundIndexBuild::Run() {
  try {
    auto index = std::make_unique<GoodsIndex>();
    status_ = GoodsIndex::Build(*file_, layout_, &stop_, index.get());
    if (status_.ok()) index_ = std::move(index);
  } catch (const std::bad_alloc&) {
    status_ = Status(Status::kError, "not enough memory for its index");
  }
  // Its data to the disk now, outside anyone's lock: a file system that
  // flushes a file renamed over another (ext4) would make the move into
  // place wait for it otherwise. A handle that cannot sync changes nothing.
  if (status_.ok()) file_->Sync();
  // Released before anyone may move the file into place.
  file_->Close();
  done_.store(true, std::memory_order_release);
}

Status BackgroundIndexBuild::Take(std::unique_ptr<GoodsIndex>* index) {
  if (thread_.joinable()) thread_.join();
  *index = std::move(index_);
  return status_;
}

}  // namespace tillgate
