#include "serial/comm_port.h"

#include <gtest/gtest.h>

#include "platform/fake_serial_device.h"

namespace tillgate {
namespace {

using Op = FakeSerialDevice::Op;
using Calls = std::vector<std::string>;

struct FakePort {
  FakePort() {
    auto owned = std::make_unique<FakeSerialDevice>();
    fake = owned.get();
    port = std::make_unique<TCommPort>(std::move(owned));
  }
  FakeSerialDevice* fake;  // owned by the port
  std::unique_ptr<TCommPort> port;
};

TEST(TCommPort, ConfigureGivesTheDeviceExactlyTheLineSettings) {
  FakePort f;
  EXPECT_FALSE(f.fake->IsOpen());  // construction touches no device
  EXPECT_TRUE(f.fake->Calls().empty());
  ASSERT_TRUE(f.port->OpenAndConfigure("/dev/ttyS3"));
  EXPECT_EQ(f.fake->Calls(), (Calls{"open /dev/ttyS3", "get", "set"}));
  // Whatever the device reported (7E2, handshakes on), it now runs 9600 8N1.
  LineSettings expected;
  EXPECT_EQ(f.fake->Line(), expected);
  EXPECT_EQ(expected.baud_rate, 9600u);
  EXPECT_EQ(expected.data_bits, 8);
  EXPECT_EQ(expected.stop_bits, 1);
  EXPECT_FALSE(expected.hardware_flow || expected.software_flow);
  EXPECT_EQ(f.port->DeviceTimeouts().read.interval_ms, 100u);
  EXPECT_EQ(TotalReadMs(f.port->DeviceTimeouts().read, 20), 84u);
  EXPECT_EQ(TotalWriteMs(f.port->DeviceTimeouts().write, 6), 15u);
}

TEST(TCommPort, FailedOpenLeavesThePortClosedForGood) {
  FakePort f;
  f.fake->Fail(Op::kOpen, Status(Status::kBusy, "held by another program"));
  EXPECT_FALSE(f.port->OpenAndConfigure("/dev/ttyS0"));
  EXPECT_EQ(f.port->LastResult().code(), Status::kBusy);
  f.fake->ClearCalls();
  uint8_t buffer[20] = {1};
  EXPECT_FALSE(f.port->Configure());
  EXPECT_EQ(f.port->Read(buffer, 20), 0u);
  EXPECT_EQ(f.port->Write(buffer, 1), 0u);
  EXPECT_FALSE(f.port->SetDtr(true));
  EXPECT_TRUE(f.fake->Calls().empty()) << "a closed port must not reach the device";
}

TEST(TCommPort, FailedConfigureClosesThePortAtEitherStep) {
  for (Op failing : {Op::kGetLineSettings, Op::kSetLineSettings}) {
    FakePort f;
    f.fake->Fail(failing, Status(Status::kError, "refused"));
    ASSERT_TRUE(f.port->Open("/dev/ttyS1"));
    EXPECT_FALSE(f.port->Configure());
    EXPECT_FALSE(f.port->IsOpen());
    EXPECT_FALSE(f.fake->IsOpen());
    EXPECT_EQ(f.fake->Calls().back(), "close");
    f.fake->ClearCalls();
    uint8_t byte = 0x11;
    EXPECT_EQ(f.port->Write(&byte, 1), 0u);
    EXPECT_EQ(f.port->Read(&byte, 1), 0u);
    EXPECT_FALSE(f.port->Configure());
    EXPECT_TRUE(f.fake->Calls().empty());
  }
}

TEST(TCommPort, ReadAndWriteFailuresReturnZeroAndClearTheDevice) {
  FakePort f;
  ASSERT_TRUE(f.port->OpenAndConfigure("/dev/ttyS1"));
  f.fake->QueueRead({1, 2, 3});
  uint8_t buffer[20];
  EXPECT_EQ(f.port->Read(buffer, 20), 3u);
  EXPECT_EQ(f.port->BytesRead(), 3u);

  f.fake->ClearCalls();
  f.fake->Fail(Op::kRead, Status(Status::kError, "framing"));
  EXPECT_EQ(f.port->Read(buffer, 20), 0u);
  EXPECT_EQ(f.fake->Calls(), (Calls{"read 20", "clear"}));
  EXPECT_TRUE(f.port->IsOpen());  // a read failure does not close the port

  f.fake->ClearCalls();
  f.fake->Fail(Op::kWrite, Status(Status::kError, "overrun"));
  const uint8_t frame[2] = {0xAB, 0xCD};
  EXPECT_EQ(f.port->Write(frame, 2), 0u);
  EXPECT_EQ(f.fake->Calls(), (Calls{"clear", "write AB CD", "clear"}));

  // When clearing fails, nothing is written at all.
  f.fake->ClearCalls();
  f.fake->Succeed(Op::kWrite);
  f.fake->Fail(Op::kClearErrors, Status(Status::kError, "gone"));
  EXPECT_EQ(f.port->Write(frame, 2), 0u);
  EXPECT_EQ(f.fake->Calls(), (Calls{"clear"}));
}

TEST(TCommPort, FlushDropsWhatIsWaitingAndShowsIt) {
  FakePort f;
  uint8_t kept[8] = {};
  size_t count = 99;
  EXPECT_FALSE(f.port->FlushInput(kept, sizeof kept, &count));  // not open: no device call
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(f.fake->Calls().empty());

  ASSERT_TRUE(f.port->OpenAndConfigure("/dev/ttyS1"));
  f.fake->QueueWaiting({0xEE, 0x02, 0x30});
  f.fake->QueueRead({1, 2, 3});
  EXPECT_TRUE(f.port->FlushInput(kept, 2, &count));
  EXPECT_EQ(count, 2u);  // only as many as there is room for are shown ...
  EXPECT_EQ(kept[1], 0x02);
  uint8_t buffer[20];
  EXPECT_EQ(f.port->Read(buffer, 20), 3u);  // ... and none is read afterwards
  EXPECT_EQ(buffer[0], 1);

  f.fake->Fail(Op::kFlushInput, Status(Status::kError, "tcflush: EIO"));
  EXPECT_FALSE(f.port->FlushInput());
  EXPECT_EQ(f.port->TakeIoFailure().message(), "tcflush: EIO");
  EXPECT_TRUE(f.port->IsOpen());
}

TEST(TCommPort, ReadUntilStopsWhereTheTargetSays) {
  FakePort f;
  ASSERT_TRUE(f.port->OpenAndConfigure("/dev/ttyS1"));
  f.fake->QueueRead({1, 2, 3, 4, 5, 6, 7, 8, 9});
  uint8_t buffer[20] = {};
  // The target depends on what came: here byte 0 says how many.
  f.fake->QueueRead({4, 0, 0, 0, 9});
  const ReadTarget six = [](const uint8_t*, size_t) { return size_t{6}; };
  EXPECT_EQ(f.port->ReadUntil(buffer, 20, six), 6u);
  EXPECT_EQ(f.port->ReadUntil(buffer, 2, six), 2u);  // the count still bounds it
  EXPECT_EQ(buffer[1], 8);
  EXPECT_EQ(f.port->Read(buffer, 20), 1u);
  const ReadTarget by_first = [](const uint8_t* bytes, size_t got) {
    return got == 0 ? size_t{1} : size_t{bytes[0]};
  };
  EXPECT_EQ(f.port->ReadUntil(buffer, 20, by_first), 4u);
  EXPECT_EQ(f.fake->Calls().back(), "read 20 until");
}

TEST(TCommPort, TransferFailuresAreKeptOnceAndAHangUpClosesThePort) {
  FakePort f;
  ASSERT_TRUE(f.port->OpenAndConfigure("/dev/ttyUSB0"));
  uint8_t buffer[20];
  EXPECT_TRUE(f.port->TakeIoFailure().ok());
  f.fake->Fail(Op::kWrite, Status(Status::kError, "write: No space"));
  EXPECT_EQ(f.port->Write(buffer, 1), 0u);
  f.fake->Fail(Op::kRead, Status(Status::kError, "read: EIO"));
  EXPECT_EQ(f.port->Read(buffer, 20), 0u);
  EXPECT_EQ(f.port->TakeIoFailure().message(), "write: No space");  // the first one
  EXPECT_TRUE(f.port->TakeIoFailure().ok());
  EXPECT_TRUE(f.port->IsOpen());

  f.fake->ClearCalls();
  f.fake->Fail(Op::kRead, Status(Status::kHangUp, "read: line hung up"));
  EXPECT_EQ(f.port->Read(buffer, 20), 0u);
  EXPECT_EQ(f.fake->Calls(), (Calls{"read 20", "clear", "close"}));
  EXPECT_FALSE(f.port->IsOpen());
  EXPECT_EQ(f.port->TakeIoFailure().code(), Status::kHangUp);
  // Closed: later calls fail without reaching the device, and are no new
  // failure of the line.
  f.fake->ClearCalls();
  EXPECT_EQ(f.port->Write(buffer, 1), 0u);
  EXPECT_FALSE(f.port->FlushInput());
  EXPECT_TRUE(f.fake->Calls().empty());
  EXPECT_TRUE(f.port->TakeIoFailure().ok());
  // It can be opened again.
  f.fake->Succeed(Op::kRead);
  ASSERT_TRUE(f.port->OpenAndConfigure("/dev/ttyUSB0"));
  f.fake->QueueRead({7});
  EXPECT_EQ(f.port->Read(buffer, 20), 1u);

  // A device that went away may say so when its errors are cleared, before
  // a write: the same hang-up, the port closed.
  f.fake->ClearCalls();
  f.fake->Fail(Op::kClearErrors, Status(Status::kHangUp, "ClearCommError: line hung up"));
  EXPECT_EQ(f.port->Write(buffer, 1), 0u);
  EXPECT_EQ(f.fake->Calls(), (Calls{"clear", "close"}));
  EXPECT_FALSE(f.port->IsOpen());
  EXPECT_EQ(f.port->TakeIoFailure().code(), Status::kHangUp);
}

TEST(TCommPort, ReopeningClosesTheHeldDeviceFirst) {
  FakePort f;
  ASSERT_TRUE(f.port->Open("/dev/ttyS1"));
  ASSERT_TRUE(f.port->Open("/dev/ttyS2"));
  EXPECT_EQ(f.fake->Calls(), (Calls{"open /dev/ttyS1", "close", "open /dev/ttyS2"}));
  // A failing close still releases the descriptor: the port is closed.
  f.fake->Fail(Op::kClose, Status(Status::kError, "EIO"));
  EXPECT_FALSE(f.port->Open("/dev/ttyS3"));
  EXPECT_FALSE(f.port->IsOpen());
}

TEST(TCommPort, DtrWithoutModemLinesIsOnlyAResult) {
  FakePort f;
  ASSERT_TRUE(f.port->OpenAndConfigure("/dev/pts/9"));
  EXPECT_TRUE(f.port->SetDtr(true));
  f.fake->Fail(Op::kSetDtr, Status(Status::kNotSupported, "no DTR"));
  EXPECT_FALSE(f.port->SetDtr(false));
  EXPECT_EQ(f.port->LastResult().code(), Status::kNotSupported);
  EXPECT_TRUE(f.port->IsOpen());
}

}  // namespace
}  // namespace tillgate
