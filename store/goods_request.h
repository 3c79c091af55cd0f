#pragma once
// One goods message of a register as the store serves it: the request that
// decoding makes of the message's bytes, and the outcome that becomes the
// answer's bytes (plain values: nothing of the store's own records).

#include <cstdint>

#include "store/operation_record.h"

namespace tillgate {

struct GoodsRequest {
  uint32_t line_index = 0;     // 0..15
  uint8_t network_number = 0;  // 1..10
  uint8_t sequence = 0;        // the message's sequence byte
  char operation_code = kOpSaleByCode;
  uint8_t lookup_kind = kLookupByCode;
  char goods_code[kGoodsCodeSize] = {};  // zero-terminated
  double quantity = 0;
};

enum class GoodsRefusal : uint8_t {
  kNone,
  kNoRegister,      // line index or network number outside the table
  kPoolFull,        // every operation record pending
  kNoGoodsFile,     // no goods file in service
  kNotFound,        // no goods with that code in the goods file
  kOutOfStock,      // the stock would go below zero
  kStockFailed,     // the stock could not be read or written back
  kUnreadable,      // the goods file could not be read
  kVoidNotCovered,  // a void the register's pending operations do not cover
  kNotRecorded,     // the journal could not keep it
};

// What the register shows and charges for a served goods message.
struct GoodsDisplay {
  char name[kNameSize] = {};  // as the goods file holds it, zero-terminated
  double price = 0;           // roubles
  double quantity = 0;
  uint32_t kopecks = 0;  // the amount charged
  char section = 0;      // the department: DIVNUM's first character
  char operation_code = 0;
};

struct GoodsOutcome {
  GoodsRefusal refusal = GoodsRefusal::kNone;
  // The goods file was searched (the waits after a look-up by goods code
  // follow it whatever it found).
  bool looked_up = false;
  GoodsDisplay goods;  // when served
  // A repeated message took back the register's previous operation.
  bool withdrawn = false;
  char withdrawn_operation = 0;
  char withdrawn_code[kGoodsCodeSize] = {};

  bool Served() const { return refusal == GoodsRefusal::kNone; }
};

}  // namespace tillgate
