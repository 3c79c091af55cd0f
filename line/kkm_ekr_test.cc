#include "line/kkm_ekr.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "config/event_collector.h"
#include "line/event.h"
#include "serial/fake_serial_device.h"

namespace tillgate {
namespace {

using Op = FakeSerialDevice::Op;
using Calls = std::vector<std::string>;

using Events = EventCollector;

struct FakeLine {
  explicit FakeLine(bool open_fails = false) {
    auto owned = std::make_unique<FakeSerialDevice>();
    fake = owned.get();
    if (open_fails)
      fake->Fail(Op::kOpen, SerialResult::Make(SerialCode::kBusy, "held by another program"));
    line = std::make_unique<TKkmEkr>(2, "COM3", "/dev/ttyUSB7", std::move(owned), &events);
    line->SetDelayEvent(&delay);
    fake->ClearCalls();
  }
  // The frame the line last wrote, as "<network> <type letter>".
  std::string LastAnswer() const {
    const std::vector<uint8_t>& w = fake->Written();
    if (w.size() < 6) return "";
    return std::to_string(w[w.size() - 6]) + " " + static_cast<char>(w[w.size() - 2]);
  }
  Events events;
  TEvent delay{kDelayEventName, true};
  FakeSerialDevice* fake;
  std::unique_ptr<TKkmEkr> line;
};

TEST(TKkmEkr, ConstructionOpensThePortAndSetsUpTheSlots) {
  FakeLine ok;
  EXPECT_TRUE(ok.line->IsOpen());
  EXPECT_EQ(ok.events.Lines(), (Calls{"COM3 (/dev/ttyUSB7): port opened"}));
  EXPECT_EQ(ok.line->CurrentSlot(), -1);
  for (int i = 0; i < kSlotCount; ++i) {
    const RegisterSlot& slot = ok.line->Slot(i);
    EXPECT_EQ(slot.network_number, i + 1);
    EXPECT_EQ(slot.poll_state, kStartPending);
    EXPECT_TRUE(slot.present);
  }
  EXPECT_EQ(ok.line->SlotByNetworkNumber(10), &ok.line->Slot(9));
  EXPECT_EQ(ok.line->SlotByNetworkNumber(0), nullptr);
  EXPECT_EQ(ok.line->SlotByNetworkNumber(11), nullptr);
  EXPECT_EQ(ok.line->Runtime(), nullptr);  // tables not set yet

  FakeLine busy(true);
  EXPECT_FALSE(busy.line->IsOpen());
  EXPECT_EQ(busy.events.Lines(),
            (Calls{"COM3 (/dev/ttyUSB7): port failed to open: held by another program"}));
}

TEST(TKkmEkr, PollSequenceRaisesDtrAroundThePollByte) {
  FakeLine f;
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(f.line->SendPoll(10));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1));
  EXPECT_EQ(f.fake->Calls(), (Calls{"dtr 1", "flush", "clear", "write 1A", "dtr 0"}));

  // Lowering DTR fails (no modem lines): the poll reports it.
  f.fake->ClearCalls();
  f.fake->Fail(Op::kSetDtr, SerialResult::Make(SerialCode::kNotSupported, "pty"));
  EXPECT_FALSE(f.line->SendPoll(1));
  EXPECT_EQ(f.fake->Calls(), (Calls{"dtr 1", "flush", "clear", "write 11", "dtr 0"}));

  // A failed write leaves DTR raised.
  f.fake->Succeed(Op::kSetDtr);
  f.fake->Fail(Op::kWrite, SerialResult::Make(SerialCode::kFailed, "EIO"));
  f.fake->ClearCalls();
  EXPECT_FALSE(f.line->SendPoll(2));
  EXPECT_EQ(f.fake->Calls(), (Calls{"dtr 1", "flush", "clear", "write 12", "clear"}));
}

TEST(TKkmEkr, FramesGoOutInOneWrite) {
  FakeLine f;
  EXPECT_TRUE(f.line->SendStart(10));
  EXPECT_TRUE(f.line->SendCommand(1, kCommandRefused));
  char text[15];
  std::fill(std::begin(text), std::end(text), 'A');
  EXPECT_TRUE(f.line->SendGoodsFrame(4, text, 15, 1250, '3'));
  ASSERT_EQ(f.fake->Calls().size(), 6u);
  EXPECT_EQ(f.fake->Calls()[1], "write 0A 30 03 00 61 9F");
  EXPECT_EQ(f.fake->Calls()[3], "write 01 30 03 00 75 8B");
  EXPECT_EQ(f.fake->Written().size(), 6u + 6u + 30u);
  EXPECT_FALSE(f.line->SendGoodsFrame(4, text, 90, 0, '1'));  // too long for the buffer

  f.fake->Fail(Op::kWrite, SerialResult::Make(SerialCode::kFailed, "EIO"));
  EXPECT_FALSE(f.line->SendStart(1));
}

TEST(TKkmEkr, ReadAnswerAcceptsByTheFirstReadOnly) {
  FakeLine f;
  // Every accepted frame is decoded and answered: 'x' is no message type,
  // so the answer is "u".
  // 4 bytes: too short.
  f.fake->QueueRead({1, 0x30, 2, 0});
  EXPECT_FALSE(f.line->ReadAnswer(1));
  EXPECT_TRUE(f.fake->Written().empty());
  // 5 bytes, length byte 5: accepted.
  f.fake->QueueRead({1, 0x30, 5, 0, 'x'});
  EXPECT_TRUE(f.line->ReadAnswer(1));
  EXPECT_EQ(f.LastAnswer(), "1 u");
  EXPECT_EQ(std::vector<uint8_t>(f.line->ReceiveBuffer(), f.line->ReceiveBuffer() + 5),
            (std::vector<uint8_t>{1, 0x30, 5, 0, 'x'}));
  // 5 bytes, length byte 6: more than the first read brought.
  f.fake->QueueRead({1, 0x30, 6, 0, 'x'});
  const size_t written = f.fake->Written().size();
  EXPECT_FALSE(f.line->ReadAnswer(1));
  EXPECT_EQ(f.fake->Written().size(), written);

  // 20 bytes with length byte 20, the rest in the second read behind them;
  // the answer goes to the network number polled, not the frame's.
  std::vector<uint8_t> long_answer(33);
  for (size_t i = 0; i < long_answer.size(); ++i) long_answer[i] = static_cast<uint8_t>(100 + i);
  long_answer[2] = 20;
  f.fake->QueueRead(long_answer);
  f.fake->ClearCalls();
  EXPECT_TRUE(f.line->ReadAnswer(7));
  EXPECT_EQ(f.fake->Calls()[0], "read 20");
  EXPECT_EQ(f.fake->Calls()[1], "read 40");
  EXPECT_EQ(f.line->FirstReadCount(), 20);
  EXPECT_EQ(f.line->ReceiveCount(), 33);
  EXPECT_EQ(std::vector<uint8_t>(f.line->ReceiveBuffer(), f.line->ReceiveBuffer() + 33),
            long_answer);
  EXPECT_EQ(f.LastAnswer(), "7 u");

  // One byte: no second read; the buffer holds nothing of the last answer.
  f.fake->QueueRead({0x42});
  f.fake->ClearCalls();
  EXPECT_FALSE(f.line->ReadAnswer(1));
  EXPECT_EQ(f.fake->Calls(), (Calls{"read 20"}));
  EXPECT_EQ(f.line->ReceiveCount(), 1);
  EXPECT_EQ(f.line->ReceiveBuffer()[1], 0);
}

TEST(TKkmEkr, FirstExchangeDecidesWhetherARegisterStays) {
  FakeLine f;
  f.line->Restart();
  // Network 2 is served first and answers its start command.
  f.fake->QueueRead({2, 0x30, 5, 0, 'x'});
  f.line->PollStep();
  EXPECT_EQ(f.fake->Calls(), (Calls{"get", "set", "flush", "clear", "write 02 30 03 00 61 9F",
                                    "read 20", "read 40", "clear", "write 02 30 03 00 75 8B"}));
  EXPECT_EQ(f.line->CurrentSlot(), 1);
  EXPECT_EQ(f.line->Slot(1).poll_state, kPollDue);
  EXPECT_TRUE(f.line->Slot(1).first_exchange);
  // Network 3 stays silent and is dropped.
  f.line->PollStep();
  EXPECT_FALSE(f.line->Slot(2).present);
  for (int i = 0; i < 8; ++i) f.line->PollStep();  // rest of the sweep: 4..10, 1
  // Only network 2 is left; it gets the poll byte and may stay silent.
  f.fake->ClearCalls();
  f.line->PollStep();
  EXPECT_EQ(f.fake->Calls(), (Calls{"dtr 1", "flush", "clear", "write 12", "dtr 0", "read 20"}));
  EXPECT_FALSE(f.line->Slot(1).first_exchange);
  EXPECT_TRUE(f.line->Slot(1).present);
  EXPECT_EQ(f.events.Lines()[2], "COM3: register 2 answered the start command");
  EXPECT_EQ(f.events.Lines()[3],
            "COM3: register 3 did not answer the start command; dropped until the next start");

  // With every register dropped a step does no I/O.
  f.line->Slot(1).present = false;
  f.fake->ClearCalls();
  f.line->PollStep();
  EXPECT_TRUE(f.fake->Calls().empty());
  // A stray poll state is left alone.
  f.line->Slot(0).present = true;
  f.line->Slot(0).poll_state = 7;
  f.line->PollStep();
  EXPECT_TRUE(f.fake->Calls().empty());
}

}  // namespace
}  // namespace tillgate
