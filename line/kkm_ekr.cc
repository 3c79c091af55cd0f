#include "line/kkm_ekr.h"

#include <utility>

#include "line/event.h"

namespace tillgate {

TKkmEkr::TKkmEkr(int port_index, std::string port_name, std::string device_path,
                 std::unique_ptr<SerialDevice> device, EventSink* events)
    : TCommPort(std::move(device)),
      port_index_(port_index),
      port_name_(std::move(port_name)),
      device_path_(std::move(device_path)),
      events_(events) {
  for (int i = 0; i < kSlotCount; ++i) {
    RegisterSlot& slot = slots_[static_cast<size_t>(i)];
    slot.network_number = static_cast<uint8_t>(i + 1);
    slot.poll_state = kStartPending;
    slot.present = true;
  }
  std::string where = port_name_ + " (" + device_path_ + ")";
  if (OpenAndConfigure(device_path_)) {
    ReportConditionCleared(events_, port_name_ + " port", where + ": port opened", Severity::kInfo);
  } else {
    ReportCondition(events_, Severity::kError, port_name_ + " port",
                    where + ": port failed to open: " + LastResult().message);
  }
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
  }
  current_slot_ = 0;
}

bool TKkmEkr::HasPresentSlot() const {
  for (const RegisterSlot& slot : slots_)
    if (slot.present) return true;
  return false;
}

bool TKkmEkr::AdvanceToPresentSlot() {
  for (int tries = 0; tries < kSlotCount; ++tries) {
    current_slot_ = (current_slot_ + 1 >= kSlotCount) ? 0 : current_slot_ + 1;
    if (slots_[static_cast<size_t>(current_slot_)].present) return true;
  }
  return false;
}

void TKkmEkr::ReportFirstExchange(const RegisterSlot& slot, bool answered) {
  std::string text = port_name_ + ": register " + std::to_string(slot.network_number);
  if (answered) {
    Report(events_, text + " answered the start command");
  } else {
    Report(events_, Severity::kNotice,
           text + " did not answer the start command; dropped until the next start");
  }
}

int TKkmEkr::PollStep() {
  if (!AdvanceToPresentSlot()) return 1;  // every register dropped: no I/O
  RegisterSlot& slot = slots_[static_cast<size_t>(current_slot_)];
  for (;;) {
    switch (slot.poll_state) {
      case kStartPending:
        slot.poll_state = kAwaitingAnswer;
        slot.first_exchange = true;
        Configure();
        SendStart(slot.network_number);
        continue;
      case kAwaitingAnswer: {
        slot.poll_state = kPollDue;
        const bool first = slot.first_exchange;
        const bool answered = ReadAnswer(slot.network_number);
        if (!answered && first) slot.present = false;
        if (first) ReportFirstExchange(slot, answered);
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

bool TKkmEkr::ReadAnswer(uint8_t network_number) {
  // A fresh buffer: decoding must never see bytes of an earlier answer.
  receive_.fill(0);
  receive_count_ = 0;
  const uint32_t first = Read(receive_.data(), kFirstReadSize);
  uint32_t second = 0;
  if (first > 1) second = Read(receive_.data() + first, kSecondReadSize);
  first_read_count_ = static_cast<int>(first);
  receive_count_ = static_cast<int>(first + second);
  const bool acceptable = first >= kMinAnswerSize && receive_[2] <= first;
  if (!acceptable) return false;
  DecodeMessage(network_number);
  return true;
}

bool TKkmEkr::SendCommand(uint8_t network_number, uint8_t command_code) {
  const int size = BuildCommandFrame(transmit_.data(), network_number, command_code);
  return Write(transmit_.data(), static_cast<uint32_t>(size)) == static_cast<uint32_t>(size);
}

bool TKkmEkr::SendPoll(uint8_t network_number) {
  SetDtr(true);
  if (delay_) delay_->WaitFor(1);
  transmit_[0] = PollByte(network_number);
  if (Write(transmit_.data(), 1) != 1) return false;
  return SetDtr(false);
}

bool TKkmEkr::SendGoodsFrame(uint8_t network_number, const char* text, int text_length,
                             uint32_t kopecks, char section) {
  const int size = BuildGoodsFrame(transmit_.data(), kFrameBufferSize, network_number, text,
                                   text_length, kopecks, section);
  if (size == 0) return false;
  return Write(transmit_.data(), static_cast<uint32_t>(size)) == static_cast<uint32_t>(size);
}

}  // namespace tillgate
