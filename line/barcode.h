#pragma once
// Turning what a register sends into a goods code and a quantity: the BCD
// barcode, the split between short goods codes and barcodes, and weight
// barcodes whose digits carry both the goods code and the weight by a
// per-line mask such as "25CCCCCWWWWW" ("C" code digit, "W" weight digit).

#include <cstdint>

#include "store/operation_record.h"

namespace tillgate {

inline constexpr int kBarcodeBytes = 7;    // up to 14 digits, two per byte
inline constexpr int kMaxCodeLength = 13;  // longest code the split test counts
inline constexpr int kWeightDigits = 8;    // at most this many "W" digits are read

// Unpacks the BCD barcode (high nibble first, ended by the nibble 0xD) into
// `code`: digits 0..9 become "0".."9", other nibble values 0x30 + v. The code
// ends with a zero byte right after its last digit, so a short code such as
// an EAN-8 is looked up without trailing spaces. Never writes past `code`.
void DecodeBarcode(const uint8_t (&packed)[kBarcodeBytes], char (&code)[kGoodsCodeSize]);

// Number of characters of the code before its first space or zero byte,
// at most 13.
int CodeLength(const char (&code)[kGoodsCodeSize]);

// Goods code of a message by code: the 16-bit number in decimal.
void GoodsCodeFromNumber(uint16_t number, char (&code)[kGoodsCodeSize]);

// A wire quantity in thousandths; 0 stands for exactly 1.
double QuantityFromThousandths(uint32_t thousandths);

// Whether the code is a weight barcode for this mask: it starts with the
// digit "2" and its second character equals the mask's second character.
bool IsWeightBarcode(const char (&code)[kGoodsCodeSize], const char* mask);

struct WeightSplit {
  bool has_weight = false;  // the mask has at least one "W"
  double quantity = 1;      // the weight read from the "W" digits, kilograms
};

// Reads the weight from the "W" positions of the code (the rightmost eight at
// most) and rebuilds the code from the "C" positions, in their order. The
// mask is read up to its zero byte, at most 17 characters; mask positions
// past the end of the code contribute nothing to the code.
WeightSplit SplitWeightBarcode(char (&code)[kGoodsCodeSize], const char* mask);

}  // namespace tillgate
