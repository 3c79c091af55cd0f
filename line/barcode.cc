#include "line/barcode.h"

#include <cstdio>
#include <cstring>

#include "config/port_config.h"

namespace tillgate {
namespace {

constexpr uint8_t kEndNibble = 0xD;

int MaskLength(const char* mask) {
  return mask == nullptr ? 0 : static_cast<int>(strnlen(mask, kMaskCapacity));
}

// Length of the code string (up to its zero byte), within the array.
int StringLength(const char (&code)[kGoodsCodeSize]) {
  return static_cast<int>(strnlen(code, kGoodsCodeSize - 1));
}

}  // namespace

void DecodeBarcode(const uint8_t (&packed)[kBarcodeBytes], char (&code)[kGoodsCodeSize]) {
  std::memset(code, ' ', kGoodsCodeSize - 1);
  code[kGoodsCodeSize - 1] = 0;
  int end = -1;  // position just after the last digit, once the end is met
  for (int i = 0; i < kBarcodeBytes && end < 0; ++i) {
    uint8_t high = packed[i] >> 4;
    uint8_t low = packed[i] & 0x0F;
    if (high == kEndNibble) {
      end = 2 * i;
      break;
    }
    code[2 * i] = static_cast<char>('0' + high);
    if (low == kEndNibble) {
      end = 2 * i + 1;
      break;
    }
    code[2 * i + 1] = static_cast<char>('0' + low);
  }
  // Without an end nibble all 14 places hold digits and position 14 ends it.
  if (end >= 0) code[end] = 0;
}

int CodeLength(const char (&code)[kGoodsCodeSize]) {
  int n = 0;
  while (n < kMaxCodeLength && code[n] != ' ' && code[n] != 0) ++n;
  return n;
}

void GoodsCodeFromNumber(uint16_t number, char (&code)[kGoodsCodeSize]) {
  std::snprintf(code, kGoodsCodeSize, "%u", static_cast<unsigned>(number));
}

double QuantityFromThousandths(uint32_t thousandths) {
  return thousandths == 0 ? 1.0 : thousandths * 0.001;
}

bool IsWeightBarcode(const char (&code)[kGoodsCodeSize], const char* mask) {
  char second = MaskLength(mask) >= 2 ? mask[1] : 0;
  return code[0] == '2' && code[1] == second;
}

WeightSplit SplitWeightBarcode(char (&code)[kGoodsCodeSize], const char* mask) {
  const int mask_length = MaskLength(mask);
  const int code_length = StringLength(code);
  WeightSplit split;

  // Weight digits fill a 9-place buffer from place 7 leftwards; place 8 and
  // unfilled places stay spaces. A "W" past the end of the code gives a
  // space, which ends the number like the code's own end would.
  char weight[kWeightDigits + 2];
  std::memset(weight, ' ', kWeightDigits + 1);
  weight[kWeightDigits + 1] = 0;
  int place = kWeightDigits - 1;
  for (int j = mask_length - 1; j >= 0; --j) {
    if (mask[j] != 'W') continue;
    split.has_weight = true;
    if (place < 0) continue;
    weight[place--] = j < code_length ? code[j] : ' ';
  }
  if (split.has_weight) {
    const char* p = weight;
    while (*p == ' ') ++p;
    uint64_t value = 0;
    while (*p >= '0' && *p <= '9') value = value * 10 + (*p++ - '0');
    split.quantity = value * 0.001;
  }

  char reduced[kGoodsCodeSize] = {};
  int n = 0;
  for (int j = 0; j < mask_length && j < code_length; ++j) {
    if (mask[j] == 'C') reduced[n++] = code[j];
  }
  reduced[n] = 0;
  std::memcpy(code, reduced, kGoodsCodeSize);
  return split;
}

}  // namespace tillgate
