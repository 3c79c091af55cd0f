#include "line/kkm_ekr.h"

#include <thread>
#include <utility>

#include "line/event.h"
#include "line/protocol_trace.h"
#include "line/trace_text.h"

namespace tillgate {
namespace {

// Bytes found waiting that a trace shows; more are dropped unseen.
constexpr size_t kShownDiscard = 64;

}  // namespace

TKkmEkr::TKkmEkr(int port_index, std::string port_name, std::string device_path,
                 std::unique_ptr<SerialDevice> device, EventSink* events, ProtocolTrace* trace)
    : TCommPort(std::move(device)),
      port_index_(port_index),
      port_name_(std::move(port_name)),
      device_path_(std::move(device_path)),
      events_(events),
      trace_(trace),
      condition_(events, port_name_, port_name_ + " (" + device_path_ + ")"),
      silence_(events, port_name_, port_name_ + " (" + device_path_ + ")") {
  for (int i = 0; i < kSlotCount; ++i) {
    RegisterSlot& slot = slots_[static_cast<size_t>(i)];
    slot.network_number = static_cast<uint8_t>(i + 1);
    slot.poll_state = kStartPending;
    slot.present = true;
  }
  OpenPort();
}

void TKkmEkr::OpenPort() {
  if (!OpenAndConfigure(device_path_)) {
    condition_.OpenFailed(LastResult().message());
    return;
  }
  // Bytes from before (a register still answering an earlier server, noise
  // while the device came up) are no answer to anything this line sends.
  DiscardWaiting("after opening the port", 0);
  // Another failure here shows again at the first step; a hang-up has
  // closed the port, which then never opened for use.
  const Status failure = TakeIoFailure();
  if (!IsOpen()) {
    condition_.OpenFailed(failure.message());
    return;
  }
  condition_.Opened();
  silence_.Restart(std::chrono::steady_clock::now());
}

void TKkmEkr::SetStatusBoard(StatusBoard* board) {
  status_ = board;
  condition_.SetBoard(board, port_index_);
}

void TKkmEkr::SetTables(LineRuntimes* runtime, BarcodeSetups* barcodes) {
  runtime_ = runtime;
  barcodes_ = barcodes;
}

LineRuntime* TKkmEkr::Runtime() const {
  if (!runtime_ || port_index_ < 0 || port_index_ >= kPortCount) return nullptr;
  return &(*runtime_)[static_cast<size_t>(port_index_)];
}

BarcodeSetup* TKkmEkr::Barcode() const {
  if (!barcodes_ || port_index_ < 0 || port_index_ >= kPortCount) return nullptr;
  return &(*barcodes_)[static_cast<size_t>(port_index_)];
}

RegisterSlot* TKkmEkr::SlotByNetworkNumber(uint8_t network_number) {
  if (network_number < 1 || network_number > kSlotCount) return nullptr;
  return &slots_[network_number - 1u];
}

void TKkmEkr::Restart() {
  for (RegisterSlot& slot : slots_) {
    slot.poll_state = kStartPending;
    slot.present = true;
    slot.rescan_due = false;
  }
  current_slot_ = 0;
  silence_.Restart(std::chrono::steady_clock::now());
}

bool TKkmEkr::HasPresentSlot() const {
  for (const RegisterSlot& slot : slots_)
    if (slot.present) return true;
  return false;
}

bool TKkmEkr::HasWork() const {
  if (!IsOpen()) return false;
  for (const RegisterSlot& slot : slots_)
    if (slot.present || slot.rescan_due) return true;
  return false;
}

void TKkmEkr::Rescan() {
  if (!IsOpen()) OpenPort();
  if (!IsOpen()) return;
  for (RegisterSlot& slot : slots_) {
    if (slot.present) continue;
    slot.rescan_due = true;
    slot.poll_state = kStartPending;
  }
}

bool TKkmEkr::AdvanceToServedSlot() {
  for (int tries = 0; tries < kSlotCount; ++tries) {
    current_slot_ = (current_slot_ + 1 >= kSlotCount) ? 0 : current_slot_ + 1;
    const RegisterSlot& slot = slots_[static_cast<size_t>(current_slot_)];
    if (slot.present || slot.rescan_due) return true;
  }
  return false;
}

void TKkmEkr::ReportFirstExchange(const RegisterSlot& slot, bool answered) {
  std::string text = port_name_ + ": register " + std::to_string(slot.network_number);
  if (answered) {
    Report(events_, text + " answered the start command");
  } else if (options_.rescan_seconds > 0) {
    Report(events_, Severity::kNotice,
           text + " did not answer the start command; offered it again every " +
               std::to_string(options_.rescan_seconds) + " s");
  } else {
    Report(events_, Severity::kNotice,
           text + " did not answer the start command; dropped until the next start");
  }
}

// A dropped register that stays silent is not told about again: it is
// offered a start command at every rescan.
void TKkmEkr::ReportRescan(const RegisterSlot& slot, bool answered) {
  if (!answered) return;
  Report(events_, Severity::kNotice,
         port_name_ + ": register " + std::to_string(slot.network_number) +
             " answered the start command of a rescan; polled again");
}

void TKkmEkr::CheckPort(bool was_open) {
  const Status failure = TakeIoFailure();
  if (was_open && !IsOpen()) {
    const std::string hint = options_.rescan_seconds > 0
                                 ? "; opened again when it can, tried every " +
                                       std::to_string(options_.rescan_seconds) + " s"
                                 : "";
    condition_.Closed(failure.ok() ? LastResult().message() : failure.message(), hint);
  } else if (!failure.ok()) {
    condition_.TransferFailed(failure.message());
  } else if (was_open) {
    condition_.Worked();
  }
}

int TKkmEkr::PollStep() {
  if (!IsOpen()) return 1;               // nothing to talk to; the registers keep their places
  if (!AdvanceToServedSlot()) return 1;  // every register dropped: no I/O
  RegisterSlot& slot = slots_[static_cast<size_t>(current_slot_)];
  for (;;) {
    switch (slot.poll_state) {
      case kStartPending:
        slot.poll_state = kAwaitingAnswer;
        slot.first_exchange = true;
        Configure();
        GuardTurnaround();
        DiscardWaiting("before the start command to", slot.network_number);
        SendStart(slot.network_number);
        continue;
      case kAwaitingAnswer: {
        slot.poll_state = kPollDue;
        const bool first = slot.first_exchange;
        const bool answered = ReadAnswer(slot.network_number);
        // A dropped register's silence at a rescan says nothing of the line.
        if (answered || !slot.rescan_due)
          silence_.Polled(answered, std::chrono::steady_clock::now());
        if (slot.rescan_due) {
          slot.rescan_due = false;
          slot.present = answered;
          ReportRescan(slot, answered);
        } else {
          if (!answered && first) slot.present = false;
          if (first) ReportFirstExchange(slot, answered);
        }
        CheckPort(true);
        return 1;
      }
      case kPollDue:
        slot.first_exchange = false;
        SendPoll(slot.network_number);
        slot.poll_state = kAwaitingAnswer;
        continue;
      default:
        return 1;
    }
  }
}

void TKkmEkr::ReadAnswerBytes() {
  uint8_t* const buffer = receive_.data();
  uint32_t first = 0;
  uint32_t second = 0;
  if (options_.quick) {
    const ReadTarget whole_frame = [buffer](const uint8_t*, size_t got) {
      return AnswerSize(buffer, got);
    };
    first = ReadUntil(buffer, kFirstReadSize, whole_frame);
    if (first > 1 && first < AnswerSize(buffer, first)) {
      const ReadTarget rest_of_frame = [buffer, first](const uint8_t*, size_t got) {
        const size_t size = AnswerSize(buffer, first + got);
        return size > first ? size - first : 0;
      };
      second = ReadUntil(buffer + first, kSecondReadSize, rest_of_frame);
    }
  } else {
    first = Read(buffer, kFirstReadSize);
    if (first > 1) second = Read(buffer + first, kSecondReadSize);
  }
  first_read_count_ = static_cast<int>(first);
  receive_count_ = static_cast<int>(first + second);
  if (receive_count_ > 0) last_received_ = std::chrono::steady_clock::now();
}

bool TKkmEkr::ReadAnswer(uint8_t network_number) {
  // A fresh buffer: decoding must never see bytes of an earlier answer.
  receive_.fill(0);
  receive_count_ = 0;
  ReadAnswerBytes();
  const size_t first = static_cast<size_t>(first_read_count_);
  const size_t total = static_cast<size_t>(receive_count_);
  const AnswerCheck check = CheckAnswer(receive_.data(), first, total, network_number);
  if (trace_) {
    trace_->Received(
        receive_.data(), total,
        DescribeAnswer(receive_.data(), first, total, network_number, check, options_.strict));
  }
  if (!check.Accepted(options_.strict)) return false;
  if (status_)
    status_->RegisterAnswered(port_index_, network_number, std::chrono::system_clock::now());
  DecodeMessage(network_number);
  return true;
}

// A sleep may end early where the system's timer is coarse (Windows'
// sleeps count whole milliseconds): the turnaround is waited out whole.
void TKkmEkr::GuardTurnaround() const {
  if (!options_.quick || !last_received_) return;
  const auto until = *last_received_ + kTurnaround;
  while (std::chrono::steady_clock::now() < until) std::this_thread::sleep_until(until);
}

bool TKkmEkr::DiscardWaiting(const char* before, uint8_t network_number) {
  uint8_t kept[kShownDiscard];
  size_t count = 0;
  const bool flushed = FlushInput(kept, trace_ ? sizeof kept : 0, &count);
  if (trace_ && count > 0) {
    std::string what = std::string("discarded: waiting ") + before;
    if (network_number != 0) what += " register " + std::to_string(network_number);
    trace_->Received(kept, count, what);
  }
  return flushed;
}

bool TKkmEkr::SendFrame(int size) {
  GuardTurnaround();
  const uint32_t written = Write(transmit_.data(), static_cast<uint32_t>(size));
  if (trace_) {
    std::string what = DescribeSent(transmit_.data(), static_cast<size_t>(size));
    if (written != static_cast<uint32_t>(size))
      what +=
          "; only " + std::to_string(written) + " of " + std::to_string(size) + " bytes went out";
    trace_->Sent(transmit_.data(), written, what);
  }
  return written == static_cast<uint32_t>(size);
}

bool TKkmEkr::SendCommand(uint8_t network_number, uint8_t command_code) {
  return SendFrame(BuildCommandFrame(transmit_.data(), network_number, command_code));
}

// Once for the line: a device without modem lines fails every call alike,
// and the registers are served without DTR all the same.
bool TKkmEkr::SetPollDtr(bool raise) {
  if (SetDtr(raise)) return true;
  if (!dtr_failure_told_ && IsOpen()) {
    dtr_failure_told_ = true;
    Report(events_, Severity::kNotice,
           port_name_ + ": DTR cannot be " + (raise ? "raised" : "lowered") + " on " +
               device_path_ + " (" + LastResult().message() +
               "); the registers are polled without it");
  }
  return false;
}

bool TKkmEkr::SendPoll(uint8_t network_number) {
  SetPollDtr(true);
  if (delay_) delay_->WaitFor(1);
  GuardTurnaround();
  DiscardWaiting("before the poll byte for", network_number);
  transmit_[0] = PollByte(network_number);
  if (!SendFrame(1)) return false;
  return SetPollDtr(false);
}

bool TKkmEkr::SendGoodsFrame(uint8_t network_number, const char* text, int text_length,
                             uint32_t kopecks, char section) {
  const int size = BuildGoodsFrame(transmit_.data(), kFrameBufferSize, network_number, text,
                                   text_length, kopecks, section);
  if (size == 0) return false;
  return SendFrame(size);
}

}  // namespace tillgate
