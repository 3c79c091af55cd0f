#include "store/store_test_util.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/posix/child_process.h"
#include "store/journal_entries.h"

namespace tillgate::testing {

int DbfImage::RecordLength() const {
  if (record_length >= 0) return record_length;
  int n = 1;
  for (const FieldDef& f : fields) n += f.length;
  return n;
}

int DbfImage::HeaderLength() const {
  if (header_length >= 0) return header_length;
  return 32 + 32 * static_cast<int>(fields.size()) + 1;
}

std::string DbfImage::Bytes() const {
  const int built_header = 32 + 32 * static_cast<int>(fields.size()) + 1;
  std::string out(static_cast<size_t>(built_header), '\0');
  const uint32_t count = record_count >= 0 ? static_cast<uint32_t>(record_count)
                                           : static_cast<uint32_t>(records.size());
  const int hl = HeaderLength();
  const int rl = RecordLength();
  out[0] = 0x03;
  out[1] = 124;
  out[2] = 9;
  out[3] = 14;
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>(count >> (8 * i) & 0xFF);
  out[8] = static_cast<char>(hl & 0xFF);
  out[9] = static_cast<char>(hl >> 8 & 0xFF);
  out[10] = static_cast<char>(rl & 0xFF);
  out[11] = static_cast<char>(rl >> 8 & 0xFF);
  for (size_t i = 0; i < fields.size(); ++i) {
    char* d = out.data() + 32 + 32 * i;
    std::memcpy(d, fields[i].name.data(), std::min<size_t>(fields[i].name.size(), 11));
    d[11] = fields[i].type;
    d[16] = static_cast<char>(fields[i].length);
    d[17] = static_cast<char>(fields[i].decimals);
  }
  out[built_header - 1] = 0x0D;
  // A header length above what was built is padded with zero bytes.
  if (hl > built_header) out.resize(static_cast<size_t>(hl), '\0');
  for (const auto& values : records) {
    std::string rec = " ";
    for (size_t i = 0; i < fields.size(); ++i) {
      std::string v = i < values.size() ? values[i] : "";
      const size_t w = static_cast<size_t>(fields[i].length);
      if (v.size() > w) v.resize(w);
      const std::string pad(w - v.size(), ' ');
      rec += fields[i].type == 'N' ? pad + v : v + pad;
    }
    out += rec;
  }
  return out;
}

std::vector<FieldDef> GoodsFields() {
  return {{"CODE", 'C', 13},  {"NAME", 'C', 30},    {"PRICE", 'N', 10, 2},
          {"DIVNUM", 'C', 2}, {"SH_CODE", 'C', 13}, {"RES", 'N', 10, 3}};
}

std::vector<std::string> GoodsRow(const std::string& code, const std::string& name,
                                  const std::string& price, const std::string& divnum,
                                  const std::string& barcode, const std::string& res) {
  return {code, name, price, divnum, barcode, res};
}

std::vector<DbfRecord> ReadDbfRecords(const std::string& path) {
  const std::string bytes = ReadFile(path);
  std::vector<DbfRecord> records;
  if (bytes.size() < 32) return records;
  auto u16 = [&](size_t at) {
    return static_cast<size_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1])
                                                                     << 8);
  };
  const size_t header_length = u16(8);
  const size_t record_length = u16(10);
  if (record_length == 0 || bytes.size() < header_length) return records;
  struct Field {
    std::string name;
    size_t position, length;
  };
  std::vector<Field> fields;
  size_t position = 1;
  for (size_t at = 32; at + 32 <= header_length && bytes[at] != 0x0D; at += 32) {
    const size_t length = static_cast<uint8_t>(bytes[at + 16]);
    fields.push_back(
        {std::string(bytes.c_str() + at, strnlen(bytes.c_str() + at, 11)), position, length});
    position += length;
  }
  for (size_t at = header_length; at + record_length <= bytes.size(); at += record_length) {
    DbfRecord record;
    for (const Field& f : fields) {
      if (f.position + f.length > record_length) break;
      std::string text = bytes.substr(at + f.position, f.length);
      text.erase(text.find_last_not_of(' ') + 1);
      text.erase(0, text.find_first_not_of(' '));
      record[f.name] = text;
    }
    records.push_back(std::move(record));
  }
  return records;
}

namespace {

// Prints "COUNT n", "FIELDS a|b|...", then one "ROW v|v|..." line per record.
constexpr const char* kScript = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], encoding='cp866', char_decode_errors='strict', load=True)
out = sys.stdout
out.write('COUNT %d\n' % t.header.numrecords)
out.write('FIELDS ' + '|'.join(t.field_names) + '\n')
for r in t.records:
    out.write('ROW ' + '|'.join(str(v) for v in r.values()) + '\n')
)";

}  // namespace

DbfreadResult ReadWithDbfread(const std::string& path) {
  DbfreadResult result;
  const std::string command =
      "/usr/bin/python3 -c \"$TILLGATE_DBFREAD_SCRIPT\" '" + path + "' 2>&1";
  std::string output;
  const int status =
      RunShell(command, &output,
               {std::string("TILLGATE_DBFREAD_SCRIPT=") + kScript, "PYTHONIOENCODING=utf-8"});
  if (status != 0) {
    result.error = status < 0 && output.empty() ? "python3 could not be run" : output;
    return result;
  }
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("COUNT ", 0) == 0) {
      result.record_count = std::stoll(line.substr(6));
    } else if (line.rfind("FIELDS ", 0) == 0) {
      std::istringstream names(line.substr(7));
      std::string name;
      while (std::getline(names, name, '|')) result.field_names.push_back(name);
    } else if (line.rfind("ROW ", 0) == 0) {
      result.rows.push_back(line.substr(4));
    }
  }
  result.ok = true;
  return result;
}

std::string InOlderFormat(const std::string& entry) {
  // The fields the older version did not write are the last ones; without
  // a stock level they take 1 byte (the level's flag) + the owner + 1.
  constexpr size_t kOperationTail = 1 + kSerialNumberLength + 1;
  constexpr size_t kWithdrawalTail = 1;
  JournalOperation operation;
  if (DecodeEntry(entry, &operation)) {
    operation.level = StockLevel();
    std::memset(operation.owner, 0, sizeof operation.owner);
    operation.kept = false;
    const std::string bytes = EncodeEntry(operation);
    return bytes.substr(0, bytes.size() - kOperationTail);
  }
  JournalWithdrawal withdrawal;
  if (DecodeEntry(entry, &withdrawal)) {
    const std::string bytes = EncodeEntry(JournalWithdrawal{withdrawal.id, {}});
    return bytes.substr(0, bytes.size() - kWithdrawalTail);
  }
  JournalStock stock;
  JournalGoodsFile goods_file;
  if (DecodeEntry(entry, &stock) || DecodeEntry(entry, &goods_file)) return std::string();
  return entry;
}

}  // namespace tillgate::testing
