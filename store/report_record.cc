#include "store/report_record.h"

#include <cstring>

namespace tillgate {
namespace {

// Descriptor bytes after the name: filler copied from the format's reference
// header, then type, the 4 reserved bytes, length and decimals, more filler.
struct Descriptor {
  const char* name_bytes;  // 11 bytes including the filler after the zero
  unsigned char type_byte;
  unsigned char length;
  unsigned char decimals;
};

constexpr Descriptor kDescriptors[] = {
    {"BANK\0\0\xEA\x5F\xE0\x5F\xA7", 'C', 12, 0}, {"CHECK\0\xEA\x5F\xE0\x5F\xA7", 'C', 10, 0},
    {"DATA\0\0\xEA\x5F\xE0\x5F\xA7", 'D', 8, 0},  {"TIME\0\0\xEA\x5F\xE0\x5F\xA7", 'C', 8, 0},
    {"OPERATE\0\xE0\x5F\xA7", 'C', 1, 0},         {"CODE\0TE\0\xE0\x5F\xA7", 'C', 13, 0},
    {"NAME\0DE\0\xE0\x5F\xA7", 'C', 32, 0},       {"PRICE\0E\0\xE0\x5F\xA7", 'N', 19, 2},
    {"QUANTY\0\0\xE0\x5F\xA7", 'N', 10, 3},       {"SUM\0\0\0\0\0\xE0\x5F\xA7", 'N', 19, 2},
    {"DIVNUM\0\0\xE0\x5F\xA7", 'C', 1, 0},
};

std::array<unsigned char, kReportHeaderLength> BuildHeaderImage() {
  std::array<unsigned char, kReportHeaderLength> h = {};
  const unsigned char summary[12] = {0x03, 0x62, 0x09, 0x0E, 0, 0, 0, 0, 0x82, 0x01, 0x86, 0x00};
  std::memcpy(h.data(), summary, sizeof summary);
  const unsigned char tail[14] = {0x07, 0x00, 0x07, 0x00, 0xC8, 0x66, 0xEA,
                                  0x5F, 0xB4, 0x21, 0xDD, 0x55, 0x07, 0x00};
  int at = 32;
  for (const Descriptor& d : kDescriptors) {
    std::memcpy(&h[at], d.name_bytes, 10);
    // Byte 10 of the name area: the "A7" filler.
    h[at + 10] = 0xA7;
    h[at + 11] = d.type_byte;
    h[at + 12] = 0xBC;
    h[at + 13] = 0x1F;
    h[at + 16] = d.length;
    h[at + 17] = d.decimals;
    std::memcpy(&h[at + 18], tail, sizeof tail);
    at += 32;
  }
  h[384] = 0x0D;
  h[385] = 0x00;
  return h;
}

char Nibble(uint8_t bcd, int shift) { return static_cast<char>('0' + (bcd >> shift & 0x0F)); }

void AppendBcd(std::string& s, uint8_t bcd) {
  s += Nibble(bcd, 4);
  s += Nibble(bcd, 0);
}

// Left-aligned text cut or padded with spaces to `width`.
void PutText(char* field, int width, const char* text, size_t text_length) {
  const size_t n = std::min(text_length, static_cast<size_t>(width));
  std::memset(field, ' ', static_cast<size_t>(width));
  std::memcpy(field, text, n);
}

void PutNumber(char* field, int width, int decimals, double value) {
  char text[32];
  TDBFF::FormatNumber(value, width, decimals, text);  // spaces when it does not fit
  std::memcpy(field, text, static_cast<size_t>(width));
}

}  // namespace

const std::array<unsigned char, kReportHeaderLength>& ReportHeaderImage() {
  static const auto image = BuildHeaderImage();
  return image;
}

const char* CenturyFor(uint8_t bcd_year) {
  const int year = (bcd_year >> 4) * 10 + (bcd_year & 0x0F);
  return year < 80 ? "20" : "19";
}

std::string DocumentNumberText(const DocumentStamp& stamp) {
  std::string text = std::to_string(static_cast<int32_t>(stamp.document_number));
  if (text.size() > 10) text = std::to_string(stamp.document_number);
  return text;
}

std::string ReportDate(const DocumentStamp& stamp) {
  std::string date = CenturyFor(stamp.year);
  AppendBcd(date, stamp.year);
  AppendBcd(date, stamp.month);
  AppendBcd(date, stamp.day);
  return date;
}

std::string ReportTime(const DocumentStamp& stamp) {
  std::string time;
  AppendBcd(time, stamp.hour);
  time += ':';
  AppendBcd(time, stamp.minute);
  time += ":00";
  return time;
}

ReportRecordBytes BuildReportRecord(const OperationRecord& r, const DocumentStamp& stamp) {
  ReportRecordBytes rec;
  rec.fill(' ');
  char* p = rec.data();
  // BANK: the seven serial number bytes as received, then five spaces.
  std::memcpy(p + 1, stamp.serial_number, 7);
  const std::string number = DocumentNumberText(stamp);
  PutText(p + 13, 10, number.data(), number.size());
  const std::string date = ReportDate(stamp);
  std::memcpy(p + 23, date.data(), 8);
  const std::string time = ReportTime(stamp);
  std::memcpy(p + 31, time.data(), 8);
  p[39] = r.operation_code;
  PutText(p + 40, 13, r.goods_code, strnlen(r.goods_code, sizeof r.goods_code));
  PutText(p + 53, 32, r.name, strnlen(r.name, sizeof r.name));
  PutNumber(p + 85, 19, 2, r.price);
  PutNumber(p + 104, 10, 3, r.quantity);
  PutNumber(p + 114, 19, 2, r.amount);
  p[133] = r.section;
  // Zero bytes (no serial number yet, a zero section) would end texts early
  // in other readers.
  for (char& c : rec)
    if (c == 0) c = 'J';
  return rec;
}

}  // namespace tillgate
