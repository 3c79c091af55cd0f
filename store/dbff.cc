#include "store/dbff.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/local_time.h"

namespace tillgate {
namespace {

uint16_t Le16(const char* p) {
  return static_cast<uint16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1])
                                                                      << 8);
}

uint32_t Le32(const char* p) {
  return static_cast<uint32_t>(Le16(p)) | static_cast<uint32_t>(Le16(p + 2)) << 16;
}

bool NamesEqual(const char* a, std::string_view b, bool exact_case) {
  const size_t n = strnlen(a, 11);
  if (n != b.size()) return false;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (exact_case ? x != y : std::toupper(x) != std::toupper(y)) return false;
  }
  return true;
}

// Where a field lies in the file, or false when it does not lie within its
// record (so a bad position from a file cannot reach past the field).
bool FieldOffset(int record_length, int header_length, int32_t record_number, int position,
                 int length, uint64_t* offset) {
  if (record_number < 1 || position < 1 || length < 1 || record_length < 1) return false;
  if (position + length > record_length) return false;
  *offset = static_cast<uint64_t>(header_length) +
            static_cast<uint64_t>(record_length) * static_cast<uint64_t>(record_number - 1) +
            static_cast<uint64_t>(position);
  return true;
}

// The number of descriptor slots the header length allows.
int SlotsForHeader(int header_length) {
  if (header_length < kMinHeaderLength) return 0;
  return (header_length - 34) / kDescriptorSize + 1;
}

}  // namespace

int TDBFF::ReadChunk(File* file, uint64_t offset, size_t n) {
  if (!file || n > sizeof buffer_) return -1;
  size_t got = 0;
  const Status read = file->ReadAt(offset, buffer_, n, &got);
  if (!read.ok()) {
    read_failure_ = read;
    return -1;
  }
  return static_cast<int>(got);
}

bool TDBFF::ReadHeader(File* file, DbfHeader* header) {
  char bytes[16];
  size_t got = 0;
  if (!file) return false;
  const Status read = file->ReadAt(0, bytes, sizeof bytes, &got);
  if (!read.ok()) read_failure_ = read;
  if (!read.ok() || got < 16) return false;
  header->record_count = Le32(bytes + 4);
  header->header_length = Le16(bytes + 8);
  header->record_length = Le16(bytes + 10);
  return true;
}

int TDBFF::LoadHeaderBytes(File* file) {
  loaded_ = 0;
  const int got = ReadChunk(file, 0, kHeaderReadLimit);
  if (got < 0) return -1;
  loaded_ = got;
  return got;
}

template <typename Slot>
static void ForEachSlot(const char* buffer, int loaded, Slot&& slot) {
  if (loaded < 12) return;
  const int slots = SlotsForHeader(Le16(buffer + 8));
  for (int i = 1; i <= slots; ++i) {
    const int at = kDescriptorSize * i;
    if (at + kDescriptorSize > loaded) return;
    if (buffer[at] == 0x0D) return;  // end of the descriptor list
    if (!slot(buffer + at)) return;
  }
}

DbfField TDBFF::FindField(std::string_view name, bool exact_case) const {
  DbfField found;
  int running = 0;
  ForEachSlot(buffer_, loaded_, [&](const char* d) {
    char field_name[12];
    std::memcpy(field_name, d, 11);
    field_name[11] = 0;
    const int length = static_cast<unsigned char>(d[16]);
    if (NamesEqual(field_name, name, exact_case)) {
      found.length = length;
      found.decimals = static_cast<unsigned char>(d[17]);
      found.type = d[11];
      found.position = running + 1;
      return false;
    }
    running += length;
    return true;
  });
  return found;
}

int TDBFF::DeclaredFieldsLength() const {
  int sum = 0;
  ForEachSlot(buffer_, loaded_, [&](const char* d) {
    sum += static_cast<unsigned char>(d[16]);
    return true;
  });
  return sum;
}

int32_t TDBFF::FindRecord(File* file, int position, std::string_view key, char* out,
                          size_t out_size, int field_length, bool* failed) {
  int32_t found = -1;
  if (failed) *failed = false;
  // A failure of an earlier read must not pass for this one's reason.
  read_failure_ = Status();
  if (position < 0 || out_size == 0) return -1;
  const int key_length = static_cast<int>(key.size());
  const int compared = std::max(key_length, field_length);
  const bool scanned = ScanRecords(file, [&](int32_t number, const char* record, int length) {
    if (position + compared > length) return true;
    if (std::memcmp(record + position, key.data(), key.size()) != 0) return true;
    for (int i = key_length; i < compared; ++i)
      if (record[position + i] != ' ') return true;
    if (static_cast<size_t>(length - 1) >= out_size) return false;  // cannot hand it out
    std::memcpy(out, record + 1, length - 1);
    out[length - 1] = 0;
    found = number;
    return false;
  });
  if (!scanned && failed) *failed = true;
  return scanned ? found : -1;
}

bool TDBFF::ReadField(File* file, int record_length, int header_length, int32_t record_number,
                      int position, int length, char* out) {
  uint64_t offset;
  if (!file || !FieldOffset(record_length, header_length, record_number, position, length, &offset))
    return false;
  size_t got = 0;
  if (file->ReadAt(offset, out, static_cast<size_t>(length), &got) != Status::kOk ||
      got != static_cast<size_t>(length))
    return false;
  out[length] = 0;
  return true;
}

bool TDBFF::WriteField(File* file, int record_length, int header_length, int32_t record_number,
                       int position, int length, const char* text) {
  uint64_t offset;
  if (!file || !FieldOffset(record_length, header_length, record_number, position, length, &offset))
    return false;
  return file->WriteAt(offset, text, static_cast<size_t>(length)) == Status::kOk;
}

bool TDBFF::AppendRecord(File* file, const char* record, bool* record_written) {
  if (record_written) *record_written = false;
  uint64_t size = 0;
  if (!file || file->Size(&size) != Status::kOk || size < kReportHeaderLength) return false;
  // Whole records only: a record torn by an earlier failed write is
  // overwritten rather than left to shift every later record.
  const uint64_t present = (size - kReportHeaderLength) / kReportRecordLength;
  if (present >= UINT32_MAX) return false;
  const uint64_t at = kReportHeaderLength + present * kReportRecordLength;
  if (file->WriteAt(at, record, kReportRecordLength) != Status::kOk) return false;
  if (record_written) *record_written = true;
  return WriteRecordCount(file, static_cast<uint32_t>(present + 1));
}

bool TDBFF::WriteRecordCount(File* file, uint32_t count) {
  // The date of the last update, its year counted from 1900.
  const CivilTime local = LocalTime(std::chrono::system_clock::now());
  const char stamp[7] = {
      static_cast<char>(local.year - 1900), static_cast<char>(local.month),
      static_cast<char>(local.day),         static_cast<char>(count & 0xFF),
      static_cast<char>(count >> 8 & 0xFF), static_cast<char>(count >> 16 & 0xFF),
      static_cast<char>(count >> 24 & 0xFF)};
  return file && file->WriteAt(1, stamp, sizeof stamp) == Status::kOk;
}

bool TDBFF::FormatNumber(double value, int width, int decimals, char* out) {
  if (width < 1) {
    if (width == 0) out[0] = 0;
    return false;
  }
  std::memset(out, ' ', static_cast<size_t>(width));
  out[width] = 0;
  const int int_width = width - decimals - 1;  // room for the integer part and sign
  if (decimals < 0 || int_width < 0 || !std::isfinite(value)) return false;

  // Rounded as the shortest text that reads back as the value: 1.005 is held
  // a hair below 1.005 but stands for it, and a shop rounds its halves up, so
  // it is written 1.01 (printf would give 1.00, and 0.12 for 0.125).
  char text[400];  // the longest fixed double text is about 330 characters
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::fixed);
  if (error != std::errc()) return false;
  const char* point = std::find(text, end, '.');
  const int text_int = static_cast<int>(point - text);
  const char* fraction = point == end ? end : point + 1;
  const int fraction_length = static_cast<int>(end - fraction);

  // The integer digits, then `decimals` decimals, after one place for a carry.
  char digits[sizeof text + 256];
  int n = 0;
  digits[n++] = '0';
  std::memcpy(digits + n, text, static_cast<size_t>(text_int));
  n += text_int;
  for (int i = 0; i < decimals; ++i) digits[n++] = i < fraction_length ? fraction[i] : '0';
  if (fraction_length > decimals && fraction[decimals] >= '5') {
    int i = n - 1;
    while (digits[i] == '9') digits[i--] = '0';
    ++digits[i];
  }
  const int int_end = n - decimals;
  int first = 0;
  while (first < int_end - 1 && digits[first] == '0') ++first;
  int int_len = int_end - first;
  // A value that rounds to zero is written without a sign.
  const bool sign = std::signbit(value) &&
                    std::find_if(digits, digits + n, [](char c) { return c != '0'; }) != digits + n;
  // With no room for an integer part, a zero integer part may go unwritten
  // (".500" is still one half); any other digit would be cut.
  if (int_width == 0 && !sign && int_len == 1 && digits[first] == '0') int_len = 0;
  if (int_len + (sign ? 1 : 0) > int_width) return false;
  char* at = out + int_width - int_len;
  if (sign) at[-1] = '-';
  std::memcpy(at, digits + int_end - int_len, static_cast<size_t>(int_len));
  out[int_width] = '.';
  std::memcpy(out + int_width + 1, digits + int_end, static_cast<size_t>(decimals));
  return true;
}

void TDBFF::CopyBytes(const char* area, int start, int count, char* out) {
  if (count < 0) count = 0;
  if (start >= 1) std::memcpy(out, area + start - 1, static_cast<size_t>(count));
  out[count] = 0;
}

}  // namespace tillgate
