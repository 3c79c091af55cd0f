#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/platform.h"
#include "platform/posix/pty_pair.h"
#include "platform/serial_device.h"
#include "serial/comm_port.h"

namespace tillgate {
namespace {

TEST(PosixSerialDevice, SecondOpenerFailsUntilTheFirstLetsGo) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  auto first = std::make_unique<TCommPort>(NewSystemSerialDevice());
  ASSERT_TRUE(first->OpenAndConfigure(pty.SlavePath())) << first->LastResult().message();
  TCommPort second(NewSystemSerialDevice());
  EXPECT_FALSE(second.OpenAndConfigure(pty.SlavePath()));
  EXPECT_EQ(second.LastResult().code(), Status::kBusy) << second.LastResult().message();
  first.reset();
  TCommPort third(NewSystemSerialDevice());
  EXPECT_TRUE(third.OpenAndConfigure(pty.SlavePath())) << third.LastResult().message();
}

TEST(PosixSerialDevice, ConfiguresRawLineAndCarriesBytesBothWays) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  auto device = NewSystemSerialDevice();
  ASSERT_TRUE(device->Open(pty.SlavePath()).ok());
  LineSettings wanted;
  ASSERT_TRUE(device->SetLineSettings(wanted).ok());
  LineSettings now;
  ASSERT_TRUE(device->GetLineSettings(&now).ok());
  EXPECT_EQ(now.baud_rate, 9600u);
  EXPECT_EQ(now.data_bits, 8);
  EXPECT_EQ(now.parity, Parity::kNone);
  EXPECT_EQ(now.stop_bits, 1);
  EXPECT_FALSE(now.hardware_flow);
  EXPECT_FALSE(now.software_flow);

  // Raw: CR, LF, XON/XOFF and 0xFF pass unchanged in both directions.
  const std::vector<uint8_t> bytes = {0x0D, 0x0A, 0x11, 0x13, 0xFF, 0x00, 0x03};
  size_t written = 0;
  ASSERT_TRUE(device->Write(bytes.data(), bytes.size(), WriteTimeouts{}, &written).ok());
  EXPECT_EQ(pty.Receive(bytes.size(), 500), bytes);
  ASSERT_TRUE(pty.Send(bytes));
  uint8_t buffer[20];
  size_t got = 0;
  ASSERT_TRUE(device->Read(buffer, 20, ReadTimeouts{}, &got).ok());
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + got), bytes);
}

TEST(PosixSerialDevice, FlushDropsWhatIsWaitingAndKeepsItForShowing) {
  auto owned = std::make_unique<PtyPair>();
  PtyPair& pty = *owned;
  ASSERT_TRUE(pty.ok());
  auto device = NewSystemSerialDevice();
  ASSERT_TRUE(device->Open(pty.SlavePath()).ok());
  ASSERT_TRUE(device->SetLineSettings(LineSettings{}).ok());
  ASSERT_TRUE(pty.Send({0x0B, 0x30, 0x05, 0x00, 0x66, 0x71, 0x72}));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let them arrive
  uint8_t kept[4];
  size_t count = 0;
  ASSERT_TRUE(device->FlushInput(kept, sizeof kept, &count).ok());
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(kept[0], 0x0B);
  // Nothing of them is left to read; what comes afterwards is.
  ASSERT_TRUE(pty.Send({0x42}));
  uint8_t buffer[20];
  size_t got = 0;
  ASSERT_TRUE(device->Read(buffer, 20, ReadTimeouts{}, &got).ok());
  ASSERT_EQ(got, 1u);
  EXPECT_EQ(buffer[0], 0x42);
  // The far end closes: a flush finds the line hung up.
  owned.reset();
  EXPECT_EQ(device->FlushInput(kept, sizeof kept, &count).code(), Status::kHangUp);
}

TEST(PosixSerialDevice, FailuresAreResultsNamingTheReason) {
  TCommPort missing(NewSystemSerialDevice());
  EXPECT_FALSE(missing.OpenAndConfigure("/dev/tillgate-no-such-device"));
  EXPECT_NE(missing.LastResult().message().find("No such file"), std::string::npos);

  // Not a terminal: it opens, but the line settings cannot be read.
  TCommPort not_a_tty(NewSystemSerialDevice());
  EXPECT_FALSE(not_a_tty.OpenAndConfigure("/dev/null"));
  EXPECT_FALSE(not_a_tty.IsOpen());

  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  TCommPort port(NewSystemSerialDevice());
  ASSERT_TRUE(port.OpenAndConfigure(pty.SlavePath()));
  // A pseudo-terminal has no modem lines.
  EXPECT_FALSE(port.SetDtr(true));
  EXPECT_EQ(port.LastResult().code(), Status::kNotSupported);
  EXPECT_TRUE(port.IsOpen());

  auto device = NewSystemSerialDevice();
  EXPECT_EQ(device->Close().code(), Status::kNotOpen);
  size_t got = 1;
  uint8_t byte;
  EXPECT_EQ(device->Read(&byte, 1, ReadTimeouts{}, &got).code(), Status::kNotOpen);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(device->SetDtr(true).code(), Status::kNotOpen);
}

}  // namespace
}  // namespace tillgate
