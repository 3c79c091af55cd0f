#include "platform/status.h"

#include <ostream>

namespace tillgate {
namespace {

// What a result made without a text says: the words this system's C
// library uses for the error each kind usually comes from, so that a
// message reads the same whichever layer made the result.
const char* TypicalText(Status::Code code) {
  switch (code) {
    case Status::kOk:
      return "";
    case Status::kNotFound:
      return "No such file or directory";
    case Status::kExists:
      return "File exists";
    case Status::kBusy:
      return "held by another program";
    case Status::kNoSpace:
      return "No space left on device";
    case Status::kDenied:
      return "Permission denied";
    case Status::kShortTransfer:
      return "the write was cut short";
    case Status::kNotOpen:
      return "not open";
    case Status::kNotSupported:
      return "Operation not supported";
    case Status::kHangUp:
      return "line hung up";
    case Status::kNotAFolder:
      return "not a folder";
    case Status::kError:
      break;
  }
  return "Input/output error";
}

}  // namespace

Status& Status::Within(std::string operation, std::string subject) {
  operation_ = std::move(operation);
  subject_ = std::move(subject);
  return *this;
}

std::string Status::Reason() const {
  if (ok()) return std::string();
  return text_.empty() ? TypicalText(code_) : text_;
}

std::string Status::message() const {
  if (ok()) return std::string();
  std::string said = operation_;
  if (!subject_.empty()) said += (said.empty() ? "" : " ") + subject_;
  return said.empty() ? Reason() : said + ": " + Reason();
}

void PrintTo(const Status& status, std::ostream* out) {
  *out << "Status(" << static_cast<int>(status.code());
  if (!status.ok()) *out << ", " << status.message();
  *out << ")";
}

}  // namespace tillgate
