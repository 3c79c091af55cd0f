#pragma once
// One goods operation of a register (sale, return or void of one line),
// filled by decoding and the look-up, held pending until the document closes.

#include <cstdint>

namespace tillgate {

// Operation codes as stored in the record and the report file.
inline constexpr char kOpSaleByCode = '1';
inline constexpr char kOpSaleByBarcode = '2';
inline constexpr char kOpReturn = '3';
inline constexpr char kOpVoid = '4';

// Look-up kinds.
inline constexpr uint8_t kLookupByCode = 0;
inline constexpr uint8_t kLookupByBarcode = 1;

inline constexpr int kGoodsCodeSize = 15;  // 14 characters + zero
inline constexpr int kNameSize = 35;       // 34 characters + zero

struct OperationRecord {
  uint32_t line_index = 0;
  uint8_t network_number = 0;
  int32_t prev = 0;  // ring links (pool indexes)
  int32_t next = 0;
  int32_t pool_index = 0;
  char goods_code[kGoodsCodeSize] = {};
  double quantity = 0;
  double price = 0;
  double amount = 0;          // kopecks after the look-up, roubles after the answer
  char name[kNameSize] = {};  // zero first byte: not found or refused
  char section = 0;
  char operation_code = 0;
  uint8_t lookup_kind = kLookupByCode;
  int32_t goods_record_number = -1;
};

}  // namespace tillgate
