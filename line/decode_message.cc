// Decoding of the messages a register sends after a poll, and the goods
// answer. Every message gets exactly one frame back.

#include <cstdio>
#include <cstring>
#include <string>

#include "line/barcode.h"
#include "line/event.h"
#include "line/goods_answer.h"
#include "line/kkm_ekr.h"
#include "store/grid_model.h"
#include "store/pricedb.h"

namespace tillgate {
namespace {

// Shortest frame that holds every field its type reads.
constexpr int kGoodsByCodeSize = 15;
constexpr int kGoodsByBarcodeSize = 17;
constexpr int kDocumentSize = 13;
constexpr int kIdentificationSize = 16;

constexpr int kLookUpWaits = 5;         // after a look-up by goods code ...
constexpr uint32_t kLookUpWaitMs = 10;  // ... five waits of 10 ms
constexpr uint32_t kIdentificationWaitMs = 100;

constexpr int kFirstDiagnosticsRow = 1;
constexpr int kLastFreeDiagnosticsRow = 14;
constexpr int kOverflowDiagnosticsRow = 15;
constexpr int kSerialNumberLength = 7;

uint32_t Le32(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

bool IsGoodsByCode(uint8_t type) { return type == 'p' || type == 'q' || type == 'l'; }
bool IsGoodsByBarcode(uint8_t type) { return type == 's' || type == 'z' || type == 'k'; }

char OperationCode(uint8_t type) {
  switch (type) {
    case 'p':
      return kOpSaleByCode;
    case 's':
      return kOpSaleByBarcode;
    case 'q':
    case 'z':
      return kOpReturn;
    default:  // 'l', 'k'
      return kOpVoid;
  }
}

const char* OperationName(char code) {
  switch (code) {
    case kOpSaleByCode:
      return "sale by code";
    case kOpSaleByBarcode:
      return "sale by barcode";
    case kOpReturn:
      return "return";
    default:
      return "void";
  }
}

std::string CodeText(const OperationRecord& r) {
  return std::string(r.goods_code, strnlen(r.goods_code, kGoodsCodeSize));
}

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// Everything one message needs from its line, gathered once.
class Decoding final {
 public:
  Decoding(TKkmEkr& line, uint8_t network_number, OperationRecord& record)
      : line_(line),
        network_(network_number),
        record_(&record),
        frame_(line.ReceiveBuffer()),
        length_(line.ReceiveCount()),
        type_(frame_[4]),
        slot_(line.SlotByNetworkNumber(network_number)),
        store_(line.Store()) {}

  void Run() {
    if (slot_ == nullptr) {
      Refuse("no register with that network number");
    } else if (IsGoodsByCode(type_) || IsGoodsByBarcode(type_)) {
      Goods();
    } else if (type_ == 'i') {
      Document();
    } else if (type_ == 'd') {
      Identification();
    } else if (type_ == 'f') {
      line_.SendCommand(network_, kCommandAccepted);
    } else {
      Refuse("unknown message type " + TypeText());
    }
  }

 private:
  std::string Who() const { return line_.PortName() + " register " + std::to_string(network_); }
  std::string TypeText() const {
    char text[8];
    if (type_ >= 0x20 && type_ < 0x7F) {
      std::snprintf(text, sizeof text, "\"%c\"", type_);
    } else {
      std::snprintf(text, sizeof text, "0x%02X", type_);
    }
    return text;
  }

  void Refuse(const std::string& reason) {
    line_.SendCommand(network_, kCommandRefused);
    Report(line_.Events(), Severity::kNotice,
           Who() + ": " + TypeText() + " refused (u): " + reason);
  }

  void Wait(uint32_t ms) {
    if (TEvent* delay = line_.DelayEvent()) delay->WaitFor(ms);
  }

  // A repeated sequence byte means the register did not get the answer to
  // its previous goods message and sends it again: that operation is taken
  // back before the message is handled anew. Only an operation that is still
  // pending and is this register's own is taken back.
  void WithdrawLastOperation() {
    const int index = slot_->last_operation;
    slot_->last_operation = -1;
    if (!store_->IsPending(index)) return;
    const OperationRecord& last = store_->Record(index);
    if (last.line_index != static_cast<uint32_t>(line_.PortIndex()) ||
        last.network_number != network_) {
      return;
    }
    if (store_->TrackStock()) store_->ReverseStock(index);
    store_->Release(index);
    Report(line_.Events(), Severity::kNotice,
           Who() + ": repeated message, operation " + std::string(1, last.operation_code) + " of " +
               CodeText(last) + " withdrawn");
  }

  void Goods() {
    const bool by_code = IsGoodsByCode(type_);
    if (length_ < (by_code ? kGoodsByCodeSize : kGoodsByBarcodeSize)) {
      Refuse("message too short");
      return;
    }
    if (store_ == nullptr) {
      Refuse("no store");
      return;
    }
    const uint8_t sequence = frame_[3];
    if (sequence == slot_->last_sequence) {
      // Withdrawing may free a record of a full pool: the repetition takes
      // the record that has become current, not the spare handed in.
      const bool was_full = store_->Full();
      WithdrawLastOperation();
      if (was_full && !store_->Full()) record_ = &store_->Current();
    } else {
      slot_->last_sequence = sequence;
      // A new message: until it is committed, a repetition of it has
      // nothing to take back.
      slot_->last_operation = -1;
    }
    // With every record pending, the record handed in is a spare one and no
    // operation can be kept: refuse before the look-up moves anything.
    if (store_->Full()) {
      Refuse("all operation records pending");
      return;
    }

    std::memset(record_->goods_code, ' ', kGoodsCodeSize - 1);
    record_->network_number = network_;
    record_->operation_code = OperationCode(type_);
    if (by_code) {
      FillByCode();
    } else {
      FillByBarcode();
    }
    store_->LookUp(*record_);
    if (by_code) {
      for (int i = 0; i < kLookUpWaits; ++i) Wait(kLookUpWaitMs);
    }
    if (record_->name[0] == 0) {
      Refuse("goods " + CodeText(*record_) + " not found or refused");
      return;
    }
    record_->line_index = static_cast<uint32_t>(line_.PortIndex());
    if (record_->operation_code == kOpVoid && !store_->CheckVoid(*record_)) {
      // The look-up has already moved the stock; put it back.
      if (store_->TrackStock()) store_->ReverseStock(record_->pool_index);
      Refuse("void of " + CodeText(*record_) + " not covered by the document");
      return;
    }
    line_.SendGoodsAnswer(network_, *record_);
    slot_->last_operation = record_->pool_index;
    ReportGoods();
    store_->Commit();
  }

  void FillByCode() {
    record_->lookup_kind = kLookupByCode;
    const uint16_t number = static_cast<uint16_t>(frame_[5] | frame_[6] << 8);
    GoodsCodeFromNumber(number, record_->goods_code);
    record_->quantity = QuantityFromThousandths(Le32(frame_ + 11));
  }

  void FillByBarcode() {
    record_->lookup_kind = kLookupByBarcode;
    line_.DecodeBarcode(*record_);
    const BarcodeSetup* setup = line_.Barcode();
    const int split_length = setup ? setup->split_length : 0;
    if (CodeLength(record_->goods_code) <= split_length) {
      record_->lookup_kind = kLookupByCode;
      if (type_ == 's') record_->operation_code = kOpSaleByCode;
    }
    bool weighed = false;
    const char* mask = setup ? setup->mask : "";
    if (record_->operation_code != kOpSaleByCode && IsWeightBarcode(record_->goods_code, mask)) {
      WeightSplit split = SplitWeightBarcode(record_->goods_code, mask);
      weighed = split.has_weight;
      if (weighed) record_->quantity = split.quantity;
    }
    if (!weighed) record_->quantity = QuantityFromThousandths(Le32(frame_ + 13));
  }

  void ReportGoods() {
    Report(line_.Events(), Who() + ": " + OperationName(record_->operation_code) + " " +
                               CodeText(*record_) + " quantity " + Number(record_->quantity) +
                               " amount " + Number(record_->amount));
  }

  void Document() {
    if (length_ < kDocumentSize) {
      Refuse("message too short");
      return;
    }
    slot_->document_number = Be32(frame_ + 5);
    slot_->day = frame_[9];
    slot_->month = frame_[10];
    slot_->hour = frame_[11];
    slot_->minute = frame_[12];
    slot_->last_sequence = 0xFF;
    int rows = 0;
    if (store_ != nullptr) {
      const int before = store_->PendingCount();
      store_->CloseDocument(static_cast<uint32_t>(line_.PortIndex()), network_, *slot_);
      rows = before - store_->PendingCount();
    }
    line_.SendCommand(network_, kCommandClosed);
    Report(line_.Events(), Who() + ": document " + std::to_string(slot_->document_number) +
                               " closed, " + std::to_string(rows) + " rows written");
  }

  void Identification() {
    if (length_ < kIdentificationSize) {
      Refuse("message too short");
      return;
    }
    slot_->year = frame_[8];
    std::memset(slot_->serial_number, 0, sizeof slot_->serial_number);
    std::memcpy(slot_->serial_number, frame_ + 9, kSerialNumberLength);
    line_.SendCommand(network_, kCommandIdentified);
    const std::string serial(slot_->serial_number,
                             strnlen(slot_->serial_number, kSerialNumberLength));
    FillDiagnosticsRow(serial);
    Report(line_.Events(), Who() + ": identified, serial number " + serial);
    Wait(kIdentificationWaitMs);
  }

  void FillDiagnosticsRow(const std::string& serial) {
    GridModel* grid = line_.Diagnostics();
    if (grid == nullptr) return;
    int row = kOverflowDiagnosticsRow;
    for (int r = kFirstDiagnosticsRow; r <= kLastFreeDiagnosticsRow; ++r) {
      if (grid->Cell(0, r).empty()) {
        row = r;
        break;
      }
    }
    const LineRuntime* runtime = line_.Runtime();
    grid->SetCell(0, row, runtime ? runtime->port_name : line_.PortName().c_str());
    grid->SetCell(1, row, runtime ? runtime->model_name : "");
    grid->SetCell(2, row, serial);
    grid->SetCell(3, row, std::to_string(network_));
  }

  TKkmEkr& line_;
  const uint8_t network_;
  OperationRecord* record_;  // the store's current record; may change on withdrawal
  const uint8_t* frame_;
  const int length_;
  const uint8_t type_;
  RegisterSlot* slot_;
  TDB* store_;
};

}  // namespace

void TKkmEkr::DecodeMessage(uint8_t network_number, OperationRecord& record) {
  Decoding(*this, network_number, record).Run();
}

void TKkmEkr::DecodeBarcode(OperationRecord& record) {
  uint8_t packed[kBarcodeBytes];
  std::memcpy(packed, receive_.data() + 5, kBarcodeBytes);
  tillgate::DecodeBarcode(packed, record.goods_code);
}

bool TKkmEkr::SendGoodsAnswer(uint8_t network_number, OperationRecord& record) {
  const BarcodeSetup* setup = Barcode();
  char text[kTextBufferSize];
  const int length =
      ComposeText(record, setup ? setup->first_line : 0, setup ? setup->second_line : 0, text);
  const uint32_t kopecks = RoundKopecks(record.amount);
  record.amount = kopecks * 0.01;
  return SendGoodsFrame(network_number, text, length, kopecks, SectionCharacter(record.section));
}

}  // namespace tillgate
