#pragma once
// Wraps another file layer and makes chosen replacements fail, so tests can
// break a write on the real file system as well as in memory. For tests.

#include <memory>
#include <string>

#include "platform/file_layer.h"

namespace tillgate {

class FaultyFileLayer final : public FileLayer {
 public:
  explicit FaultyFileLayer(std::shared_ptr<FileLayer> inner) : inner_(std::move(inner)) {}

  Status ReadWholeFile(const std::string& path, std::string* contents, bool* exists) override;
  // Fails without touching the inner layer when this call is the chosen one.
  Status ReplaceFile(const std::string& path, const std::string& contents) override;

  // Makes the n-th ReplaceFile call from now (1 = the next one) fail, and
  // every later one too when `sticky`. 0 disarms.
  void FailReplace(int n, bool sticky = false);
  int replace_count() const { return replace_count_; }

 private:
  std::shared_ptr<FileLayer> inner_;
  int replace_count_ = 0;
  int fail_at_ = 0;  // absolute call count that fails; 0 = none
  bool sticky_ = false;
};

}  // namespace tillgate
