// The engine against the register simulator on a pseudo-terminal: a register
// identifies itself, sells by code and closes its document, served by a
// store that records what it was asked. The simulator checks every frame the
// server sends.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "engine/engine.h"
#include "line/event.h"
#include "line/kkm_ekr.h"
#include "store/recording_store.h"

extern char** environ;

namespace tillgate {
namespace {

class Simulator {
 public:
  explicit Simulator(const char* steps) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string send = steps;
    char* args[] = {const_cast<char*>("tillgate-regsim"),
                    const_cast<char*>("--register"),
                    const_cast<char*>("2"),
                    const_cast<char*>("--send"),
                    send.data(),
                    const_cast<char*>("--max-time"),
                    const_cast<char*>("30"),
                    nullptr};
    if (posix_spawn(&pid_, TILLGATE_REGSIM_BIN, &actions, nullptr, args, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
  }
  ~Simulator() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }
  // The device path from the first output line "pty PATH".
  std::string PtyPath() {
    while (output_.find('\n') == std::string::npos && ReadSome(5000)) {
    }
    const std::string prefix = "pty ";
    if (output_.rfind(prefix, 0) != 0) return "";
    return output_.substr(prefix.size(), output_.find('\n') - prefix.size());
  }
  // Exit status once it has ended; -1 while it runs.
  int Exited() {
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_) return -1;
    pid_ = -1;
    while (ReadSome(100)) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  const std::string& Output() const { return output_; }

 private:
  bool ReadSome(int timeout_ms) {
    pollfd pfd{out_, POLLIN, 0};
    if (poll(&pfd, 1, timeout_ms) <= 0) return false;
    char buffer[1024];
    ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) return false;
    output_.append(buffer, static_cast<size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
};

TEST(EngineWithSimulator, IdentifySellAndCloseADocument) {
  Simulator sim("d 1234567 26; p 12345 1000 expect=goods; i expect=o");
  const std::string path = sim.PtyPath();
  ASSERT_FALSE(path.empty()) << sim.Output();

  TEvent delay(kDelayEventName, true);
  RecordingStore store;
  TKkmEkr line(0, "COM1", path);
  ASSERT_TRUE(line.IsOpen()) << line.LastResult().message();
  line.SetDelayEvent(&delay);
  line.SetStore(&store);
  LineRuntimes runtime{};
  EngineParts parts;
  parts.lines[0] = &line;
  parts.connect[0] = 1;
  parts.runtime = &runtime;
  parts.delay = &delay;
  Engine engine(parts);
  StartBoxes boxes{};
  boxes[0] = true;
  ASSERT_TRUE(engine.StartLines(boxes).started.test(0));

  int status = -1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
  while ((status = sim.Exited()) < 0 && std::chrono::steady_clock::now() < deadline)
    engine.Timer1Timer();
  EXPECT_EQ(status, 0) << sim.Output();
  EXPECT_NE(sim.Output().find("net=2 got command a"), std::string::npos) << sim.Output();
  EXPECT_NE(sim.Output().find("net=2 got command !"), std::string::npos);
  EXPECT_NE(sim.Output().find("net=2 got goods"), std::string::npos);
  EXPECT_NE(sim.Output().find("net=2 got command o"), std::string::npos);
  EXPECT_NE(sim.Output().find("malformed=0 unanswered=0 mismatched=0"), std::string::npos);
  std::vector<std::string> transactions;
  for (const std::string& call : store.Calls())
    if (call != "fill" && call != "report" && call != "goods") transactions.push_back(call);
  EXPECT_EQ(transactions, (std::vector<std::string>{"identify 1234567", "serve 12345", "close 2"}));
  EXPECT_NE(sim.Output().find("amount=12345"), std::string::npos) << sim.Output();
  EXPECT_TRUE(line.Slot(1).present);
  EXPECT_FALSE(line.Slot(0).present);  // register 1 is not simulated
}

}  // namespace
}  // namespace tillgate
