#pragma once
// The result of a settings or registry operation: ok, or an error carrying the
// text the operator is shown.

#include <string>
#include <utility>

namespace tillgate {

class Status {
 public:
  Status() = default;  // ok

  static Status Ok() { return Status(); }
  static Status Error(std::string message) { return Status(std::move(message), true); }

  bool ok() const { return !failed_; }
  // Empty when ok.
  const std::string& message() const { return message_; }

 private:
  Status(std::string message, bool failed) : message_(std::move(message)), failed_(failed) {}

  std::string message_;
  bool failed_ = false;
};

}  // namespace tillgate
