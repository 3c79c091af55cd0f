#pragma once
// The result of every platform operation, and of the settings operations
// above them: ok, or what kind of failure it was, the operation and the path
// or port it concerned, and the system's error number with the system's own
// text for it. Failures are values, never exceptions: callers on the polling
// path carry on and rely on the next answer or the next tick.

#include <cstdint>
#include <iosfwd>
#include <string>

namespace tillgate {

class Status {
 public:
  enum Code : uint8_t {
    kOk,
    kNotFound,       // the path, a folder on it or the device does not exist
    kExists,         // create-new or rename found the target already there
    kBusy,           // another program holds it (a conflicting lock, an exclusive open)
    kNoSpace,        // disk or quota full
    kDenied,         // permissions, a read-only file system
    kShortTransfer,  // a write moved fewer bytes than asked
    kNotOpen,        // no device or file is held (never opened, or closed after a failure)
    kNotSupported,   // the device or file has no such operation (DTR on a pseudo-terminal)
    kHangUp,         // the line hung up: the device went away or the far end closed
    kNotAFolder,     // a path that should name a folder names something else
    kError,          // anything else
  };

  // Ok, or a failure of `code` told by the typical text of its kind.
  constexpr Status(Code code = kOk) : code_(code) {}  // NOLINT: a code is a result
  // A failure of `code` told by `text` (the system's text, or one of ours),
  // with the system's error number behind it when there is one.
  Status(Code code, std::string text, int error_number = 0)
      : code_(code), error_number_(error_number), text_(std::move(text)) {}

  static Status Ok() { return Status(); }
  // A failure that only has a text to show (settings, registry values).
  static Status Error(std::string text) { return Status(kError, std::move(text)); }

  // The same result, said as the failure of `operation` (such as "open")
  // on `subject` (a path or a port; may be empty).
  Status& Within(std::string operation, std::string subject = {});

  Code code() const { return code_; }
  bool ok() const { return code_ == kOk; }
  // The system's error number behind the failure (errno, GetLastError());
  // 0 when the system gave none.
  int error_number() const { return error_number_; }
  const std::string& operation() const { return operation_; }
  const std::string& subject() const { return subject_; }
  // Why, as the system says it ("No space left on device"), or the typical
  // text of the kind when no text was given. Empty when ok.
  std::string Reason() const;
  // The whole message: "operation subject: reason", or just the reason when
  // no operation was named. Empty when ok.
  std::string message() const;

  // Results compare by their kinds: a caller (or a test) asks what kind of
  // failure it got, not which words the system chose.
  friend bool operator==(const Status& a, const Status& b) { return a.code_ == b.code_; }

 private:
  Code code_;
  int error_number_ = 0;
  std::string text_;
  std::string operation_;
  std::string subject_;
};

// For test failure messages.
void PrintTo(const Status& status, std::ostream* out);

}  // namespace tillgate
