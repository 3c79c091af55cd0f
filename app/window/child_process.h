#pragma once
// A helper program run by a test (the register simulator, the goods-file
// writer): started with its standard output on a pipe, ended by its id.

#include <sys/types.h>

#include <string>
#include <vector>

namespace tillgate::testing {

class ChildProcess {
 public:
  // Starts argv[0] with the given arguments and this process's environment
  // (or `env`, "NAME=value" entries, when given); fails the test when it
  // cannot. Standard error goes to standard output too.
  explicit ChildProcess(const std::vector<std::string>& argv,
                        const std::vector<std::string>* env = nullptr);
  // Sends SIGTERM to this child (only) and reaps it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of its standard output without the line end; empty when
  // none came within `timeout_ms` or the output ended.
  std::string ReadLine(int timeout_ms);

  // Sends `signal_number` to this child and waits up to `timeout_ms` for it
  // to end. Its exit status, or -1 (killed by a signal, or still running).
  int SignalAndWait(int signal_number, int timeout_ms);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string pending_;
};

// Runs a program to its end and returns its exit status (-1 when it could
// not run or was killed).
int RunToEnd(const std::vector<std::string>& argv);

}  // namespace tillgate::testing
