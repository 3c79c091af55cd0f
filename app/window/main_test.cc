// The program itself: no display, --headless, and a stop signal.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/window/window_test_support.h"
#include "platform/posix/child_process.h"

namespace tillgate::testing {
namespace {

std::string Program() {
  const char* dir = std::getenv("TILLGATE_BINARY_DIR");
  return std::string(dir ? dir : ".") + "/app/window/tillgate";
}

// Everything the program reads, and nothing of the caller's display.
std::vector<std::string> Environment(const std::string& registry, bool offscreen) {
  std::vector<std::string> env{"PATH=/usr/bin:/bin", "HOME=/nonexistent",
                               "TILLGATE_REGISTRY=" + registry};
  if (offscreen) env.push_back("QT_QPA_PLATFORM=offscreen");
  return env;
}

// Reads its output until a line containing `wanted` or the output ends.
bool SaysSomething(ChildProcess& program, const std::string& wanted) {
  for (int line = 0; line < 20; ++line) {
    const std::string text = program.ReadLine(5000);
    if (text.find(wanted) != std::string::npos) return true;
    if (text.empty()) return false;
  }
  return false;
}

TEST(Program, WithoutDisplayExplainsHowToRunInstead) {
  ScratchDir dir;
  const auto env = Environment(dir.File("r.reg"), /*offscreen=*/false);
  ChildProcess program({Program()}, &env);
  EXPECT_TRUE(SaysSomething(program, "no display"));
  EXPECT_EQ(program.Wait(5000), 2);
}

TEST(Program, HeadlessFlagRunsWithoutWindow) {
  ScratchDir dir;
  const auto env = Environment(dir.File("r.reg"), /*offscreen=*/false);
  ChildProcess program({Program(), "--headless"}, &env);
  EXPECT_TRUE(SaysSomething(program, "not installed"));
  // Its stop handling is set up right after that line.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(program.SignalAndWait(ProcessSignal::kTerminate, 5000), 0);
}

TEST(Program, UnreadableSettingsFileIsReportedAndKeptAsItIs) {
  ScratchDir dir;
  const std::string registry = dir.File("r.reg");
  const std::string broken =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Tillgate\n";
  WriteFile(registry, broken);
  const auto env = Environment(registry, /*offscreen=*/true);
  ChildProcess program({Program()}, &env);
  // The message box waits for the operator; the same text is on stderr.
  EXPECT_TRUE(SaysSomething(program, "line 3"));
  EXPECT_EQ(ReadFile(registry), broken);
}

TEST(Program, StopSignalClosesTheWindowWithoutSaving) {
  ScratchDir dir;
  ScratchDir folder;
  const std::string registry = dir.File("r.reg");
  const std::string stored = InstalledRegistry(folder.path());
  WriteFile(registry, stored);
  const auto env = Environment(registry, /*offscreen=*/true);
  ChildProcess program({Program()}, &env);
  // Time to build the window and take over the stop requests.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(program.SignalAndWait(ProcessSignal::kTerminate, 5000), 0);
  EXPECT_EQ(ReadFile(registry), stored);
}

}  // namespace
}  // namespace tillgate::testing
