#include "line/event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tillgate {
namespace {

using Clock = std::chrono::steady_clock;

TEST(TEvent, UnsignalledWaitIsADelay) {
  TEvent delay(kDelayEventName, true);
  EXPECT_EQ(delay.Name(), "NNN.Data");
  EXPECT_NE(delay.Handle(), 0u);
  auto start = Clock::now();
  EXPECT_FALSE(delay.WaitFor(20));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(20));
}

TEST(TEvent, SignalEndsAWaitAtOnce) {
  TEvent manual("m", true);
  auto start = Clock::now();
  std::thread signaller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    manual.SetEvent();
  });
  EXPECT_TRUE(manual.WaitFor(10000));
  signaller.join();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(manual.WaitFor(0));  // manual reset: stays signalled
  manual.ResetEvent();
  EXPECT_FALSE(manual.WaitFor(0));

  TEvent automatic("a", false);
  automatic.SetEvent();
  EXPECT_TRUE(automatic.WaitFor(0));
  EXPECT_FALSE(automatic.WaitFor(0));  // consumed by the first wait
}

}  // namespace
}  // namespace tillgate
