#include "store/file_system.h"

#include <cerrno>
#include <cstring>
#include <ostream>

namespace tillgate {
namespace {

// The errno a result made without one stands for, so that it still reads
// as the system would say it.
int TypicalErrno(FsStatus::Code code) {
  switch (code) {
    case FsStatus::kOk:
      return 0;
    case FsStatus::kNotFound:
      return ENOENT;
    case FsStatus::kExists:
      return EEXIST;
    case FsStatus::kLocked:
      return EAGAIN;
    case FsStatus::kNoSpace:
      return ENOSPC;
    case FsStatus::kDenied:
      return EACCES;
    case FsStatus::kShortTransfer:
    case FsStatus::kError:
      break;
  }
  return EIO;
}

}  // namespace

std::string FsStatus::Reason() const {
  if (ok()) return std::string();
  if (code_ == kShortTransfer && error_number_ == 0) return "the write was cut short";
  if (code_ == kLocked && error_number_ == 0) return "held by another program";
  return std::strerror(error_number_ != 0 ? error_number_ : TypicalErrno(code_));
}

void PrintTo(const FsStatus& status, std::ostream* out) {
  *out << "FsStatus(" << static_cast<int>(status.code());
  if (!status.ok()) *out << ", " << status.Reason();
  *out << ")";
}

FsStatus StatusFromErrno(int err) {
  switch (err) {
    case 0:
      return FsStatus::kOk;
    case ENOENT:
    case ENOTDIR:
      return FsStatus(FsStatus::kNotFound, err);
    case EEXIST:
    case ENOTEMPTY:
      return FsStatus(FsStatus::kExists, err);
    case EAGAIN:  // F_SETLK refused: another program holds the lock
      return FsStatus(FsStatus::kLocked, err);
    case ENOSPC:
    case EDQUOT:
      return FsStatus(FsStatus::kNoSpace, err);
    case EACCES:
    case EPERM:
    case EROFS:
      return FsStatus(FsStatus::kDenied, err);
    default:
      return FsStatus(FsStatus::kError, err);
  }
}

}  // namespace tillgate
