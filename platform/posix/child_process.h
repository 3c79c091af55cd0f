#pragma once
// For tests: a program run as a child process with its standard output and
// standard error on a pipe this object reads, and programs run to their end.
// No system type shows here, so that tests anywhere can use it.

#include <string>
#include <vector>

namespace tillgate::testing {

// What a test asks a child to do.
enum class ProcessSignal { kInterrupt, kTerminate, kHangUp, kKill };

class ChildProcess {
 public:
  // Starts argv[0] (or `program` when given: argv[0] is then only the name
  // it is started under) with the given arguments and this process's
  // environment, or `environment` ("NAME=value" entries) when given; in
  // those, "@OUTPUT@" stands for OutputId().
  explicit ChildProcess(const std::vector<std::string>& argv,
                        const std::vector<std::string>* environment = nullptr,
                        const std::string& program = std::string());
  // Ends a child still running (a stop request, then for good) and reaps it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // False when it could not be started; StartError() says why.
  bool ok() const { return pid_ > 0 || exited_; }
  const std::string& StartError() const { return start_error_; }

  // The next line of its output without the line end; empty when none came
  // within `timeout_ms` or the output ended.
  std::string ReadLine(int timeout_ms);
  // Reads its output until `text` shows up in all of it or `timeout_ms`
  // pass; whether it did.
  bool WaitFor(const std::string& text, int timeout_ms);
  // Reads whatever it writes for `timeout_ms`, or until its output ends.
  void Drain(int timeout_ms);
  // Everything until the child closes its output (or `timeout_ms` pass).
  const std::string& ReadAll(int timeout_ms);
  // All its output read so far.
  const std::string& Output() const { return output_; }
  // Stops reading: what the child writes next meets a pipe without a
  // reader.
  void CloseOutput();
  // "device:inode" of the pipe the child writes to, as JOURNAL_STREAM would
  // name it.
  const std::string& OutputId() const { return output_id_; }

  void Signal(ProcessSignal signal);
  // Its exit status (128 + the signal's number when a signal ended it), or
  // -1 when it does not end within `timeout_ms` (0: only looks).
  int Wait(int timeout_ms);
  // Signal, then Wait.
  int SignalAndWait(ProcessSignal signal, int timeout_ms);

 private:
  // Reads once what is there within `timeout_ms`; false when nothing came
  // or the output ended.
  bool ReadSome(int timeout_ms);

  int pid_ = -1;
  bool exited_ = false;
  int out_ = -1;
  std::string output_;
  size_t line_start_ = 0;  // where ReadLine goes on
  std::string output_id_;
  std::string start_error_;
};

// This process's environment, as "NAME=value" entries.
std::vector<std::string> ProcessEnvironment();

// Runs a program to its end; its exit status (-1 when it could not run or a
// signal ended it).
int RunToEnd(const std::vector<std::string>& argv);

// Runs `command` with the shell to its end, with `environment` ("NAME=value"
// entries) added to this process's environment, its standard output into
// *output when given; its exit status (-1 when it could not run or a signal
// ended it).
int RunShell(const std::string& command, std::string* output = nullptr,
             const std::vector<std::string>& environment = {});

}  // namespace tillgate::testing
