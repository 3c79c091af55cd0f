#pragma once
// Files held in memory, with failures on demand. For tests; to break writes
// to real files wrap the POSIX layer in FaultyFileLayer instead.

#include <map>
#include <memory>
#include <string>

#include "platform/file_layer.h"
#include "platform/registry_store.h"

namespace tillgate {

class MemoryFileLayer final : public FileLayer {
 public:
  Status ReadWholeFile(const std::string& path, std::string* contents, bool* exists) override;
  Status ReplaceFile(const std::string& path, const std::string& contents) override;

  // Makes the n-th ReplaceFile call from now (1 = the next one) fail, and
  // every later one too when `sticky`. 0 disarms.
  void FailReplace(int n, bool sticky = false);
  // Makes every ReadWholeFile fail.
  void FailReads(bool fail) { fail_reads_ = fail; }

  int replace_count() const { return replace_count_; }
  std::map<std::string, std::string>& files() { return files_; }

 private:
  std::map<std::string, std::string> files_;
  int replace_count_ = 0;
  int fail_at_ = 0;  // absolute replace count that fails; 0 = none
  bool sticky_ = false;
  bool fail_reads_ = false;
};

// An empty registry held in memory.
std::unique_ptr<RegistryStore> NewMemoryRegistryStore();

}  // namespace tillgate
