#include "line/kkm_ekr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

#include "config/event_collector.h"
#include "line/event.h"
#include "platform/fake_serial_device.h"

namespace tillgate {
namespace {

using Op = FakeSerialDevice::Op;
using Calls = std::vector<std::string>;

using Events = EventCollector;

struct FakeLine {
  explicit FakeLine(bool open_fails = false) {
    auto owned = std::make_unique<FakeSerialDevice>();
    fake = owned.get();
    if (open_fails) fake->Fail(Op::kOpen, Status(Status::kBusy, "held by another program"));
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

  EXPECT_EQ(f.events.Lines(), (Calls{"COM3 (/dev/ttyUSB7): port opened"}));  // nothing to tell

  // DTR fails (no modem lines): the poll says so and goes on; the line
  // tells it once, not at every poll.
  f.events.Clear();
  f.fake->ClearCalls();
  f.fake->Fail(Op::kSetDtr, Status(Status::kNotSupported, "DTR control not supported"));
  EXPECT_FALSE(f.line->SendPoll(1));
  EXPECT_EQ(f.fake->Calls(), (Calls{"dtr 1", "flush", "clear", "write 11", "dtr 0"}));
  for (int poll = 0; poll < 3; ++poll) EXPECT_FALSE(f.line->SendPoll(1));
  ASSERT_EQ(f.events.Events().size(), 1u) << ::testing::PrintToString(f.events.Lines());
  EXPECT_EQ(f.events.Events()[0].severity, Severity::kNotice);
  EXPECT_EQ(f.events.Lines()[0],
            "COM3: DTR cannot be raised on /dev/ttyUSB7 (DTR control not supported); the "
            "registers are polled without it");

  // A failed write leaves DTR raised.
  f.fake->Succeed(Op::kSetDtr);
  f.fake->Fail(Op::kWrite, Status(Status::kError, "EIO"));
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

  f.fake->Fail(Op::kWrite, Status(Status::kError, "EIO"));
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

// A message frame as a register sends it: header, sequence byte, type,
// `fields`, checksum.
std::vector<uint8_t> Message(uint8_t network, char type, std::vector<uint8_t> fields = {}) {
  std::vector<uint8_t> frame = {network, 0x30, 0, 0x05, static_cast<uint8_t>(type)};
  frame.insert(frame.end(), fields.begin(), fields.end());
  frame[2] = static_cast<uint8_t>(frame.size() + 1 - 3);
  frame.push_back(FrameChecksum(frame.data(), 3, static_cast<int>(frame.size()) - 3));
  return frame;
}

std::vector<uint8_t> Received(const TKkmEkr& line) {
  return {line.ReceiveBuffer(), line.ReceiveBuffer() + line.ReceiveCount()};
}

TEST(TKkmEkr, QuickReadsEndWithTheFrameAndTakeTheSameBytes) {
  // Answers whose frames are 3 + length byte long, sent whole or in two
  // parts: with QUICK on and off the same bytes are taken, and the same
  // answers accepted.
  const std::vector<uint8_t> f = Message(2, 'f');
  const std::vector<uint8_t> long_one = Message(2, 'x', std::vector<uint8_t>(17, 0x41));  // 23
  const std::vector<uint8_t> too_long = Message(2, 'x', std::vector<uint8_t>(20, 0x41));  // 26
  const std::vector<std::vector<std::vector<uint8_t>>> answers = {
      {f}, {{f.begin(), f.begin() + 2}, {f.begin() + 2, f.end()}}, {long_one}, {too_long}, {{0x42}},
      {}};
  for (const auto& chunks : answers) {
    std::vector<uint8_t> taken[2];
    bool accepted[2];
    for (bool quick : {false, true}) {
      FakeLine l;
      l.line->SetOptions(LineOptions{quick, false, 0});
      for (const auto& chunk : chunks) l.fake->QueueRead(chunk);
      accepted[quick] = l.line->ReadAnswer(2);
      taken[quick] = Received(*l.line);
      if (!quick) continue;
      // Nothing is asked beyond the frame: no second read after a whole one.
      const Calls& calls = l.fake->Calls();
      EXPECT_EQ(calls[0], "read 20 until");
      const bool whole_in_first = chunks.size() == 1 && chunks[0].size() <= kFirstReadSize;
      if (whole_in_first) {
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "read 40 until"), 0);
      }
    }
    EXPECT_EQ(taken[0], taken[1]) << chunks.size();
    EXPECT_EQ(accepted[0], accepted[1]);
  }
  // Bytes behind a whole frame are left on the line, not taken for it.
  FakeLine l;
  l.line->SetOptions(LineOptions{true, false, 0});
  std::vector<uint8_t> with_tail = f;
  with_tail.push_back(0x99);
  l.fake->QueueRead(with_tail);
  EXPECT_TRUE(l.line->ReadAnswer(2));
  EXPECT_EQ(Received(*l.line), f);
  EXPECT_EQ(l.fake->Calls(), (Calls{"read 20 until", "clear", "write 02 30 03 00 2B D5"}));
}

TEST(TKkmEkr, QuickWaitsTheTurnaroundBeforeItSends) {
  FakeLine l;
  l.line->SetOptions(LineOptions{true, false, 0});
  l.fake->QueueRead(Message(2, 'f'));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(l.line->ReadAnswer(2));  // the read returns at once, the answer "+" waits
  EXPECT_GE(std::chrono::steady_clock::now() - start, kTurnaround);
  EXPECT_EQ(l.LastAnswer(), "2 +");
}

TEST(TKkmEkr, StrictTakesNoAnswerFromAnotherRegisterOrWithABadSum) {
  std::vector<uint8_t> other = Message(3, 'f');
  std::vector<uint8_t> bad_sum = Message(2, 'f');
  bad_sum.back() ^= 0x01;
  std::vector<uint8_t> cut_short = Message(2, 'x', {1, 2, 3});
  cut_short[2] = 8;  // says more bytes follow than come, but not more than the first read brought
  for (bool strict : {false, true}) {
    for (const auto& answer : {Message(2, 'f'), other, bad_sum, cut_short}) {
      FakeLine l;
      l.line->SetOptions(LineOptions{false, strict, 0});
      l.fake->QueueRead(answer);
      const bool good = answer == Message(2, 'f');
      EXPECT_EQ(l.line->ReadAnswer(2), !strict || good) << strict << " " << int{answer[0]};
      // Taken or not, an answer is always the polled register's.
      EXPECT_EQ(l.fake->Written().empty(), strict && !good);
      if (!l.fake->Written().empty()) {
        EXPECT_EQ(l.fake->Written()[0], 2);
      }
    }
  }
}

TEST(TKkmEkr, BytesWaitingBeforeAStartOrPollAreNeverItsAnswer) {
  // A goods message left from before (a register answering late, or bytes
  // from before a restart) waits on the line; the register polled answers
  // "f". Only "f" is taken, both after the start command and after a poll.
  FakeLine l;
  l.line->Restart();
  const std::vector<uint8_t> stale = Message(4, 'p', {0x39, 0x30, 0, 0, 0, 0, 0, 0, 0, 0});
  for (int visit = 0; visit < 2; ++visit) {
    l.fake->QueueWaiting(stale);
    l.fake->QueueRead(Message(2, 'f'));
    l.line->PollStep();  // network 2: the start command, then the poll byte
    EXPECT_EQ(Received(*l.line), Message(2, 'f')) << visit;
    EXPECT_EQ(l.LastAnswer(), "2 +");
    for (int i = 0; i < 9; ++i) l.line->PollStep();  // the others are silent
  }
  EXPECT_FALSE(l.events.Has("refused"));
}

TEST(TKkmEkr, ARescanOffersEachDroppedRegisterOneStartCommand) {
  FakeLine l;
  l.line->SetOptions(LineOptions{false, false, 30});
  l.line->Restart();
  // Register 2 answers its start command; the rest are dropped.
  l.fake->SetReadHook([&l](size_t count) {
    if (count != kFirstReadSize) return;
    const uint8_t network = l.line->Slot(l.line->CurrentSlot()).network_number;
    if (network == 2 || (network == 5 && l.line->Slot(4).rescan_due))
      l.fake->QueueRead(Message(network, 'f'));
  });
  for (int i = 0; i < kSlotCount; ++i) l.line->PollStep();
  EXPECT_TRUE(
      l.events.Has("register 3 did not answer the start command; offered it again every 30 s"));
  l.fake->ClearCalls();
  l.events.Clear();
  l.line->Rescan();
  for (int i = 0; i < kSlotCount; ++i) l.line->PollStep();
  std::vector<std::string> sent;
  for (const std::string& call : l.fake->Calls())
    if (call.rfind("write ", 0) == 0) sent.push_back(call);
  // 2 gets its poll byte, 3..10 and 1 the start command in turn; 5 answers.
  EXPECT_EQ(
      sent,
      (Calls{"write 12", "write 02 30 03 00 2B D5", "write 03 30 03 00 61 9F",
             "write 04 30 03 00 61 9F", "write 05 30 03 00 61 9F", "write 05 30 03 00 2B D5",
             "write 06 30 03 00 61 9F", "write 07 30 03 00 61 9F", "write 08 30 03 00 61 9F",
             "write 09 30 03 00 61 9F", "write 0A 30 03 00 61 9F", "write 01 30 03 00 61 9F"}));
  EXPECT_EQ(l.events.Lines(),
            (Calls{"COM3: register 5 answered the start command of a rescan; polled again"}));
  // From now on 2 and 5 are polled, and nobody else is asked.
  l.fake->ClearCalls();
  for (int i = 0; i < 4; ++i) l.line->PollStep();
  for (const std::string& call : l.fake->Calls()) EXPECT_EQ(call.find(" 61 "), std::string::npos);
  EXPECT_TRUE(l.line->Slot(4).present);
  EXPECT_FALSE(l.line->Slot(2).present);
}

TEST(TKkmEkr, APortIsOpenedAgainByARescanToldOnceEachWay) {
  FakeLine l(true);  // held by another program at start-up
  l.line->SetOptions(LineOptions{false, false, 5});
  l.line->Restart();
  EXPECT_FALSE(l.line->HasWork());
  l.line->PollStep();  // a closed port: nothing happens, nobody is dropped
  EXPECT_TRUE(l.fake->Calls().empty());
  for (int i = 0; i < 3; ++i) l.line->Rescan();  // still failing: told once
  l.fake->Fail(Op::kOpen, Status(Status::kError, "open: No such file"));
  l.line->Rescan();  // a new reason is news
  l.fake->Succeed(Op::kOpen);
  l.line->Rescan();
  l.line->Rescan();  // open: nothing more to say
  EXPECT_TRUE(l.line->HasWork());
  const std::vector<CollectedEvent> events = l.events.Events();
  ASSERT_EQ(events.size(), 3u) << l.events.Lines().back();
  EXPECT_EQ(events[1].text, "COM3 (/dev/ttyUSB7): port failed to open: open: No such file");
  EXPECT_EQ(events[2].text, "COM3 (/dev/ttyUSB7): port opened again");
  EXPECT_EQ(events[2].condition, "COM3 port");
  EXPECT_TRUE(events[2].cleared);
  // The registers kept their places: the first sweep sends start commands.
  l.fake->ClearCalls();
  l.line->PollStep();
  EXPECT_NE(std::find(l.fake->Calls().begin(), l.fake->Calls().end(), "write 02 30 03 00 61 9F"),
            l.fake->Calls().end());
}

// A device that hangs up as soon as it is opened cannot be used: it is told
// as a port that failed to open (once, however often a rescan tries), not
// as one that opened.
TEST(TKkmEkr, APortThatHangsUpAsItOpensFailedToOpen) {
  auto owned = std::make_unique<FakeSerialDevice>();
  FakeSerialDevice* fake = owned.get();
  fake->Fail(Op::kFlushInput, Status(Status::kHangUp, "tcflush: line hung up"));
  Events events;
  TKkmEkr line(2, "COM3", "/dev/ttyUSB7", std::move(owned), &events);
  line.SetOptions(LineOptions{false, false, 5});
  EXPECT_FALSE(line.IsOpen());
  for (int i = 0; i < 3; ++i) line.Rescan();
  fake->Succeed(Op::kFlushInput);
  line.Rescan();
  EXPECT_TRUE(line.IsOpen());
  EXPECT_EQ(events.Lines(),
            (Calls{"COM3 (/dev/ttyUSB7): port failed to open: tcflush: line hung up",
                   "COM3 (/dev/ttyUSB7): port opened again"}));
}

TEST(TKkmEkr, ADeadLineIsToldOnceAndAgainWhenItWorks) {
  FakeLine l;
  l.line->Restart();
  l.events.Clear();
  l.fake->Fail(Op::kRead, Status(Status::kError, "read: Input/output error"));
  for (int i = 0; i < 5; ++i) l.line->PollStep();
  l.fake->Succeed(Op::kRead);
  l.line->PollStep();
  l.line->PollStep();
  const auto port_events = [&l] {
    std::vector<CollectedEvent> port;
    for (const CollectedEvent& e : l.events.Events())
      if (e.condition == "COM3 port") port.push_back(e);
    return port;
  };
  std::vector<CollectedEvent> port = port_events();
  ASSERT_EQ(port.size(), 2u);
  EXPECT_EQ(port[0].text, "COM3 (/dev/ttyUSB7): read: Input/output error");
  EXPECT_EQ(port[0].severity, Severity::kError);
  EXPECT_EQ(port[1].text, "COM3 (/dev/ttyUSB7): port works again");
  EXPECT_TRUE(port[1].cleared);

  // A hang-up closes the port: told once, and the line then does nothing.
  l.events.Clear();
  l.fake->Fail(Op::kRead, Status(Status::kHangUp, "read: line hung up"));
  l.line->PollStep();
  EXPECT_FALSE(l.line->IsOpen());
  EXPECT_FALSE(l.line->HasWork());
  l.fake->ClearCalls();
  l.line->PollStep();
  EXPECT_TRUE(l.fake->Calls().empty());
  port = port_events();
  ASSERT_EQ(port.size(), 1u);
  EXPECT_EQ(port[0].text, "COM3 (/dev/ttyUSB7): port closed: read: line hung up");
}

TEST(TKkmEkr, TheStatusBoardFollowsThePortAndTheRegistersThatAnswer) {
  FakeLine l(true);  // held by another program at start-up
  StatusBoard board;
  l.line->SetStatusBoard(&board);  // set after the opening: it is told what happened
  const auto port = [&board] { return board.Snapshot().ports[2]; };
  EXPECT_EQ(port().health, PortHealth::kOpenFailed);
  EXPECT_FALSE(port().Open());
  EXPECT_EQ(port().last_error, "port failed to open: held by another program");
  l.fake->Succeed(Op::kOpen);
  l.line->Rescan();
  EXPECT_EQ(port().health, PortHealth::kOpen);
  EXPECT_EQ(port().last_error, "port failed to open: held by another program");  // kept

  // Only an accepted answer counts as the register's.
  l.fake->QueueRead(Message(4, 'f'));
  EXPECT_TRUE(l.line->ReadAnswer(4));
  l.fake->QueueRead({0x42});
  EXPECT_FALSE(l.line->ReadAnswer(5));
  const StatusSnapshot snapshot = board.Snapshot();
  EXPECT_TRUE(snapshot.registers[2][3].answered);
  EXPECT_GT(snapshot.registers[2][3].last_answer.time_since_epoch().count(), 0);
  EXPECT_FALSE(snapshot.registers[2][4].answered);

  l.line->Restart();
  l.fake->Fail(Op::kRead, Status(Status::kError, "read: Input/output error"));
  l.line->PollStep();
  EXPECT_EQ(port().health, PortHealth::kFailing);
  EXPECT_TRUE(port().Open());
  EXPECT_EQ(port().last_error, "read: Input/output error");
  l.fake->Succeed(Op::kRead);
  l.line->PollStep();
  EXPECT_EQ(port().health, PortHealth::kOpen);
  l.fake->Fail(Op::kRead, Status(Status::kHangUp, "read: line hung up"));
  l.line->PollStep();
  EXPECT_EQ(port().health, PortHealth::kClosed);
  EXPECT_EQ(port().last_error, "port closed: read: line hung up");
}

}  // namespace
}  // namespace tillgate
