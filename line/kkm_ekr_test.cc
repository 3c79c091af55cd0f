#include "line/kkm_ekr.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "config/event_collector.h"
#include "line/event.h"
#include "line/message_decoder.h"
#include "serial/fake_serial_device.h"

namespace tillgate {
namespace {

using Op = FakeSerialDevice::Op;
using Calls = std::vector<std::string>;

using Events = EventCollector;

struct Decoded final : MessageDecoder {
  std::vector<std::pair<uint8_t, std::vector<uint8_t>>> frames;
  void DecodeMessage(TKkmEkr& line, uint8_t network_number) override {
    frames.emplace_back(
        network_number,
        std::vector<uint8_t>(line.ReceiveBuffer(), line.ReceiveBuffer() + line.ReceiveCount()));
  }
};

struct FakeLine {
  explicit FakeLine(bool open_fails = false) {
    auto owned = std::make_unique<FakeSerialDevice>();
    fake = owned.get();
    if (open_fails)
      fake->Fail(Op::kOpen, SerialResult::Make(SerialCode::kBusy, "held by another program"));
    line = std::make_unique<TKkmEkr>(2, "COM3", "/dev/ttyUSB7", std::move(owned), &events);
    line->SetDelayEvent(&delay);
    line->SetDecoder(&decoded);
    fake->ClearCalls();
  }
  Events events;
  Decoded decoded;
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
    EXPECT_EQ(slot.last_sequence, 0xFF);
    EXPECT_EQ(slot.last_operation, 0);
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
  EXPECT_EQ(f.fake->Calls(), (Calls{"dtr 1", "clear", "write 1A", "dtr 0"}));

  // Lowering DTR fails (no modem lines): the poll reports it.
  f.fake->ClearCalls();
  f.fake->Fail(Op::kSetDtr, SerialResult::Make(SerialCode::kNotSupported, "pty"));
  EXPECT_FALSE(f.line->SendPoll(1));
  EXPECT_EQ(f.fake->Calls(), (Calls{"dtr 1", "clear", "write 11", "dtr 0"}));

  // A failed write leaves DTR raised.
  f.fake->Succeed(Op::kSetDtr);
  f.fake->Fail(Op::kWrite, SerialResult::Make(SerialCode::kFailed, "EIO"));
  f.fake->ClearCalls();
  EXPECT_FALSE(f.line->SendPoll(2));
  EXPECT_EQ(f.fake->Calls(), (Calls{"dtr 1", "clear", "write 12", "clear"}));
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
  // 4 bytes: too short.
  f.fake->QueueRead({1, 0x30, 2, 0});
  EXPECT_FALSE(f.line->ReadAnswer(1));
  // 5 bytes, length byte 5: accepted.
  f.fake->QueueRead({1, 0x30, 5, 0, 'x'});
  EXPECT_TRUE(f.line->ReadAnswer(1));
  // 5 bytes, length byte 6: more than the first read brought.
  f.fake->QueueRead({1, 0x30, 6, 0, 'x'});
  EXPECT_FALSE(f.line->ReadAnswer(1));
  ASSERT_EQ(f.decoded.frames.size(), 1u);
  EXPECT_EQ(f.decoded.frames[0].second, (std::vector<uint8_t>{1, 0x30, 5, 0, 'x'}));

  // 20 bytes with length byte 20, the rest in the second read behind them.
  std::vector<uint8_t> long_answer(33);
  for (size_t i = 0; i < long_answer.size(); ++i) long_answer[i] = static_cast<uint8_t>(100 + i);
  long_answer[2] = 20;
  f.fake->QueueRead(long_answer);
  f.fake->ClearCalls();
  EXPECT_TRUE(f.line->ReadAnswer(7));
  EXPECT_EQ(f.fake->Calls(), (Calls{"read 20", "read 40"}));
  EXPECT_EQ(f.line->FirstReadCount(), 20);
  EXPECT_EQ(f.decoded.frames.back().first, 7);
  EXPECT_EQ(f.decoded.frames.back().second, long_answer);

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
  EXPECT_EQ(f.fake->Calls(),
            (Calls{"get", "set", "clear", "write 02 30 03 00 61 9F", "read 20", "read 40"}));
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
  EXPECT_EQ(f.fake->Calls(), (Calls{"dtr 1", "clear", "write 12", "dtr 0", "read 20"}));
  EXPECT_FALSE(f.line->Slot(1).first_exchange);
  EXPECT_TRUE(f.line->Slot(1).present);
  EXPECT_EQ(f.events.Lines()[1], "COM3: register 2 answered the start command");
  EXPECT_EQ(f.events.Lines()[2],
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
