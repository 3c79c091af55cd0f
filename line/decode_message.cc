// Decoding of the messages a register sends after a poll: bytes become a
// store transaction, its outcome becomes the answer. Every message gets
// exactly one frame back, sent after the transaction has returned.

#include <cstdio>
#include <cstring>
#include <string>

#include "line/barcode.h"
#include "line/event.h"
#include "line/goods_answer.h"
#include "line/kkm_ekr.h"
#include "store/store.h"

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

std::string CodeText(const char (&code)[kGoodsCodeSize]) {
  return std::string(code, strnlen(code, kGoodsCodeSize));
}

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// Everything one message needs from its line, gathered once.
class Decoding final {
 public:
  Decoding(TKkmEkr& line, uint8_t network_number)
      : line_(line),
        network_(network_number),
        frame_(line.ReceiveBuffer()),
        length_(line.ReceiveCount()),
        type_(frame_[4]),
        slot_(line.SlotByNetworkNumber(network_number)),
        store_(line.GetStore()) {}

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
    GoodsRequest request;
    request.line_index = static_cast<uint32_t>(line_.PortIndex());
    request.network_number = network_;
    request.sequence = frame_[3];
    std::memset(request.goods_code, ' ', kGoodsCodeSize - 1);
    request.operation_code = OperationCode(type_);
    if (by_code) {
      FillByCode(request);
    } else {
      FillByBarcode(request);
    }
    const GoodsOutcome outcome = store_->ServeGoods(request);
    if (outcome.withdrawn) {
      Report(line_.Events(), Severity::kNotice,
             Who() + ": repeated message, operation " +
                 std::string(1, outcome.withdrawn_operation) + " of " +
                 CodeText(outcome.withdrawn_code) + " withdrawn");
    }
    // The store's lock is not held across these waits.
    if (by_code && outcome.looked_up) {
      for (int i = 0; i < kLookUpWaits; ++i) Wait(kLookUpWaitMs);
    }
    switch (outcome.refusal) {
      case GoodsRefusal::kNone:
        line_.SendGoodsAnswer(network_, outcome);
        ReportGoods(request, outcome.goods);
        return;
      case GoodsRefusal::kNoRegister:
        Refuse("no register with that network number");
        return;
      case GoodsRefusal::kPoolFull:
        Refuse("all operation records pending");
        return;
      case GoodsRefusal::kNoGoodsFile:
        Refuse("goods " + CodeText(request.goods_code) + ": no goods file in service");
        return;
      case GoodsRefusal::kNotFound:
        Refuse("goods " + CodeText(request.goods_code) + " not found");
        return;
      case GoodsRefusal::kOutOfStock:
        Refuse("goods " + CodeText(request.goods_code) + " out of stock");
        return;
      case GoodsRefusal::kStockFailed:
        Refuse("goods " + CodeText(request.goods_code) + ": stock could not be written back");
        return;
      case GoodsRefusal::kUnreadable:
        Refuse("goods " + CodeText(request.goods_code) + ": the goods file could not be read");
        return;
      case GoodsRefusal::kVoidNotCovered:
        Refuse("void of " + CodeText(request.goods_code) + " not covered by the document");
        return;
      case GoodsRefusal::kNotRecorded:
        Refuse("goods " + CodeText(request.goods_code) + ": the journal cannot keep it");
        return;
    }
  }

  void FillByCode(GoodsRequest& request) {
    request.lookup_kind = kLookupByCode;
    const uint16_t number = static_cast<uint16_t>(frame_[5] | frame_[6] << 8);
    GoodsCodeFromNumber(number, request.goods_code);
    request.quantity = QuantityFromThousandths(Le32(frame_ + 11));
  }

  void FillByBarcode(GoodsRequest& request) {
    request.lookup_kind = kLookupByBarcode;
    line_.DecodeBarcode(request);
    const BarcodeSetup* setup = line_.Barcode();
    const int split_length = setup ? setup->split_length : 0;
    if (CodeLength(request.goods_code) <= split_length) {
      request.lookup_kind = kLookupByCode;
      if (type_ == 's') request.operation_code = kOpSaleByCode;
    }
    bool weighed = false;
    const char* mask = setup ? setup->mask : "";
    if (request.operation_code != kOpSaleByCode && IsWeightBarcode(request.goods_code, mask)) {
      WeightSplit split = SplitWeightBarcode(request.goods_code, mask);
      weighed = split.has_weight;
      if (weighed) request.quantity = split.quantity;
    }
    if (!weighed) request.quantity = QuantityFromThousandths(Le32(frame_ + 13));
  }

  void ReportGoods(const GoodsRequest& request, const GoodsDisplay& served) {
    Report(line_.Events(), Who() + ": " + OperationName(served.operation_code) + " " +
                               CodeText(request.goods_code) + " quantity " +
                               Number(served.quantity) + " amount " +
                               Number(served.kopecks * 0.01));
  }

  void Document() {
    if (length_ < kDocumentSize) {
      Refuse("message too short");
      return;
    }
    DocumentClose document;
    document.document_number = Be32(frame_ + 5);
    document.day = frame_[9];
    document.month = frame_[10];
    document.hour = frame_[11];
    document.minute = frame_[12];
    int rows = 0;
    if (store_ != nullptr) {
      rows = store_->CloseDocument(static_cast<uint32_t>(line_.PortIndex()), network_, document);
    }
    if (rows < 0) {
      // Not booked: the register keeps its document open and closes it again.
      Refuse("document " + std::to_string(document.document_number) +
             " not closed: the journal cannot keep it");
      return;
    }
    line_.SendCommand(network_, kCommandClosed);
    Report(line_.Events(), Who() + ": document " + std::to_string(document.document_number) +
                               " closed, " + std::to_string(rows) + " rows written");
  }

  void Identification() {
    if (length_ < kIdentificationSize) {
      Refuse("message too short");
      return;
    }
    const uint8_t year = frame_[8];
    const std::string serial_bytes(reinterpret_cast<const char*>(frame_ + 9), kSerialNumberLength);
    line_.SendCommand(network_, kCommandIdentified);
    const LineRuntime* runtime = line_.Runtime();
    const tillgate::Identification identification{runtime ? runtime->port_name : line_.PortName(),
                                                  runtime ? runtime->model_name : "",
                                                  serial_bytes,
                                                  network_,
                                                  static_cast<uint32_t>(line_.PortIndex()),
                                                  year};
    if (store_ != nullptr) store_->ShowIdentification(identification);
    Report(line_.Events(), Who() + ": identified, serial number " + identification.SerialText());
    Wait(kIdentificationWaitMs);
  }

  TKkmEkr& line_;
  const uint8_t network_;
  const uint8_t* frame_;
  const int length_;
  const uint8_t type_;
  RegisterSlot* slot_;
  Store* store_;
};

}  // namespace

void TKkmEkr::DecodeMessage(uint8_t network_number) { Decoding(*this, network_number).Run(); }

void TKkmEkr::DecodeBarcode(GoodsRequest& request) {
  uint8_t packed[kBarcodeBytes];
  std::memcpy(packed, receive_.data() + 5, kBarcodeBytes);
  tillgate::DecodeBarcode(packed, request.goods_code);
}

bool TKkmEkr::SendGoodsAnswer(uint8_t network_number, const GoodsOutcome& outcome) {
  const BarcodeSetup* setup = Barcode();
  char text[kTextBufferSize];
  const int length = ComposeText(outcome.goods, setup ? setup->first_line : 0,
                                 setup ? setup->second_line : 0, text);
  return SendGoodsFrame(network_number, text, length, outcome.goods.kopecks,
                        SectionCharacter(outcome.goods.section));
}

}  // namespace tillgate
