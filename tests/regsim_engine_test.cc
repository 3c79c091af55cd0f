// The engine against the register simulator on a pseudo-terminal: a register
// identifies itself, sells by code and closes its document, served by a
// store that records what it was asked. The simulator checks every frame the
// server sends.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "engine/engine.h"
#include "line/event.h"
#include "line/kkm_ekr.h"
#include "platform/platform.h"
#include "platform/posix/child_process.h"
#include "store/recording_store.h"

namespace tillgate {
namespace {

// The simulator with one register that sends `steps`, for 30 s at most.
class Simulator {
 public:
  explicit Simulator(const char* steps)
      : child_({"tillgate-regsim", "--register", "2", "--send", steps, "--max-time", "30"}, nullptr,
               TILLGATE_REGSIM_BIN) {}
  // The device path from the first output line "pty PATH".
  std::string PtyPath() {
    const std::string first = child_.ReadLine(5000);
    const std::string prefix = "pty ";
    if (first.rfind(prefix, 0) != 0) return "";
    return first.substr(prefix.size());
  }
  // Exit status once it has ended, with all it wrote read; -1 while it runs.
  int Exited() {
    const int status = child_.Wait(0);
    if (status >= 0) child_.Drain(1000);
    return status;
  }
  const std::string& Output() const { return child_.Output(); }

 private:
  testing::ChildProcess child_;
};

TEST(EngineWithSimulator, IdentifySellAndCloseADocument) {
  Simulator sim("d 1234567 26; p 12345 1000 expect=goods; i expect=o");
  const std::string path = sim.PtyPath();
  ASSERT_FALSE(path.empty()) << sim.Output();

  TEvent delay(kDelayEventName, true);
  RecordingStore store;
  TKkmEkr line(0, "COM1", path, NewSystemSerialDevice());
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
