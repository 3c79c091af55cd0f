#include "store/file_system.h"

#include <cerrno>

namespace tillgate {

FsStatus StatusFromErrno(int err) {
  switch (err) {
    case 0:
      return FsStatus::kOk;
    case ENOENT:
    case ENOTDIR:
      return FsStatus::kNotFound;
    case EEXIST:
    case ENOTEMPTY:
      return FsStatus::kExists;
    case EAGAIN:  // F_SETLK refused: another program holds the lock
      return FsStatus::kLocked;
    case ENOSPC:
    case EDQUOT:
      return FsStatus::kNoSpace;
    case EACCES:
    case EPERM:
    case EROFS:
      return FsStatus::kDenied;
    default:
      return FsStatus::kError;
  }
}

}  // namespace tillgate
