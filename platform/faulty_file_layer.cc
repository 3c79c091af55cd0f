#include "platform/faulty_file_layer.h"

namespace tillgate {

Status FaultyFileLayer::ReadWholeFile(const std::string& path, std::string* contents,
                                      bool* exists) {
  return inner_->ReadWholeFile(path, contents, exists);
}

Status FaultyFileLayer::ReplaceFile(const std::string& path, const std::string& contents) {
  ++replace_count_;
  bool fail =
      fail_at_ != 0 && (replace_count_ == fail_at_ || (sticky_ && replace_count_ > fail_at_));
  if (fail) return Status::Error(path + ": injected write failure");
  return inner_->ReplaceFile(path, contents);
}

void FaultyFileLayer::FailReplace(int n, bool sticky) {
  fail_at_ = n > 0 ? replace_count_ + n : 0;
  sticky_ = sticky;
}

}  // namespace tillgate
