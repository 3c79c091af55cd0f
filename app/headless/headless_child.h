#pragma once
// For tests: the headless program run as a child process with its standard
// error (and standard output) in a pipe, and a scratch shop whose registry
// file points the goods and report folders into it.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace tillgate {

class HeadlessChild {
 public:
  // Runs the program with `args` (after its name), TILLGATE_REGISTRY set to
  // `registry`, TILLGATE_STATE_DIR to the folder "state" beside it (so that
  // no test shares a journal with another) and `extra_env` ("NAME=value";
  // "@PIPE@" stands for PipeId()) added to the environment, started under
  // the name `program_name`.
  HeadlessChild(const std::string& registry, std::vector<std::string> args = {"--headless"},
                std::vector<std::string> extra_env = {},
                const std::string& program_name = "tillgate") {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return;
    struct stat info {};
    fstat(pipe_fds[1], &info);
    pipe_id_ = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    for (std::string& e : extra_env) {
      const size_t at = e.find("@PIPE@");
      if (at != std::string::npos) e.replace(at, 6, pipe_id_);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    std::vector<std::string> env_strings = {"TILLGATE_REGISTRY=" + registry};
    bool own_state = false;
    for (const std::string& e : extra_env) own_state |= e.rfind("TILLGATE_STATE_DIR=", 0) == 0;
    if (!own_state)
      env_strings.push_back("TILLGATE_STATE_DIR=" +
                            std::filesystem::path(registry).parent_path().string() + "/state");
    for (const std::string& e : extra_env) env_strings.push_back(e);
    for (char** e = environ; *e; ++e) {
      const std::string entry(*e);
      const std::string name = entry.substr(0, entry.find('=') + 1);
      bool replaced = name == "TILLGATE_REGISTRY=" || name == "TILLGATE_STATE_DIR=";
      for (const std::string& x : extra_env) replaced = replaced || x.rfind(name, 0) == 0;
      if (!replaced) env_strings.push_back(entry);
    }
    std::vector<char*> env;
    for (auto& s : env_strings) env.push_back(s.data());
    env.push_back(nullptr);
    std::vector<std::string> argv_strings{program_name};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argv_strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, TILLGATE_HEADLESS_BIN, &actions, nullptr, argv.data(), env.data()) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    err_ = pipe_fds[0];
  }
  ~HeadlessChild() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (err_ >= 0) close(err_);
  }
  HeadlessChild(const HeadlessChild&) = delete;
  HeadlessChild& operator=(const HeadlessChild&) = delete;

  bool ok() const { return pid_ > 0; }

  // Collects the output until `text` shows up or `seconds` pass.
  bool WaitFor(const std::string& text, int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (output_.find(text) == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || err_ < 0) return false;
      pollfd pfd{err_, POLLIN, 0};
      if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[512];
      ssize_t n = read(err_, buffer, sizeof buffer);
      if (n <= 0) return output_.find(text) != std::string::npos;
      output_.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }
  // Collects whatever the program writes for `milliseconds`.
  void Drain(int milliseconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (err_ >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return;
      pollfd pfd{err_, POLLIN, 0};
      if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[512];
      ssize_t n = read(err_, buffer, sizeof buffer);
      if (n <= 0) return;
      output_.append(buffer, static_cast<size_t>(n));
    }
  }
  // Everything until the program closes its output.
  const std::string& ReadAll(int seconds) {
    WaitFor(std::string("\x01never\x02"), seconds);
    return output_;
  }
  // Exit status, or -1 when the child does not end within `seconds`.
  int Wait(int seconds) {
    for (int i = 0; i < seconds * 100; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10000);
    }
    return -1;
  }
  void Signal(int number) { kill(pid_, number); }
  // Stops reading the output: the program's next event line meets a pipe
  // without a reader.
  void CloseOutput() {
    close(err_);
    err_ = -1;
  }
  const std::string& Output() const { return output_; }
  // "device:inode" of the pipe the program writes to, as JOURNAL_STREAM
  // would name it.
  const std::string& PipeId() const { return pipe_id_; }

 private:
  pid_t pid_ = -1;
  int err_ = -1;
  std::string pipe_id_;
  std::string output_;
};

// A scratch folder with the registry file; the store's goods and report
// folders point into it (or to `folders` when given), so that runs never
// share report files.
class ScratchShop {
 public:
  explicit ScratchShop(const std::string& equipment, const std::string& folders = "") {
    char dir[] = "/tmp/tillgate-headless-XXXXXX";
    if (mkdtemp(dir) == nullptr) return;
    dir_ = dir;
    registry_ = dir_ + "/HKEY_CURRENT_USER.reg";
    const std::string folder = folders.empty() ? dir_ : folders;
    std::ofstream out(registry_);
    out << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Tillgate]\n\n"
           "[HKEY_CURRENT_USER\\Tillgate\\DataBase]\n"
           "\"InPath\"=\""
        << folder << "\"\n\"OutPath\"=\"" << folder
        << "\"\n\n"
           "[HKEY_CURRENT_USER\\Tillgate\\Equipment]\n"
        << equipment << "\"AvtoStart\"=dword:00000000\n";
  }
  ~ScratchShop() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  const std::string& Registry() const { return registry_; }
  const std::string& Dir() const { return dir_; }

 private:
  std::string dir_;
  std::string registry_;
};

}  // namespace tillgate
