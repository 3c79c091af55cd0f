#pragma once
// What a register tells about itself and its document, stamped on every
// report row of that document: its serial number and year (from its
// identification) and the document's number, date and time (from the
// message that closes it). The store keeps it for every register.

#include <cstdint>

namespace tillgate {

inline constexpr int kSerialNumberLength = 7;

struct DocumentStamp {
  char serial_number[13] = {};  // 7 used; zero bytes until the first "d"
  uint32_t document_number = 0;
  uint8_t day = 0, month = 0, year = 0;  // BCD; year 00 until the first "d"
  uint8_t hour = 0, minute = 0;          // BCD
};

// What a register's close message ("i") tells of its document.
struct DocumentClose {
  uint32_t document_number = 0;
  uint8_t day = 0, month = 0;    // BCD
  uint8_t hour = 0, minute = 0;  // BCD
};

}  // namespace tillgate
