#pragma once
// The program's command line as UTF-8. On Windows `main` gets its
// arguments in the ANSI code page, which loses a Cyrillic file name there;
// the command line is read again as UTF-16. Elsewhere the arguments are
// already the system's bytes and are kept as they are.

#include <string>
#include <vector>

namespace tillgate {

class ProgramArguments {
 public:
  ProgramArguments(int argc, char** argv);
  ProgramArguments(const ProgramArguments&) = delete;
  ProgramArguments& operator=(const ProgramArguments&) = delete;

  int argc() const { return static_cast<int>(values_.size()); }
  // Valid while this object lives; null-terminated as main's.
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> values_;
  std::vector<char*> pointers_;
};

// The arguments as the system holds them (see above); `argc`/`argv` are
// main's, used where the system keeps no other form.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace tillgate
