// Arbitrary bytes as the report file otchet.dbf when the server opens it: a
// header cut short in its creation is completed, a torn last record is cut
// off and the count is set right; anything else is left as it is. What it
// leaves is a report whose count matches its records, with every whole
// record it held before, byte for byte. A document appended then follows
// them, and one whose first rows a crash left at the end is not written
// twice. Opening the result again changes nothing.
//
// An input: one byte choosing the document appended, then the file. At most
// TILLGATE_FUZZ_MAX_LEN (2048) bytes: the header (386 bytes) and a dozen
// records (134 bytes each), enough for a torn record after several whole
// ones.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/memory_file_system.h"
#include "store/fuzz_check.h"
#include "store/report_file.h"
#include "store/report_record.h"

using namespace tillgate;

namespace {

constexpr size_t kMaxInput = TILLGATE_FUZZ_MAX_LEN;
constexpr char kPath[] = "r/otchet.dbf";

uint32_t Le(const std::string& bytes, size_t at, int size) {
  uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
  return v;
}

const std::string& HeaderImage() {
  static const std::string image(reinterpret_cast<const char*>(ReportHeaderImage().data()),
                                 kReportHeaderLength);
  return image;
}

// The header says it is a report: the lengths of header and record are ours.
bool LooksLikeReport(const std::string& file) {
  return file.size() >= kReportHeaderLength && Le(file, 8, 2) == kReportHeaderLength &&
         Le(file, 10, 2) == kReportRecordLength;
}

size_t WholeRecords(const std::string& file) {
  return (file.size() - kReportHeaderLength) / kReportRecordLength;
}

std::string Record(const std::string& file, size_t index) {
  return file.substr(kReportHeaderLength + index * kReportRecordLength, kReportRecordLength);
}

// A report: header image's lengths, as many records as its count says,
// nothing after them.
void CheckReport(const std::string& file) {
  FUZZ_CHECK(LooksLikeReport(file));
  FUZZ_CHECK((file.size() - kReportHeaderLength) % kReportRecordLength == 0);
  FUZZ_CHECK(Le(file, 4, 4) == WholeRecords(file));
}

ReportRecordBytes NewRow() {
  OperationRecord r;
  std::strcpy(r.goods_code, "100");
  std::strcpy(r.name, "BREAD");
  r.price = r.quantity = r.amount = 1;
  r.operation_code = kOpSaleByCode;
  r.section = '1';
  DocumentStamp stamp;
  std::strcpy(stamp.serial_number, "1234567");
  stamp.document_number = 42;
  return BuildReportRecord(r, stamp);
}

// The document appended: none, a new row, the file's last record (as a
// crash leaves a document's first row) and a new one, or one row twice.
std::vector<ReportRecordBytes> Document(uint8_t choice, const std::string& file) {
  static const ReportRecordBytes row = NewRow();
  std::vector<ReportRecordBytes> rows;
  switch (choice & 3) {
    case 1:
      rows = {row};
      break;
    case 2:
      if (WholeRecords(file) > 0) {
        ReportRecordBytes last;
        Record(file, WholeRecords(file) - 1).copy(last.data(), last.size());
        rows.push_back(last);
      }
      rows.push_back(row);
      break;
    case 3:
      rows = {row, row};
      break;
  }
  return rows;
}

// How many of `rows` (from the first) already end `file`: the longest such
// start, as a document cut short by a crash leaves it.
size_t AlreadyThere(const std::string& file, const std::vector<ReportRecordBytes>& rows) {
  const size_t present = WholeRecords(file);
  for (size_t k = std::min(rows.size(), present); k > 0; --k) {
    bool same = true;
    for (size_t i = 0; i < k && same; ++i)
      same = Record(file, present - k + i) == std::string(rows[i].data(), rows[i].size());
    if (same) return k;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return -1;
  if (size < 1) return 0;
  const uint8_t choice = data[0];
  const std::string before(reinterpret_cast<const char*>(data + 1), size - 1);
  MemoryFileSystem fs;
  fs.Put(kPath, before);
  ReportFile report(&fs, nullptr, "r");
  const bool open = report.OpenOrCreate();
  const std::string after = fs.Get(kPath);

  if (!LooksLikeReport(before)) {
    const bool creation_cut =
        before.size() < kReportHeaderLength && HeaderImage().compare(0, before.size(), before) == 0;
    // Another table, or bytes that are no report: not ours to cut or write.
    FUZZ_CHECK(after == (creation_cut ? HeaderImage() : before));
    if (!creation_cut) return 0;
  }
  FUZZ_CHECK(open);
  CheckReport(after);
  if (LooksLikeReport(before)) {
    // Only the count (and the date beside it) may change in the header; no
    // whole record is lost or changed.
    FUZZ_CHECK(after[0] == before[0]);
    FUZZ_CHECK(after.compare(8, kReportHeaderLength - 8, before, 8, kReportHeaderLength - 8) == 0);
    FUZZ_CHECK(WholeRecords(after) == WholeRecords(before));
    FUZZ_CHECK(after.compare(kReportHeaderLength, std::string::npos, before, kReportHeaderLength,
                             after.size() - kReportHeaderLength) == 0);
  }

  const std::vector<ReportRecordBytes> rows = Document(choice, after);
  if (!rows.empty()) {
    bool maybe_written = choice & 4;
    FUZZ_CHECK(report.Append(rows, &maybe_written));
    const std::string appended = fs.Get(kPath);
    CheckReport(appended);
    std::string expected = after.substr(kReportHeaderLength);
    for (size_t i = (choice & 4) ? AlreadyThere(after, rows) : 0; i < rows.size(); ++i)
      expected.append(rows[i].data(), rows[i].size());
    FUZZ_CHECK(appended.compare(kReportHeaderLength, std::string::npos, expected) == 0);
  }

  // What was set right stays so.
  const std::string repaired = fs.Get(kPath);
  ReportFile again(&fs, nullptr, "r");
  FUZZ_CHECK(again.OpenOrCreate());
  FUZZ_CHECK(fs.Get(kPath) == repaired);
  return 0;
}
