// The headless program run as a child process against a registry file and a
// pseudo-terminal with registers on it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/headless/stderr_sink.h"
#include "line/register_peer.h"

extern char** environ;

namespace tillgate {
namespace {

class Child {
 public:
  explicit Child(const std::string& registry) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    std::vector<std::string> env_strings = {"TILLGATE_REGISTRY=" + registry};
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("TILLGATE_REGISTRY=", 0) != 0) env_strings.emplace_back(*e);
    std::vector<char*> env;
    for (auto& s : env_strings) env.push_back(s.data());
    env.push_back(nullptr);
    char arg0[] = "tillgate";
    char arg1[] = "--headless";
    char* args[] = {arg0, arg1, nullptr};
    if (posix_spawn(&pid_, TILLGATE_HEADLESS_BIN, &actions, nullptr, args, env.data()) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    err_ = pipe_fds[0];
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (err_ >= 0) close(err_);
  }
  bool ok() const { return pid_ > 0; }

  // Collects standard error until `text` shows up or `seconds` pass.
  bool WaitFor(const std::string& text, int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (output_.find(text) == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd pfd{err_, POLLIN, 0};
      if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[512];
      ssize_t n = read(err_, buffer, sizeof buffer);
      if (n <= 0) return output_.find(text) != std::string::npos;
      output_.append(buffer, static_cast<size_t>(n));
    }
    return true;
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
  // Stops reading standard error: the program's next event line meets a
  // pipe without a reader.
  void CloseOutput() {
    close(err_);
    err_ = -1;
  }
  const std::string& Output() const { return output_; }

 private:
  pid_t pid_ = -1;
  int err_ = -1;
  std::string output_;
};

// A scratch folder with the registry file; the store's goods and report
// folders point into it, so that runs never share report files.
class Scratch {
 public:
  explicit Scratch(const std::string& equipment) {
    char dir[] = "/tmp/tillgate-headless-XXXXXX";
    if (mkdtemp(dir) == nullptr) return;
    dir_ = dir;
    registry_ = dir_ + "/HKEY_CURRENT_USER.reg";
    std::ofstream out(registry_);
    out << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Tillgate]\n\n"
           "[HKEY_CURRENT_USER\\Tillgate\\DataBase]\n"
           "\"InPath\"=\""
        << dir_ << "\"\n\"OutPath\"=\"" << dir_
        << "\"\n\n"
           "[HKEY_CURRENT_USER\\Tillgate\\Equipment]\n"
        << equipment << "\"AvtoStart\"=dword:00000000\n";
  }
  ~Scratch() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  const std::string& Registry() const { return registry_; }
  const std::string& Dir() const { return dir_; }

 private:
  std::string dir_;
  std::string registry_;
};

TEST(Headless, ServesTheStoredSelectionAndStopsCleanly) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  peer.SetAnswering({2});
  Scratch scratch("\"COM1\"=hex:01,01,01\n\"DEVICE1\"=\"" + peer.DevicePath() +
                  "\"\n\"COM2\"=hex:01,01,03\n\"DEVICE2\"=\"/dev/tillgate-none\"\n");
  Child child(scratch.Registry());
  ASSERT_TRUE(child.ok());
  EXPECT_TRUE(child.WaitFor("register 2 answered the start command", 20)) << child.Output();
  EXPECT_TRUE(child.WaitFor("COM2 (/dev/tillgate-none): port failed to open: ", 1))
      << child.Output();
  EXPECT_TRUE(child.WaitFor("start: polling COM1, COM2", 1)) << child.Output();
  // Register 2 stays in the rotation and gets poll bytes.
  for (int i = 0; i < 200 && peer.Served().size() < 13; ++i) usleep(20000);
  EXPECT_GE(peer.Served().size(), 13u);
  child.Signal(SIGTERM);
  EXPECT_EQ(child.Wait(10), 0);
  EXPECT_TRUE(child.WaitFor("stopped", 1)) << child.Output();
  EXPECT_TRUE(std::filesystem::exists(scratch.Dir() + "/otchet.dbf"));
}

TEST(Headless, AGoneReaderOfItsEventLinesDoesNotStopTheServer) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  peer.SetAnswering({3});
  Scratch scratch("\"COM1\"=hex:01,01,01\n\"DEVICE1\"=\"" + peer.DevicePath() + "\"\n");
  Child child(scratch.Registry());
  ASSERT_TRUE(child.ok());
  child.CloseOutput();
  // Register 3 answers the start command (an event line) and is polled on.
  for (int i = 0; i < 300 && peer.Served().size() < 13; ++i) usleep(20000);
  EXPECT_GE(peer.Served().size(), 13u);
  child.Signal(SIGTERM);
  EXPECT_EQ(child.Wait(10), 0);
}

TEST(Headless, ASettingsFailureIsShownAndEndsTheProgram) {
  Scratch scratch("\"COM3\"=\"text\"\n");
  Child child(scratch.Registry());
  ASSERT_TRUE(child.ok());
  EXPECT_EQ(child.Wait(10), 1);
  EXPECT_TRUE(child.WaitFor("Invalid data type for 'COM3'", 1)) << child.Output();
}

TEST(StderrSink, EveryEventIsOneStampedLine) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  StderrSink sink(out);
  Report(&sink, "COM1: register 2 answered\nforged line\r");
  std::rewind(out);
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
  std::string text(line);
  EXPECT_NE(text.find(" tillgate: COM1: register 2 answered forged line \n"), std::string::npos)
      << text;
  EXPECT_EQ(text[4], '-');  // a date first
  EXPECT_EQ(std::fgets(line, sizeof line, out), nullptr);
  std::fclose(out);
}

}  // namespace
}  // namespace tillgate
