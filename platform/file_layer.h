#pragma once
// The file operations the registry file needs: read it whole, replace it
// whole. Kept behind an interface so tests can inject failures.

#include <memory>
#include <string>

#include "platform/status.h"

namespace tillgate {

class FileLayer {
 public:
  virtual ~FileLayer() = default;

  // Reads the whole file at `path` into *contents. Ok with *exists = false and
  // empty contents when the file does not exist; error (with the system's
  // reason) on any other failure, *contents is then not to be used.
  virtual Status ReadWholeFile(const std::string& path, std::string* contents, bool* exists) = 0;

  // Replaces the file at `path` by `contents`, creating its folder when
  // missing. Ok: the new contents are in place (and durable, unless the
  // folder could not be flushed). Error: the old file (or its absence) is
  // left as it was; a reader never sees a partly written file.
  virtual Status ReplaceFile(const std::string& path, const std::string& contents) = 0;
};

}  // namespace tillgate
