#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/control_requests.h"

namespace tillgate {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using Kind = ControlRequest::Kind;

bool Blocked(int signal_number) {
  sigset_t now;
  pthread_sigmask(SIG_BLOCK, nullptr, &now);
  return sigismember(&now, signal_number) == 1;
}

TEST(ControlRequests, SignalsFromOutsideBecomeNamedRequests) {
  auto requests = ListenForControlRequests();
  // At the process, as kill(1) and the service manager send them, and at
  // this thread.
  ASSERT_EQ(kill(getpid(), SIGHUP), 0);
  ControlRequest request = requests->Wait(std::chrono::seconds(5));
  EXPECT_EQ(request.kind, Kind::kStart);
  EXPECT_EQ(request.name, "SIGHUP");
  ASSERT_EQ(raise(SIGTERM), 0);
  request = requests->Wait(std::chrono::seconds(5));
  EXPECT_EQ(request.kind, Kind::kStop);
  EXPECT_EQ(request.name, "SIGTERM");
  ASSERT_EQ(kill(getpid(), SIGINT), 0);
  request = requests->Wait(std::chrono::seconds(5));
  EXPECT_EQ(request.kind, Kind::kStop);
  EXPECT_EQ(request.name, "SIGINT");
  // Nothing more came: the wait runs to its end.
  const Clock::time_point began = Clock::now();
  EXPECT_EQ(requests->Wait(milliseconds(200)).kind, Kind::kNone);
  EXPECT_GE(Clock::now() - began, milliseconds(200));
}

TEST(ControlRequests, APostWakesAWaitAtOnce) {
  auto requests = ListenForControlRequests();
  std::thread poster([&] {
    std::this_thread::sleep_for(milliseconds(100));
    requests->Post({Kind::kStop, "window closed"});
  });
  const Clock::time_point began = Clock::now();
  const ControlRequest request = requests->Wait(std::chrono::seconds(20));
  poster.join();
  EXPECT_LT(Clock::now() - began, std::chrono::seconds(5));
  EXPECT_EQ(request.kind, Kind::kStop);
  EXPECT_EQ(request.name, "window closed");
  // One posted before the wait is not lost either, and they come in order.
  requests->Post({Kind::kStart, "first"});
  requests->Post({Kind::kStop, "second"});
  EXPECT_EQ(requests->Wait(milliseconds(0)).name, "first");
  EXPECT_EQ(requests->Wait(milliseconds(0)).name, "second");
}

TEST(ControlRequests, SignalsAreHeldOnlyWhileListenedFor) {
  EXPECT_FALSE(Blocked(SIGTERM));
  {
    auto requests = ListenForControlRequests();
    EXPECT_TRUE(Blocked(SIGINT));
    EXPECT_TRUE(Blocked(SIGTERM));
    EXPECT_TRUE(Blocked(SIGHUP));
    // A thread started afterwards never takes them either.
    bool blocked_there = false;
    std::thread([&] { blocked_there = Blocked(SIGTERM) && Blocked(SIGHUP); }).join();
    EXPECT_TRUE(blocked_there);
  }
  EXPECT_FALSE(Blocked(SIGTERM));
  EXPECT_FALSE(Blocked(SIGHUP));
}

TEST(ControlRequests, AGoneReaderIsAnErrorNotTheEnd) {
  IgnoreBrokenPipes();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  EXPECT_EQ(write(fds[1], "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  close(fds[1]);
}

}  // namespace
}  // namespace tillgate
