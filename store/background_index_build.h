#pragma once
// A goods index built on a thread of its own while the caller goes on
// serving: it is handed the open file and its layout, closes the file when
// done, and is asked whether it is done and then for what it built.

#include <atomic>
#include <memory>
#include <thread>

#include "platform/file_system.h"
#include "store/goods_index.h"
#include "store/goods_layout.h"

namespace tillgate {

class BackgroundIndexBuild {
 public:
  // Starts building at once. `file` is the build's from now on.
  BackgroundIndexBuild(std::unique_ptr<File> file, const GoodsLayout& layout);
  // Gives the build up (it stops at its next read) and waits for its thread.
  ~BackgroundIndexBuild();
  BackgroundIndexBuild(const BackgroundIndexBuild&) = delete;
  BackgroundIndexBuild& operator=(const BackgroundIndexBuild&) = delete;

  // The index is built (or could not be) and the file is closed.
  bool Done() const { return done_.load(std::memory_order_acquire); }
  // Waits until Done, then gives what was built: ok with `*index` set, or
  // why it could not be built. Once only.
  Status Take(std::unique_ptr<GoodsIndex>* index);

 private:
  void Run();

  std::unique_ptr<File> file_;
  GoodsLayout layout_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::unique_ptr<GoodsIndex> index_;
  Status status_;
  std::thread thread_;  // last: started once everything it uses is there
};

}  // namespace tillgate
