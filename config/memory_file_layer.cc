#include "config/memory_file_layer.h"

#include "config/reg_file_store.h"

namespace tillgate {

Status MemoryFileLayer::ReadWholeFile(const std::string& path, std::string* contents,
                                      bool* exists) {
  contents->clear();
  *exists = false;
  if (fail_reads_) return Status::Error(path + ": injected read failure");
  auto it = files_.find(path);
  if (it == files_.end()) return Status::Ok();
  *exists = true;
  *contents = it->second;
  return Status::Ok();
}

Status MemoryFileLayer::ReplaceFile(const std::string& path, const std::string& contents) {
  ++replace_count_;
  bool fail =
      fail_at_ != 0 && (replace_count_ == fail_at_ || (sticky_ && replace_count_ > fail_at_));
  if (fail) return Status::Error(path + ": injected write failure");
  files_[path] = contents;
  return Status::Ok();
}

void MemoryFileLayer::FailReplace(int n, bool sticky) {
  fail_at_ = n > 0 ? replace_count_ + n : 0;
  sticky_ = sticky;
}

std::unique_ptr<RegistryStore> NewMemoryRegistryStore() {
  Status status;
  return OpenRegistryFile(std::make_shared<MemoryFileLayer>(), "memory.reg", &status);
}

}  // namespace tillgate
