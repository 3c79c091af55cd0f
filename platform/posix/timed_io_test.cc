#include "platform/posix/timed_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/posix/pty_pair.h"

namespace tillgate {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Bounds are tolerant: a loaded machine may wake late, never early.
class TimedReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    fd_ = open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    if (fd_ >= 0) close(fd_);
  }
  PtyPair pty_;
  int fd_ = -1;
  ReadTimeouts timeouts_;  // 100 ms interval, 4 ms per byte + 4 ms
};

TEST_F(TimedReadTest, NothingArrivingEndsAtTheTotalDeadline) {
  uint8_t buffer[20];
  size_t got = 99;
  auto start = Clock::now();
  Status result = TimedRead(fd_, buffer, 20, timeouts_, &got);
  double ms = MsSince(start);
  EXPECT_TRUE(result.ok()) << result.message();
  EXPECT_EQ(got, 0u);
  EXPECT_GE(ms, 83.0);
  EXPECT_LT(ms, 84.0 + 250.0);
}

TEST_F(TimedReadTest, ShortAnswerEndsByTheEarlierDeadline) {
  // 7 bytes then silence: the total deadline (84 ms) comes before the
  // interval one (100 ms after the bytes).
  ASSERT_TRUE(pty_.Send({1, 2, 3, 4, 5, 6, 7}));
  uint8_t buffer[20];
  size_t got = 0;
  auto start = Clock::now();
  ASSERT_TRUE(TimedRead(fd_, buffer, 20, timeouts_, &got).ok());
  double ms = MsSince(start);
  EXPECT_EQ(got, 7u);
  EXPECT_EQ(buffer[6], 7);
  EXPECT_GE(ms, 83.0);
  EXPECT_LT(ms, 164.0);
}

TEST_F(TimedReadTest, SilenceAfterAByteEndsAtTheIntervalDeadline) {
  // A 100-byte read may last 404 ms; 100 ms of silence after the last byte
  // ends it much earlier.
  uint8_t buffer[100];
  size_t got = 0;
  std::thread peer([&] {
    pty_.Send({1, 2, 3});
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pty_.Send({4, 5});
  });
  auto start = Clock::now();
  Status result = TimedRead(fd_, buffer, 100, timeouts_, &got);
  double ms = MsSince(start);
  peer.join();
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(got, 5u);
  EXPECT_GE(ms, 129.0);  // 30 ms to the last byte + 100 ms of silence
  EXPECT_LT(ms, 330.0);
}

TEST_F(TimedReadTest, FullCountReturnsAtOnceAndLeavesTheRest) {
  ASSERT_TRUE(pty_.Send({9, 8, 7, 6, 5}));
  uint8_t buffer[3];
  size_t got = 0;
  auto start = Clock::now();
  ASSERT_TRUE(TimedRead(fd_, buffer, 3, timeouts_, &got).ok());
  EXPECT_LT(MsSince(start), 15.0 + 50.0);
  ASSERT_EQ(got, 3u);
  EXPECT_EQ(buffer[2], 7);
  ASSERT_TRUE(TimedRead(fd_, buffer, 3, timeouts_, &got).ok());
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(buffer[0], 6);
}

TEST_F(TimedReadTest, SignalsNeitherShortenNorBreakARead) {
  // A handler without SA_RESTART: every signal interrupts the wait.
  struct sigaction action {};
  action.sa_handler = [](int) {};
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
  const pthread_t reader = pthread_self();
  std::atomic<bool> done{false};
  std::thread pester([&] {
    for (int i = 0; !done; ++i) {
      pthread_kill(reader, SIGUSR1);
      if (i == 6) pty_.Send({1, 2, 3});
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  uint8_t buffer[20];
  size_t got = 0;
  auto start = Clock::now();
  Status result = TimedRead(fd_, buffer, 20, timeouts_, &got);
  double ms = MsSince(start);
  done = true;
  pester.join();
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_TRUE(result.ok()) << result.message();
  EXPECT_EQ(got, 3u);
  EXPECT_GE(ms, 83.0);  // the total deadline, not the first interruption
  EXPECT_LT(ms, 84.0 + 250.0);
}

TEST(TimedIo, HangUpAndBadDescriptorFailPromptly) {
  uint8_t buffer[20];
  size_t got = 0;
  {
    auto pty = std::make_unique<PtyPair>();
    ASSERT_TRUE(pty->ok());
    int fd = open(pty->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    pty.reset();  // the master closes: the line hangs up
    auto start = Clock::now();
    Status result = TimedRead(fd, buffer, 20, ReadTimeouts{}, &got);
    EXPECT_EQ(result.code(), Status::kHangUp) << result.message();
    EXPECT_LT(MsSince(start), 60.0);
    size_t written = 0;
    EXPECT_EQ(TimedWrite(fd, buffer, 1, WriteTimeouts{}, &written).code(), Status::kHangUp);
    close(fd);
  }
  EXPECT_FALSE(TimedRead(-1, buffer, 20, ReadTimeouts{}, &got).ok());
  size_t written = 0;
  EXPECT_FALSE(TimedWrite(-1, buffer, 1, WriteTimeouts{}, &written).ok());
  EXPECT_EQ(written, 0u);
}

TEST_F(TimedReadTest, ATargetEndsTheReadAsSoonAsItIsMet) {
  // The bytes asked for by the first four: a frame of 6 followed by the
  // start of another, which must stay for the next read.
  const ReadTarget frame = [](const uint8_t* bytes, size_t got) {
    return got < 3 ? size_t{3} : size_t{3} + bytes[2];
  };
  ASSERT_TRUE(pty_.Send({2, 0x30, 3, 0, 0x66, 0x9A, 3, 0x30}));
  uint8_t buffer[20];
  size_t got = 0;
  auto start = Clock::now();
  ASSERT_TRUE(TimedRead(fd_, buffer, 20, timeouts_, &got, frame).ok());
  EXPECT_LT(MsSince(start), 60.0);  // not the 84 ms of the count
  EXPECT_EQ(got, 6u);
  ASSERT_TRUE(TimedRead(fd_, buffer, 20, timeouts_, &got).ok());
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(buffer[0], 3);

  // A frame that stays short still ends at the time-outs.
  ASSERT_TRUE(pty_.Send({2, 0x30, 9, 0}));
  start = Clock::now();
  ASSERT_TRUE(TimedRead(fd_, buffer, 20, timeouts_, &got, frame).ok());
  EXPECT_EQ(got, 4u);
  EXPECT_GE(MsSince(start), 83.0);
}

TEST_F(TimedReadTest, WriteDeliversEveryByte) {
  const uint8_t frame[6] = {0x0A, 0x30, 0x03, 0x00, 0x61, 0x9F};
  size_t written = 0;
  ASSERT_TRUE(TimedWrite(fd_, frame, 6, WriteTimeouts{}, &written).ok());
  EXPECT_EQ(written, 6u);
  EXPECT_EQ(pty_.Receive(6, 200), std::vector<uint8_t>(frame, frame + 6));
}

}  // namespace
}  // namespace tillgate
