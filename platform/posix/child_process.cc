#include "platform/posix/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace tillgate::testing {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (const std::string& s : strings) out.push_back(const_cast<char*>(s.c_str()));
  out.push_back(nullptr);
  return out;
}

int NumberOf(ProcessSignal signal) {
  switch (signal) {
    case ProcessSignal::kInterrupt:
      return SIGINT;
    case ProcessSignal::kTerminate:
      return SIGTERM;
    case ProcessSignal::kHangUp:
      return SIGHUP;
    case ProcessSignal::kKill:
      break;
  }
  return SIGKILL;
}

int ExitStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>* environment,
                           const std::string& program) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    start_error_ = std::string("pipe: ") + std::strerror(errno);
    return;
  }
  struct stat info {};
  fstat(pipe_fds[1], &info);
  output_id_ = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  const std::vector<char*> args = Pointers(argv);
  std::vector<std::string> entries = environment ? *environment : std::vector<std::string>();
  for (std::string& entry : entries) {
    const size_t at = entry.find("@OUTPUT@");
    if (at != std::string::npos) entry.replace(at, 8, output_id_);
  }
  const std::vector<char*> own_environment = Pointers(entries);
  const std::string& path = program.empty() ? argv.at(0) : program;
  pid_t pid = -1;
  const int error = posix_spawn(&pid, path.c_str(), &actions, nullptr, args.data(),
                                environment ? own_environment.data() : environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  out_ = pipe_fds[0];
  if (error != 0) {
    start_error_ = "cannot start " + path + ": " + std::strerror(error);
    return;
  }
  pid_ = pid;
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && SignalAndWait(ProcessSignal::kTerminate, 5000) < 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) close(out_);
}

bool ChildProcess::ReadSome(int timeout_ms) {
  if (out_ < 0) return false;
  pollfd pfd{out_, POLLIN, 0};
  int ready;
  do {
    ready = poll(&pfd, 1, timeout_ms);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return false;
  char buffer[1024];
  const ssize_t n = read(out_, buffer, sizeof buffer);
  if (n <= 0) {
    // The output ended: nothing more will come.
    close(out_);
    out_ = -1;
    return false;
  }
  output_.append(buffer, static_cast<size_t>(n));
  return true;
}

std::string ChildProcess::ReadLine(int timeout_ms) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    const size_t end = output_.find('\n', line_start_);
    if (end != std::string::npos) {
      std::string line = output_.substr(line_start_, end - line_start_);
      line_start_ = end + 1;
      return line;
    }
    const int left = MillisecondsLeft(deadline);
    if (left <= 0 || out_ < 0) return {};
    ReadSome(left);
  }
}

bool ChildProcess::WaitFor(const std::string& text, int timeout_ms) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (output_.find(text) == std::string::npos) {
    const int left = MillisecondsLeft(deadline);
    if (left <= 0 || out_ < 0) return false;
    ReadSome(left);
  }
  return true;
}

void ChildProcess::Drain(int timeout_ms) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (out_ >= 0) {
    const int left = MillisecondsLeft(deadline);
    if (left <= 0) return;
    ReadSome(left);
  }
}

const std::string& ChildProcess::ReadAll(int timeout_ms) {
  Drain(timeout_ms);
  return output_;
}

void ChildProcess::CloseOutput() {
  if (out_ >= 0) close(out_);
  out_ = -1;
}

void ChildProcess::Signal(ProcessSignal signal) {
  if (pid_ > 0) kill(pid_, NumberOf(signal));
}

int ChildProcess::Wait(int timeout_ms) {
  if (pid_ <= 0) return -1;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      exited_ = true;
      return ExitStatus(status);
    }
    if (Clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int ChildProcess::SignalAndWait(ProcessSignal signal, int timeout_ms) {
  Signal(signal);
  return Wait(timeout_ms);
}

std::vector<std::string> ProcessEnvironment() {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry; ++entry) entries.emplace_back(*entry);
  return entries;
}

int RunToEnd(const std::vector<std::string>& argv) {
  pid_t pid = -1;
  const std::vector<char*> args = Pointers(argv);
  if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunShell(const std::string& command, std::string* output,
             const std::vector<std::string>& environment) {
  for (const std::string& entry : environment) {
    const size_t equals = entry.find('=');
    if (equals != std::string::npos)
      setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
  }
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0)
    if (output) output->append(chunk, n);
  const int status = pclose(pipe);
  return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tillgate::testing
