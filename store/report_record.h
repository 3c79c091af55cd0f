#pragma once
// The report file otchet.dbf: its fixed 386-byte header image and the
// 134-byte record written for one operation of a closed document.

#include <array>
#include <string>

#include "store/dbff.h"
#include "store/document_stamp.h"
#include "store/operation_record.h"

namespace tillgate {

using ReportRecordBytes = std::array<char, kReportRecordLength>;

// The header of a new, empty report file, byte for byte.
const std::array<unsigned char, kReportHeaderLength>& ReportHeaderImage();

// "20" for register years 00..79 and "19" for 80..99 (BCD year byte).
const char* CenturyFor(uint8_t bcd_year);
// CHECK: the document number in decimal as a signed 32-bit number; one
// that would need 11 characters is written unsigned, as the register sent
// it, rather than cut to another number.
std::string DocumentNumberText(const DocumentStamp& stamp);
// DATA: century, year, month, day as eight characters (BCD nibbles + '0').
std::string ReportDate(const DocumentStamp& stamp);
// TIME: "HH:MM:00".
std::string ReportTime(const DocumentStamp& stamp);

// The record for operation `r` of the document stamped `stamp`: BANK, CHECK, DATA,
// TIME, OPERATE, CODE, NAME, PRICE, QUANTY, SUM, DIVNUM. Texts are cut or
// padded to their fields; every zero byte becomes 'J'. A number too wide
// for its field is written as spaces rather than cut.
ReportRecordBytes BuildReportRecord(const OperationRecord& r, const DocumentStamp& stamp);

}  // namespace tillgate
