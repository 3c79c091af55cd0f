#pragma once
// A fresh folder under the system's temporary folder for one test, removed
// with its contents when the object goes. For tests.

#include <string>

namespace tillgate::testing {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Whole files read and written plainly, for setting up and checking.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The permission bits of `path` (0600 ...), or -1 when it cannot be told.
// Only POSIX systems keep them; Windows answers from the read-only flag.
int PermissionBits(const std::string& path);

}  // namespace tillgate::testing
